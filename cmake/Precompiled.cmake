# Precompiled headers: the Qt headers that nearly every source includes are parsed once a build
# rather than once a source, and GoogleTest's with them for the tests. Each set is made once, by
# a small target of its own, and reused by every target of its kind, whose flags are the same
# (the project's own; -Winvalid-pch, with -Werror, fails a build where they are not).
option(QUIBLO_PRECOMPILE "precompile the common Qt and GoogleTest headers" ON)

set(QUIBLO_PRECOMPILED_QT
    <QByteArray> <QCoreApplication> <QDir> <QFile> <QFileInfo> <QGuiApplication> <QImage>
    <QLabel> <QList> <QObject> <QPushButton> <QRegularExpression> <QScreen> <QString>
    <QStringList> <QTimer> <QWidget>)

# The programs' libraries reuse the headers of quiblo_pch_library; the test programs those of
# quiblo_pch_tests (an executable, as they are).
function(quiblo_precompile_hosts)
    if(NOT QUIBLO_PRECOMPILE)
        return()
    endif()
    find_package(Qt6 REQUIRED COMPONENTS Network)
    file(WRITE ${CMAKE_BINARY_DIR}/pch/library.cpp "// The precompiled headers' own source.\n")
    file(WRITE ${CMAKE_BINARY_DIR}/pch/tests.cpp "int main() { return 0; }\n")
    add_library(quiblo_pch_library STATIC ${CMAKE_BINARY_DIR}/pch/library.cpp)
    target_link_libraries(quiblo_pch_library PRIVATE Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Network)
    target_precompile_headers(quiblo_pch_library PRIVATE ${QUIBLO_PRECOMPILED_QT})
    set_target_properties(quiblo_pch_library PROPERTIES AUTOMOC OFF)
    if(BUILD_TESTING)
        add_executable(quiblo_pch_tests ${CMAKE_BINARY_DIR}/pch/tests.cpp)
        target_link_libraries(quiblo_pch_tests PRIVATE Qt6::Core Qt6::Gui Qt6::Widgets
                                                       Qt6::Network GTest::gtest)
        target_precompile_headers(quiblo_pch_tests PRIVATE ${QUIBLO_PRECOMPILED_QT}
                                  <gtest/gtest.h>)
        set_target_properties(quiblo_pch_tests PROPERTIES AUTOMOC OFF RUNTIME_OUTPUT_DIRECTORY
                                                          ${CMAKE_BINARY_DIR}/pch)
    endif()
endfunction()

# Every target of the folder and those below it that is the program's (quiblo_*) or a test
# program (*_tests), but not the image library's, which uses no Qt.
function(quiblo_precompile_targets folder)
    if(NOT QUIBLO_PRECOMPILE)
        return()
    endif()
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(target MATCHES "^quiblo_pch_|^imgctl" OR NOT type MATCHES "LIBRARY|EXECUTABLE")
            continue()
        endif()
        # The headers are C++ alone: a target with C sources (the Wayland protocols') goes
        # without.
        get_target_property(sources ${target} SOURCES)
        list(FILTER sources INCLUDE REGEX "\\.c$")
        if(sources)
            continue()
        endif()
        if(type STREQUAL "EXECUTABLE" AND target MATCHES "_tests$")
            target_precompile_headers(${target} REUSE_FROM quiblo_pch_tests)
        elseif(type STREQUAL "STATIC_LIBRARY" AND target MATCHES "^quiblo_")
            target_precompile_headers(${target} REUSE_FROM quiblo_pch_library)
        endif()
    endforeach()
    get_property(folders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    foreach(below IN LISTS folders)
        quiblo_precompile_targets(${below})
    endforeach()
endfunction()

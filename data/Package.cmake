# A .deb of the installed layout: `cpack -G DEB` in the build folder. Its library dependencies
# come from dpkg-shlibdeps; what is loaded at run time (the Qt platform plugins) is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quiblo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screenshot-to-URL tool (クイブロ)")
set(CPACK_PACKAGE_DESCRIPTION
    "Quiblo captures the whole screen, the active window or a region, uploads the picture to its\nservice and gives its viewing URL. The interface is Japanese.")
set(CPACK_PACKAGE_CONTACT "Quiblo developers <quiblo@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "kolourpaint")
include(CPack)

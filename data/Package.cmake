# Two .debs of the installed layout, `cpack -G DEB` in the build folder: the program
# (quiblo_<version>_<arch>.deb), whose library dependencies come from dpkg-shlibdeps and whose
# run-time loads (the Qt platform plugins) are named here; and the service for a team's host
# (quiblo-service_<version>_all.deb), Python with its system user and systemd unit.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quiblo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quiblo developers <quiblo@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program service)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME quiblo)
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION
    "screenshot-to-URL tool (クイブロ)\nQuiblo captures the whole screen, the active window or a region, uploads the picture to its\nservice and gives its viewing URL. The interface is Japanese.")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SUGGESTS "kolourpaint")

set(CPACK_DEBIAN_SERVICE_PACKAGE_NAME quiblo-service)
set(CPACK_COMPONENT_SERVICE_DESCRIPTION
    "Quiblo's screenshot service for a team's own host\nThe viewing pages, the three CGI endpoints and the FTP upload server that the Quiblo program\ntalks to, as a systemd service with its own user and data folder, and TLS from a certificate.")
set(CPACK_DEBIAN_SERVICE_PACKAGE_SECTION net)
set(CPACK_DEBIAN_SERVICE_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_SERVICE_PACKAGE_DEPENDS "python3, python3-aiohttp, python3-jinja2, python3-babel, python3-cryptography, python3-pyftpdlib, python3-openssl, python3-pil, adduser")
set(CPACK_DEBIAN_SERVICE_PACKAGE_RECOMMENDS "python3-psycopg")
set(CPACK_DEBIAN_SERVICE_PACKAGE_SUGGESTS "postgresql")
set(CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_EXTRA
    "${PROJECT_SOURCE_DIR}/server/debian/conffiles;${PROJECT_SOURCE_DIR}/server/debian/postinst;${PROJECT_SOURCE_DIR}/server/debian/prerm;${PROJECT_SOURCE_DIR}/server/debian/postrm")
set(CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

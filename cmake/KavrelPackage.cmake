# The Debian package kavrel-tools, made by `cpack -G DEB` in the build folder
# (scripts/package): everything `cmake --install` installs, under /usr, with the
# shared-library dependencies computed from the binaries by dpkg-shlibdeps.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavrel-tools)
set(CPACK_PACKAGE_VENDOR Ostrevan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Ostrevan <kavrel@ostrevan.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PC tools for the Kavrel GSM telemetry and alarm module")
# The synopsis is the summary above; these lines are the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kavrel-Config reads, edits, writes and verifies the configuration of a Kavrel
module over a serial port or TCP/IP and keeps it in .kvl files. The kavrel
command-line tool does the same, polls measurements and downloads the module's
memory from scripts; kavrel-sim is a simulated module for trying them out.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the display plugins of Qt and
# its Polish texts for the standard dialogs.
# adduser: the fleet service's system user where systemd-sysusers is not at hand (postinst).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, adduser")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The fleet service's system user and options file (resources/debian/postinst), the service
# stopped before a removal.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/resources/debian/postinst;${PROJECT_SOURCE_DIR}/resources/debian/prerm;${PROJECT_SOURCE_DIR}/resources/debian/postrm")
include(CPack)

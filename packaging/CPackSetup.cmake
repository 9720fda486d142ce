# ./dev package: a Debian package whose dependencies are the real runtime libraries, checked
# with lintian by ./dev.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TAVO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor for incoming ISDN calls (CAPI 2.0)")
# One string: a list would reach the control file with ";" between its parts. Lines stay within
# 80 columns once dpkg has indented them.
set(CPACK_PACKAGE_DESCRIPTION "TAVO listens on every CAPI 2.0 controller and never takes a call.
For each incoming call it records it, logs it, resolves the numbers to names
and announces it with a popup, a sound and speech; a small telnet server lists
recent calls.")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Linked libraries (Qt 6, libespeak-ng, libcanberra) are found by dpkg-shlibdeps; libcapi20 is
# loaded at run time and named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcapi20-3")
# The popup's default face "Arial" is met by a metric-compatible font; Qt's own dialog texts
# come in the interface's language with Qt's translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "sound-theme-freedesktop, fonts-liberation2, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)

# The Debian package: `cpack -G DEB` in the build folder writes
# velmar_<version>_amd64.deb with everything `cmake --install` puts in place.

set(CPACK_PACKAGE_NAME velmar)
set(CPACK_PACKAGE_VENDOR "Velmar developers")
# Who answers for the package. Set at configure time (-DVELMAR_MAINTAINER=...) or when
# the package is made: VELMAR_MAINTAINER in cpack's environment, or
# `cpack -D CPACK_DEBIAN_PACKAGE_MAINTAINER=...`.
set(VELMAR_MAINTAINER "Velmar developers <maintainers@velmar.invalid>"
    CACHE STRING "Name and mail address of the package's maintainer")
set(CPACK_PACKAGE_CONTACT "${VELMAR_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELMAR_MAINTAINER}")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/VelmarPackageTime.cmake)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "clipboard editor for Japanese text with LAN messaging")
# Debian shows the description in 80 columns: every line stays well inside them.
set(CPACK_PACKAGE_DESCRIPTION
    "Velmar keeps text windows filled from the clipboard, from files and from\n"
    "messages received on the local network, and copies their text back whole,\n"
    "as a selection or with reply marks. It converts between Shift_JIS, JIS and\n"
    "ISO-2022-JP, encodes Base64, URL and hex forms, encrypts and signs with\n"
    "PGP, and exchanges messages with peers on the LAN over UDP port 2425.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # velmar_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries are found by dpkg-shlibdeps; what the program loads or runs at
# run time without linking it is named here: Qt's platform plugins and translations,
# Japanese fonts, GnuPG and its pinentry for the PGP commands, and the SQLite driver of
# Qt SQL for the message history.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-translations-l10n, fonts-noto-cjk, gnupg, pinentry-qt, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

# Debian's documentation files: the machine-readable copyright and the changelog,
# compressed without a time stamp so that two builds give the same bytes.
set(VELMAR_CHANGELOG_MAINTAINER "Velmar developers <maintainers@velmar.invalid>")
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in
               ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(velmar_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(CPack)

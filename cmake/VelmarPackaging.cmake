# The Debian package: `cpack -G DEB` in the build folder writes
# velmar_<version>_amd64.deb with everything `cmake --install` puts in place.

set(CPACK_PACKAGE_NAME velmar)
set(CPACK_PACKAGE_VENDOR "Velmar developers")
set(CPACK_PACKAGE_CONTACT "Velmar developers <velmar@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "clipboard editor for Japanese text with LAN messaging")
set(CPACK_PACKAGE_DESCRIPTION
    "Velmar keeps text windows filled from the clipboard, from files and from messages\n"
    "received on the local network, and copies their text back whole, as a selection or\n"
    "with reply marks. It converts between Shift_JIS, JIS and ISO-2022-JP, encodes Base64,\n"
    "URL and hex forms, encrypts and signs with PGP, and exchanges messages with peers on\n"
    "the LAN over UDP port 2425.")
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

include(CPack)

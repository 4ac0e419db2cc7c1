# Install layout of the client and its desktop integration, and the Debian package built from it.
include(GNUInstallDirs)

set(PELUNNA_APP_ID com.pelunnalabs.Labs)
set(PELUNNA_DATA_DIR ${PROJECT_SOURCE_DIR}/data)

install(TARGETS pelunna-labs RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${PELUNNA_DATA_DIR}/pelunna-labs-session DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PELUNNA_DATA_DIR}/${PELUNNA_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PELUNNA_DATA_DIR}/${PELUNNA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PELUNNA_DATA_DIR}/icons/hicolor/scalable/apps/${PELUNNA_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PELUNNA_DATA_DIR}/icons/hicolor/symbolic/apps/${PELUNNA_APP_ID}-symbolic.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/symbolic/apps)
install(FILES ${PELUNNA_DATA_DIR}/wayland-sessions/pelunna-labs.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/wayland-sessions)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Debian ships manual pages compressed; -n leaves the time stamp out so that builds match.
find_program(GZIP gzip REQUIRED)
set(PELUNNA_MAN_DIR ${PROJECT_BINARY_DIR}/man)
foreach(page pelunna-labs.1 pelunna-labs-session.1)
    add_custom_command(
        OUTPUT ${PELUNNA_MAN_DIR}/${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PELUNNA_MAN_DIR}
        COMMAND ${GZIP} -9 -n -c ${PELUNNA_DATA_DIR}/${page} > ${PELUNNA_MAN_DIR}/${page}.gz
        DEPENDS ${PELUNNA_DATA_DIR}/${page}
        VERBATIM)
    list(APPEND PELUNNA_MAN_PAGES ${PELUNNA_MAN_DIR}/${page}.gz)
endforeach()
add_custom_target(pelunna_man_pages ALL DEPENDS ${PELUNNA_MAN_PAGES})
install(FILES ${PELUNNA_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelunna-labs)
set(CPACK_PACKAGE_VENDOR "Pelunna Labs")
set(CPACK_PACKAGE_CONTACT "Pelunna Labs <support@pelunnalabs.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Kiosk client for the Pelunna Tamil Labs language laboratory")
# Lines as the control file shows them: Debian packages wrap their long text by hand.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Pelunna Labs opens the Pelunna Tamil Labs online language laboratory in a"
    "window locked in full screen. It asks for the microphone, which the lab uses"
    "for pronunciation checking and speaking activities, and removes all website"
    "data when it quits. A login session of its own runs it alone on lab"
    "computers.")
set(CPACK_PACKAGE_HOMEPAGE_URL https://pelunnalabs.com/)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# dpkg-shlibdeps adds the libraries the executable links (WebKitGTK, GTK, GLib, the C++ runtime)
# at the versions it was built against; what the engine only loads at run time is listed here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, \
gstreamer1.0-pulseaudio | gstreamer1.0-pipewire, adwaita-icon-theme")
# The permission store keeps the microphone decision where the desktop's settings see it; the
# lab's pages are in Tamil.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-desktop-portal, fonts-lohit-taml | fonts-noto-core")
# The kiosk session needs one of these compositors; a desktop user needs neither.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cage | weston")
include(CPack)

# Installation like a desktop application and a Debian package of it:
#   cmake --install build/release [--prefix DIR]
#   (cd build/release && cpack -G DEB)
install(FILES ${PROJECT_SOURCE_DIR}/resources/zarvex.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/zarvex.svg
              ${PROJECT_SOURCE_DIR}/resources/icons/zarvex-symbolic.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/resources/app.zarvex.Zarvex.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_PACKAGE_NAME "zarvex")
set(CPACK_PACKAGE_VENDOR "Zarvex")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Screen recorder with a built-in editor")
set(CPACK_PACKAGE_DESCRIPTION "Zarvex lives in the system tray: pick a display, a window or a \
region, record it with the microphone, system audio, a webcam bubble and the cursor, and style, \
trim and export the recording as an MP4 movie.")
set(CPACK_PACKAGE_CONTACT "Zarvex <zarvex@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "video")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zarvex.app")
# Shared libraries from what the binary links; the rest is loaded at run time:
# Qt's X11 platform plugin and its SVG icon engine; the fonts of the themes and
# a file manager opener are recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-inter, fonts-quicksand, xdg-utils, pulseaudio | pipewire-pulse")
include(CPack)

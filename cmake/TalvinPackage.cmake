# Installation as a desktop program and the Debian package.
#   bin/talvin                      the program
#   share/talvin/                   the shipped program directory, a read-only template that
#                                   the program copies into the user's own directory
#   share/applications, share/icons, share/metainfo
#                                   the menu entry, its icon and the AppStream metadata
include(GNUInstallDirs)

install(TARGETS talvin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_BINARY_DIR}/dist/ DESTINATION ${CMAKE_INSTALL_DATADIR}/talvin)
set(TALVIN_APP_ID org.talvin.Talvin)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${TALVIN_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${TALVIN_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${TALVIN_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_PACKAGE_NAME talvin)
set(CPACK_PACKAGE_VENDOR "Talvin developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "talking IRC client for blind and visually impaired people")
set(CPACK_PACKAGE_DESCRIPTION
  "Everything in Talvin can be heard: every control speaks its name and content when it\n"
  "takes the keyboard focus, incoming messages are read aloud by a second voice, menus\n"
  "are announced and every command has a keyboard shortcut.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY talvin)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Talvin developers <talvin@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# The libraries the program links (Qt, libspeechd, libespeak-ng, OpenSSL) are found by
# dpkg-shlibdeps; the speech daemon and the synthesiser's voices are run-time needs it cannot
# see.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "speech-dispatcher, espeak-ng-data")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "speech-dispatcher-espeak-ng")
include(CPack)

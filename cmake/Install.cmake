# Installation: the program directory goes whole to lib/sonvara (the
# executables find Modules/, Effects/, Language/, Skins/, Help/ and the
# preset files beside themselves, as in build/app), the commands are linked
# into bin/, and the desktop gets its entry, icons and manual pages under
# share/. `cpack -G DEB` makes a Debian package of the same tree.
include(GNUInstallDirs)
set(SONVARA_INSTALL_APPDIR lib/sonvara)

# Files the programs and tests write beside the executables in a portable
# build directory are the user's, never the package's.
install(DIRECTORY ${SONVARA_APP_DIR}/ DESTINATION ${SONVARA_INSTALL_APPDIR}
    USE_SOURCE_PERMISSIONS
    PATTERN "config.ini" EXCLUDE
    PATTERN "registry.ini*" EXCLUDE
    PATTERN "Language.xml" EXCLUDE
    PATTERN "Adverts.ini" EXCLUDE
    PATTERN "fileDB.dat" EXCLUDE
    PATTERN "playlists.xml" EXCLUDE
    PATTERN "*.m3u8" EXCLUDE
    PATTERN "*.log" EXCLUDE
    PATTERN "*.bad" EXCLUDE
    PATTERN "*.tmp*" EXCLUDE
    PATTERN "lv2" EXCLUDE
    PATTERN "ladspa" EXCLUDE)

foreach(command sonvara sonvara-fx)
    install(CODE "
        set(_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        file(MAKE_DIRECTORY \"\${_bin}\")
        file(CREATE_LINK \"../${SONVARA_INSTALL_APPDIR}/${command}\" \"\${_bin}/${command}\" SYMBOLIC)
        message(STATUS \"Installing: \${_bin}/${command} -> ../${SONVARA_INSTALL_APPDIR}/${command}\")")
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/sonvara.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/sonvara.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
if(SONVARA_ICON_DIR)
    install(DIRECTORY ${SONVARA_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/man/sonvara.1 ${PROJECT_SOURCE_DIR}/packaging/man/sonvara-fx.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sonvara)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The sonvara developers")
set(CPACK_PACKAGE_CONTACT "The sonvara developers <developers@sonvara.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Skinned music player and module host, with a two-tone voice effect")
set(CPACK_PACKAGE_DESCRIPTION
    "sonvara plays music, records from the microphone and morphs voices. Tool modules share\n one player, one recorder, a ten-band equalizer and a surround processor. The\n StavoModulation effect switches a sung tone between two pitches; sonvara-fx runs it\n over audio files.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)

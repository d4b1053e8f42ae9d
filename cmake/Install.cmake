# What `cmake --install` puts where, and the Debian package CPack makes of it
# (scripts/package). The launcher `velutrix` goes to bin/, the full program it
# hands the desktop to into libexec/velutrix/.
set(VELUTRIX_LINUX ${PROJECT_SOURCE_DIR}/resources/linux)
set(VELUTRIX_APP_ID org.velutrix.Velutrix)

install(TARGETS velutrix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS velutrix_full RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/velutrix)
install(FILES ${PROJECT_SOURCE_DIR}/resources/manual.html DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velutrix)
install(FILES ${VELUTRIX_LINUX}/velutrix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VELUTRIX_LINUX}/velutrix.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
configure_file(${VELUTRIX_LINUX}/${VELUTRIX_APP_ID}.metainfo.xml ${PROJECT_BINARY_DIR}/${VELUTRIX_APP_ID}.metainfo.xml
               @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${VELUTRIX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_BINARY_DIR}/velutrix.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(VELUTRIX_ICONS ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${PROJECT_BINARY_DIR}/icons/velutrix.svg DESTINATION ${VELUTRIX_ICONS}/scalable/apps)
foreach(size 48 256)
  install(FILES ${PROJECT_BINARY_DIR}/icons/velutrix-${size}.png DESTINATION ${VELUTRIX_ICONS}/${size}x${size}/apps
          RENAME velutrix.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velutrix)
set(CPACK_PACKAGE_VENDOR "Velutrix")
set(CPACK_PACKAGE_CONTACT "Velutrix developers <velutrix@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Toolbox for raw, headerless video files")
set(CPACK_PACKAGE_DESCRIPTION
    "Plays, converts, crops, flips, joins, pads, splits and merges raw YUV, RGB, mono and BMP picture sequences, measures PSNR and SSIM, and runs every job from the command line as well.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/package)
include(CPack)

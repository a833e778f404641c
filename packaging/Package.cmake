# What `cmake --install` adds beside the executables and the shared data:
# menu entry, icons, AppStream metainfo, the user unit; and the .deb.
set(ZEL_APP_ID org.example.zelmora)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${ZEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${ZEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/packaging/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# The unit names the installed server by its full path, so it is written at
# install time, when the prefix is known (/usr for the package). systemd
# looks in <prefix>/lib/systemd/user whatever the library folder is.
install(CODE "
  set(ZEL_SERVER_EXE \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/zelmora/zelmora-server\")
  set(ZEL_SHARE_DIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/zelmora\")
  set(unit \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/zelmora-server.service\")
  message(STATUS \"Installing: \${unit}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/packaging/zelmora-server.service.in\" \"\${unit}\" @ONLY)
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Zelmora developers <zelmora@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "weather forecasts, lunar calendar and lookups for Chinese-speaking users")
set(CPACK_PACKAGE_DESCRIPTION "A single-window desktop utility: forecasts from three weather sites,\na lunar perpetual calendar, mobile-number and IP lookups, postal and area\ncodes, with a companion server for the lookups.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://example.org/zelmora)
# Libraries come from dpkg-shlibdeps; what the program needs without
# linking it: the CJK font it asks for, the outside browser's opener and
# wx's Chinese message catalogues (GTK's come with its library).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, xdg-utils, wx3.2-i18n")
include(CPack)

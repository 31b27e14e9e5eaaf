# Installing and packaging: `cpack -G DEB` in a Release build makes corvat_<version>_<arch>.deb.
# The program folder stays one folder, /usr/lib/corvat, as in the build, so the programs find the
# converter, the demo images and each other beside themselves; /usr/bin only holds links into it.
set(CORVAT_INSTALL_DIR lib/corvat)
set(CORVAT_SCREENSHOT_URL "http://www.quoratel.com/corvat/screenshot.png"
    CACHE STRING "Where the software centre finds docs/screenshot.png")
set(share ${PROJECT_SOURCE_DIR}/share/linux)
set(staged ${CMAKE_BINARY_DIR}/share)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(programs corvat corvat-virtual-target)
if(TARGET corvat-flash)
  list(APPEND programs corvat-flash)
endif()
install(TARGETS ${programs} hex2bin RUNTIME DESTINATION ${CORVAT_INSTALL_DIR})
install(FILES ${CORVAT_PROGRAM_DIR}/demo.bin ${CORVAT_PROGRAM_DIR}/demo.hex DESTINATION ${CORVAT_INSTALL_DIR})

# Links, not copies or scripts: the program folder is the folder of the real executable.
file(MAKE_DIRECTORY ${staged}/bin)
foreach(program IN LISTS programs)
  file(CREATE_LINK ../${CORVAT_INSTALL_DIR}/${program} ${staged}/bin/${program} SYMBOLIC)
  install(FILES ${staged}/bin/${program} DESTINATION bin)
endforeach()

# Manual pages and the changelog carry the version and are compressed as Debian expects.
set(compressed)
foreach(page corvat corvat-flash corvat-virtual-target)
  configure_file(${share}/${page}.1 ${staged}/man/${page}.1 @ONLY)
  list(APPEND compressed ${staged}/man/${page}.1)
endforeach()
configure_file(${share}/changelog ${staged}/doc/changelog @ONLY)
list(APPEND compressed ${staged}/doc/changelog)
set(gzipped)
foreach(file IN LISTS compressed)
  add_custom_command(OUTPUT ${file}.gz COMMAND gzip -9nkf ${file} DEPENDS ${file} VERBATIM)
  list(APPEND gzipped ${file}.gz)
endforeach()
add_custom_target(package-docs ALL DEPENDS ${gzipped})
foreach(page IN LISTS programs)
  install(FILES ${staged}/man/${page}.1.gz DESTINATION share/man/man1)
endforeach()
install(FILES ${staged}/doc/changelog.gz ${share}/copyright DESTINATION share/doc/corvat)

configure_file(${share}/${CORVAT_APP_ID}.metainfo.xml.in ${staged}/${CORVAT_APP_ID}.metainfo.xml @ONLY)
install(FILES ${share}/${CORVAT_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${staged}/${CORVAT_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION share/icons/hicolor)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvat)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quoratel)
set(CPACK_PACKAGE_CONTACT "Quoratel <support@quoratel.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "program loader for microcontrollers with a serial boot loader")
# CPack puts the summary first itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Corvat downloads a program image, a flat binary or an Intel HEX file, into a
small target controller that runs a serial boot loader at 9600 baud: it greets
and identifies the target, sends the image page by page with checksums, resends
rejected pages and releases the target. The window is in Simplified Chinese.
.
The package also contains corvat-flash, a command-line front end for one or
more boards, and corvat-virtual-target, a simulated target for trying the whole
session without hardware.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE http://www.quoratel.com)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the libraries do not say: the fonts the window's Chinese and Latin faces fall back to, the
# platform plugin that puts it on an X or Wayland desktop, and xdg-open for the web link.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-arphic-uming, fonts-wqy-microhei, fonts-dejavu-core, qt6-qpa-plugins, xdg-utils")
include(CPack)

# What the package holds, so that making it builds no tests or benchmarks.
add_custom_target(package-contents DEPENDS ${programs} hex2bin demo-image app-icons package-docs)

# Linux: the game executable, its installation in Debian's layout and the
# .deb. Included from the top-level CMakeLists.txt, so relative paths start
# at the top of the source tree.

# SDL 1.2 has no entry wrapper here: main forwards to SDL_main.
add_executable(sparkrally ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
sparkrally_program(sparkrally COMMANDLINE)
target_link_libraries(sparkrally PRIVATE SDL::SDL OpenGL::GL)

include(GNUInstallDirs)
set(APP_ID org.sparkrally.sparkrally)
# Debian keeps games in their own folder on PATH, /usr/games or /usr/local/games.
set(SPARKRALLY_INSTALL_GAMESDIR games CACHE STRING "Where the game binary is installed")

# The manual page and the changelog are installed compressed, as Debian
# requires; -n keeps the archives free of names and times.
set(man_gz ${CMAKE_BINARY_DIR}/sparkrally.6.gz)
set(changelog_gz ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${man_gz}
  COMMAND gzip -9n -c ${CMAKE_CURRENT_SOURCE_DIR}/data/sparkrally.6 > ${man_gz}
  DEPENDS data/sparkrally.6)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND gzip -9n -c ${CMAKE_CURRENT_SOURCE_DIR}/data/debian/changelog > ${changelog_gz}
  DEPENDS data/debian/changelog)
add_custom_target(compressed_docs ALL DEPENDS ${man_gz} ${changelog_gz})

install(TARGETS sparkrally RUNTIME DESTINATION ${SPARKRALLY_INSTALL_GAMESDIR})
install(FILES data/${APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/${APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES data/icons/sparkrally-64.png RENAME ${APP_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps)
install(FILES data/icons/sparkrally.svg RENAME ${APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES data/debian/copyright ${changelog_gz} DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_DESCRIPTION [=[
Your paddle follows the mouse on the left of a 640 x 480 OpenGL window; the
computer's paddle chases the ball on the right. Where the ball meets your
paddle decides how it turns, every paddle line speeds it up, and every
bounce throws a burst of 501 coloured sparks. The first side to 5 points
ends the match.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# Runtime dependencies come from the libraries the binary really links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Debian's modes: 0644 files, 0755 programs and folders, 0644 control files.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Windows: the game executable with SDL's DLLs beside it, and the zip.
# Included from the top-level CMakeLists.txt, so relative paths start at the
# top of the source tree.

# SDLmain's WinMain is the process entry; the executable's own source is
# its icon and version resource.
add_executable(sparkrally WIN32 ${CMAKE_CURRENT_LIST_DIR}/sparkrally.rc)
target_link_libraries(sparkrally PRIVATE SDL::SDLmain)
sparkrally_program(sparkrally COMMANDLINE)
target_link_libraries(sparkrally PRIVATE SDL::SDL OpenGL::GL)
# The DLLs beside the executable, so the build tree runs as the zip does.
add_custom_command(TARGET sparkrally POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${SDL_RUNTIME_DLLS} $<TARGET_FILE_DIR:sparkrally>)

# One folder to unzip anywhere: the game, the two DLLs and every licence.
install(TARGETS sparkrally RUNTIME DESTINATION .)
install(FILES ${SDL_RUNTIME_DLLS} ${CMAKE_CURRENT_LIST_DIR}/README.txt DESTINATION .)
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${SDL2_LICENSE} DESTINATION licenses RENAME SDL2-LICENSE.txt)
install(FILES ${SDL12_LICENSE} DESTINATION licenses RENAME sdl12-compat-LICENSE.txt)
install(FILES ${CORE_MATH_LICENSE} ${ZLIB_LICENSE} DESTINATION licenses)
# The zip, written by zip.py from CPack's staged install tree, so that the
# same files always give the same archive.
set(CPACK_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/platform/zip.cmake)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_FILE_NAME sparkrally-${PROJECT_VERSION}-windows-x64)

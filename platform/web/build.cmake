# The browser: the game as a static web page. Included from the top-level
# CMakeLists.txt, so relative paths start at the top of the source tree.
set(web_dir ${CMAKE_CURRENT_LIST_DIR})

# The browser's SDL headers do not declare SDL_GetKeyState, which its SDL
# library implements.
target_compile_options(sparkrally_game PRIVATE -include ${web_dir}/keystate.h)

# OpenGL 1.1 over WebGL, and the few SDL calls whose browser versions differ
# from what the game relies on. Linked in place of libGL, as the tests link
# their doubles.
add_library(sparkrally_web STATIC ${web_dir}/gl.cpp ${web_dir}/sdl.cpp)
target_include_directories(sparkrally_web PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
# A canvas that gives no WebGL is a failed video mode: sdl.cpp wraps SDL's.
# ASYNCIFY lets the game's loop and its SDL_Delay block as on the desktop,
# the page yielding to the browser in every sleep. Only direct calls lead to
# a sleep, so indirect ones stay uninstrumented and fast. EXIT_RUNTIME tells
# the page when the run has ended. Every program linked with the layer gets
# these.
target_link_options(sparkrally_web INTERFACE -Wl,--wrap=SDL_SetVideoMode
  -sASYNCIFY -sASYNCIFY_IGNORE_INDIRECT -sEXIT_RUNTIME=1 -sENVIRONMENT=web)

add_executable(sparkrally ${web_dir}/main.cpp)
target_link_libraries(sparkrally PRIVATE sparkrally_game sparkrally_web)

# One folder for any static web host: the page, the game, its icon and the
# licences of everything compiled into it.
install(TARGETS sparkrally RUNTIME DESTINATION .)
install(FILES $<TARGET_FILE_DIR:sparkrally>/sparkrally.wasm ${web_dir}/index.html DESTINATION .)
install(FILES data/icons/sparkrally.svg DESTINATION . RENAME favicon.svg)
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
# Emscripten's runtime, musl and libc++ are compiled into the .js and .wasm.
install(FILES /usr/share/doc/emscripten/copyright DESTINATION licenses
        RENAME emscripten-copyright.txt)

# The browser: the game as a static web page. Included from the top-level
# CMakeLists.txt, so relative paths start at the top of the source tree.
set(web_dir ${CMAKE_CURRENT_LIST_DIR})

# The browser's SDL headers do not declare SDL_GetKeyState, which its SDL
# library implements.
target_compile_options(sparkrally_game PRIVATE -include ${web_dir}/keystate.h)
# The browser's SDL keeps the arrows' state at its own codes.
target_compile_definitions(sparkrally_layer PRIVATE SPARKRALLY_BROWSER_KEYS)

# OpenGL 1.1 over WebGL, and the few SDL calls whose browser versions differ
# from what the game relies on. Linked in place of libGL, as the tests link
# their doubles.
add_library(sparkrally_web STATIC ${web_dir}/gl.cpp ${web_dir}/sdl.cpp)
target_include_directories(sparkrally_web PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
# sdl.cpp wraps SDL_SetVideoMode (a canvas without WebGL, or WebGL without
# the shaders, is a failed mode).
# ASYNCIFY lets the game's loop and its SDL_Delay block as on the desktop, the
# page yielding to the browser in every sleep. Only direct calls lead to a
# sleep, so indirect ones stay uninstrumented and fast. EXIT_RUNTIME tells the
# page when the run has ended. The layer draws with WebGL 1 alone, so the
# context is not made to switch on every extension it offers: on a phone that
# alone made the game's start several times longer. The heap starts at 16 MiB,
# which a match needs, and grows up to 256 MiB for a replay: the largest file
# the reader takes (64 MiB) as the page hands it over, and what reading it
# holds besides (docs/replays.md). Growing turns off malloc's abort on
# failure: every allocation is checked instead. Every program linked with the
# layer gets these, so that the benchmarks measure the page's own heap. The
# page makes the WebGL context itself as it loads (index.html), and SDL
# takes that one.
sparkrally_wrap(sparkrally_web SDL_SetVideoMode)
target_link_options(sparkrally_web INTERFACE -sASYNCIFY -sASYNCIFY_IGNORE_INDIRECT -sEXIT_RUNTIME=1
  -sENVIRONMENT=web -sGL_SUPPORT_AUTOMATIC_ENABLE_EXTENSIONS=0 -sGL_PREINITIALIZED_CONTEXT=1
  -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=256MB)

add_executable(sparkrally ${web_dir}/main.cpp ${web_dir}/replay.cpp ${web_dir}/limits.cpp)
target_compile_definitions(sparkrally PRIVATE SPARKRALLY_VERSION="${PROJECT_VERSION}")
# The page calls the replay's exports (replay.cpp) with ccall, and writes a
# replay's bytes into the heap for it. The game opens no file, so the page
# goes without Emscripten's file system: what it prints goes straight to
# the page.
target_link_options(sparkrally PRIVATE -sEXPORTED_RUNTIME_METHODS=ccall,HEAPU8
                    -sEXPORTED_FUNCTIONS=_main,_malloc,_free -sFILESYSTEM=0)
# The .wasm keeps no function names, and Emscripten 3.1.6 drops a link map
# option (taking --Map for -M), so the options the page is linked with
# stand in for its symbols in the test that it has every wrap of its seam:
# the link fails where a wrapped call's __wrap_ function is missing.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/sparkrally.linkoptions
     CONTENT "$<JOIN:$<TARGET_PROPERTY:sparkrally,LINK_OPTIONS>,\n>\n")
sparkrally_program(sparkrally PLATFORM sparkrally_web)

# The page, whole, in one folder of the build: what the tests open and what
# is installed. The game's .js and .wasm are written there directly, and
# the game's .js minified in place once linked; the page and its own
# scripts are minified on their way there (minify.js says how).
set(page_dir ${CMAKE_BINARY_DIR}/page)
set_target_properties(sparkrally PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${page_dir})
find_program(NODE node REQUIRED)
set(minify ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs ${NODE} ${web_dir}/minify.js)
add_custom_command(TARGET sparkrally POST_BUILD
                   COMMAND ${minify} --whole ${page_dir}/sparkrally.js ${page_dir}/sparkrally.js
                   VERBATIM)
set(scripts)
foreach(file index.html page.js replay.js runend.js)
  add_custom_command(OUTPUT ${page_dir}/${file}
                     COMMAND ${minify} ${web_dir}/${file} ${page_dir}/${file}
                     DEPENDS ${web_dir}/${file} ${web_dir}/minify.js VERBATIM)
  list(APPEND scripts ${page_dir}/${file})
endforeach()
configure_file(${web_dir}/manifest.webmanifest ${page_dir}/manifest.webmanifest COPYONLY)
configure_file(data/icons/sparkrally.svg ${page_dir}/favicon.svg COPYONLY)
# The icons that a phone or a desktop shows for the installed page, in as
# few colours as keep their edges smooth: a quarter of their full-colour
# weight.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(PNGQUANT pngquant REQUIRED)
set(icons)
foreach(size 192 512)
  add_custom_command(OUTPUT ${page_dir}/icon-${size}.png
                     COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${page_dir}/icon-${size}-full.png
                             ${CMAKE_CURRENT_SOURCE_DIR}/data/icons/sparkrally.svg
                     COMMAND ${PNGQUANT} --force --strip --speed 1 -o ${page_dir}/icon-${size}.png
                             ${page_dir}/icon-${size}-full.png
                     COMMAND ${CMAKE_COMMAND} -E rm ${page_dir}/icon-${size}-full.png
                     DEPENDS data/icons/sparkrally.svg VERBATIM)
  list(APPEND icons ${page_dir}/icon-${size}.png)
endforeach()
# The service worker keeps every file the page loads, named for this build.
set(kept index.html page.js replay.js runend.js sparkrally.js sparkrally.wasm favicon.svg
    manifest.webmanifest icon-192.png icon-512.png)
list(JOIN kept "," kept)
add_custom_command(OUTPUT ${page_dir}/sw.js
                   COMMAND ${CMAKE_COMMAND} -DPAGE=${page_dir} -DFILES=${kept}
                           -DTEMPLATE=${web_dir}/sw.js.in -P ${web_dir}/offline.cmake
                   DEPENDS sparkrally ${icons} ${scripts} ${web_dir}/sw.js.in
                           ${web_dir}/offline.cmake ${page_dir}/manifest.webmanifest
                           ${page_dir}/favicon.svg
                   VERBATIM)
add_custom_target(sparkrally_page ALL DEPENDS ${page_dir}/sw.js)

# One folder for any static web host: the page and the licences of
# everything compiled into it.
install(DIRECTORY ${page_dir}/ DESTINATION .)
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
# Emscripten's runtime, musl and libc++, CORE-MATH and zlib are compiled into
# the .js and .wasm.
install(FILES /usr/share/doc/emscripten/copyright DESTINATION licenses
        RENAME emscripten-copyright.txt)
install(FILES ${CORE_MATH_LICENSE} ${ZLIB_LICENSE} DESTINATION licenses)

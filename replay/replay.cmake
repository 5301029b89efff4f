# Replay files: the format, its reader and writer, and zlib. Nothing of the
# game's: a replay is bytes, frames and digests.
add_library(sparkrally_replay STATIC ${CMAKE_CURRENT_LIST_DIR}/framecodec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/replayfile.cpp)
target_include_directories(sparkrally_replay PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(sparkrally_replay PUBLIC sparkrally_zlib)

# The replay layer, on every target: the linker sends the game's calls of
# SDL_PollEvent, SDL_GetKeyState, SDL_GL_SwapBuffers and SDL_Delay to it
# (--wrap, which GNU ld, mingw-w64's ld and wasm-ld all take), and it calls
# the platform's own through the __real_ names. Object libraries, so that
# the wraps are linked whatever the order of the archives.
add_library(sparkrally_layer OBJECT ${CMAKE_CURRENT_LIST_DIR}/layer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/steer.cpp ${CMAKE_CURRENT_LIST_DIR}/pad.cpp)
target_link_libraries(sparkrally_layer PUBLIC sparkrally_replay sparkrally_game)
target_compile_definitions(sparkrally_layer PRIVATE SPARKRALLY_VERSION="${PROJECT_VERSION}")
target_link_options(sparkrally_layer INTERFACE -Wl,--wrap=SDL_PollEvent
  -Wl,--wrap=SDL_GetKeyState -Wl,--wrap=SDL_GL_SwapBuffers -Wl,--wrap=SDL_Delay)

# The desktop's command line (--record, --replay, --verify) in front of
# SDL_main, and, for --verify, the SDL calls that would open a window.
add_library(sparkrally_commandline OBJECT ${CMAKE_CURRENT_LIST_DIR}/commandline.cpp ${null_answers})
target_link_libraries(sparkrally_commandline PUBLIC sparkrally_layer)
target_compile_definitions(sparkrally_commandline PRIVATE SPARKRALLY_VERSION="${PROJECT_VERSION}")
target_link_options(sparkrally_commandline INTERFACE -Wl,--wrap=SDL_main -Wl,--wrap=SDL_Init
  -Wl,--wrap=SDL_VideoDriverName -Wl,--wrap=SDL_GL_SetAttribute -Wl,--wrap=SDL_SetVideoMode
  -Wl,--wrap=SDL_GetError -Wl,--wrap=SDL_Quit)

# Every program a player runs gets the whole seam in front of the game from
# here, in one order: the command line where the platform has one, the
# replay layer, the game, then the platform's own library with its wraps.
# Leaving a piece out would still build, and silently lose replays, pause
# or the command line, so no player's program names the pieces itself.
#   sparkrally_program(target [COMMANDLINE] [PLATFORM library])
function(sparkrally_program target)
  cmake_parse_arguments(arg "COMMANDLINE" "PLATFORM" "" ${ARGN})
  set(seam)
  if(arg_COMMANDLINE)
    list(APPEND seam sparkrally_commandline)
  endif()
  target_link_libraries(${target} PRIVATE ${seam} sparkrally_layer sparkrally_game ${arg_PLATFORM})
endfunction()

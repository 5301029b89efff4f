# Replay files: the format, its reader and writer, and zlib. Nothing of the
# game's: a replay is bytes, frames and digests.
add_library(sparkrally_replay STATIC ${CMAKE_CURRENT_LIST_DIR}/framecodec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/replayfile.cpp)
target_include_directories(sparkrally_replay PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(sparkrally_replay PUBLIC sparkrally_zlib)

# Gives every program linked with `library` the linker's --wrap of each SDL
# call named, and notes the names on the library, so that the option and
# the __wrap_ function that answers it always come together, and
# sparkrally_program can say which wraps a program must have.
function(sparkrally_wrap library)
  set(options ${ARGN})
  list(TRANSFORM options PREPEND -Wl,--wrap=)
  target_link_options(${library} INTERFACE ${options})
  set_property(TARGET ${library} APPEND PROPERTY SPARKRALLY_WRAPS ${ARGN})
endfunction()

# The replay layer, on every target: the linker sends the game's calls of
# SDL_PollEvent, SDL_GetKeyState, SDL_GL_SwapBuffers and SDL_Delay to it
# (--wrap, which GNU ld, mingw-w64's ld and wasm-ld all take), and it calls
# the platform's own through the __real_ names. Object libraries, so that
# the wraps are linked whatever the order of the archives.
add_library(sparkrally_layer OBJECT ${CMAKE_CURRENT_LIST_DIR}/layer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/steer.cpp ${CMAKE_CURRENT_LIST_DIR}/pad.cpp)
target_link_libraries(sparkrally_layer PUBLIC sparkrally_replay sparkrally_game)
target_compile_definitions(sparkrally_layer PRIVATE SPARKRALLY_VERSION="${PROJECT_VERSION}")
sparkrally_wrap(sparkrally_layer SDL_PollEvent SDL_GetKeyState SDL_GL_SwapBuffers SDL_Delay)

# The desktop's command line (--record, --replay, --verify) in front of
# SDL_main, and, for --verify, the SDL calls that would open a window.
add_library(sparkrally_commandline OBJECT ${CMAKE_CURRENT_LIST_DIR}/commandline.cpp ${null_answers})
target_link_libraries(sparkrally_commandline PUBLIC sparkrally_layer)
target_compile_definitions(sparkrally_commandline PRIVATE SPARKRALLY_VERSION="${PROJECT_VERSION}")
sparkrally_wrap(sparkrally_commandline SDL_main SDL_Init SDL_VideoDriverName SDL_GL_SetAttribute
  SDL_SetVideoMode SDL_GetError SDL_Quit)

# Every program a player runs gets the whole seam in front of the game from
# here, in one order: the command line where the platform has one, the
# replay layer, the game, then the platform's own library with its wraps.
# Leaving a piece out would still build, and silently lose replays, pause
# or the command line, so no player's program names the pieces itself.
# The wraps the program must have go to <target>.wraps in the current
# binary folder, one call a line, where the test seam_wraps reads them
# (tests/contract/check_wraps.py), in this build tree or another.
#   sparkrally_program(target [COMMANDLINE] [PLATFORM library])
function(sparkrally_program target)
  cmake_parse_arguments(arg "COMMANDLINE" "PLATFORM" "" ${ARGN})
  set(seam)
  if(arg_COMMANDLINE)
    list(APPEND seam sparkrally_commandline)
  endif()
  target_link_libraries(${target} PRIVATE ${seam} sparkrally_layer sparkrally_game ${arg_PLATFORM})
  set(wraps)
  foreach(piece ${seam} sparkrally_layer ${arg_PLATFORM})
    get_target_property(names ${piece} SPARKRALLY_WRAPS)
    if(names)
      list(APPEND wraps ${names})
    endif()
  endforeach()
  list(JOIN wraps "\n" wraps)
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}.wraps CONTENT "${wraps}\n")
endfunction()

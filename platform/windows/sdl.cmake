# SDL for the Windows build: SDL2 and sdl12-compat, built from source with
# their own CMake (options only) into a prefix inside the build tree. The game
# then links sdl12-compat's SDL.dll and its SDLmain entry wrapper, which
# provides WinMain and calls SDL_main; sdl12-compat loads SDL2.dll at run time.
#
# Sources: the release tags from the libraries' own repositories, or, where
# the tarballs of those tags are present (machines without a network), the
# tarballs, checked against their SHA-256 sums.
include(ExternalProject)

# The release test builds the game twice against one SDL build.
set(SPARKRALLY_WINDOWS_SDL "" CACHE PATH
    "Prefix where another Windows build tree already built SDL (its sdl/ folder); empty: build SDL here")

set(SDL_PREFIX "${CMAKE_BINARY_DIR}/sdl")
add_library(sparkrally_sdl_headers INTERFACE)
if(SPARKRALLY_WINDOWS_SDL)
  # A link at the usual place: the linker orders the executable's imports by
  # the paths of the import libraries, so they must read as in any build.
  file(REMOVE_RECURSE ${SDL_PREFIX})
  file(CREATE_LINK ${SPARKRALLY_WINDOWS_SDL} ${SDL_PREFIX} SYMBOLIC)
else()
  # Whatever compiles the game's sources waits for SDL's headers.
  add_dependencies(sparkrally_sdl_headers sdl12compat)
endif()

# Sets ${var} to the ExternalProject arguments that fetch one library.
function(sdl_source var repository tag tarball sha256)
  if(EXISTS "${SPARKRALLY_THIRD_PARTY_DIR}/${tarball}")
    set(${var} URL "${SPARKRALLY_THIRD_PARTY_DIR}/${tarball}" URL_HASH SHA256=${sha256}
        PARENT_SCOPE)
  else()
    set(${var} GIT_REPOSITORY ${repository} GIT_TAG ${tag} GIT_SHALLOW TRUE PARENT_SCOPE)
  endif()
endfunction()

if(NOT SPARKRALLY_WINDOWS_SDL)
  sdl_source(sdl2_source https://github.com/libsdl-org/SDL.git release-2.32.10
             SDL2-2.32.10.tar.xz 4d4aef1aa9139416a33a467ff4d80ebc3203ca7962e5be126b36f54885f899ef)
  sdl_source(sdl12_source https://github.com/libsdl-org/sdl12-compat.git release-1.2.76
             sdl12-compat-1.2.76.tar.xz
             869e404e87d1089890c5ebee24ac2e706392ca2b88678ddd8faf598325d5aa0d)

  set(sdl_common_args
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=${SDL_PREFIX})

  # SDL2's assertions name their source files: named from the top of the
  # release, not from this build tree, so that any tree builds the same DLL.
  ExternalProject_Add(sdl2
    ${sdl2_source}
    PREFIX ${CMAKE_BINARY_DIR}/sdl-build/SDL2
    CMAKE_ARGS ${sdl_common_args} -DSDL_TEST=OFF -DSDL_STATIC=OFF -DSDL_SHARED=ON
               -DCMAKE_C_FLAGS=-ffile-prefix-map=<SOURCE_DIR>=SDL2-2.32.10
    BUILD_BYPRODUCTS ${SDL_PREFIX}/bin/SDL2.dll)

  # SDL2 installs its licence text; sdl12-compat's is copied beside it.
  ExternalProject_Add(sdl12compat
    ${sdl12_source}
    PREFIX ${CMAKE_BINARY_DIR}/sdl-build/sdl12-compat
    DEPENDS sdl2
    CMAKE_ARGS ${sdl_common_args} -DSDL2_INCLUDE_DIR=${SDL_PREFIX}/include/SDL2 -DSDL12TESTS=OFF
    INSTALL_COMMAND ${CMAKE_COMMAND} --install <BINARY_DIR>
            COMMAND ${CMAKE_COMMAND} -E copy <SOURCE_DIR>/LICENSE.txt
                    ${SDL_PREFIX}/share/licenses/sdl12-compat/LICENSE.txt
    BUILD_BYPRODUCTS ${SDL_PREFIX}/bin/SDL.dll ${SDL_PREFIX}/lib/libSDL.dll.a
                     ${SDL_PREFIX}/lib/libSDLmain.a)
endif()

# The licence texts that travel with the DLLs.
set(SDL2_LICENSE ${SDL_PREFIX}/share/licenses/SDL2/LICENSE.txt)
set(SDL12_LICENSE ${SDL_PREFIX}/share/licenses/sdl12-compat/LICENSE.txt)

# The same names FindSDL gives on Linux, so the game's targets read alike.
set(SDL_INCLUDE_DIR ${SDL_PREFIX}/include/SDL)
file(MAKE_DIRECTORY ${SDL_INCLUDE_DIR})
target_include_directories(sparkrally_sdl_headers INTERFACE ${SDL_INCLUDE_DIR})
add_library(SDL::SDL SHARED IMPORTED)
set_target_properties(SDL::SDL PROPERTIES
  IMPORTED_LOCATION ${SDL_PREFIX}/bin/SDL.dll
  IMPORTED_IMPLIB ${SDL_PREFIX}/lib/libSDL.dll.a
  INTERFACE_INCLUDE_DIRECTORIES ${SDL_INCLUDE_DIR})
add_library(SDL::SDLmain STATIC IMPORTED)
# mingw32's own main calls WinMain, which SDLmain provides.
set_target_properties(SDL::SDLmain PROPERTIES
  IMPORTED_LOCATION ${SDL_PREFIX}/lib/libSDLmain.a
  INTERFACE_LINK_LIBRARIES mingw32
  INTERFACE_LINK_OPTIONS -Wl,--undefined=WinMain)
set(SDL_RUNTIME_DLLS ${SDL_PREFIX}/bin/SDL.dll ${SDL_PREFIX}/bin/SDL2.dll)

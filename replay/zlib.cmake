# zlib for the replay files, one version (1.2.13) on every target, so that
# the same match deflates to the same bytes everywhere: Debian's zlib1g-dev
# natively, Debian's libz-mingw-w64-dev linked statically for Windows (the
# zip carries no zlib DLL), and for the browser the same release compiled
# here, from the pinned tarball where it is present, else from its tag.
# Gives the target sparkrally_zlib and the licence text ZLIB_LICENSE.
set(zlib_version 1.2.13)
add_library(sparkrally_zlib INTERFACE)
if(EMSCRIPTEN)
  include(FetchContent)
  set(zlib_tarball "${SPARKRALLY_THIRD_PARTY_DIR}/zlib-${zlib_version}.tar.xz")
  if(EXISTS "${zlib_tarball}")
    FetchContent_Declare(zlib_source URL "${zlib_tarball}"
      URL_HASH SHA256=da09190636bdd21d1fbe90edb78c7ede68fdac4db7549f8d4521667d552db262)
  else()
    FetchContent_Declare(zlib_source GIT_REPOSITORY https://github.com/madler/zlib.git
      GIT_TAG v${zlib_version} GIT_SHALLOW TRUE)
  endif()
  FetchContent_GetProperties(zlib_source)
  if(NOT zlib_source_POPULATED)
    FetchContent_Populate(zlib_source)
  endif()
  set(zlib_dir ${zlib_source_SOURCE_DIR})
  # The library alone: no gzip file functions, no examples, none of its own
  # build, whose options differ from release to release.
  set(zlib_sources adler32.c compress.c crc32.c deflate.c infback.c inffast.c inflate.c
                   inftrees.c trees.c uncompr.c zutil.c)
  list(TRANSFORM zlib_sources PREPEND ${zlib_dir}/)
  add_library(zlib_static STATIC ${zlib_sources})
  target_include_directories(zlib_static PUBLIC ${zlib_dir})
  # Its own code, kept as released: our warnings are not its concern. The
  # page downloads it: compiled for size, its CRC tables made at the first
  # checksum instead of shipped (the same values, 8 KiB less to load).
  target_compile_options(zlib_static PRIVATE -w -Os)
  target_compile_definitions(zlib_static PRIVATE DYNAMIC_CRC_TABLE)
  target_link_libraries(sparkrally_zlib INTERFACE zlib_static)
  set(zlib_header ${zlib_dir}/zlib.h)
else()
  if(WIN32)
    set(ZLIB_USE_STATIC_LIBS ON)
  endif()
  find_package(ZLIB REQUIRED)
  target_link_libraries(sparkrally_zlib INTERFACE ZLIB::ZLIB)
  list(GET ZLIB_INCLUDE_DIRS 0 zlib_include)
  set(zlib_header ${zlib_include}/zlib.h)
endif()

file(READ ${zlib_header} zlib_head LIMIT 4096)
string(REGEX MATCH "#define ZLIB_VERSION \"([^\"]*)\"" zlib_found "${zlib_head}")
# Another system's zlib may deflate differently: the game still plays and
# reads every replay, but the unit tests' kept bytes will tell.
if(NOT CMAKE_MATCH_1 STREQUAL zlib_version)
  if(EMSCRIPTEN)
    set(zlib_mismatch FATAL_ERROR)
  else()
    set(zlib_mismatch WARNING)
  endif()
  message(${zlib_mismatch} "${zlib_header} is zlib ${CMAKE_MATCH_1}, not ${zlib_version}: its "
                           "replays may not be the same bytes as other targets'")
endif()

# The licence that travels with the Windows zip and the page, as zlib.h
# states it. The .deb links Debian's shared zlib, which carries its own.
string(REGEX MATCH "  Copyright \\(C\\)[^\n]*\n.*madler@alumni\\.caltech\\.edu\n" zlib_terms
       "${zlib_head}")
set(ZLIB_LICENSE ${CMAKE_BINARY_DIR}/zlib-LICENSE.txt)
file(WRITE ${ZLIB_LICENSE}
  "zlib ${zlib_version} (https://zlib.net/): the compression of replay files, compiled into\n"
  "sparkrally.\n\n${zlib_terms}")

# The game's sin and cos: CORE-MATH's correctly rounded binary64 sin and
# cos, the same source compiled for every target, so that every target
# computes the same bits. Taken from the pinned tarball where it is present
# (machines without a network), else fetched from CORE-MATH's repository at
# the pinned commit; either way the sources are checked against their
# SHA-256 sums before they are built.
include(FetchContent)

set(core_math_commit 9368e06556c7294dd593a6a7f3ec6aeb9710a613)
set(core_math_tarball "${SPARKRALLY_THIRD_PARTY_DIR}/core-math-9368e065.tar.xz")
if(EXISTS "${core_math_tarball}")
  FetchContent_Declare(core_math URL "${core_math_tarball}"
    URL_HASH SHA256=cbc400c7b35cde912d91aa759022e7b2c5f1a8436dcb3d1208edaa0d938e6a50)
else()
  FetchContent_Declare(core_math GIT_REPOSITORY https://gitlab.inria.fr/core-math/core-math.git
    GIT_TAG ${core_math_commit})
endif()
FetchContent_GetProperties(core_math)
if(NOT core_math_POPULATED)
  FetchContent_Populate(core_math)
endif()
set(CORE_MATH_DIR ${core_math_SOURCE_DIR}/src/binary64)

foreach(pinned
    "sin/sin.c=7025894e5048f341343706d3558c48374099042f0670cb718561759e8a042a5a"
    "cos/cos.c=54116c6a979f88cc521ac5240a46d46f4543e62a99e9e0434116bd4a12118706"
    "sin/sin.wc=66ef8216c25c43dd9c8811e7dbbab59d201279928e76c6750285010af73bc69d"
    "cos/cos.wc=11f55b376b42a63fcfdbcfbb1df1172af74da8075b1db6a68930b1bfa66281ab")
  string(REPLACE "=" ";" pinned "${pinned}")
  list(GET pinned 0 file)
  list(GET pinned 1 expected)
  file(SHA256 "${CORE_MATH_DIR}/${file}" actual)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "CORE-MATH's ${file} is not the pinned one (SHA-256 ${actual})")
  endif()
endforeach()

# Its fused multiply-adds go to sr_fma: the C library's where that rounds
# once (glibc, and musl in the browser), an integer one where the runtime's
# rounds twice (mingw-w64's, through the x87).
if(WIN32)
  set(fma_source ${CMAKE_CURRENT_LIST_DIR}/fma_exact.c)
else()
  set(fma_source ${CMAKE_CURRENT_LIST_DIR}/fma_libc.c)
endif()
add_library(core_math STATIC ${CMAKE_CURRENT_LIST_DIR}/core_sin.c
                             ${CMAKE_CURRENT_LIST_DIR}/core_cos.c ${fma_source})
target_include_directories(core_math PRIVATE ${CORE_MATH_DIR} PUBLIC ${CMAKE_CURRENT_LIST_DIR})
# Its own code, kept as released: our warnings are not its concern.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/core_sin.c ${CMAKE_CURRENT_LIST_DIR}/core_cos.c
  PROPERTIES COMPILE_OPTIONS -w)
if(NOT WIN32 AND NOT EMSCRIPTEN)
  target_link_libraries(core_math PUBLIC m)
endif()

# The MIT licence that travels with every artifact, as its sources state it.
file(READ ${CORE_MATH_DIR}/sin/sin.c core_math_head LIMIT 2048)
string(REGEX MATCH "Copyright[^\n]*\n" core_math_copyright "${core_math_head}")
string(REGEX MATCH "Permission is hereby granted.*SOFTWARE\\.\n" core_math_terms "${core_math_head}")
set(CORE_MATH_LICENSE ${CMAKE_BINARY_DIR}/core-math-LICENSE.txt)
file(WRITE ${CORE_MATH_LICENSE}
  "CORE-MATH (https://core-math.gitlabpages.inria.fr/), commit ${core_math_commit}:\n"
  "the correctly rounded sin and cos compiled into sparkrally.\n\n"
  "${core_math_copyright}\n${core_math_terms}")

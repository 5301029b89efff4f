# Linux: the system's SDL 1.2 and OpenGL, and the hardening that every
# program of the build, tests and benchmarks included, is compiled with.

find_package(SDL REQUIRED)
add_library(sparkrally_sdl_headers INTERFACE)
target_include_directories(sparkrally_sdl_headers INTERFACE ${SDL_INCLUDE_DIR})
# Plain libGL: the GLX library that sdl12-compat creates the context with.
set(OpenGL_GL_PREFERENCE LEGACY)
find_package(OpenGL REQUIRED)

# Hardening: stack protector, fortified libc calls (they need optimisation;
# the sanitizers advise against them), PIE linked with -pie whatever the
# compiler's default, full RELRO and a non-executable stack. The switches
# are recorded in the binary, where a test reads them back.
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
add_compile_options(-fstack-protector-strong -frecord-gcc-switches)
if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize=")
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
endif()
add_link_options(-Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack)

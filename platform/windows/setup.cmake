# Windows, cross-built with mingw-w64 (mingw-w64-x86_64.cmake): SDL built
# from source, opengl32, and the flags that every program of the build, the
# unit tests included, is compiled and linked with.

include(${CMAKE_CURRENT_LIST_DIR}/sdl.cmake)
find_package(OpenGL REQUIRED)

# Calls into opengl32 go through its import library's stubs rather than
# dllimport pointers, so that the unit tests can link their OpenGL double in
# its place. gl.h then needs no windows.h either.
add_compile_definitions(WINGDIAPI= APIENTRY=__stdcall)
# The C and C++ runtimes are linked in, so the zip needs no DLL of theirs:
# -Bstatic after every library of ours makes the compiler's own that follow
# (libstdc++, winpthread) static, while SDL's import libraries stay DLLs.
# ASLR with high-entropy addresses and a non-executable stack.
add_link_options(-static-libgcc -Wl,--dynamicbase -Wl,--nxcompat -Wl,--high-entropy-va)
set(CMAKE_CXX_STANDARD_LIBRARIES "-Wl,-Bstatic")

# The browser: Emscripten's built-in SDL 1.2 library gives the canvas, the
# events and the timers, and nothing needs finding. There is no libGL:
# build.cmake links this folder's OpenGL layer over WebGL in its place.
# The flags are the common ones: the same arithmetic as on the desktop.

# One module, no shared libraries: position-independent code would only
# send every global's address through a table.
set(CMAKE_POSITION_INDEPENDENT_CODE OFF)

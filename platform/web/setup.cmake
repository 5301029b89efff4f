# The browser: Emscripten's built-in SDL 1.2 library gives the canvas, the
# events and the timers, and nothing needs finding. There is no libGL:
# build.cmake links this folder's OpenGL layer over WebGL in its place.
# The flags are the common ones: the same arithmetic as on the desktop, and
# no position-independent code, which in one module without shared libraries
# would only send every global's address through a table.

# Emscripten's compiler finds its SDL headers itself.
add_library(sparkrally_sdl_headers INTERFACE)

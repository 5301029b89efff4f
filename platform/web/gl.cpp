// OpenGL 1.1 as the game uses it, over WebGL, which has no fixed function
// and no immediate mode. Vertices are collected with their colour and
// drawn in batches: consecutive primitives of one kind (quads as triangles,
// line strips and lines as lines) go to WebGL in one draw call, so a frame
// of 5000 sparks costs a handful of calls. Nothing reaches WebGL until the
// swap (or glFinish): the frame's clears, viewports, matrices and batches
// are kept in order and played then into the canvas with one upload. The
// canvas thus keeps showing the last swapped frame while the game pauses
// mid-frame, as a desktop's front buffer does, without the cost of drawing
// into a second buffer and copying it.
//
// A lost context (a backgrounded tab on a phone, a GPU reset) is kept for
// restoration; once the browser gives it back, the program, the buffer and
// the state that outlives a frame are made again before the next frame.
#include "platform/web/webgl.h"

#include <GL/gl.h>
#include <GLES2/gl2.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cstdio>
#include <vector>

// WebGL's own entry points for the calls this layer takes over by name.
extern "C" {
void emscripten_glClear(GLbitfield mask);
void emscripten_glClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void emscripten_glEnable(GLenum cap);
void emscripten_glViewport(GLint x, GLint y, GLsizei w, GLsizei h);
void emscripten_glFinish(void);
}

namespace {

struct Vertex {
    GLfloat x, y, z, r, g, b;
};

const char *const scene_vs = "attribute vec3 position;\n"
                             "attribute vec3 colour;\n"
                             "uniform mat4 mvp;\n"
                             "varying vec3 v_colour;\n"
                             "void main() {\n"
                             "  gl_Position = mvp * vec4(position, 1.0);\n"
                             "  v_colour = colour;\n"
                             "}\n";
// Full float precision where the device has it, so that colours reach the
// buffer as desktop OpenGL rounds them.
const char *const scene_fs = "#ifdef GL_FRAGMENT_PRECISION_HIGH\n"
                             "precision highp float;\n"
                             "#else\n"
                             "precision mediump float;\n"
                             "#endif\n"
                             "varying vec3 v_colour;\n"
                             "void main() { gl_FragColor = vec4(v_colour, 1.0); }\n";

// The frame's commands, played in order at the swap.
struct Command {
    enum Kind { clear, viewport, enable, matrix, draw } kind;
    GLenum mode;   // clear: mask; enable: capability; draw: WebGL primitive
    GLint a[4];    // viewport: x, y, w, h; draw: first, count
    GLfloat v[16]; // clear: colour; matrix: mvp
};

const GLfloat identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// What the game has asked of OpenGL: the state its later calls draw with.
struct Asked {
    GLfloat colour[3] = {1, 1, 1};
    GLfloat clearcolour[4] = {0, 0, 0, 0};
    // Model-view and projection, column-major; both start as the identity.
    GLfloat matrices[2][16] = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
                               {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    int current = 0;      // index into matrices
    bool mvpstale = true; // changed since the frame's last matrix command
} asked;

// The frame kept until the swap: the primitive between glBegin and glEnd,
// the batch it feeds, and the commands in their order.
struct Frame {
    GLenum primitive = 0;      // 0 outside glBegin/glEnd
    Vertex pending[4] = {};    // a quad's corners, or a strip's last point
    int count = 0;             // vertices of the primitive so far
    std::vector<Vertex> batch; // every vertex of the frame so far
    size_t batchstart = 0;     // where the open batch starts in it
    GLenum batchmode = GL_TRIANGLES;
    std::vector<Command> commands;
} frame;

// What the frames played so far left in WebGL beyond their own draws: a
// restored context starts from WebGL's defaults and gets these back.
struct Played {
    GLint viewport[4] = {};
    bool viewportset = false;
    std::vector<GLenum> enables;
    GLfloat mvp[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
} played;

// The WebGL context: the program's objects, made with the video mode and
// again once the browser gives a lost context back.
struct Context {
    GLint mvploc = -1;
    bool restored = false; // the browser gave a lost context back
} context;

// The shader's or program's log, on standard error, where the page shows
// it as an error.
void report(const char *what, GLuint object, bool program)
{
    char log[1024] = "";
    if (program)
        glGetProgramInfoLog(object, sizeof log, nullptr, log);
    else
        glGetShaderInfoLog(object, sizeof log, nullptr, log);
    fprintf(stderr, "WebGL: the %s failed: %s\n", what, log);
}

GLuint compile(GLenum kind, const char *source)
{
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

// Every status query waits for the browser's GPU side to finish the work
// asked so far, so only the link's status is asked: one wait rather than
// three while the page starts. A shader's status is asked only to say why
// a link failed.
GLuint link(const char *vs, const char *fs)
{
    GLuint program = glCreateProgram();
    GLuint shaders[2] = {compile(GL_VERTEX_SHADER, vs), compile(GL_FRAGMENT_SHADER, fs)};
    const char *names[2] = {"vertex shader's compilation", "fragment shader's compilation"};
    glAttachShader(program, shaders[0]);
    glAttachShader(program, shaders[1]);
    // Attribute 0 is the position, 1 the colour.
    glBindAttribLocation(program, 0, "position");
    glBindAttribLocation(program, 1, "colour");
    glLinkProgram(program);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok)
        return program;
    for (int i = 0; i < 2; i++) {
        GLint compiled = GL_FALSE;
        glGetShaderiv(shaders[i], GL_COMPILE_STATUS, &compiled);
        if (!compiled)
            report(names[i], shaders[i], false);
    }
    report("program's link", program, true);
    return 0;
}

// Makes the program and the buffer that every frame draws with.
bool setup()
{
    GLuint scene = link(scene_vs, scene_fs);
    if (scene == 0)
        return false;
    context.mvploc = glGetUniformLocation(scene, "mvp");
    GLuint scenebuffer;
    glGenBuffers(1, &scenebuffer);
    glUseProgram(scene);
    glBindBuffer(GL_ARRAY_BUFFER, scenebuffer);
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                          reinterpret_cast<void *>(offsetof(Vertex, r)));
    return true;
}

// A restored context has nothing of the lost one: make the objects again
// and give back what earlier frames set and this one may not repeat.
void restore()
{
    context.restored = false;
    if (!setup()) {
        fprintf(stderr, "WebGL: setting up again after the display came back failed: the field "
                        "is no longer drawn\n");
        return;
    }
    if (played.viewportset)
        emscripten_glViewport(played.viewport[0], played.viewport[1], played.viewport[2],
                              played.viewport[3]);
    for (GLenum cap : played.enables)
        emscripten_glEnable(cap);
    glUniformMatrix4fv(context.mvploc, 1, GL_FALSE, played.mvp);
}

EM_BOOL lost(int, const void *, void *)
{
    // Asks the browser to restore the context once it can.
    return EM_TRUE;
}

EM_BOOL regained(int, const void *, void *)
{
    context.restored = true;
    return EM_TRUE;
}

// a = a * b, column-major.
void multiply(GLfloat *a, const GLfloat *b)
{
    GLfloat r[16];
    for (int c = 0; c < 4; c++)
        for (int row = 0; row < 4; row++) {
            GLfloat sum = 0;
            for (int k = 0; k < 4; k++)
                sum += a[k * 4 + row] * b[c * 4 + k];
            r[c * 4 + row] = sum;
        }
    for (int i = 0; i < 16; i++)
        a[i] = r[i];
}

// Ends the open batch: records its draw, after the matrix if that changed.
void flush()
{
    if (frame.batch.size() == frame.batchstart)
        return;
    if (asked.mvpstale) {
        Command c{Command::matrix, 0, {}, {}};
        std::copy(asked.matrices[1], asked.matrices[1] + 16, c.v);
        multiply(c.v, asked.matrices[0]);
        frame.commands.push_back(c);
        asked.mvpstale = false;
    }
    frame.commands.push_back(
        {Command::draw,
         frame.batchmode,
         {GLint(frame.batchstart), GLint(frame.batch.size() - frame.batchstart)},
         {}});
    frame.batchstart = frame.batch.size();
}

// Plays the frame's commands into the canvas: one upload of every vertex,
// then the clears, viewports, matrices and draws in the order given.
void play()
{
    if (context.restored)
        restore();
    flush();
    if (frame.commands.empty())
        return;
    if (!frame.batch.empty())
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(frame.batch.size() * sizeof(Vertex)),
                     frame.batch.data(), GL_STREAM_DRAW);
    for (const Command &c : frame.commands)
        switch (c.kind) {
        case Command::clear:
            emscripten_glClearColor(c.v[0], c.v[1], c.v[2], c.v[3]);
            emscripten_glClear(c.mode);
            break;
        case Command::viewport:
            emscripten_glViewport(c.a[0], c.a[1], c.a[2], c.a[3]);
            std::copy(c.a, c.a + 4, played.viewport);
            played.viewportset = true;
            break;
        case Command::enable:
            emscripten_glEnable(c.mode);
            if (std::find(played.enables.begin(), played.enables.end(), c.mode) ==
                played.enables.end())
                played.enables.push_back(c.mode);
            break;
        case Command::matrix:
            glUniformMatrix4fv(context.mvploc, 1, GL_FALSE, c.v);
            std::copy(c.v, c.v + 16, played.mvp);
            break;
        case Command::draw:
            glDrawArrays(c.mode, c.a[0], c.a[1]);
            break;
        }
    frame.commands.clear();
    frame.batch.clear();
    frame.batchstart = 0;
}

} // namespace

bool webgl_setup()
{
    // Without them a lost display never comes back and the match waits at
    // the swap for good; the game still plays while nothing is lost.
    EMSCRIPTEN_RESULT onlost =
        emscripten_set_webglcontextlost_callback("#canvas", nullptr, EM_FALSE, lost);
    EMSCRIPTEN_RESULT onrestored =
        emscripten_set_webglcontextrestored_callback("#canvas", nullptr, EM_FALSE, regained);
    if (onlost != EMSCRIPTEN_RESULT_SUCCESS || onrestored != EMSCRIPTEN_RESULT_SUCCESS)
        fprintf(stderr,
                "WebGL: the canvas took no context-loss callbacks (results %d and %d): a lost "
                "display will not come back\n",
                int(onlost), int(onrestored));
    return setup();
}

bool webgl_lost()
{
    return emscripten_is_webgl_context_lost(emscripten_webgl_get_current_context());
}

void webgl_present() { play(); }

static bool idle = false;
void webgl_idle(bool on) { idle = on; }

void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a)
{
    asked.clearcolour[0] = r;
    asked.clearcolour[1] = g;
    asked.clearcolour[2] = b;
    asked.clearcolour[3] = a;
}

void glEnable(GLenum cap)
{
    // No texture image can be given through this layer, so an enabled 2D
    // texture is never complete and primitives keep their flat colour, as
    // desktop OpenGL draws them. WebGL would refuse the name.
    if (cap == GL_TEXTURE_2D)
        return;
    flush();
    frame.commands.push_back({Command::enable, cap, {}, {}});
}

void glViewport(GLint x, GLint y, GLsizei w, GLsizei h)
{
    flush();
    frame.commands.push_back({Command::viewport, 0, {x, y, w, h}, {}});
}

void glMatrixMode(GLenum mode) { asked.current = mode == GL_PROJECTION ? 1 : 0; }

void glLoadIdentity(void)
{
    flush();
    std::copy(identity, identity + 16, asked.matrices[asked.current]);
    asked.mvpstale = true;
}

void glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f)
{
    flush();
    // OpenGL's orthographic matrix, formed in single precision as the
    // desktop's matrix stack keeps it.
    GLfloat m[16] = {};
    m[0] = GLfloat(2 / (r - l));
    m[5] = GLfloat(2 / (t - b));
    m[10] = GLfloat(-2 / (f - n));
    m[12] = GLfloat(-(r + l) / (r - l));
    m[13] = GLfloat(-(t + b) / (t - b));
    m[14] = GLfloat(-(f + n) / (f - n));
    m[15] = 1;
    multiply(asked.matrices[asked.current], m);
    asked.mvpstale = true;
}

void glClear(GLbitfield mask)
{
    if (idle)
        return;
    flush();
    Command c{Command::clear, mask, {}, {}};
    std::copy(asked.clearcolour, asked.clearcolour + 4, c.v);
    frame.commands.push_back(c);
}

void glFinish(void)
{
    play();
    emscripten_glFinish();
}

void glColor3f(GLfloat r, GLfloat g, GLfloat b)
{
    asked.colour[0] = r;
    asked.colour[1] = g;
    asked.colour[2] = b;
}

void glBegin(GLenum mode)
{
    // Quads become triangles and strips become separate lines; a change of
    // kind ends the batch so that later primitives still cover earlier ones.
    GLenum kind = mode == GL_QUADS ? GL_TRIANGLES : GL_LINES;
    if (idle) {
        frame.primitive = 0; // its vertices are dropped
        return;
    }
    if (kind != frame.batchmode) {
        flush();
        frame.batchmode = kind;
    }
    frame.primitive = mode;
    frame.count = 0;
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    Vertex v{x, y, z, asked.colour[0], asked.colour[1], asked.colour[2]};
    switch (frame.primitive) {
    case GL_LINES:
        frame.batch.push_back(v);
        frame.count++;
        break;
    case GL_LINE_STRIP:
        if (frame.count++ > 0) {
            frame.batch.push_back(frame.pending[0]);
            frame.batch.push_back(v);
        }
        frame.pending[0] = v;
        break;
    case GL_QUADS:
        frame.pending[frame.count++] = v;
        if (frame.count == 4) {
            frame.batch.insert(frame.batch.end(),
                               {frame.pending[0], frame.pending[1], frame.pending[2]});
            frame.batch.insert(frame.batch.end(),
                               {frame.pending[0], frame.pending[2], frame.pending[3]});
            frame.count = 0;
        }
        break;
    default:
        // Not a primitive the layer draws, or outside glBegin/glEnd.
        break;
    }
}

void glEnd(void)
{
    // An unpaired last vertex of GL_LINES draws nothing, as in OpenGL. A
    // flush inside glBegin/glEnd (a call that OpenGL refuses there) has
    // already recorded it with its batch.
    if (frame.primitive == GL_LINES && frame.count % 2 && frame.batch.size() > frame.batchstart)
        frame.batch.pop_back();
    frame.primitive = 0;
}

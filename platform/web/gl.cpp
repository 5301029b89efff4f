// OpenGL 1.1 as the game uses it, over WebGL, which has no fixed function
// and no immediate mode. Vertices are collected with their colour and
// drawn in batches: consecutive primitives of one kind (quads as triangles,
// line strips and lines as lines) go to WebGL in one draw call, so a frame
// of 5000 sparks costs a handful of calls. All drawing lands in an
// off-screen back buffer that SDL_GL_SwapBuffers shows, as on the desktop.
#include "platform/web/webgl.h"

#include <GL/gl.h>
#include <GLES2/gl2.h>

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
const char *const blit_vs = "attribute vec2 corner;\n"
                            "varying vec2 v_at;\n"
                            "void main() {\n"
                            "  v_at = corner * 0.5 + 0.5;\n"
                            "  gl_Position = vec4(corner, 0.0, 1.0);\n"
                            "}\n";
const char *const blit_fs = "precision mediump float;\n"
                            "uniform sampler2D back;\n"
                            "varying vec2 v_at;\n"
                            "void main() { gl_FragColor = texture2D(back, v_at); }\n";

// What the game has asked of OpenGL.
GLfloat colour[3] = {1, 1, 1};
GLfloat matrices[2][16]; // model-view, projection; column-major
int current = 0;         // index into matrices
bool mvpstale = true;
GLint viewport[4];

// The primitive between glBegin and glEnd, and the batch it feeds.
GLenum primitive = 0; // 0 outside glBegin/glEnd
Vertex pending[4];    // a quad's corners, or a strip's last point
int count = 0;        // vertices of the primitive so far
std::vector<Vertex> batch;
GLenum batchmode = GL_TRIANGLES;

// WebGL objects, made on first use: the context exists only once the video
// mode is set.
bool ready = false;
GLuint scene, blit, scenebuffer, blitbuffer, framebuffer, texture;
GLint mvploc;
GLsizei width, height;

GLuint compile(GLenum kind, const char *source)
{
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

GLuint link(const char *vs, const char *fs)
{
    GLuint program = glCreateProgram();
    glAttachShader(program, compile(GL_VERTEX_SHADER, vs));
    glAttachShader(program, compile(GL_FRAGMENT_SHADER, fs));
    // Attribute 0 is the position in both programs.
    glBindAttribLocation(program, 0, "position");
    glBindAttribLocation(program, 0, "corner");
    glBindAttribLocation(program, 1, "colour");
    glLinkProgram(program);
    return program;
}

void identity(GLfloat *m)
{
    for (int i = 0; i < 16; i++)
        m[i] = i % 5 == 0 ? 1 : 0;
}

// The scene's program, buffer and attributes, drawing into the back buffer.
void bindscene()
{
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    emscripten_glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    glUseProgram(scene);
    glBindBuffer(GL_ARRAY_BUFFER, scenebuffer);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                          reinterpret_cast<void *>(offsetof(Vertex, r)));
}

void setup()
{
    ready = true;
    identity(matrices[0]);
    identity(matrices[1]);
    // WebGL's initial viewport is the whole canvas: the back buffer's size.
    glGetIntegerv(GL_VIEWPORT, viewport);
    width = viewport[2];
    height = viewport[3];
    scene = link(scene_vs, scene_fs);
    blit = link(blit_vs, blit_fs);
    mvploc = glGetUniformLocation(scene, "mvp");
    glGenBuffers(1, &scenebuffer);
    glGenBuffers(1, &blitbuffer);
    const GLfloat corners[] = {-1, -1, 1, -1, -1, 1, 1, 1};
    glBindBuffer(GL_ARRAY_BUFFER, blitbuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    // One texel to one pixel: no filtering, no wrapping.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glEnableVertexAttribArray(0);
    bindscene();
}

void need()
{
    if (!ready)
        setup();
}

// result = a * b, column-major.
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

void flush()
{
    if (batch.empty())
        return;
    if (mvpstale) {
        GLfloat mvp[16];
        for (int i = 0; i < 16; i++)
            mvp[i] = matrices[1][i];
        multiply(mvp, matrices[0]);
        glUniformMatrix4fv(mvploc, 1, GL_FALSE, mvp);
        mvpstale = false;
    }
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(batch.size() * sizeof(Vertex)), batch.data(),
                 GL_STREAM_DRAW);
    glDrawArrays(batchmode, 0, GLsizei(batch.size()));
    batch.clear();
}

} // namespace

void webgl_present()
{
    need();
    flush();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    emscripten_glViewport(0, 0, width, height);
    glUseProgram(blit);
    glBindBuffer(GL_ARRAY_BUFFER, blitbuffer);
    glDisableVertexAttribArray(1);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    bindscene();
}

void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a)
{
    need();
    emscripten_glClearColor(r, g, b, a);
}

void glEnable(GLenum cap)
{
    need();
    // No texture image can be given through this layer, so an enabled 2D
    // texture is never complete and primitives keep their flat colour, as
    // desktop OpenGL draws them. WebGL would refuse the name.
    if (cap != GL_TEXTURE_2D)
        emscripten_glEnable(cap);
}

void glViewport(GLint x, GLint y, GLsizei w, GLsizei h)
{
    need();
    flush();
    viewport[0] = x;
    viewport[1] = y;
    viewport[2] = w;
    viewport[3] = h;
    emscripten_glViewport(x, y, w, h);
}

void glMatrixMode(GLenum mode) { current = mode == GL_PROJECTION ? 1 : 0; }

void glLoadIdentity(void)
{
    need();
    flush();
    identity(matrices[current]);
    mvpstale = true;
}

void glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f)
{
    need();
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
    multiply(matrices[current], m);
    mvpstale = true;
}

void glClear(GLbitfield mask)
{
    need();
    flush();
    emscripten_glClear(mask);
}

void glFinish(void)
{
    need();
    flush();
    emscripten_glFinish();
}

void glColor3f(GLfloat r, GLfloat g, GLfloat b)
{
    colour[0] = r;
    colour[1] = g;
    colour[2] = b;
}

void glBegin(GLenum mode)
{
    // Quads become triangles and strips become separate lines; a change of
    // kind ends the batch so that later primitives still cover earlier ones.
    GLenum kind = mode == GL_QUADS ? GL_TRIANGLES : GL_LINES;
    if (kind != batchmode) {
        need();
        flush();
        batchmode = kind;
    }
    primitive = mode;
    count = 0;
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    Vertex v{x, y, z, colour[0], colour[1], colour[2]};
    switch (primitive) {
    case GL_LINES:
        batch.push_back(v);
        count++;
        break;
    case GL_LINE_STRIP:
        if (count++ > 0) {
            batch.push_back(pending[0]);
            batch.push_back(v);
        }
        pending[0] = v;
        break;
    case GL_QUADS:
        pending[count++] = v;
        if (count == 4) {
            batch.insert(batch.end(), {pending[0], pending[1], pending[2]});
            batch.insert(batch.end(), {pending[0], pending[2], pending[3]});
            count = 0;
        }
        break;
    default:
        // Not a primitive the layer draws, or outside glBegin/glEnd.
        break;
    }
}

void glEnd(void)
{
    // An unpaired last vertex of GL_LINES draws nothing, as in OpenGL.
    if (primitive == GL_LINES && count % 2)
        batch.pop_back();
    primitive = 0;
}

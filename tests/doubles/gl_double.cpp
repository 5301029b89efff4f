// The OpenGL 1.1 calls the game makes, recorded instead of drawn.
#include <GL/gl.h>

#include "recorder.h"

using namespace doubles;

void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a)
{
    note(Fn::glClearColor, {F(r), F(g), F(b), F(a)});
}

void glEnable(GLenum cap) { note(Fn::glEnable, {U(cap)}); }

void glViewport(GLint x, GLint y, GLsizei w, GLsizei h)
{
    note(Fn::glViewport, {I(x), I(y), I(w), I(h)});
}

void glMatrixMode(GLenum mode) { note(Fn::glMatrixMode, {U(mode)}); }

void glLoadIdentity(void) { note(Fn::glLoadIdentity); }

void glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f)
{
    note(Fn::glOrtho, {D(l), D(r), D(b), D(t), D(n), D(f)});
}

void glClear(GLbitfield mask)
{
    // A frame begins here: hand its scripted input to the game first.
    int frame = state.frames++;
    if (state.before_frame)
        state.before_frame(frame);
    note(Fn::glClear, {U(mask)});
}

void glColor3f(GLfloat r, GLfloat g, GLfloat b) { note(Fn::glColor3f, {F(r), F(g), F(b)}); }

void glBegin(GLenum mode) { note(Fn::glBegin, {U(mode)}); }

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    note(Fn::glVertex3f, {F(x), F(y), F(z)});
    if (state.on_vertex)
        state.on_vertex(x, y, z);
}

void glEnd(void) { note(Fn::glEnd); }

/*
 * graphics.DLL - drawing words for `ondrawimage` procedures, and the camera
 * and scene words.
 *
 * Written against sdk/ only, like any third-party library. Drawing words
 * record GL commands into the display list that the host is compiling;
 * outside a compilation they draw nothing and raise no error (they may be
 * called from anywhere, and in a program run without a scene no context
 * exists at all).
 *
 * Mesa crashes when a list holding primitives of types A, B, A with no
 * other GL command between them is called in selection mode (picking), so
 * every shape starts with a command of its own (a normal or a matrix push)
 * and quadrics generate texture coordinates between their strips.
 */
#include "graphics.h"





/* ------------------------------------------------------------ style state */

/* The colour and opacity given last in the drawing being compiled; a new
   compilation starts white and opaque. */
static GLint style_list = 0;
GLfloat style_colour[4] = {1, 1, 1, 1};

/* glLineWidth, told to the host's exports as well. */
void line_width(GLfloat w)
{
    glLineWidth(w);
    glPassThrough(TAVRO_PASS_LINE_WIDTH);
    glPassThrough(w);
}

/* The list being compiled, or 0. */
GLint compiling(void)
{
    GLint list = 0;
    glGetIntegerv(GL_LIST_INDEX, &list);
    if (list != style_list) {
        style_list = list;
        style_colour[0] = style_colour[1] = style_colour[2] = style_colour[3] = 1;
    }
    return list;
}

GLUquadric *quadric(void)
{
    static GLUquadric *q = NULL;
    if (!q) {
        q = gluNewQuadric();
        if (q) {
            gluQuadricNormals(q, GLU_SMOOTH);
            gluQuadricTexture(q, GL_TRUE);
        }
    }
    return q;
}

/* ---------------------------------------------------------------- inputs */

int number(TStructure *s, const char *name, double *x)
{
    TAtom *v;
    long double n;
    if (!tavro_input(s, name, &v))
        return 0;
    if (tavro_to_number(v, &n) && isfinite(n)) {
        *x = (double)n;
        return 1;
    }
    tavro_fail_input(s, v);
    return 0;
}

/* Reads the inputs named in `names` (blank-separated, at most 8). */
int numbers(TStructure *s, const char *names, double *out)
{
    char name[16];
    int n = 0;
    const char *p = names;
    while (*p) {
        size_t len = 0;
        while (*p == ' ')
            ++p;
        while (p[len] && p[len] != ' ' && len < sizeof name - 1)
            ++len;
        if (!len)
            break;
        memcpy(name, p, len);
        name[len] = '\0';
        if (!number(s, name, &out[n++]))
            return 0;
        p += len;
    }
    return 1;
}

/* The inputs of a drawing word: 1 while a drawing is being recorded and
   every named input is a number (after a failure the error is raised when
   the function returns, whatever it returns). */
int drawing(TStructure **state, const char *names, double *out)
{
    return compiling() && numbers(*state, names, out);
}

/* A point [x y z] (a list of three numbers). */
int point_of(TStructure *s, TAtom *v, double p[3])
{
    TAtom *c = v;
    int i;
    for (i = 0; i < 3; ++i) {
        long double n;
        if (!c || !tavro_is_list(c) || !tavro_to_number(tavro_left(c), &n) || !isfinite(n)) {
            tavro_fail_input(s, v);
            return 0;
        }
        p[i] = (double)n;
        c = tavro_right(c);
    }
    if (c) {
        tavro_fail_input(s, v);
        return 0;
    }
    return 1;
}

int point_input(TStructure *s, const char *name, double p[3])
{
    TAtom *v;
    return tavro_input(s, name, &v) && point_of(s, v, p);
}

/* A name input as text (words and numbers). */
const char *name_input(TStructure *s, const char *name, char buf[TAVRO_NUMBER_TEXT_SIZE])
{
    const char *text;
    size_t len;
    return tavro_word_input(s, name, &text, &len, buf) ? text : NULL;
}

/* The node a name input denotes; raises NOSUCHNAME when there is none. */
TAtom *node_input(TStructure *s, const char *name)
{
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    const char *text = name_input(s, name, buf);
    TAtom *node;
    if (!text)
        return NULL;
    node = tavro_find_name(s, text);
    if (!node)
        tavro_raise(s, "NOSUCHNAME", tavro_word_name(s), text);
    return node;
}


/* A vector [x y z] in full precision. */
int vector_input(TStructure *s, const char *name, long double v[3])
{
    TAtom *in, *c;
    int i;
    if (!tavro_input(s, name, &in))
        return 0;
    for (c = in, i = 0; i < 3; ++i, c = tavro_right(c))
        if (!c || !tavro_is_list(c) || !tavro_to_number(tavro_left(c), &v[i])) {
            tavro_fail_input(s, in);
            return 0;
        }
    if (c) {
        tavro_fail_input(s, in);
        return 0;
    }
    return 1;
}

/* ------------------------------------------------------------ geometry */

void normal_of(const double a[3], const double b[3], const double c[3])
{
    double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    double len = sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (len > 0)
        glNormal3d(n[0] / len, n[1] / len, n[2] / len);
    else
        glNormal3d(0, 0, 1);
}


/* A list of points [[x y z] ...] as one primitive. */
TAtom *draw_points(TStructure *s, const char *name, GLenum mode, int with_normal)
{
    TAtom *l, *c;
    double p[3], first[3][3];
    int n = 0;
    if (!tavro_input(s, name, &l))
        return NULL;
    if (!tavro_is_list(l))
        return tavro_fail_input(s, l);
    for (c = l; c; c = tavro_right(c)) {
        if (!point_of(s, tavro_left(c), p))
            return NULL;
        if (n < 3)
            memcpy(first[n], p, sizeof p);
        ++n;
    }
    if (with_normal && n >= 3)
        normal_of(first[0], first[1], first[2]);
    else
        glNormal3d(0, 0, 1);
    glBegin(mode);
    for (c = l; c; c = tavro_right(c)) {
        point_of(s, tavro_left(c), p);
        glVertex3dv(p);
    }
    glEnd();
    return TAVRO_NOVALUE;
}

/* A new list of three numbers. */
TAtom *new_vector(TStructure *s, const long double v[3])
{
    TAtom *list = NULL;
    int i;
    for (i = 2; i >= 0; --i) {
        TAtom *n = tavro_new_number(s, v[i]);
        if (!n || !(list = tavro_new_cell(s, n, list)))
            return NULL;
    }
    return list;
}


void set_colour(const long double c[3])
{
    style_colour[0] = (GLfloat)c[0];
    style_colour[1] = (GLfloat)c[1];
    style_colour[2] = (GLfloat)c[2];
    glColor4fv(style_colour);
}


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
#include <GL/gl.h>
#include <GL/glu.h>
#include <math.h>

#include "colours.h"
#include "stroke_font.h"
#include "tavro_kit.h"

#define EXPORT __attribute__((visibility("default")))
#define NATIVE(fn) EXPORT TAtom *fn(TStructure **state)

#define PI_D 3.14159265358979323846

/* Quadric detail: slices around the axis, stacks along it. */
enum { SLICES = 32, STACKS = 16, TORUS_RINGS = 32 };

/* ------------------------------------------------------------ style state */

/* The colour and opacity given last in the drawing being compiled; a new
   compilation starts white and opaque. */
static GLint style_list = 0;
static GLfloat style_colour[4] = {1, 1, 1, 1};

/* glLineWidth, told to the host's exports as well. */
static void line_width(GLfloat w)
{
    glLineWidth(w);
    glPassThrough(TAVRO_PASS_LINE_WIDTH);
    glPassThrough(w);
}

/* The list being compiled, or 0. */
static GLint compiling(void)
{
    GLint list = 0;
    glGetIntegerv(GL_LIST_INDEX, &list);
    if (list != style_list) {
        style_list = list;
        style_colour[0] = style_colour[1] = style_colour[2] = style_colour[3] = 1;
    }
    return list;
}

static GLUquadric *quadric(void)
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

static int number(TStructure *s, const char *name, double *x)
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
static int numbers(TStructure *s, const char *names, double *out)
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
static int drawing(TStructure **state, const char *names, double *out)
{
    return compiling() && numbers(*state, names, out);
}

/* A point [x y z] (a list of three numbers). */
static int point_of(TStructure *s, TAtom *v, double p[3])
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

static int point_input(TStructure *s, const char *name, double p[3])
{
    TAtom *v;
    return tavro_input(s, name, &v) && point_of(s, v, p);
}

/* A name input as text (words and numbers). */
static const char *name_input(TStructure *s, const char *name, char buf[TAVRO_NUMBER_TEXT_SIZE])
{
    const char *text;
    size_t len;
    return tavro_word_input(s, name, &text, &len, buf) ? text : NULL;
}

/* The node a name input denotes; raises NOSUCHNAME when there is none. */
static TAtom *node_input(TStructure *s, const char *name)
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

static TAtom *new_vector(TStructure *s, const long double v[3]);

/* A vector [x y z] in full precision. */
static int vector_input(TStructure *s, const char *name, long double v[3])
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

/* :a * :x + :b * :y for vectors a, b and numbers x, y: the turtle's one
   piece of arithmetic per step, done here because it is done so often. */
NATIVE(VCOMB)
{
    TStructure *s = *state;
    long double a[3], b[3], x, y;
    int i;
    if (!vector_input(s, "a", a) || !tavro_number_input(s, "x", &x) || !vector_input(s, "b", b) ||
        !tavro_number_input(s, "y", &y))
        return NULL;
    for (i = 0; i < 3; ++i)
        a[i] = a[i] * x + b[i] * y;
    return new_vector(s, a);
}

/* ------------------------------------------------------------ geometry */

static void normal_of(const double a[3], const double b[3], const double c[3])
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

/* A box centred on the origin. */
static void draw_box(double dx, double dy, double dz)
{
    static const int faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                                    {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
    static const double normals[6][3] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0},
                                         {0, 1, 0},  {1, 0, 0}, {-1, 0, 0}};
    double x = dx / 2, y = dy / 2, z = dz / 2;
    double v[8][3] = {{-x, -y, -z}, {x, -y, -z}, {x, y, -z}, {-x, y, -z},
                      {-x, -y, z},  {x, -y, z},  {x, y, z},  {-x, y, z}};
    int f, k;
    glNormal3d(0, 0, 1);
    glBegin(GL_QUADS);
    for (f = 0; f < 6; ++f) {
        glNormal3dv(normals[f]);
        for (k = 0; k < 4; ++k)
            glVertex3dv(v[faces[f][k]]);
    }
    glEnd();
}

/* A torus around the Z axis: ring radius r1, tube radius r2. */
static void draw_torus(double r1, double r2)
{
    int i, j;
    for (i = 0; i < TORUS_RINGS; ++i) {
        double a0 = 2 * PI_D * i / TORUS_RINGS, a1 = 2 * PI_D * (i + 1) / TORUS_RINGS;
        glNormal3d(0, 0, 1);
        glBegin(GL_QUAD_STRIP);
        for (j = 0; j <= SLICES; ++j) {
            double b = 2 * PI_D * j / SLICES, cb = cos(b), sb = sin(b);
            glNormal3d(cos(a1) * cb, sin(a1) * cb, sb);
            glVertex3d(cos(a1) * (r1 + r2 * cb), sin(a1) * (r1 + r2 * cb), r2 * sb);
            glNormal3d(cos(a0) * cb, sin(a0) * cb, sb);
            glVertex3d(cos(a0) * (r1 + r2 * cb), sin(a0) * (r1 + r2 * cb), r2 * sb);
        }
        glEnd();
    }
}

/* A cylinder or cone standing on the XY plane, with its caps. */
static void draw_tube(double bottom, double top, double h)
{
    GLUquadric *q = quadric();
    if (!q)
        return;
    glPushMatrix();
    gluCylinder(q, bottom, top, h, SLICES, 1);
    glPopMatrix();
    glPushMatrix();
    glRotated(180, 1, 0, 0);
    gluDisk(q, 0, bottom, SLICES, 1);
    glPopMatrix();
    if (top > 0) {
        glPushMatrix();
        glTranslated(0, 0, h);
        gluDisk(q, 0, top, SLICES, 1);
        glPopMatrix();
    }
}

/* A list of points [[x y z] ...] as one primitive. */
static TAtom *draw_points(TStructure *s, const char *name, GLenum mode, int with_normal)
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
static TAtom *new_vector(TStructure *s, const long double v[3])
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

/* The turtle's orientation, a frame [heading left up] of three vectors. */
static int frame_input(TStructure *s, TAtom *axes[3], long double v[3][3])
{
    TAtom *frame, *c;
    int i;
    if (!tavro_input(s, "frame", &frame))
        return 0;
    for (c = frame, i = 0; i < 3; ++i, c = tavro_right(c)) {
        TAtom *p, *k;
        int j;
        if (!c || !tavro_is_list(c))
            break;
        axes[i] = p = tavro_left(c);
        for (k = p, j = 0; j < 3; ++j, k = tavro_right(k))
            if (!k || !tavro_is_list(k) || !tavro_to_number(tavro_left(k), &v[i][j]))
                break;
        if (j < 3 || k)
            break;
    }
    if (i < 3 || c) {
        tavro_fail_input(s, frame);
        return 0;
    }
    return 1;
}

/* :p moved :n along the frame's heading. */
NATIVE(AHEAD)
{
    TStructure *s = *state;
    TAtom *axes[3];
    long double p[3], v[3][3], n;
    int i;
    if (!vector_input(s, "p", p) || !frame_input(s, axes, v) || !tavro_number_input(s, "n", &n))
        return NULL;
    for (i = 0; i < 3; ++i)
        p[i] += v[0][i] * n;
    return new_vector(s, p);
}

/* The frame with its axis :i turned by :angle degrees towards its axis :j
   (both 1 to 3); the third axis stays as it is. */
NATIVE(TURNED)
{
    TStructure *s = *state;
    TAtom *axes[3], *frame = NULL;
    long double v[3][3], a[3], b[3], i, j, angle, c, sn;
    int k, m;
    if (!frame_input(s, axes, v) || !tavro_number_input(s, "i", &i) ||
        !tavro_number_input(s, "j", &j) || !tavro_number_input(s, "angle", &angle))
        return NULL;
    if (!(i >= 1 && i <= 3 && j >= 1 && j <= 3 && i != j && i == (int)i && j == (int)j)) {
        TAtom *bad;
        tavro_arg(s, i >= 1 && i <= 3 && i == (int)i ? "j" : "i", &bad);
        return tavro_fail_input(s, bad);
    }
    c = tavro_cosine_degrees(angle);
    sn = tavro_sine_degrees(angle);
    for (m = 0; m < 3; ++m) {
        a[m] = v[(int)i - 1][m] * c + v[(int)j - 1][m] * sn;
        b[m] = v[(int)j - 1][m] * c - v[(int)i - 1][m] * sn;
    }
    for (k = 2; k >= 0; --k) {
        TAtom *axis = k == (int)i - 1 ? new_vector(s, a) : k == (int)j - 1 ? new_vector(s, b) : axes[k];
        if (!axis || !(frame = tavro_new_cell(s, axis, frame)))
            return NULL;
    }
    return frame;
}

/* A list of points packed into one word of numbers, "x y z x y z ...":
   one atom where the list takes seven per point. The turtle keeps its
   finished trail this way, so that a long trail costs the collector
   nothing per point. */
NATIVE(PACKPOINTS)
{
    TStructure *s = *state;
    TAtom *l, *c, *word;
    TKitBuffer b = {0};
    char number[48];
    double p[3];
    if (!tavro_input(s, "points", &l))
        return NULL;
    if (!tavro_is_list(l))
        return tavro_fail_input(s, l);
    for (c = l; c; c = tavro_right(c)) {
        int len;
        if (!point_of(s, tavro_left(c), p)) {
            tavro_buffer_free(&b);
            return NULL;
        }
        len = snprintf(number, sizeof number, "%.9g %.9g %.9g ", p[0], p[1], p[2]);
        if (!tavro_buffer_append(&b, number, (size_t)len)) {
            tavro_buffer_free(&b);
            tavro_raise(s, "OUTOFMEMORY", NULL);
            return NULL;
        }
    }
    word = tavro_new_word(s, b.data ? b.data : "", b.length);
    tavro_buffer_free(&b);
    return word;
}

/* Draws a line strip through the points of a word made by PACKPOINTS. */
NATIVE(PACKEDLINE)
{
    TStructure *s = *state;
    const char *text, *at;
    char buf[TAVRO_NUMBER_TEXT_SIZE], *copy;
    size_t len;
    if (!compiling())
        return TAVRO_NOVALUE;
    if (!tavro_word_input(s, "points", &text, &len, buf))
        return NULL;
    /* strtod needs the terminating zero that a word's bytes lack. */
    copy = malloc(len + 1);
    if (!copy)
        return TAVRO_NOVALUE;
    memcpy(copy, text, len);
    copy[len] = '\0';
    glNormal3d(0, 0, 1);
    glBegin(GL_LINE_STRIP);
    for (at = copy; *at;) {
        double p[3];
        char *end;
        int i;
        for (i = 0; i < 3; ++i, at = end) {
            p[i] = strtod(at, &end);
            if (end == at)
                break;
        }
        if (i < 3)
            break;
        glVertex3dv(p);
    }
    glEnd();
    free(copy);
    return TAVRO_NOVALUE;
}

/* The turtle's two drawings per step, each one call. */

static void set_colour(const long double c[3])
{
    style_colour[0] = (GLfloat)c[0];
    style_colour[1] = (GLfloat)c[1];
    style_colour[2] = (GLfloat)c[2];
    glColor4fv(style_colour);
}

/* The open piece of the trail: a line strip of :width in :colour. */
NATIVE(STROKE)
{
    TStructure *s = *state;
    long double colour[3], width;
    if (!compiling())
        return TAVRO_NOVALUE;
    if (!vector_input(s, "colour", colour) || !tavro_number_input(s, "width", &width))
        return NULL;
    set_colour(colour);
    line_width((GLfloat)width);
    return draw_points(s, "points", GL_LINE_STRIP, 0);
}

/* The arrow head at :p pointing along the heading of :frame: three
   triangles from the tip 12 steps ahead to a base 4 steps behind, 10
   steps wide and 4 high. */
NATIVE(ARROW)
{
    TStructure *s = *state;
    TAtom *axes[3];
    long double p[3], v[3][3], colour[3];
    double tip[3], left[3], right[3], top[3];
    int i;
    if (!compiling())
        return TAVRO_NOVALUE;
    if (!vector_input(s, "p", p) || !frame_input(s, axes, v) || !vector_input(s, "colour", colour))
        return NULL;
    for (i = 0; i < 3; ++i) {
        double back = (double)(p[i] - 4 * v[0][i]);
        tip[i] = (double)(p[i] + 12 * v[0][i]);
        left[i] = back + (double)(5 * v[1][i]);
        right[i] = back - (double)(5 * v[1][i]);
        top[i] = back + (double)(4 * v[2][i]);
    }
    set_colour(colour);
    normal_of(tip, left, right);
    glBegin(GL_TRIANGLES);
    glVertex3dv(tip);
    glVertex3dv(left);
    glVertex3dv(right);
    glEnd();
    normal_of(tip, left, top);
    glBegin(GL_TRIANGLES);
    glVertex3dv(tip);
    glVertex3dv(left);
    glVertex3dv(top);
    glEnd();
    normal_of(tip, top, right);
    glBegin(GL_TRIANGLES);
    glVertex3dv(tip);
    glVertex3dv(top);
    glVertex3dv(right);
    glEnd();
    return TAVRO_NOVALUE;
}

/* -------------------------------------------------------------- style */

NATIVE(COLOR)
{
    double c[3];
    if (compiling() && colour_inputs(*state, c)) {
        style_colour[0] = (GLfloat)c[0];
        style_colour[1] = (GLfloat)c[1];
        style_colour[2] = (GLfloat)c[2];
        glColor4fv(style_colour);
    }
    return TAVRO_NOVALUE;
}

NATIVE(OPACITY)
{
    double a;
    if (drawing(state, "a", &a)) {
        style_colour[3] = (GLfloat)a;
        glColor4fv(style_colour);
    }
    return TAVRO_NOVALUE;
}

/* A size above zero (line width, point size). */
static int size_input(TStructure *s, const char *name, double *x)
{
    TAtom *v;
    if (!number(s, name, x))
        return 0;
    if (*x > 0)
        return 1;
    tavro_arg(s, name, &v);
    tavro_fail_input(s, v);
    return 0;
}

NATIVE(LINEWIDTH)
{
    double w;
    if (!compiling())
        return TAVRO_NOVALUE;
    if (!size_input(*state, "w", &w))
        return NULL;
    line_width((GLfloat)w);
    return TAVRO_NOVALUE;
}

NATIVE(POINTSIZE)
{
    double w;
    if (!compiling())
        return TAVRO_NOVALUE;
    if (!size_input(*state, "s", &w))
        return NULL;
    glPointSize((GLfloat)w);
    return TAVRO_NOVALUE;
}

NATIVE(LIGHTING)
{
    TStructure *s = *state;
    int on;
    if (!compiling())
        return TAVRO_NOVALUE;
    if (!tavro_truth_input(s, "on", &on))
        return NULL;
    if (on) {
        glEnable(GL_LIGHTING);
        glEnable(GL_COLOR_MATERIAL);
        glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
        glEnable(GL_NORMALIZE);
    } else {
        glDisable(GL_LIGHTING);
    }
    return TAVRO_NOVALUE;
}

/* ------------------------------------------------------------- shapes */

NATIVE(POINT)
{
    double p[3];
    if (drawing(state, "x y z", p)) {
        glNormal3d(0, 0, 1);
        glBegin(GL_POINTS);
        glVertex3dv(p);
        glEnd();
    }
    return TAVRO_NOVALUE;
}

NATIVE(LINE)
{
    double p[6];
    if (drawing(state, "x1 y1 z1 x2 y2 z2", p)) {
        glNormal3d(0, 0, 1);
        glBegin(GL_LINES);
        glVertex3dv(p);
        glVertex3dv(p + 3);
        glEnd();
    }
    return TAVRO_NOVALUE;
}

NATIVE(TRIANGLE)
{
    TStructure *s = *state;
    double p[3][3];
    if (!compiling())
        return TAVRO_NOVALUE;
    if (!point_input(s, "p1", p[0]) || !point_input(s, "p2", p[1]) || !point_input(s, "p3", p[2]))
        return NULL;
    normal_of(p[0], p[1], p[2]);
    glBegin(GL_TRIANGLES);
    glVertex3dv(p[0]);
    glVertex3dv(p[1]);
    glVertex3dv(p[2]);
    glEnd();
    return TAVRO_NOVALUE;
}

NATIVE(QUAD)
{
    TStructure *s = *state;
    double p[4][3];
    if (!compiling())
        return TAVRO_NOVALUE;
    if (!point_input(s, "p1", p[0]) || !point_input(s, "p2", p[1]) || !point_input(s, "p3", p[2]) ||
        !point_input(s, "p4", p[3]))
        return NULL;
    normal_of(p[0], p[1], p[2]);
    glBegin(GL_QUADS);
    glVertex3dv(p[0]);
    glVertex3dv(p[1]);
    glVertex3dv(p[2]);
    glVertex3dv(p[3]);
    glEnd();
    return TAVRO_NOVALUE;
}

NATIVE(POLYGON)
{
    if (!compiling())
        return TAVRO_NOVALUE;
    return draw_points(*state, "points", GL_POLYGON, 1);
}

NATIVE(POLYLINE)
{
    if (!compiling())
        return TAVRO_NOVALUE;
    return draw_points(*state, "points", GL_LINE_STRIP, 0);
}

NATIVE(CUBE)
{
    double d;
    if (drawing(state, "size", &d))
        draw_box(d, d, d);
    return TAVRO_NOVALUE;
}

NATIVE(BOX)
{
    double d[3];
    if (drawing(state, "dx dy dz", d))
        draw_box(d[0], d[1], d[2]);
    return TAVRO_NOVALUE;
}

NATIVE(SPHERE)
{
    double r;
    GLUquadric *q;
    if (drawing(state, "r", &r) && (q = quadric()) != NULL) {
        glPushMatrix();
        gluSphere(q, r, SLICES, STACKS);
        glPopMatrix();
    }
    return TAVRO_NOVALUE;
}

NATIVE(CYLINDER)
{
    double d[2];
    if (drawing(state, "r h", d))
        draw_tube(d[0], d[0], d[1]);
    return TAVRO_NOVALUE;
}

NATIVE(CONE)
{
    double d[2];
    if (drawing(state, "r h", d))
        draw_tube(d[0], 0, d[1]);
    return TAVRO_NOVALUE;
}

NATIVE(DISK)
{
    double r;
    GLUquadric *q;
    if (drawing(state, "r", &r) && (q = quadric()) != NULL) {
        glPushMatrix();
        gluDisk(q, 0, r, SLICES, 1);
        glPopMatrix();
    }
    return TAVRO_NOVALUE;
}

NATIVE(TORUS)
{
    double d[2];
    if (drawing(state, "r1 r2", d))
        draw_torus(d[0], d[1]);
    return TAVRO_NOVALUE;
}

static void text_segment(void *context, double x0, double y0, double x1, double y1)
{
    (void)context;
    glVertex2d(x0, y0);
    glVertex2d(x1, y1);
}

/* The text of a word, or of a list as print shows it: the elements'
   printed forms between blanks, without the outer brackets. 0 after an
   error. */
static int text_of(TStructure *s, TAtom *v, TKitBuffer *b)
{
    char number[TAVRO_NUMBER_TEXT_SIZE];
    size_t len;
    const char *word = tavro_word_text(v, &len, number);
    TAtom *c;
    if (word) {
        if (tavro_buffer_append(b, word, len))
            return 1;
        tavro_raise(s, "OUTOFMEMORY", NULL);
        return 0;
    }
    if (!tavro_is_list(v)) {
        tavro_fail_input(s, v);
        return 0;
    }
    for (c = v; c; c = tavro_right(c)) {
        if (c != v)
            tavro_buffer_append(b, " ", 1);
        tavro_buffer_append_atom(b, tavro_left(c));
    }
    return 1;
}

/* The text in the line font, capitals 1 high on the X axis from the
   origin, in the XY plane and the current colour and line width. */
NATIVE(TEXT3D)
{
    TStructure *s = *state;
    TKitBuffer text = {0, 0, 0};
    TAtom *v;
    if (!compiling())
        return TAVRO_NOVALUE;
    if (!tavro_input(s, "words", &v) || !text_of(s, v, &text)) {
        tavro_buffer_free(&text);
        return NULL;
    }
    glNormal3d(0, 0, 1);
    glBegin(GL_LINES);
    stroke_font_layout(tavro_buffer_cstr(&text), text.length, text_segment, NULL);
    glEnd();
    tavro_buffer_free(&text);
    return TAVRO_NOVALUE;
}

/* ---------------------------------------------------------- placement */

NATIVE(MOVE)
{
    double d[3];
    if (drawing(state, "dx dy dz", d))
        glTranslated(d[0], d[1], d[2]);
    return TAVRO_NOVALUE;
}

NATIVE(TURN)
{
    double d[4];
    if (drawing(state, "angle ax ay az", d))
        glRotated(d[0], d[1], d[2], d[3]);
    return TAVRO_NOVALUE;
}

NATIVE(RESIZE)
{
    double d[3];
    if (drawing(state, "sx sy sz", d)) {
        glScaled(d[0], d[1], d[2]);
        glEnable(GL_NORMALIZE);
    }
    return TAVRO_NOVALUE;
}

NATIVE(PUSHMATRIX)
{
    (void)state;
    if (compiling())
        glPushMatrix();
    return TAVRO_NOVALUE;
}

NATIVE(POPMATRIX)
{
    (void)state;
    if (compiling())
        glPopMatrix();
    return TAVRO_NOVALUE;
}

NATIVE(DRAWCHILD)
{
    TStructure *s = *state;
    TAtom *node;
    if (!compiling())
        return TAVRO_NOVALUE;
    node = node_input(s, "name");
    if (node)
        tavro_service_atom(s, TAVRO_SVC_CALL_LIST, node);
    return TAVRO_NOVALUE;
}

/* --------------------------------------------------- camera and scene */

static TAtom *vector_service(TStructure *s, int code)
{
    double d[3];
    if (!numbers(s, "x y z", d))
        return NULL;
    tavro_service(s, code, NULL, d[0], d[1], d[2], 0);
    return TAVRO_NOVALUE;
}

NATIVE(EYE) { return vector_service(*state, TAVRO_SVC_EYE); }
NATIVE(LOOKAT) { return vector_service(*state, TAVRO_SVC_LOOKAT); }
NATIVE(UPVECTOR) { return vector_service(*state, TAVRO_SVC_UPVECTOR); }

/* The camera and the background as the scene has them now (the plane
   window's gestures move the camera too); [] without a scene. */
static TAtom *scene_value(TStructure *s, int which)
{
    return (TAtom *)tavro_service(s, TAVRO_SVC_SCENE_GET, NULL, which, 0, 0, 0);
}

NATIVE(GETEYE) { return scene_value(*state, 1); }
NATIVE(GETLOOKAT) { return scene_value(*state, 2); }
NATIVE(GETUPVECTOR) { return scene_value(*state, 3); }
NATIVE(GETBACKGROUND) { return scene_value(*state, 4); }

/* The colour of the inputs r, g and b in any of its forms, as the list
   [r g b] of components 0 to 1 (setpencolor keeps it so). */
NATIVE(COLOUR)
{
    TStructure *s = *state;
    long double c[3];
    double rgb[3];
    if (!colour_inputs(s, rgb))
        return NULL;
    c[0] = rgb[0];
    c[1] = rgb[1];
    c[2] = rgb[2];
    return new_vector(s, c);
}

/* A colour in any form, then the opacity (1 when not given): r g b a, or
   a colour value and the opacity as the second input. */
NATIVE(BACKGROUND)
{
    TStructure *s = *state;
    double c[4];
    TAtom *r;
    long double n;
    c[3] = 1;
    if (!tavro_input(s, "r", &r))
        return NULL;
    if (!tavro_to_number(r, &n) && !tavro_arg(s, "b", NULL)) {
        if (!colour_value(s, r, c) || (tavro_arg(s, "g", NULL) && !number(s, "g", &c[3])))
            return NULL;
    } else {
        if (!colour_inputs(s, c) || (tavro_arg(s, "a", NULL) && !number(s, "a", &c[3])))
            return NULL;
    }
    tavro_service(s, TAVRO_SVC_BACKGROUND, NULL, c[0], c[1], c[2], c[3]);
    return TAVRO_NOVALUE;
}

NATIVE(MODELMATRIX)
{
    TStructure *s = *state;
    TAtom *rows, *r;
    int n = 0;
    if (!tavro_input(s, "rows", &rows))
        return NULL;
    /* The host reads exactly four rows of four: check the shape first. */
    for (r = rows; tavro_is_list(r) && r; r = tavro_right(r)) {
        TAtom *row = tavro_left(r), *c;
        int k = 0;
        if (!row || !tavro_is_list(row))
            return tavro_fail_input(s, rows);
        for (c = row; c; c = tavro_right(c))
            ++k;
        if (k != 4)
            return tavro_fail_input(s, rows);
        ++n;
    }
    if (n != 4 || !tavro_is_list(rows))
        return tavro_fail_input(s, rows);
    tavro_service_atom(s, TAVRO_SVC_MODELMATRIX, rows);
    return TAVRO_NOVALUE;
}

NATIVE(REDRAW)
{
    tavro_service_plain(*state, TAVRO_SVC_REDRAW);
    return TAVRO_NOVALUE;
}

/* Service 10 for the node the input "name" names; with `later` 1 the
   drawing is recorded when the plane next shows a frame, or the run ends,
   instead of now. */
static TAtom *rebuild(TStructure *s, int later)
{
    TAtom *node = node_input(s, "name");
    if (node)
        tavro_service(s, TAVRO_SVC_REBUILD, NULL, (long double)(uintptr_t)node, later, 0, 0);
    return TAVRO_NOVALUE;
}

NATIVE(REBUILD) { return rebuild(*state, 0); }

/* For a drawing that changes at every step of a program: it is recorded
   once per frame instead of once per step. */
NATIVE(REBUILDLATER) { return rebuild(*state, 1); }

NATIVE(FREEZESCENE)
{
    tavro_service_plain(*state, TAVRO_SVC_DEFER_DRAWING);
    return TAVRO_NOVALUE;
}

NATIVE(UNFREEZESCENE)
{
    tavro_service_plain(*state, TAVRO_SVC_RESUME_DRAWING);
    return TAVRO_NOVALUE;
}

NATIVE(PICKOBJECTS)
{
    TStructure *s = *state;
    double d[4];
    if (!numbers(s, "x y mode radius", d))
        return NULL;
    return (TAtom *)tavro_service(s, TAVRO_SVC_PICK, NULL, d[0], d[1], d[2], d[3]);
}

NATIVE(SAVEPICTURE)
{
    TStructure *s = *state;
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    const char *file = name_input(s, "file", buf);
    double size[2] = {0, 0};
    TText t;
    if (!file)
        return NULL;
    /* (savepicture "file width height): a size of its own. */
    if ((tavro_arg(s, "width", NULL) || tavro_arg(s, "height", NULL)) &&
        !numbers(s, "width height", size))
        return NULL;
    t = tavro_text_from_cstr(file);
    tavro_service(s, TAVRO_SVC_SAVE_PICTURE, &t, size[0], size[1], 0, 0);
    tavro_text_release(t);
    return TAVRO_NOVALUE;
}

NATIVE(SHOWPLANE)
{
    tavro_service_plain(*state, TAVRO_SVC_SHOW_PLANE);
    return TAVRO_NOVALUE;
}

NATIVE(PLANEMENU)
{
    TStructure *s = *state;
    TAtom *l;
    if (!tavro_input(s, "items", &l))
        return NULL;
    if (!tavro_is_list(l))
        return tavro_fail_input(s, l);
    tavro_service_atom(s, TAVRO_SVC_PLANE_MENU, l);
    return TAVRO_NOVALUE;
}

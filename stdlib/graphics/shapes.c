/* Style, shapes and placement: the words an ondrawimage procedure draws
   with. */
#include "colours.h"
#include "graphics.h"

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


/* The turtle's words of graphics.DLL: its vector arithmetic, its packed
   points, and its two drawings per step. */
#include <stdlib.h>
#include <string.h>

#include "graphics.h"

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

/* The arrow head at :p pointing along the heading of :frame: four
   triangles from the tip 12 steps ahead to a base 4 steps behind, 10
   steps wide and 4 high. */
static void triangle(const double a[3], const double b[3], const double c[3])
{
    normal_of(a, b, c);
    glBegin(GL_TRIANGLES);
    glVertex3dv(a);
    glVertex3dv(b);
    glVertex3dv(c);
    glEnd();
}

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
    /* Four faces, each edge met once in each direction: a closed solid,
       so that a model for printing holds it whole. */
    triangle(tip, left, right);
    triangle(tip, right, top);
    triangle(tip, top, left);
    triangle(left, top, right);
    return TAVRO_NOVALUE;
}


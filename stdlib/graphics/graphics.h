/*
 * The graphics library's own kit, shared by its files: the drawing's
 * style state, reading inputs, and the few pieces of geometry that more
 * than one group of words needs.
 *
 * graphics.c      the kit (this header's functions)
 * shapes.c        style, shapes and placement inside a drawing
 * turtle_drawing.c the turtle's arithmetic and its two drawings per step
 * text.c          text3d in the line font
 * scene_words.c   camera, background, pictures and the other scene words
 * colours.c       colours as programs write them
 */
#ifndef TAVRO_GRAPHICS_H
#define TAVRO_GRAPHICS_H

#include <GL/gl.h>
#include <GL/glu.h>
#include <math.h>

#include "tavro_kit.h"

#define EXPORT __attribute__((visibility("default")))
#define NATIVE(fn) EXPORT TAtom *fn(TStructure **state)

#define PI_D 3.14159265358979323846

/* Quadric detail: slices around the axis, stacks along it. */
enum { SLICES = 32, STACKS = 16, TORUS_RINGS = 32 };

/* The colour and opacity given last in the drawing being compiled. */
extern GLfloat style_colour[4];

/* glLineWidth, told to the host's exports as well. */
void line_width(GLfloat w);
/* The list being compiled, or 0 (a new compilation starts white). */
GLint compiling(void);
/* The one quadric of the library's round shapes; NULL without memory. */
GLUquadric *quadric(void);

/* Inputs: each returns 0 after raising the input's error. */
int number(TStructure *s, const char *name, double *x);
/* The inputs named in `names` (blank-separated, at most 8). */
int numbers(TStructure *s, const char *names, double *out);
/* 1 while a drawing is recorded and every named input is a number. */
int drawing(TStructure **state, const char *names, double *out);
/* A point [x y z]. */
int point_of(TStructure *s, TAtom *v, double p[3]);
int point_input(TStructure *s, const char *name, double p[3]);
/* A name input as text (words and numbers). */
const char *name_input(TStructure *s, const char *name, char buf[TAVRO_NUMBER_TEXT_SIZE]);
/* The node a name input denotes; raises NOSUCHNAME when there is none. */
TAtom *node_input(TStructure *s, const char *name);
/* A vector [x y z] in full precision, and a new one. */
int vector_input(TStructure *s, const char *name, long double v[3]);
TAtom *new_vector(TStructure *s, const long double v[3]);

/* Geometry: the normal of a triangle's plane; a list of points as one
   primitive; the drawing colour from a vector. */
void normal_of(const double a[3], const double b[3], const double c[3]);
TAtom *draw_points(TStructure *s, const char *name, GLenum mode, int with_normal);
void set_colour(const long double c[3]);

#endif

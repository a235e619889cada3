/*
 * stroke_font.h - the line font of text3d: the printable ASCII characters
 * as a few strokes each, laid out along a baseline.
 *
 * Plain C with no GL, so that the layout can be checked without a
 * drawing context. Lengths are in cap heights: capitals stand 1 high on
 * the baseline (y = 0), descenders reach 1/3 below it, and every
 * character advances STROKE_FONT_ADVANCE along +x.
 */
#ifndef TAVRO_STROKE_FONT_H
#define TAVRO_STROKE_FONT_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { STROKE_FONT_FIRST = 32, STROKE_FONT_LAST = 126 };

/* The glyph grid: x from 0 to 4, y from 0 (the descenders' bottom) to 8
   (the capitals' top), the baseline at y = 2 and lower case letters 6
   high. */
enum { STROKE_FONT_WIDTH = 4, STROKE_FONT_HEIGHT = 8, STROKE_FONT_BASELINE = 2 };

#define STROKE_FONT_ADVANCE 0.8

/* The strokes of a character as text: each point two digits "xy" on the
   grid, the points of one stroke written together, strokes separated by
   a blank; "" for the space. A code outside the printable set gets the
   box that stands for any character the font lacks. */
const char *stroke_font_glyph(unsigned long code);

/* Receives one line segment, from (x0, y0) to (x1, y1), in cap heights. */
typedef void (*stroke_font_segment)(void *context, double x0, double y0, double x1, double y1);

/* Lays out `len` bytes of UTF-8 text from the origin and hands every
   segment to `segment`. Each code point takes one advance: a multi-byte
   sequence or a stray byte draws one box. Returns the number of
   characters laid out. */
size_t stroke_font_layout(const char *text, size_t len, stroke_font_segment segment,
                          void *context);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* TAVRO_STROKE_FONT_H */

/* text3d: words drawn in the line font. */
#include "graphics.h"
#include "stroke_font.h"

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


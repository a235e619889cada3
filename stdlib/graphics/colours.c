#include "colours.h"

#include <math.h>
#include <string.h>

/* The standard palette of sixteen colours that Logo programs number. */
static const struct {
    const char *name;
    unsigned char rgb[3];
} palette[] = {
    {"black", {0, 0, 0}},        {"blue", {0, 0, 255}},       {"green", {0, 255, 0}},
    {"cyan", {0, 255, 255}},     {"red", {255, 0, 0}},        {"magenta", {255, 0, 255}},
    {"yellow", {255, 255, 0}},   {"white", {255, 255, 255}},  {"brown", {155, 96, 59}},
    {"tan", {197, 136, 18}},     {"forest", {100, 162, 64}},  {"aqua", {120, 187, 187}},
    {"salmon", {255, 149, 119}}, {"purple", {144, 113, 208}}, {"orange", {255, 163, 0}},
    {"grey", {183, 183, 183}},
};
enum { PALETTE_SIZE = sizeof palette / sizeof palette[0] };

static void from_palette(int i, double rgb[3])
{
    int k;
    for (k = 0; k < 3; ++k)
        rgb[k] = palette[i].rgb[k] / 255.0;
}

static int same_letters(const char *a, size_t len, const char *b)
{
    size_t i;
    if (strlen(b) != len)
        return 0;
    for (i = 0; i < len; ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
        if (c != b[i])
            return 0;
    }
    return 1;
}

static int named(const char *text, size_t len, double rgb[3])
{
    int i;
    if (same_letters(text, len, "gray")) {
        from_palette(15, rgb);
        return 1;
    }
    for (i = 0; i < PALETTE_SIZE; ++i)
        if (same_letters(text, len, palette[i].name)) {
            from_palette(i, rgb);
            return 1;
        }
    return 0;
}

/* Three components on either scale; 0 when one is no number, negative, or
   above 255. */
static int components(long double c[3], double rgb[3])
{
    int k, wide = 0;
    for (k = 0; k < 3; ++k) {
        if (!isfinite(c[k]) || c[k] < 0 || c[k] > 255)
            return 0;
        if (c[k] > 1)
            wide = 1;
    }
    for (k = 0; k < 3; ++k)
        rgb[k] = (double)(wide ? c[k] / 255 : c[k]);
    return 1;
}

static int one_input(TAtom *v, double rgb[3])
{
    long double n, c[3];
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    size_t len;
    const char *text;
    if (tavro_to_number(v, &n)) {
        if (n < 0 || n >= PALETTE_SIZE || n != floorl(n))
            return 0;
        from_palette((int)n, rgb);
        return 1;
    }
    if ((text = tavro_word_text(v, &len, buf)) != NULL)
        return named(text, len, rgb);
    if (v && tavro_is_list(v)) {
        TAtom *cell = v;
        int k;
        for (k = 0; k < 3; ++k, cell = tavro_right(cell))
            if (!cell || !tavro_to_number(tavro_left(cell), &c[k]))
                return 0;
        return !cell && components(c, rgb);
    }
    return 0;
}

static int bad_colour(TStructure *s, const TAtom *v)
{
    char *text = tavro_to_text(v);
    tavro_raise(s, "BADCOLOUR", tavro_word_name(s), text ? text : "");
    free(text);
    return 0;
}

int colour_value(TStructure *s, TAtom *v, double rgb[3])
{
    return one_input(v, rgb) || bad_colour(s, v);
}

int colour_inputs(TStructure *s, double rgb[3])
{
    TAtom *r, *g, *b;
    long double c[3];
    if (!tavro_input(s, "r", &r))
        return 0;
    if (!tavro_arg(s, "g", &g) && !tavro_arg(s, "b", &b))
        return one_input(r, rgb) || bad_colour(s, r);
    if (!tavro_input(s, "g", &g) || !tavro_input(s, "b", &b))
        return 0;
    if (!tavro_to_number(r, &c[0]))
        return bad_colour(s, r);
    if (!tavro_to_number(g, &c[1]))
        return bad_colour(s, g);
    if (!tavro_to_number(b, &c[2]))
        return bad_colour(s, b);
    if (components(c, rgb))
        return 1;
    for (int k = 0; k < 3; ++k)
        if (c[k] < 0 || c[k] > 255 || !isfinite(c[k]))
            return bad_colour(s, k == 0 ? r : k == 1 ? g : b);
    return bad_colour(s, r);
}

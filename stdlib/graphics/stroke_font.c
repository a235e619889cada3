/*
 * stroke_font.c - the glyphs of the line font and their layout.
 *
 * Round letters are octagons with their corners cut one grid step in;
 * dots are short upright ticks, since a point would not show as a line.
 */
#include "stroke_font.h"

/* The box drawn for characters the font lacks. */
static const char missing[] = "0208484202";

static const char *const glyphs[STROKE_FONT_LAST - STROKE_FONT_FIRST + 1] = {
    /*   */ "",
    /* ! */ "2428 2223",
    /* " */ "1618 3638",
    /* # */ "1217 3237 0343 0646",
    /* $ */ "46371706153544331304 2228",
    /* % */ "0248 0708181707 3233434232",
    /* & */ "421728370403122244",
    /* ' */ "2628",
    /* ( */ "38161432",
    /* ) */ "18363412",
    /* * */ "2327 0446 0644",
    /* + */ "2327 0545",
    /* , */ "232211",
    /* - */ "0545",
    /* . */ "2223",
    /* / */ "0248",
    /* 0 */ "120307183847433212 1337",
    /* 1 */ "172822 1232",
    /* 2 */ "07183847460242",
    /* 3 */ "07183847463515 354443321203",
    /* 4 */ "32380444",
    /* 5 */ "480805354443321203",
    /* 6 */ "38180703123243443505",
    /* 7 */ "084812",
    /* 8 */ "150607183847463515 1504031232434435",
    /* 9 */ "45150607183847433212",
    /* : */ "2223 2526",
    /* ; */ "232211 2526",
    /* < */ "470543",
    /* = */ "0444 0646",
    /* > */ "074503",
    /* ? */ "07183847462524 2223",
    /* @ */ "34361614344447381807031242",
    /* A */ "0206284642 0545",
    /* B */ "02083847463505 3544433202",
    /* C */ "4738180703123243",
    /* D */ "02083847433202",
    /* E */ "48080242 0535",
    /* F */ "480802 0535",
    /* G */ "47381807031232434525",
    /* H */ "0208 4248 0545",
    /* I */ "1838 2822 1232",
    /* J */ "284843321203",
    /* K */ "0208 4804 1542",
    /* L */ "080242",
    /* M */ "0208254842",
    /* N */ "02084248",
    /* O */ "120307183847433212",
    /* P */ "02083847463505",
    /* Q */ "120307183847433212 2442",
    /* R */ "02083847463505 2542",
    /* S */ "473818070615354443321203",
    /* T */ "0848 2822",
    /* U */ "080312324348",
    /* V */ "082248",
    /* W */ "0812253248",
    /* X */ "0842 0248",
    /* Y */ "082548 2522",
    /* Z */ "08480242",
    /* [ */ "38181232",
    /* \ */ "0842",
    /* ] */ "18383212",
    /* ^ */ "062846",
    /* _ */ "0141",
    /* ` */ "1827",
    /* a */ "16364542 441403123243",
    /* b */ "0802 0516364543321203",
    /* c */ "4536160503123243",
    /* d */ "4842 4536160503123243",
    /* e */ "044445361605031242",
    /* f */ "4738281712 0636",
    /* g */ "4536160504133344 4641301001",
    /* h */ "0802 0516364542",
    /* i */ "162622 2728",
    /* j */ "263631201001 3738",
    /* k */ "0802 3603 1432",
    /* l */ "18282332",
    /* m */ "0206 05162522 25364542",
    /* n */ "0206 0516364542",
    /* o */ "160503123243453616",
    /* p */ "0600 0516364543321203",
    /* q */ "4640 4536160503123243",
    /* r */ "0206 04263645",
    /* s */ "45361605143443321203",
    /* t */ "18132232 0636",
    /* u */ "0603123243 4642",
    /* v */ "062246",
    /* w */ "0612243246",
    /* x */ "0642 0246",
    /* y */ "0622 4610",
    /* z */ "06460242",
    /* { */ "38272615242332",
    /* | */ "2228",
    /* } */ "18272635242312",
    /* ~ */ "05163546",
};

const char *stroke_font_glyph(unsigned long code)
{
    if (code < STROKE_FONT_FIRST || code > STROKE_FONT_LAST)
        return missing;
    return glyphs[code - STROKE_FONT_FIRST];
}

/* The continuation bytes that the lead byte `b` announces. */
static int continuations(unsigned char b)
{
    if (b >= 0xF0)
        return 3;
    if (b >= 0xE0)
        return 2;
    return b >= 0xC0 ? 1 : 0;
}

static void draw_glyph(const char *glyph, double left, stroke_font_segment segment,
                       void *context)
{
    const double unit = 1.0 / (STROKE_FONT_HEIGHT - STROKE_FONT_BASELINE);
    double x0 = 0, y0 = 0;
    int joined = 0;
    while (*glyph) {
        double x, y;
        if (*glyph == ' ') {
            joined = 0;
            ++glyph;
            continue;
        }
        x = left + (glyph[0] - '0') * unit;
        y = (glyph[1] - '0' - STROKE_FONT_BASELINE) * unit;
        glyph += 2;
        if (joined)
            segment(context, x0, y0, x, y);
        x0 = x;
        y0 = y;
        joined = 1;
    }
}

size_t stroke_font_layout(const char *text, size_t len, stroke_font_segment segment,
                          void *context)
{
    size_t i = 0, count = 0;
    while (i < len) {
        unsigned char b = (unsigned char)text[i++];
        unsigned long code = b;
        if (b >= 0x80) {
            /* One box for the whole sequence: its bytes after the lead
               are skipped as far as they are continuation bytes. */
            int more = continuations(b);
            code = 0;
            while (more-- > 0 && i < len && ((unsigned char)text[i] & 0xC0) == 0x80)
                ++i;
        }
        draw_glyph(stroke_font_glyph(code), count * STROKE_FONT_ADVANCE, segment, context);
        ++count;
    }
    return count;
}

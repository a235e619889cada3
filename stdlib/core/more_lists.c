/*
 * more_lists.c - list and word words with UCBLogo's meaning: remdup,
 * rseq, form, gensym, quoted.
 */
#include <stdio.h>

#include "core.h"

/* remdup data: the elements without repeats, each kept at its last
   occurrence, as UCBLogo keeps them; a word gives a word. */
NATIVE(REMDUP)
{
    TStructure *s = *state;
    TAtom *data, *list, *cell, *later;
    TKitList out = {NULL, NULL};
    if (!tavro_input(s, "data", &data))
        return NULL;
    list = elements(s, data);
    if (!tavro_is_list(list))
        return NULL;
    for (cell = list; tavro_is_object(cell); cell = tavro_right(cell)) {
        for (later = tavro_right(cell); tavro_is_object(later); later = tavro_right(later))
            if (values_equal(s, tavro_left(cell), tavro_left(later)))
                break;
        if (!tavro_is_object(later) && !tavro_list_append(s, &out, tavro_left(cell)))
            return NULL;
    }
    if (!tavro_is_list(data)) {
        TKitBuffer b = {0, 0, 0};
        TAtom *w;
        for (cell = out.head; cell; cell = tavro_right(cell))
            tavro_buffer_append_atom(&b, tavro_left(cell));
        w = tavro_new_word(s, tavro_buffer_cstr(&b), b.length);
        tavro_buffer_free(&b);
        return w;
    }
    return out.head;
}

/* Longest list rseq makes, as for iseq. */
#define RSEQ_LIMIT 10000000LL

/* rseq from to count: count numbers from `from` to `to` in equal steps. */
NATIVE(RSEQ)
{
    TStructure *s = *state;
    long double from, to;
    long long n, i;
    TKitList out = {NULL, NULL};
    TAtom *v;
    if (!tavro_number_input(s, "from", &from) || !tavro_number_input(s, "upto", &to) ||
        !whole_input(s, "count", &n))
        return NULL;
    if (n < 1 || n > RSEQ_LIMIT) {
        tavro_arg(s, "count", &v);
        return tavro_fail_input(s, v);
    }
    for (i = 0; i < n; ++i) {
        long double x = n == 1 ? from : from + (to - from) * (long double)i / (long double)(n - 1);
        if (!tavro_list_append(s, &out, number(s, x)))
            return NULL;
    }
    return out.head;
}

/* form number width precision: the number with `precision` digits after
   the point, padded with blanks on the left to `width` characters. */
NATIVE(FORM)
{
    TStructure *s = *state;
    long double x;
    long long width, precision;
    char buf[128];
    int len;
    TAtom *v;
    if (!tavro_number_input(s, "number", &x) || !whole_input(s, "width", &width) ||
        !whole_input(s, "precision", &precision))
        return NULL;
    if (width < 0 || width > 100 || precision < 0 || precision > 40) {
        tavro_arg(s, width < 0 || width > 100 ? "width" : "precision", &v);
        return tavro_fail_input(s, v);
    }
    len = snprintf(buf, sizeof buf, "%*.*Lf", (int)width, (int)precision, x);
    if (len < 0 || len >= (int)sizeof buf) {
        tavro_arg(s, "number", &v);
        return tavro_fail_input(s, v);
    }
    /* The language's "." whatever the locale. */
    {
        char *comma = strchr(buf, ',');
        if (comma)
            *comma = '.';
    }
    return tavro_new_word(s, buf, (size_t)len);
}

/* quoted x: a word with a double quote before it; anything else as it is. */
NATIVE(QUOTED)
{
    TStructure *s = *state;
    TAtom *x;
    const char *t;
    size_t len;
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    if (!tavro_input(s, "x", &x))
        return NULL;
    if (!(t = tavro_word_text(x, &len, buf)))
        return x;
    return joined_word(s, "\"", 1, t, len);
}

/* gensym: G1, G2 ... a new word at every call; the count starts again at
   every start and reset, with the library program. */
static long long symbols;

NATIVE(GENSYM)
{
    char buf[32];
    int len = snprintf(buf, sizeof buf, "G%lld", ++symbols);
    return tavro_new_word(*state, buf, (size_t)len);
}

void forget_symbols(void) { symbols = 0; }

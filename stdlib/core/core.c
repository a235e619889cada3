/*
 * core.DLL - the everyday vocabulary: arithmetic, logic, words and lists,
 * input and output, time, names and flags, log and environment, and the
 * further words of UCBLogo programs; one file a word group (arithmetic.c,
 * words_and_lists.c, input_output.c, names.c, log_and_environment.c,
 * control.c, caller_words.c, definitions.c, more_templates.c,
 * more_lists.c, property_lists.c, arrays.c, session_words.c). This file
 * holds what the groups share: errors, UTF-8 texts, equality, numbers as
 * results.
 *
 * Written against sdk/ only, like any third-party library. Each export is
 * called from a wrapping procedure in core.tvr and reads that procedure's
 * inputs (a, b, x, l, n, name, ...) from its activation record.
 */
#include <math.h>

#include "core.h"

/* ------------------------------------------------------------ errors */

TAtom *fail_key(TStructure *s, const char *key)
{
    tavro_raise(s, key, tavro_word_name(s));
    return NULL;
}

/* A whole number (an integral value within the 64-bit range). */
int whole_input(TStructure *s, const char *name, long long *n)
{
    TAtom *v;
    long double x;
    if (!tavro_input(s, name, &v))
        return 0;
    /* Most inputs are short words of digits: read at once. */
    if (tavro_is_object(v) && v->Kind == akWord && v->Text) {
        TText t = v->Text;
        int32_t len = tavro_text_length(t), i;
        long long k = 0;
        for (i = 0; i < len && i < 18 && t[i] >= '0' && t[i] <= '9'; ++i)
            k = k * 10 + (t[i] - '0');
        if (i == len && len > 0) {
            *n = k;
            return 1;
        }
    }
    if (tavro_to_number(v, &x) && fabsl(x) < 9.2e18L && (long double)(long long)x == x) {
        *n = (long long)x;
        return 1;
    }
    tavro_fail_input(s, v);
    return 0;
}

/* A new word of the word or number input `name` (a name to pass on). */
TAtom *name_input(TStructure *s, const char *name)
{
    const char *t;
    size_t len;
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    if (!tavro_word_input(s, name, &t, &len, buf))
        return NULL;
    return tavro_new_word(s, t, len);
}

/* --------------------------------------------------------------- texts */

/* Bytes of the UTF-8 character that starts at t[i] (at least 1). */
size_t char_size(const char *t, size_t len, size_t i)
{
    unsigned char c = (unsigned char)t[i];
    size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return i + n <= len ? n : len - i;
}

size_t char_count(const char *t, size_t len)
{
    size_t i = 0, n = 0;
    while (i < len) {
        i += char_size(t, len, i);
        ++n;
    }
    return n;
}

/* Byte offset of character number k (0-based). */
size_t char_offset(const char *t, size_t len, size_t k)
{
    size_t i = 0;
    while (k-- > 0 && i < len)
        i += char_size(t, len, i);
    return i;
}

/* Byte offset of the last character. */
size_t last_char_offset(const char *t, size_t len)
{
    size_t i = 0, last = 0;
    while (i < len) {
        last = i;
        i += char_size(t, len, i);
    }
    return last;
}

TAtom *joined_word(TStructure *s, const char *a, size_t alen, const char *b, size_t blen)
{
    /* The text is made in place: no buffer in between. */
    size_t len = alen + blen;
    TText t;
    TAtom *w;
    if (len == 0)
        return tavro_new_word(s, "", 0);
    /* A part of the word would be a wrong value. */
    if (!(t = tavro_text_make(len)))
        return fail_key(s, "OUTOFMEMORY");
    w = tavro_allocate_or_raise(s);
    if (!w) {
        tavro_text_release(t);
        return NULL;
    }
    memcpy(t, a, alen);
    memcpy(t + alen, b, blen);
    w->Text = t;
    return w;
}

/* ------------------------------------------------------------ equality */

int numbers_equal(const TStructure *s, long double x, long double y)
{
    long double m;
    if (x == y)
        return 1;
    if (!isfinite(x) || !isfinite(y))
        return 0;
    m = fabsl(x) > fabsl(y) ? fabsl(x) : fabsl(y);
    if (m < 1)
        m = 1;
    return fabsl(x - y) <= s->Epsilon * m;
}

static int words_equal(const TStructure *s, const TAtom *a, const TAtom *b)
{
    long double x, y;
    char ba[TAVRO_NUMBER_TEXT_SIZE], bb[TAVRO_NUMBER_TEXT_SIZE];
    const char *ta, *tb;
    size_t la = 0, lb = 0;
    if (tavro_to_number(a, &x) && tavro_to_number(b, &y))
        return numbers_equal(s, x, y);
    ta = tavro_word_text(a, &la, ba);
    tb = tavro_word_text(b, &lb, bb);
    return tavro_bytes_equal(ta, la, tb, lb, 1);
}

/* Equality of words and of lists at any depth. Nested lists are compared
   with a stack of pairs of cells, not the machine's stack. */
int values_equal(const TStructure *s, const TAtom *a, const TAtom *b)
{
    const TAtom **pending = NULL; /* pairs of lists still to compare */
    size_t count = 0, capacity = 0;
    int equal = 1;
    for (;;) {
        if (a != b) {
            if (tavro_is_word_or_number(a) && tavro_is_word_or_number(b)) {
                equal = words_equal(s, a, b);
            } else if (tavro_is_list(a) && tavro_is_list(b)) {
                while (a && b && equal) {
                    const TAtom *ea = tavro_left(a), *eb = tavro_left(b);
                    if (ea != eb && ea && eb && tavro_is_list(ea) && tavro_is_list(eb)) {
                        if (count + 2 > capacity) {
                            size_t grown = capacity ? capacity * 2 : 32;
                            const TAtom **more =
                                (const TAtom **)realloc((void *)pending, grown * sizeof(*pending));
                            if (!more) {
                                equal = 0; /* no memory to go on: not shown equal */
                                break;
                            }
                            pending = more;
                            capacity = grown;
                        }
                        pending[count++] = ea;
                        pending[count++] = eb;
                    } else if (ea != eb) {
                        /* Two different lists of which one is empty, or
                           anything but two words, differ. */
                        equal = tavro_is_word_or_number(ea) && tavro_is_word_or_number(eb) &&
                                words_equal(s, ea, eb);
                    }
                    a = tavro_right(a);
                    b = tavro_right(b);
                }
                if (equal)
                    equal = a == NULL && b == NULL;
            } else {
                equal = 0;
            }
        }
        if (!equal || count == 0)
            break;
        b = pending[--count];
        a = pending[--count];
    }
    free((void *)pending);
    return equal;
}

/* ------------------------------------------------------------- numbers */

/* A result that is not a number (INF - INF, INF * 0, or an input that is
   NAN itself) is an error, never a value: "WORD doesn't like X as input",
   X an input that is NAN, else the last input. */
static TAtom *not_a_number(TStructure *s)
{
    TAtom *record = tavro_record(s), *m, *blame = NULL;
    long double x;
    for (m = record ? record->FirstChild : NULL; m; m = m->NextSibling) {
        if (!blame)
            blame = m; /* members are newest first: the last input */
        if (tavro_to_number(tavro_left(m), &x) && isnan(x)) {
            blame = m;
            break;
        }
    }
    return tavro_fail_input(s, blame ? tavro_left(blame) : NULL);
}

/* A finite or infinite result. */
TAtom *number(TStructure *s, long double x)
{
    if (isnan(x))
        return not_a_number(s);
    return tavro_new_number(s, x);
}

/* --------------------------------------------------------------- words */

TAtom *empty_word(TStructure *s) { return tavro_new_word(s, "", 0); }

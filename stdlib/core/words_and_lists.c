/*
 * The words and lists of core.DLL: the type predicates, parts of words
 * (by characters) and of lists, joining and building, case, characters,
 * membership, pick and iseq.
 */
#include <stdio.h>

#include "core.h"

/* --------------------------------------------------------- predicates */

NATIVE(NUMBERP)
{
    TAtom *x;
    long double v;
    if (!tavro_input(*state, "x", &x))
        return NULL;
    return tavro_new_truth(*state, tavro_to_number(x, &v));
}

NATIVE(WORDP)
{
    TAtom *x;
    if (!tavro_input(*state, "x", &x))
        return NULL;
    return tavro_new_truth(*state, tavro_is_word_or_number(x));
}

NATIVE(LISTP)
{
    TAtom *x;
    if (!tavro_input(*state, "x", &x))
        return NULL;
    return tavro_new_truth(*state, tavro_is_list(x));
}

NATIVE(EMPTYP)
{
    TAtom *x;
    if (!tavro_input(*state, "x", &x))
        return NULL;
    return tavro_new_truth(*state, x == NULL || (tavro_is_word_or_number(x) && x->Kind == akWord &&
                                                 tavro_text_length(x->Text) == 0));
}

/* An object is a variable node with members: an object passed as an input
   becomes the parameter node itself, members and all. */
NATIVE(OBJECTP)
{
    TStructure *s = *state;
    TAtom *p = tavro_param(s, "x");
    TAtom *v;
    if (!tavro_input(s, "x", &v))
        return NULL;
    return tavro_new_truth(s, p->FirstChild != NULL ||
                                  (tavro_is_object(v) && v->Kind == akVariable && v->FirstChild));
}

/* ------------------------------------------------------ words and lists */


/* first, last, butfirst, butlast share their checks: a non-empty word or
   list. */
static int sequence_input(TStructure *s, TAtom **x, const char **text, size_t *len,
                          char buf[TAVRO_NUMBER_TEXT_SIZE])
{
    if (!tavro_input(s, "x", x))
        return 0;
    *text = tavro_word_text(*x, len, buf);
    if ((*text && *len > 0) || (tavro_is_list(*x) && *x != NULL))
        return 1;
    tavro_fail_input(s, *x);
    return 0;
}

enum Part { FIRST_PART, LAST_PART, BUTFIRST_PART, BUTLAST_PART };

/* first, last, butfirst and butlast of a word (by characters) or a list.
   Lists are values: the rest of a list shares the input's cells, which
   nothing ever changes in place. */
static TAtom *part(TStructure *s, enum Part which)
{
    TAtom *x;
    const char *t;
    size_t len, head, tail;
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    TKitList out = {NULL, NULL};
    if (!sequence_input(s, &x, &t, &len, buf))
        return NULL;
    if (t) {
        head = char_size(t, len, 0);
        tail = last_char_offset(t, len);
        switch (which) {
        case FIRST_PART: return tavro_new_word(s, t, head);
        case LAST_PART: return tavro_new_word(s, t + tail, len - tail);
        case BUTFIRST_PART: return tavro_new_word(s, t + head, len - head);
        default: return tavro_new_word(s, t, tail);
        }
    }
    switch (which) {
    case FIRST_PART: return tavro_left(x);
    case BUTFIRST_PART: return tavro_right(x);
    case LAST_PART:
        while (tavro_right(x))
            x = tavro_right(x);
        return tavro_left(x);
    default:
        for (; tavro_right(x); x = tavro_right(x))
            if (!tavro_list_append(s, &out, tavro_left(x)))
                return NULL;
        return out.head;
    }
}

NATIVE(FIRST) { return part(*state, FIRST_PART); }
NATIVE(LAST) { return part(*state, LAST_PART); }
NATIVE(BUTFIRST) { return part(*state, BUTFIRST_PART); }
NATIVE(BUTLAST) { return part(*state, BUTLAST_PART); }

NATIVE(COUNT)
{
    TStructure *s = *state;
    TAtom *x;
    const char *t;
    size_t len, n = 0;
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    if (!tavro_input(s, "x", &x))
        return NULL;
    if ((t = tavro_word_text(x, &len, buf)) != NULL)
        return number(s, (long double)char_count(t, len));
    if (!tavro_is_list(x))
        return tavro_fail_input(s, x);
    for (; x; x = tavro_right(x))
        ++n;
    return number(s, (long double)n);
}

NATIVE(ITEM)
{
    TStructure *s = *state;
    TAtom *x, *vn;
    long long n;
    const char *t;
    size_t len, at;
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    if (!whole_input(s, "n", &n) || !tavro_input(s, "x", &x))
        return NULL;
    if ((t = tavro_word_text(x, &len, buf)) != NULL) {
        if (n < 1 || (size_t)n > char_count(t, len)) {
            tavro_arg(s, "n", &vn);
            return tavro_fail_input(s, vn);
        }
        at = char_offset(t, len, (size_t)n - 1);
        return tavro_new_word(s, t + at, char_size(t, len, at));
    }
    if (!tavro_is_list(x))
        return tavro_fail_input(s, x);
    n -= array_origin(x) - 1; /* an array counts from its origin */
    for (; x && n > 1; --n)
        x = tavro_right(x);
    if (!x || n < 1) {
        tavro_arg(s, "n", &vn);
        return tavro_fail_input(s, vn);
    }
    return tavro_left(x);
}

/* fput and lput onto a word join the two words. */
static TAtom *put(TStructure *s, int at_end)
{
    TAtom *x, *l;
    const char *tx, *tl;
    size_t lx, ll;
    char bx[TAVRO_NUMBER_TEXT_SIZE], bl[TAVRO_NUMBER_TEXT_SIZE];
    TKitList out = {NULL, NULL};
    if (!tavro_input(s, "x", &x) || !tavro_input(s, "l", &l))
        return NULL;
    if ((tl = tavro_word_text(l, &ll, bl)) != NULL) {
        if ((tx = tavro_word_text(x, &lx, bx)) == NULL)
            return tavro_fail_input(s, x);
        return at_end ? joined_word(s, tl, ll, tx, lx) : joined_word(s, tx, lx, tl, ll);
    }
    if (!tavro_is_list(l))
        return tavro_fail_input(s, l);
    if (!at_end)
        return tavro_new_cell(s, x, l);
    for (; l; l = tavro_right(l))
        if (!tavro_list_append(s, &out, tavro_left(l)))
            return NULL;
    return tavro_list_append(s, &out, x) ? out.head : NULL;
}

NATIVE(FPUT) { return put(*state, 0); }
NATIVE(LPUT) { return put(*state, 1); }

/* (list a b c ...) takes the further inputs #1, #2 ... as well. */
NATIVE(LIST)
{
    TStructure *s = *state;
    TAtom *a, *b, *x;
    TKitList out = {NULL, NULL};
    char name[24];
    int k;
    if (!tavro_input(s, "a", &a) || !tavro_input(s, "b", &b))
        return NULL;
    if (!tavro_list_append(s, &out, a) || !tavro_list_append(s, &out, b))
        return NULL;
    for (k = 1;; ++k) {
        snprintf(name, sizeof name, "#%d", k);
        if (!tavro_arg(s, name, &x))
            break;
        if (!tavro_list_append(s, &out, x))
            return NULL;
    }
    return out.head;
}

/* The elements of a list, or a word as one element; 0 when memory ran
   out (the error is raised). */
static int append_flat(TStructure *s, TKitList *out, TAtom *v)
{
    if (!tavro_is_list(v))
        return tavro_list_append(s, out, v);
    for (; v; v = tavro_right(v))
        if (!tavro_list_append(s, out, tavro_left(v)))
            return 0;
    return 1;
}

NATIVE(SENTENCE)
{
    TStructure *s = *state;
    TAtom *a, *b;
    TKitList out = {NULL, NULL};
    if (!tavro_input(s, "a", &a) || !tavro_input(s, "b", &b))
        return NULL;
    if (!append_flat(s, &out, a) || !append_flat(s, &out, b))
        return NULL;
    return out.head;
}

NATIVE(WORD)
{
    TStructure *s = *state;
    const char *ta, *tb;
    size_t la, lb;
    char ba[TAVRO_NUMBER_TEXT_SIZE], bb[TAVRO_NUMBER_TEXT_SIZE];
    if (!tavro_word_input(s, "a", &ta, &la, ba) || !tavro_word_input(s, "b", &tb, &lb, bb))
        return NULL;
    return joined_word(s, ta, la, tb, lb);
}

NATIVE(REVERSE)
{
    TStructure *s = *state;
    TAtom *x, *out = NULL;
    const char *t;
    size_t len, i, n;
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    if (!tavro_input(s, "x", &x))
        return NULL;
    if ((t = tavro_word_text(x, &len, buf)) != NULL) {
        char *r = (char *)malloc(len + 1);
        TAtom *w;
        if (!r)
            return tavro_fail_input(s, x);
        for (i = 0; i < len; i += n) {
            n = char_size(t, len, i);
            memcpy(r + len - i - n, t + i, n);
        }
        w = tavro_new_word(s, r, len);
        free(r);
        return w;
    }
    if (!tavro_is_list(x))
        return tavro_fail_input(s, x);
    for (; x; x = tavro_right(x))
        out = tavro_new_cell(s, tavro_left(x), out);
    return out;
}

static TAtom *change_case(TStructure *s, int upper)
{
    const char *t;
    size_t len, i;
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    TAtom *w;
    if (!tavro_word_input(s, "w", &t, &len, buf))
        return NULL;
    w = tavro_new_word(s, t, len);
    for (i = 0; w && w->Text && i < len; ++i) {
        char c = w->Text[i];
        if (upper && c >= 'a' && c <= 'z')
            w->Text[i] = (char)(c - 'a' + 'A');
        else if (!upper && c >= 'A' && c <= 'Z')
            w->Text[i] = (char)(c - 'A' + 'a');
    }
    return w;
}

NATIVE(UPPERCASE) { return change_case(*state, 1); }
NATIVE(LOWERCASE) { return change_case(*state, 0); }

NATIVE(CHAR)
{
    TStructure *s = *state;
    long long n;
    TAtom *v;
    char u[4];
    size_t len;
    if (!whole_input(s, "n", &n))
        return NULL;
    if (n < 1 || n > 0x10FFFF || (n >= 0xD800 && n <= 0xDFFF)) {
        tavro_arg(s, "n", &v);
        return tavro_fail_input(s, v);
    }
    if (n < 0x80) {
        u[0] = (char)n;
        len = 1;
    } else if (n < 0x800) {
        u[0] = (char)(0xC0 | (n >> 6));
        u[1] = (char)(0x80 | (n & 0x3F));
        len = 2;
    } else if (n < 0x10000) {
        u[0] = (char)(0xE0 | (n >> 12));
        u[1] = (char)(0x80 | ((n >> 6) & 0x3F));
        u[2] = (char)(0x80 | (n & 0x3F));
        len = 3;
    } else {
        u[0] = (char)(0xF0 | (n >> 18));
        u[1] = (char)(0x80 | ((n >> 12) & 0x3F));
        u[2] = (char)(0x80 | ((n >> 6) & 0x3F));
        u[3] = (char)(0x80 | (n & 0x3F));
        len = 4;
    }
    return tavro_new_word(s, u, len);
}

NATIVE(ASCII)
{
    TStructure *s = *state;
    const char *t;
    size_t len, n, i;
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    const unsigned char *u;
    long code;
    TAtom *v;
    if (!tavro_word_input(s, "c", &t, &len, buf))
        return NULL;
    if (len == 0 || (n = char_size(t, len, 0)) != len) {
        tavro_arg(s, "c", &v);
        return tavro_fail_input(s, v);
    }
    u = (const unsigned char *)t;
    code = n == 1 ? u[0] : n == 2 ? (u[0] & 0x1F) : n == 3 ? (u[0] & 0x0F) : (u[0] & 0x07);
    for (i = 1; i < n; ++i)
        code = (code << 6) | (u[i] & 0x3F);
    return number(s, (long double)code);
}

/* Where x occurs in the word t: byte offset, or -1. Words compare without
   regard to ASCII letter case. */
static long find_in_word(const char *t, size_t len, const char *x, size_t lx)
{
    size_t i;
    if (lx == 0 || lx > len)
        return -1;
    for (i = 0; i + lx <= len; i += char_size(t, len, i))
        if (tavro_bytes_equal(t + i, lx, x, lx, 1))
            return (long)i;
    return -1;
}

/* memberp, member and position: the index of x in l (1-based, 0 when
   absent) and, for member, the rest from there. Returns 0 after an error. */
static int locate(TStructure *s, long *index, TAtom **rest)
{
    TAtom *x, *l;
    const char *tl, *tx;
    size_t ll, lx;
    char bl[TAVRO_NUMBER_TEXT_SIZE], bx[TAVRO_NUMBER_TEXT_SIZE];
    long i;
    if (!tavro_input(s, "x", &x) || !tavro_input(s, "l", &l))
        return 0;
    *index = 0;
    *rest = NULL;
    if ((tl = tavro_word_text(l, &ll, bl)) != NULL) {
        long at;
        if ((tx = tavro_word_text(x, &lx, bx)) == NULL) {
            *rest = empty_word(s);
            return 1;
        }
        at = find_in_word(tl, ll, tx, lx);
        if (at >= 0) {
            *index = (long)char_count(tl, (size_t)at) + 1;
            *rest = tavro_new_word(s, tl + at, ll - (size_t)at);
        } else {
            *rest = empty_word(s);
        }
        return 1;
    }
    if (!tavro_is_list(l)) {
        tavro_fail_input(s, l);
        return 0;
    }
    for (i = 1; l; l = tavro_right(l), ++i) {
        if (values_equal(s, x, tavro_left(l))) {
            *index = i;
            *rest = l;
            return 1;
        }
    }
    return 1;
}

NATIVE(MEMBERP)
{
    long i;
    TAtom *rest;
    if (!locate(*state, &i, &rest))
        return NULL;
    return tavro_new_truth(*state, i > 0);
}

NATIVE(MEMBER)
{
    long i;
    TAtom *rest;
    if (!locate(*state, &i, &rest))
        return NULL;
    return rest;
}

NATIVE(POSITION)
{
    long i;
    TAtom *rest;
    if (!locate(*state, &i, &rest))
        return NULL;
    return number(*state, (long double)i);
}

NATIVE(PICK)
{
    TStructure *s = *state;
    TAtom *l;
    const char *t;
    size_t len, n = 0, k, at;
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    if (!tavro_input(s, "l", &l))
        return NULL;
    if ((t = tavro_word_text(l, &len, buf)) != NULL && len > 0) {
        k = (size_t)random_below(char_count(t, len));
        at = char_offset(t, len, k);
        return tavro_new_word(s, t + at, char_size(t, len, at));
    }
    if (t || !tavro_is_list(l) || l == NULL)
        return tavro_fail_input(s, l);
    for (TAtom *c = l; c; c = tavro_right(c))
        ++n;
    for (k = (size_t)random_below(n); k > 0; --k)
        l = tavro_right(l);
    return tavro_left(l);
}

/* Longest list iseq makes: beyond it a slip of the finger would eat all
   memory. */
#define ISEQ_LIMIT 10000000LL

NATIVE(ISEQ)
{
    TStructure *s = *state;
    long long a, b, i, step;
    TKitList out = {NULL, NULL};
    TAtom *vb;
    if (!whole_input(s, "a", &a) || !whole_input(s, "b", &b))
        return NULL;
    if ((a < b ? b - a : a - b) >= ISEQ_LIMIT) {
        tavro_arg(s, "b", &vb);
        return tavro_fail_input(s, vb);
    }
    step = a <= b ? 1 : -1;
    for (i = a;; i += step) {
        if (!tavro_list_append(s, &out, number(s, (long double)i)))
            return fail_key(s, "OUTOFMEMORY");
        if (i == b)
            break;
    }
    return out.head;
}

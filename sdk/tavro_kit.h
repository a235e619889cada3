/*
 * tavro_kit.h - helpers for writing native libraries, built on tavro.h only.
 *
 * Everything here is `static inline` C11 that also compiles as C++; a
 * library includes this header and needs nothing else from Tavro. The host
 * uses the same number formatting, number parsing and printed form, so a
 * library's output looks exactly like the interpreter's own.
 *
 * Conventions of the kit:
 *   - `s` is the state (`*state` of the native function's argument);
 *   - atoms are made from the host's pool and need no freeing: the
 *     collector reclaims them once nothing refers to them;
 *   - texts returned to the caller (TText) are owned by the caller, who
 *     releases them with tavro_text_release;
 *   - after tavro_raise a native function returns at once (return NULL);
 *     the executor raises the error when the function has returned.
 */
#ifndef TAVRO_SDK_TAVRO_KIT_H
#define TAVRO_SDK_TAVRO_KIT_H

#include <locale.h>
#include <math.h>
#include <stdarg.h>
#include <stdio.h>

#include "tavro.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------- names */

/* Upper-cases one ASCII letter; other bytes stay as they are. */
static inline char tavro_ascii_upper(char c)
{
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

/* Equality of two byte strings, ASCII letters compared without regard to
   case when `fold` is non-zero. */
static inline int tavro_bytes_equal(const char *a, size_t alen, const char *b, size_t blen,
                                    int fold)
{
    size_t i;
    if (alen != blen)
        return 0;
    if (!fold) /* the first byte tells most names apart */
        return alen == 0 || (a[0] == b[0] && memcmp(a + 1, b + 1, alen - 1) == 0);
    for (i = 0; i < alen; ++i)
        if (tavro_ascii_upper(a[i]) != tavro_ascii_upper(b[i]))
            return 0;
    return 1;
}

/* True when the text `t` is the C string `name`, letter case folded with
   `fold`. Compared as it is walked, with no length taken first: records
   are searched for a parameter with every input a native reads. */
static inline int tavro_text_is(TText t, const char *name, int fold)
{
    const char *a = tavro_text_cstr(t);
    size_t len = (size_t)tavro_text_length(t), i;
    for (i = 0; i < len; ++i) {
        /* The end of `name` comes first: a shorter name, or a text with a
           zero byte where the name ends. */
        if (name[i] == '\0')
            return 0;
        if (fold ? tavro_ascii_upper(a[i]) != tavro_ascii_upper(name[i]) : a[i] != name[i])
            return 0;
    }
    return name[len] == '\0';
}

/* True when the name `name` matches the text of `node` the way the
   interpreter compares names (case-insensitively when the state says
   names are not case-sensitive). */
static inline int tavro_name_is(const TStructure *s, const TAtom *node, const char *name)
{
    return tavro_bytes_equal(tavro_text_cstr(node->Text), (size_t)tavro_text_length(node->Text),
                             name, strlen(name), !s->CaseSensitive);
}

/* ------------------------------------------------------------ arguments */

/* The activation record of the wrapping procedure (the top context's
   node), or NULL when the native word was used outside a procedure. */
static inline TAtom *tavro_record(const TStructure *s)
{
    return s->Contexts ? s->Contexts->Node : NULL;
}

/* The name of the wrapping procedure ("" outside a procedure): the record
   hangs under the procedure's node. Handy for error messages. */
static inline const char *tavro_word_name(const TStructure *s)
{
    TAtom *r = tavro_record(s);
    return (r && r->Parent) ? tavro_text_cstr(r->Parent->Text) : "";
}

/* The member node of the parameter `name`, or NULL when the wrapping
   procedure has no such member (the input is absent). */
static inline TAtom *tavro_param(const TStructure *s, const char *name)
{
    TAtom *r = tavro_record(s);
    TAtom *m;
    int fold;
    if (!r)
        return NULL;
    fold = !s->CaseSensitive;
    for (m = r->FirstChild; m; m = m->NextSibling)
        if (m->Kind == akVariable && tavro_text_is(m->Text, name, fold))
            return m;
    return NULL;
}

/* Reads the input `name`: returns 1 and stores its value in *value (NULL
   is the empty list) when present, 0 when absent. */
static inline int tavro_arg(const TStructure *s, const char *name, TAtom **value)
{
    TAtom *p = tavro_param(s, name);
    if (value)
        *value = p ? (TAtom *)p->Left : NULL;
    return p != NULL;
}

/* ----------------------------------------------------------- predicates */

static inline int tavro_is_object(const TAtom *a) { return a && a != TAVRO_NOVALUE; }

static inline int tavro_is_word_or_number(const TAtom *a)
{
    return tavro_is_object(a) && (a->Kind == akWord || a->Kind == akNumber);
}

/* The empty list or a list cell (groups count as lists). */
static inline int tavro_is_list(const TAtom *a)
{
    return a == NULL || (a != TAVRO_NOVALUE && (a->Kind == akList || a->Kind == akGroup));
}

static inline TAtom *tavro_left(const TAtom *a) { return (TAtom *)a->Left; }
static inline TAtom *tavro_right(const TAtom *a) { return (TAtom *)a->Right; }

/* --------------------------------------------------------------- numbers */

/* Longest printed number, with its NUL ("-1.23456789012345E-4951"). */
#define TAVRO_NUMBER_TEXT_SIZE 32

/* The general format of numbers: 15 significant digits, an exact tie at
   the 15th digit rounded away from zero, trailing zeros dropped, fixed
   notation for magnitudes in [1e-4, 1e15), otherwise d.dddE[-]x; "INF",
   "-INF", "NAN"; "." whatever the locale. Writes into `out` and returns
   the length. */
static inline size_t tavro_format_number(long double x, char out[TAVRO_NUMBER_TEXT_SIZE])
{
    char buf[96], digits[48];
    int nd = 0, exponent = 0, negative = 0, i;
    size_t n = 0;
    const char *p = buf;
    if (isnan(x))
        return (size_t)sprintf(out, "NAN");
    if (isinf(x))
        return (size_t)sprintf(out, x > 0 ? "INF" : "-INF");
    if (x == 0)
        return (size_t)sprintf(out, "0");
    /* Whole numbers of up to 15 digits print as their digits: the general
       way below gives the same text at many times the cost. */
    if (fabsl(x) < 1e15L && x == (long double)(long long)x) {
        long long whole = (long long)x;
        unsigned long long u = whole < 0 ? 0ULL - (unsigned long long)whole : (unsigned long long)whole;
        char reversed[20];
        int k = 0;
        while (u) {
            reversed[k++] = (char)('0' + u % 10);
            u /= 10;
        }
        if (whole < 0)
            out[n++] = '-';
        while (k)
            out[n++] = reversed[--k];
        out[n] = '\0';
        return n;
    }
    /* Forty significant digits tell a true tie at the 15th digit apart:
       the extended type holds fewer than 20, so a near-tie differs well
       before digit 40. */
    snprintf(buf, sizeof buf, "%.39Le", x);
    if (*p == '-') {
        negative = 1;
        ++p;
    }
    for (; *p && *p != 'e' && *p != 'E'; ++p)
        if (*p >= '0' && *p <= '9' && nd < 47)
            digits[nd++] = *p; /* skips the locale's decimal point */
    if (*p)
        exponent = atoi(p + 1);
    if (digits[15] >= '5') {
        i = 14;
        while (i >= 0 && digits[i] == '9')
            digits[i--] = '0';
        if (i >= 0) {
            digits[i]++;
        } else {
            digits[0] = '1';
            ++exponent;
        }
    }
    nd = 15;
    while (nd > 1 && digits[nd - 1] == '0')
        --nd;
    if (negative)
        out[n++] = '-';
    if (exponent >= -4 && exponent < 15) {
        if (exponent < 0) {
            out[n++] = '0';
            out[n++] = '.';
            for (i = 0; i < -exponent - 1; ++i)
                out[n++] = '0';
            for (i = 0; i < nd; ++i)
                out[n++] = digits[i];
        } else {
            for (i = 0; i <= exponent; ++i)
                out[n++] = i < nd ? digits[i] : '0';
            if (nd > exponent + 1) {
                out[n++] = '.';
                for (i = exponent + 1; i < nd; ++i)
                    out[n++] = digits[i];
            }
        }
    } else {
        out[n++] = digits[0];
        if (nd > 1) {
            out[n++] = '.';
            for (i = 1; i < nd; ++i)
                out[n++] = digits[i];
        }
        n += (size_t)sprintf(out + n, "E%d", exponent);
    }
    out[n] = '\0';
    return n;
}

/* The language's word-to-number rule: empty, "+" and "-" fail; a text
   that starts with a sign or a digit must be a whole decimal number
   (digits, optional "." fraction, optional E/e exponent with sign);
   "INF" and "NAN" (upper case) are accepted; everything else fails.
   Returns 1 and the value, or 0 and 0. */
static inline int tavro_parse_number(const char *text, size_t len, long double *value)
{
    char local[64], *copy;
    size_t i = 0, mantissa = 0, exp_digits;
    const char *point;
    *value = 0;
    if (len == 0)
        return 0;
    if (text[0] == '+' || text[0] == '-' || (text[0] >= '0' && text[0] <= '9')) {
        if (text[0] == '+' || text[0] == '-')
            ++i;
        while (i < len && text[i] >= '0' && text[i] <= '9')
            ++i, ++mantissa;
        if (i < len && text[i] == '.') {
            ++i;
            while (i < len && text[i] >= '0' && text[i] <= '9')
                ++i, ++mantissa;
        }
        if (mantissa == 0)
            return 0;
        if (i < len && (text[i] == 'e' || text[i] == 'E')) {
            ++i;
            if (i < len && (text[i] == '+' || text[i] == '-'))
                ++i;
            exp_digits = 0;
            while (i < len && text[i] >= '0' && text[i] <= '9')
                ++i, ++exp_digits;
            if (exp_digits == 0)
                return 0;
        }
        if (i != len)
            return 0;
        /* Whole numbers of up to 18 digits, the usual case, are exact in
           a 64-bit integer: no need for the general conversion. */
        if (mantissa <= 18) {
            size_t k = (text[0] == '+' || text[0] == '-') ? 1 : 0;
            long long whole = 0;
            while (k < len && text[k] >= '0' && text[k] <= '9')
                whole = whole * 10 + (text[k++] - '0');
            if (k == len) {
                *value = text[0] == '-' ? -(long double)whole : (long double)whole;
                return 1;
            }
        }
        /* strtold reads the locale's decimal point: put that one in place
           of the language's "." (a well-formed number has at most one). */
        point = localeconv()->decimal_point;
        if (!point || !*point || strlen(point) > 4)
            point = ".";
        copy = len + 8 <= sizeof local ? local : (char *)malloc(len + 8);
        if (!copy)
            return 0;
        {
            size_t o = 0, k;
            for (k = 0; k < len; ++k) {
                if (text[k] == '.') {
                    memcpy(copy + o, point, strlen(point));
                    o += strlen(point);
                } else {
                    copy[o++] = text[k];
                }
            }
            copy[o] = '\0';
        }
        *value = strtold(copy, NULL);
        if (copy != local)
            free(copy);
        return 1;
    }
    if (len == 3 && memcmp(text, "INF", 3) == 0) {
        *value = (long double)INFINITY;
        return 1;
    }
    if (len == 3 && memcmp(text, "NAN", 3) == 0) {
        *value = (long double)NAN;
        return 1;
    }
    return 0;
}

/* The number an atom stands for: an akNumber, or a word that the parse
   rule accepts. Returns 1 and the value, or 0 (and 0) for anything else. */
static inline int tavro_to_number(const TAtom *a, long double *value)
{
    *value = 0;
    if (!tavro_is_object(a))
        return 0;
    if (a->Kind == akNumber) {
        *value = a->Number;
        return 1;
    }
    if (a->Kind != akWord)
        return 0;
    return tavro_parse_number(tavro_text_cstr(a->Text), (size_t)tavro_text_length(a->Text),
                              value);
}

/* True when the text of a word or number reads "true" in any letter case. */
static inline int tavro_is_true_word(const TAtom *a)
{
    return tavro_is_object(a) && a->Kind == akWord &&
           tavro_bytes_equal(tavro_text_cstr(a->Text), (size_t)tavro_text_length(a->Text), "TRUE",
                             4, 1);
}

/* --------------------------------------------------------------- buffers */

/* A growable byte buffer, always NUL-terminated once something was put in
   it. Start with {0}; free with tavro_buffer_free. */
typedef struct TKitBuffer {
    char *data;
    size_t length;
    size_t capacity;
} TKitBuffer;

static inline int tavro_buffer_append(TKitBuffer *b, const char *bytes, size_t len)
{
    if (b->length + len + 1 > b->capacity) {
        size_t cap = b->capacity ? b->capacity * 2 : 64;
        char *grown;
        while (cap < b->length + len + 1)
            cap *= 2;
        grown = (char *)realloc(b->data, cap);
        if (!grown)
            return 0;
        b->data = grown;
        b->capacity = cap;
    }
    if (len)
        memcpy(b->data + b->length, bytes, len);
    b->length += len;
    b->data[b->length] = '\0';
    return 1;
}

static inline int tavro_buffer_append_cstr(TKitBuffer *b, const char *s)
{
    return tavro_buffer_append(b, s, strlen(s));
}

/* The buffer's bytes as a C string ("" when nothing was appended). */
static inline const char *tavro_buffer_cstr(const TKitBuffer *b)
{
    return b->data ? b->data : "";
}

static inline void tavro_buffer_free(TKitBuffer *b)
{
    free(b->data);
    b->data = NULL;
    b->length = b->capacity = 0;
}

/* One open list or variable node of tavro_buffer_append_atom. */
typedef struct TKitPrintFrame {
    const TAtom *node;   /* the variable node, or NULL for a list */
    const TAtom *cursor; /* the next cell, or the next member */
    int first;           /* no element written yet / value not written yet */
    int group;
} TKitPrintFrame;

/* The printed form of a value that is no list and no node. */
static inline void tavro_buffer_append_leaf(TKitBuffer *b, const TAtom *a)
{
    if (a == NULL) {
        tavro_buffer_append(b, "[]", 2);
        return;
    }
    if (a == TAVRO_NOVALUE) {
        tavro_buffer_append(b, "iNOP", 4);
        return;
    }
    switch (a->Kind) {
    case akNumber: {
        char num[TAVRO_NUMBER_TEXT_SIZE];
        size_t n = tavro_format_number(a->Number, num);
        tavro_buffer_append(b, num, n);
        return;
    }
    case akWord:
        tavro_buffer_append(b, tavro_text_cstr(a->Text), (size_t)tavro_text_length(a->Text));
        return;
    case akWidget:
        tavro_buffer_append(b, "{", 1);
        tavro_buffer_append_cstr(b, a->Text ? a->Text : "TControl");
        tavro_buffer_append(b, "}", 1);
        return;
    case akMemoryBlock:
        tavro_buffer_append_cstr(b, "{Memory Block}");
        return;
    default:
        tavro_buffer_append_cstr(b, "{???}");
    }
}

/* Appends the printed form of an atom: numbers in the general format,
   words as they are, "[a b]" for lists and "(a b)" for groups (the first
   cell decides), "{name=value {member}...}" for variable nodes, "[]" for
   the empty list, "iNOP" for no value, "{Class}" for widgets (the class
   name in Text, "TControl" without one), "{Memory Block}", "{???}".
   Lists and nodes nested to any depth are walked with a stack of their
   own, not the machine's. */
static inline void tavro_buffer_append_atom(TKitBuffer *b, const TAtom *a)
{
    TKitPrintFrame *open = NULL, *f;
    size_t depth = 0, capacity = 0;
    const TAtom *next = a;
    int have = 1;
    for (;;) {
        if (have) {
            const TAtom *v = next;
            have = 0;
            if (v && v != TAVRO_NOVALUE &&
                (v->Kind == akList || v->Kind == akGroup || v->Kind == akVariable)) {
                if (depth == capacity) {
                    size_t grown = capacity ? capacity * 2 : 16;
                    TKitPrintFrame *more =
                        (TKitPrintFrame *)realloc(open, grown * sizeof(TKitPrintFrame));
                    if (!more)
                        break; /* no memory: the text stops here */
                    open = more;
                    capacity = grown;
                }
                f = &open[depth++];
                if (v->Kind == akVariable) {
                    tavro_buffer_append(b, "{", 1);
                    tavro_buffer_append(b, tavro_text_cstr(v->Text),
                                        (size_t)tavro_text_length(v->Text));
                    tavro_buffer_append(b, "=", 1);
                    f->node = v;
                    f->cursor = v->FirstChild;
                    f->group = 0;
                } else {
                    f->group = v->Kind == akGroup;
                    tavro_buffer_append(b, f->group ? "(" : "[", 1);
                    f->node = NULL;
                    f->cursor = v;
                }
                f->first = 1;
            } else {
                tavro_buffer_append_leaf(b, v);
            }
        }
        if (depth == 0)
            break;
        f = &open[depth - 1];
        if (!f->node) {
            if (!f->cursor) {
                tavro_buffer_append(b, f->group ? ")" : "]", 1);
                --depth;
                continue;
            }
            if (!f->first)
                tavro_buffer_append(b, " ", 1);
            f->first = 0;
            next = tavro_left(f->cursor);
            f->cursor = tavro_right(f->cursor);
        } else if (f->first) {
            f->first = 0;
            next = tavro_left(f->node);
        } else if (f->cursor) {
            tavro_buffer_append(b, " ", 1);
            next = f->cursor;
            f->cursor = f->cursor->NextSibling;
        } else {
            tavro_buffer_append(b, "}", 1);
            --depth;
            continue;
        }
        have = 1;
    }
    free(open);
}

/* The printed form as a new malloc'ed C string (free it with free), or
   NULL when memory runs out. */
static inline char *tavro_to_text(const TAtom *a)
{
    TKitBuffer b = {0, 0, 0};
    tavro_buffer_append_atom(&b, a);
    if (!b.data)
        tavro_buffer_append(&b, "", 0);
    return b.data;
}

/* -------------------------------------------------------- making atoms */

/* The constructors below never hand out a wrong value: when memory runs
   out (or a word would be longer than a text can be) they raise
   OUTOFMEMORY and return NULL; the error is raised when the native
   function returns, so whatever it returns then is never seen. */
static inline void tavro_raise_args(TStructure *s, const char *key, ...);

static inline TAtom *tavro_allocate_or_raise(TStructure *s)
{
    TAtom *a = tavro_pool_allocate(s);
    if (!a)
        tavro_raise_args(s, "OUTOFMEMORY", (const char *)NULL);
    return a;
}

static inline TAtom *tavro_new_number(TStructure *s, long double x)
{
    TAtom *a = tavro_allocate_or_raise(s);
    if (a) {
        a->Kind = akNumber;
        a->Number = x;
    }
    return a;
}

static inline TAtom *tavro_new_word(TStructure *s, const char *bytes, size_t len)
{
    TAtom *a = tavro_allocate_or_raise(s);
    if (!a)
        return NULL;
    a->Text = tavro_text_new(bytes, len);
    if (!a->Text && len > 0) {
        tavro_raise_args(s, "OUTOFMEMORY", (const char *)NULL);
        return NULL;
    }
    return a;
}

static inline TAtom *tavro_new_word_cstr(TStructure *s, const char *text)
{
    return tavro_new_word(s, text, strlen(text));
}

/* The words true and false. */
static inline TAtom *tavro_new_truth(TStructure *s, int truth)
{
    /* Constant texts (count -1): shared by every truth word, never freed.
       Libraries are never unloaded, so the texts outlive their words. */
    static struct {
        TTextHeader header;
        char bytes[8];
    } yes = {{-1, 4}, "true"}, no = {{-1, 5}, "false"};
    TAtom *a = tavro_allocate_or_raise(s);
    if (a)
        a->Text = truth ? yes.bytes : no.bytes;
    return a;
}

/* A list cell holding `element` in front of `rest`. */
static inline TAtom *tavro_new_cell(TStructure *s, TAtom *element, TAtom *rest)
{
    TAtom *a = tavro_allocate_or_raise(s);
    if (a) {
        a->Kind = akList;
        a->Left = element;
        a->Right = rest;
    }
    return a;
}

/* Builds a list front to back: start with {NULL, NULL}; `head` is the
   list. Returns 0 when memory runs out. */
typedef struct TKitList {
    TAtom *head;
    TAtom *tail;
} TKitList;

static inline int tavro_list_append(TStructure *s, TKitList *l, TAtom *element)
{
    TAtom *cell = tavro_new_cell(s, element, NULL);
    if (!cell)
        return 0;
    if (l->tail)
        l->tail->Right = cell;
    else
        l->head = cell;
    l->tail = cell;
    return 1;
}

/* ----------------------------------------------------------- degrees */

/* Trigonometry in degrees. The angle is reduced in degrees, exactly: fmodl
   is exact, and each fold below subtracts numbers within a factor of two
   of each other, which is exact too (Sterbenz), so no digit of a tiny or
   huge angle is lost before the one conversion to radians of an angle
   within [-90, 90]. Multiples of 30 degrees give their exact values
   (sin 180 and cos 90 are 0, sin 30 is 0.5), and opposite angles give
   opposite sines. */

/* The angle d folded into [-180, 180] with the same sine and cosine. */
static inline long double tavro_turn_reduced(long double d)
{
    long double r = fmodl(d, 360);
    if (r > 180)
        r -= 360;
    else if (r < -180)
        r += 360;
    return r;
}

/* Sine of r in [-180, 180]. */
static inline long double tavro_sine_reduced(long double r)
{
    static const long double RADIANS_PER_DEGREE =
        0.01745329251994329576923690768488612713L;
    long double m;
    if (r > 90)
        r = 180 - r;
    else if (r < -90)
        r = -180 - r;
    m = fabsl(r);
    if (m == 0)
        return 0;
    if (m == 30 || m == 90) {
        long double v = m == 30 ? 0.5L : 1;
        return r < 0 ? -v : v;
    }
    if (m == 60) {
        long double v = sqrtl(3) / 2;
        return r < 0 ? -v : v;
    }
    return sinl(r * RADIANS_PER_DEGREE);
}

static inline long double tavro_sine_degrees(long double d)
{
    return tavro_sine_reduced(tavro_turn_reduced(d));
}

/* cos d = sin (90 - |d|); 90 - |r| is exact for |r| >= 45, and below
   that its rounding moves a cosine near 1 by far less than its last
   digit. */
static inline long double tavro_cosine_degrees(long double d)
{
    return tavro_sine_reduced(90 - fabsl(tavro_turn_reduced(d)));
}

/* ------------------------------------------------------------- services */

/* Calls the host service entry. `text` may be NULL when the service takes
   no text. */
static inline intptr_t tavro_service(TStructure *s, int code, TText *text, long double n1,
                                     long double n2, long double n3, long double n4)
{
    TText none = NULL;
    intptr_t r;
    if (!s->ServiceCallback)
        return 0;
    r = s->ServiceCallback(code, text ? text : &none, n1, n2, n3, n4);
    tavro_text_release(none);
    return r;
}

/* A service that takes nothing but its code. */
static inline intptr_t tavro_service_plain(TStructure *s, int code)
{
    return tavro_service(s, code, NULL, 0, 0, 0, 0);
}

/* A service that reads a C string and up to one number. */
static inline intptr_t tavro_service_text(TStructure *s, int code, const char *in, long double n1)
{
    TText t = tavro_text_from_cstr(in);
    intptr_t r = tavro_service(s, code, &t, n1, 0, 0, 0);
    tavro_text_release(t);
    return r;
}

/* A service that reads a C string and replaces it (translation, path
   resolution, questions): the resulting text is stored in *out, owned by
   the caller. Returns the service's result. */
static inline intptr_t tavro_service_text_inout(TStructure *s, int code, const char *in, TText *out)
{
    TText t = tavro_text_from_cstr(in);
    intptr_t r = tavro_service(s, code, &t, 0, 0, 0, 0);
    *out = t;
    return r;
}

/* A service that takes an atom (N1 carries the pointer as a number: the
   64-bit mantissa of the extended type holds every address exactly). */
static inline intptr_t tavro_service_atom(TStructure *s, int code, const TAtom *atom)
{
    return tavro_service(s, code, NULL, (long double)(uintptr_t)atom, 0, 0, 0);
}

/* The node that a (dotted) name denotes as the caller of the wrapping
   procedure sees it, or NULL. */
static inline TAtom *tavro_find_name(TStructure *s, const char *name)
{
    return (TAtom *)tavro_service_text(s, TAVRO_SVC_FIND_NAME, name, 0);
}

/* Runs `code` for the caller of the wrapping procedure (service 108):
   a list, or with `template` set a template given the inputs `values`.
   Returns 1 with the list's value in *value, or 0 when the function must
   return *value at once. */
static inline int tavro_run_for_caller(TStructure *s, const TAtom *code, int template_,
                                       const TAtom *values, TAtom **value)
{
    *value = TAVRO_NOVALUE;
    return tavro_service(s, TAVRO_SVC_RUN_FOR_CALLER, NULL, (long double)(uintptr_t)code,
                         (long double)(uintptr_t)values, (long double)(uintptr_t)value,
                         template_ ? 1 : 0) == 1;
}

/* ------------------------------------------------------------- errors */

/* The key OUTOFMEMORY as a constant text: raising it needs no memory. */
static inline TText tavro_out_of_memory_text(void)
{
    static struct {
        TTextHeader header;
        char bytes[12];
    } constant = {{-1, 11}, "OUTOFMEMORY"};
    return constant.bytes;
}

/* Asks the host to raise the language error KEY (a key of the error
   table, Errors.txt) with the given C-string arguments, which fill the
   format's %s / %d places in order. The error is raised when the native
   function returns, so return right after:
       tavro_raise(s, "NOTLIKE", "sqrt", "-1");
       return NULL;                                                        */
static inline void tavro_raise_list(TStructure *s, const char *key, va_list args)
{
    TKitBuffer b = {0, 0, 0};
    const char *arg;
    char sep = TAVRO_ARG_SEPARATOR;
    int whole = tavro_buffer_append_cstr(&b, key);
    while ((arg = va_arg(args, const char *)) != NULL) {
        whole = whole && tavro_buffer_append(&b, &sep, 1);
        whole = whole && tavro_buffer_append_cstr(&b, arg);
    }
    /* Without memory for the arguments the key alone still names the
       error, and without memory even for the key the constant text of
       OUTOFMEMORY does: an empty text would read as a stop. */
    {
        const char *message = whole ? tavro_buffer_cstr(&b) : key;
        TText t = tavro_text_from_cstr(message);
        if (!t && message[0])
            t = tavro_out_of_memory_text();
        tavro_service(s, TAVRO_SVC_RAISE_ERROR, &t, 0, 0, 0, 0);
        tavro_text_release(t);
    }
    tavro_buffer_free(&b);
}

/* The arguments end with a NULL; the tavro_raise macro adds it. */
static inline void tavro_raise_args(TStructure *s, const char *key, ...)
{
    va_list args;
    va_start(args, key);
    tavro_raise_list(s, key, args);
    va_end(args);
}

#define tavro_raise(s, ...) tavro_raise_args((s), __VA_ARGS__, (const char *)NULL)

/* Ends the run the way the Stop command does (an error with an empty
   message, which is never reported). For a function that was waiting and
   saw TAVRO_SVC_STOP_REQUESTED answer 1; return right after. */
static inline void tavro_raise_stop(TStructure *s)
{
    tavro_service_text(s, TAVRO_SVC_RAISE_ERROR, "", 0);
}

/* ---- the inputs of a wrapper procedure, with the usual errors */

/* Raises "WORD doesn't like INPUT as input" for the running word. Returns
   NULL, so that a native function can `return tavro_fail_input(s, v);`. */
static inline TAtom *tavro_fail_input(TStructure *s, const TAtom *input)
{
    char *text = tavro_to_text(input);
    tavro_raise(s, "NOTLIKE", tavro_word_name(s), text ? text : "");
    free(text);
    return NULL;
}

/* Reads the input `name`; 0 after raising NOINPUT when the wrapper got
   none. */
static inline int tavro_input(TStructure *s, const char *name, TAtom **value)
{
    if (tavro_arg(s, name, value))
        return 1;
    tavro_raise(s, "NOINPUT", tavro_word_name(s), name);
    return 0;
}

/* The printed form of the input `name` (words as they are) as a C string
   to free; NULL after an error. */
static inline char *tavro_text_input(TStructure *s, const char *name)
{
    TAtom *v;
    if (!tavro_input(s, name, &v))
        return NULL;
    return tavro_to_text(v);
}

/* Reads the number input `name`; 0 after an error (NOINPUT, or NOTLIKE
   for a value that is no number). */
static inline int tavro_number_input(TStructure *s, const char *name, long double *x)
{
    TAtom *v;
    if (!tavro_input(s, name, &v))
        return 0;
    if (tavro_to_number(v, x))
        return 1;
    tavro_fail_input(s, v);
    return 0;
}

/* Reads the input `name` as the word TRUE or FALSE (any letter case) into
   *truth (1 or 0); 0 after an error. */
static inline int tavro_truth_input(TStructure *s, const char *name, int *truth)
{
    TAtom *v;
    if (!tavro_input(s, name, &v))
        return 0;
    if (tavro_is_word_or_number(v) && v->Kind == akWord) {
        const char *t = tavro_text_cstr(v->Text);
        size_t len = (size_t)tavro_text_length(v->Text);
        if (tavro_bytes_equal(t, len, "TRUE", 4, 1) || tavro_bytes_equal(t, len, "FALSE", 5, 1)) {
            *truth = len == 4;
            return 1;
        }
    }
    tavro_fail_input(s, v);
    return 0;
}

/* The text of a word or number (numbers in their printed form), with its
   length in *len; NULL for anything else. `buf` holds a number's text. */
static inline const char *tavro_word_text(const TAtom *a, size_t *len,
                                          char buf[TAVRO_NUMBER_TEXT_SIZE])
{
    if (!tavro_is_word_or_number(a))
        return NULL;
    if (a->Kind == akNumber) {
        *len = tavro_format_number(a->Number, buf);
        return buf;
    }
    *len = (size_t)tavro_text_length(a->Text);
    return tavro_text_cstr(a->Text);
}

/* Reads the input `name` as the text of a word or number (see
   tavro_word_text); 0 after an error. */
static inline int tavro_word_input(TStructure *s, const char *name, const char **text, size_t *len,
                                   char buf[TAVRO_NUMBER_TEXT_SIZE])
{
    TAtom *v;
    if (!tavro_input(s, name, &v))
        return 0;
    if ((*text = tavro_word_text(v, len, buf)) != NULL)
        return 1;
    tavro_fail_input(s, v);
    return 0;
}

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* TAVRO_SDK_TAVRO_KIT_H */

/*
 * core.DLL - the everyday vocabulary: arithmetic, logic, words and lists,
 * input and output, time, names and flags, log and environment.
 *
 * Written against sdk/ only, like any third-party library. Each export is
 * called from a wrapping procedure in core.tvr and reads that procedure's
 * inputs (a, b, x, l, n, name, ...) from its activation record.
 */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include "tavro_kit.h"

#define EXPORT __attribute__((visibility("default")))
#define NATIVE(fn) EXPORT TAtom *fn(TStructure **state)

/* Flag bits that assignment reacts to. */
enum {
    FLAG_LOCKED = 4096,
    FLAG_KEEP_DEFINITION = 8192,
    FLAG_KEEP_HISTORY = 0x4000,
    FLAG_TRACK_DEPENDENCIES = 0x8000,
    FLAG_HIDDEN = 0x20000
};

#define PI_L 3.141592653589793238462643383279502884L

/* ------------------------------------------------------------ errors */

static TAtom *fail_key(TStructure *s, const char *key)
{
    tavro_raise(s, key, tavro_word_name(s));
    return NULL;
}

/* A whole number (an integral value within the 64-bit range). */
static int whole_input(TStructure *s, const char *name, long long *n)
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

/* --------------------------------------------------------------- texts */

/* Bytes of the UTF-8 character that starts at t[i] (at least 1). */
static size_t char_size(const char *t, size_t len, size_t i)
{
    unsigned char c = (unsigned char)t[i];
    size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return i + n <= len ? n : len - i;
}

static size_t char_count(const char *t, size_t len)
{
    size_t i = 0, n = 0;
    while (i < len) {
        i += char_size(t, len, i);
        ++n;
    }
    return n;
}

/* Byte offset of character number k (0-based). */
static size_t char_offset(const char *t, size_t len, size_t k)
{
    size_t i = 0;
    while (k-- > 0 && i < len)
        i += char_size(t, len, i);
    return i;
}

/* Byte offset of the last character. */
static size_t last_char_offset(const char *t, size_t len)
{
    size_t i = 0, last = 0;
    while (i < len) {
        last = i;
        i += char_size(t, len, i);
    }
    return last;
}

static TAtom *joined_word(TStructure *s, const char *a, size_t alen, const char *b, size_t blen)
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

static int numbers_equal(const TStructure *s, long double x, long double y)
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
static int values_equal(const TStructure *s, const TAtom *a, const TAtom *b)
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

/* --------------------------------------------------------- arithmetic */

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
static TAtom *number(TStructure *s, long double x)
{
    if (isnan(x))
        return not_a_number(s);
    return tavro_new_number(s, x);
}

static int two_numbers(TStructure *s, long double *a, long double *b)
{
    return tavro_number_input(s, "a", a) && tavro_number_input(s, "b", b);
}

NATIVE(SUM)
{
    long double a, b;
    if (!two_numbers(*state, &a, &b))
        return NULL;
    return number(*state, a + b);
}

/* Subtraction, or negation when the left input is absent (`- 3`). */
NATIVE(DIFFERENCE)
{
    TStructure *s = *state;
    long double a, b;
    if (!tavro_param(s, "a")) {
        if (!tavro_number_input(s, "b", &b))
            return NULL;
        return number(s, -b);
    }
    if (!two_numbers(s, &a, &b))
        return NULL;
    return number(s, a - b);
}

NATIVE(PRODUCT)
{
    long double a, b;
    if (!two_numbers(*state, &a, &b))
        return NULL;
    return number(*state, a * b);
}

NATIVE(QUOTIENT)
{
    long double a, b;
    if (!two_numbers(*state, &a, &b))
        return NULL;
    if (b == 0)
        return fail_key(*state, "DIVZERO");
    return number(*state, a / b);
}

NATIVE(REMAINDER)
{
    long double a, b;
    if (!two_numbers(*state, &a, &b))
        return NULL;
    if (b == 0)
        return fail_key(*state, "DIVZERO");
    return number(*state, fmodl(a, b));
}

NATIVE(MODULO)
{
    long double a, b, r;
    if (!two_numbers(*state, &a, &b))
        return NULL;
    if (b == 0)
        return fail_key(*state, "DIVZERO");
    r = fmodl(a, b);
    if (r != 0 && ((r < 0) != (b < 0)))
        r += b;
    return number(*state, r);
}

NATIVE(POWER)
{
    TStructure *s = *state;
    long double a, b;
    TAtom *va;
    if (!two_numbers(s, &a, &b))
        return NULL;
    tavro_arg(s, "a", &va);
    if ((a < 0 && b != truncl(b) && isfinite(b)) || (a == 0 && b < 0))
        return tavro_fail_input(s, va);
    return number(s, powl(a, b));
}

NATIVE(MINUS)
{
    long double a;
    if (!tavro_number_input(*state, "a", &a))
        return NULL;
    return number(*state, -a);
}

NATIVE(ABS)
{
    long double a;
    if (!tavro_number_input(*state, "a", &a))
        return NULL;
    return number(*state, fabsl(a));
}

NATIVE(INT)
{
    long double a;
    if (!tavro_number_input(*state, "a", &a))
        return NULL;
    return number(*state, truncl(a));
}

NATIVE(ROUND)
{
    long double a;
    if (!tavro_number_input(*state, "a", &a))
        return NULL;
    return number(*state, roundl(a));
}

/* One-input functions with a domain check: `ok` false raises NOTLIKE. */
#define DOMAIN_FUNCTION(NAME, ok, expr)                 \
    NATIVE(NAME)                                        \
    {                                                   \
        TStructure *s = *state;                         \
        long double a;                                  \
        TAtom *v;                                       \
        if (!tavro_number_input(s, "a", &a))                  \
            return NULL;                                \
        if (!(ok)) {                                    \
            tavro_arg(s, "a", &v);                      \
            return tavro_fail_input(s, v);                          \
        }                                               \
        return number(s, expr);                         \
    }

DOMAIN_FUNCTION(SQRT, a >= 0, sqrtl(a))
DOMAIN_FUNCTION(EXP, !isnan(a), expl(a))
DOMAIN_FUNCTION(LN, a > 0, logl(a))
DOMAIN_FUNCTION(LOG10, a > 0, log10l(a))
DOMAIN_FUNCTION(ARCTAN, !isnan(a), atanl(a) * 180 / PI_L)
DOMAIN_FUNCTION(ARCSIN, a >= -1 && a <= 1, asinl(a) * 180 / PI_L)
DOMAIN_FUNCTION(ARCCOS, a >= -1 && a <= 1, acosl(a) * 180 / PI_L)

/* Trigonometry in degrees: tavro_sine_degrees and tavro_cosine_degrees
   of the kit, exact for multiples of 30 degrees. */
#define sine_degrees tavro_sine_degrees
#define cosine_degrees tavro_cosine_degrees

static int odd_multiple_of_90(long double d)
{
    long double r = fmodl(fabsl(d), 180);
    return r == 90;
}

DOMAIN_FUNCTION(SIN, isfinite(a), sine_degrees(a))
DOMAIN_FUNCTION(COS, isfinite(a), cosine_degrees(a))
DOMAIN_FUNCTION(TAN, isfinite(a) && !odd_multiple_of_90(a),
                sine_degrees(a) / cosine_degrees(a))

NATIVE(PI) { return number(*state, PI_L); }

NATIVE(MAX)
{
    long double a, b;
    if (!two_numbers(*state, &a, &b))
        return NULL;
    return number(*state, a > b ? a : b);
}

NATIVE(MIN)
{
    long double a, b;
    if (!two_numbers(*state, &a, &b))
        return NULL;
    return number(*state, a < b ? a : b);
}

/* ------------------------------------------------------------- random */

/* splitmix64: small, fast and good enough for a teaching language. */
static uint64_t random_state = 0x9E3779B97F4A7C15u;
static const uint64_t random_reseed = 0x2545F4914F6CDD1Du;

static uint64_t next_random(void)
{
    uint64_t z = (random_state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

static uint64_t random_below(uint64_t n)
{
    uint64_t limit = UINT64_MAX - UINT64_MAX % n, r;
    do
        r = next_random();
    while (r >= limit);
    return r % n;
}

NATIVE(RANDOM)
{
    TStructure *s = *state;
    long long n;
    TAtom *v;
    if (!whole_input(s, "n", &n))
        return NULL;
    if (n < 1) {
        tavro_arg(s, "n", &v);
        return tavro_fail_input(s, v);
    }
    return number(s, (long double)random_below((uint64_t)n));
}

/* rerandom, and (rerandom n) for a sequence of its own per n. */
NATIVE(RERANDOM)
{
    TStructure *s = *state;
    TAtom *v;
    long double n;
    random_state = random_reseed;
    if (tavro_arg(s, "#1", &v)) {
        if (!tavro_to_number(v, &n) || n != n)
            return tavro_fail_input(s, v);
        random_state ^= (uint64_t)(long long)n * 0x9E3779B97F4A7C15u;
    }
    return TAVRO_NOVALUE;
}

/* Run by core.tvr at every start and reset: each run of a program gets
   its own sequence until it asks for rerandom. */
NATIVE(SEEDRANDOM)
{
    struct timespec now;
    (void)state;
    clock_gettime(CLOCK_REALTIME, &now);
    random_state = ((uint64_t)now.tv_sec * 1000000007u) ^ (uint64_t)now.tv_nsec ^ ((uint64_t)getpid() << 32);
    return TAVRO_NOVALUE;
}

/* -------------------------------------------------------------- logic */

NATIVE(AND)
{
    int a, b;
    if (!tavro_truth_input(*state, "a", &a) || !tavro_truth_input(*state, "b", &b))
        return NULL;
    return tavro_new_truth(*state, a && b);
}

NATIVE(OR)
{
    int a, b;
    if (!tavro_truth_input(*state, "a", &a) || !tavro_truth_input(*state, "b", &b))
        return NULL;
    return tavro_new_truth(*state, a || b);
}

NATIVE(NOT)
{
    int a;
    if (!tavro_truth_input(*state, "a", &a))
        return NULL;
    return tavro_new_truth(*state, !a);
}

NATIVE(EQUALP)
{
    TAtom *a, *b;
    if (!tavro_input(*state, "a", &a) || !tavro_input(*state, "b", &b))
        return NULL;
    return tavro_new_truth(*state, values_equal(*state, a, b));
}

NATIVE(NOTEQUALP)
{
    TAtom *a, *b;
    if (!tavro_input(*state, "a", &a) || !tavro_input(*state, "b", &b))
        return NULL;
    return tavro_new_truth(*state, !values_equal(*state, a, b));
}

/* Numeric comparisons: -1, 0, 1 as a < b, a = b (within Epsilon), a > b;
   2 after an error; 3 when an input is NAN, which no comparison holds
   for. */
static int compare(TStructure *s)
{
    long double a, b;
    if (!two_numbers(s, &a, &b))
        return 2;
    if (isnan(a) || isnan(b))
        return 3;
    if (numbers_equal(s, a, b))
        return 0;
    return a < b ? -1 : 1;
}

#define COMPARISON(NAME, test)                             \
    NATIVE(NAME)                                           \
    {                                                      \
        int c = compare(*state);                           \
        if (c == 2)                                        \
            return NULL;                                   \
        return tavro_new_truth(*state, c != 3 && (test));  \
    }

COMPARISON(LESSP, c < 0)
COMPARISON(GREATERP, c > 0)
COMPARISON(LESSEQUALP, c <= 0)
COMPARISON(GREATEREQUALP, c >= 0)

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

static TAtom *empty_word(TStructure *s) { return tavro_new_word(s, "", 0); }

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

/* ----------------------------------------------------- output and input */

static TAtom *write_value(TStructure *s, int code)
{
    TAtom *x;
    char *text;
    if (!tavro_input(s, "x", &x))
        return NULL;
    text = tavro_to_text(x);
    tavro_service_text(s, code, text ? text : "", 0);
    free(text);
    return TAVRO_NOVALUE;
}

NATIVE(SHOW) { return write_value(*state, TAVRO_SVC_OUTPUT_LINE); }

/* pr x, and (pr x y ...): one line like print's, each value followed by a
   blank. */
NATIVE(PR)
{
    TStructure *s = *state;
    TKitBuffer b = {0, 0, 0};
    TAtom *x;
    char name[24];
    int k;
    if (!tavro_input(s, "x", &x))
        return NULL;
    for (k = 0;; ++k) {
        if (k > 0) {
            snprintf(name, sizeof name, "#%d", k);
            if (!tavro_arg(s, name, &x))
                break;
        }
        tavro_buffer_append_atom(&b, x);
        tavro_buffer_append(&b, " ", 1);
    }
    tavro_service_text(s, TAVRO_SVC_OUTPUT_LINE, tavro_buffer_cstr(&b), 0);
    tavro_buffer_free(&b);
    return TAVRO_NOVALUE;
}
NATIVE(TYPE) { return write_value(*state, TAVRO_SVC_APPEND_OUTPUT); }

NATIVE(KEYP)
{
    return tavro_new_truth(*state, tavro_text_length((*state)->KeyBuffer) > 0);
}

static void sleep_milliseconds(long ms)
{
    struct timespec t;
    t.tv_sec = ms / 1000;
    t.tv_nsec = (ms % 1000) * 1000000L;
    nanosleep(&t, NULL);
}

/* Waits for a typed character; the stop service also lets the host
   process its window messages, which is how keys reach the buffer in a
   window, and the key service brings in keys from other sources (standard
   input in the command-line runner). When no key can come any more, the
   result is the empty list. */
NATIVE(READCHAR)
{
    TStructure *s = *state;
    for (;;) {
        int ended = (int)tavro_service_plain(s, TAVRO_SVC_COLLECT_KEYS);
        TText keys = s->KeyBuffer;
        size_t len = (size_t)tavro_text_length(keys);
        if (len > 0) {
            size_t n = char_size(keys, len, 0);
            TAtom *c = tavro_new_word(s, keys, n);
            TText rest = tavro_text_new(keys + n, len - n);
            tavro_text_release(s->KeyBuffer);
            s->KeyBuffer = rest;
            return c;
        }
        if (ended)
            return NULL;
        if (tavro_service_plain(s, TAVRO_SVC_STOP_REQUESTED)) {
            tavro_raise_stop(s);
            return NULL;
        }
        sleep_milliseconds(10);
    }
}

NATIVE(READWORD)
{
    TStructure *s = *state;
    TText answer = NULL;
    TAtom *w;
    if (!tavro_service_text_inout(s, TAVRO_SVC_ASK_TEXT, "", &answer)) {
        tavro_text_release(answer);
        /* The user stopped the program while it waited for the answer. */
        if (tavro_service_plain(s, TAVRO_SVC_STOP_REQUESTED)) {
            tavro_raise_stop(s);
            return NULL;
        }
        return NULL; /* input ended: the empty list */
    }
    w = tavro_new_word(s, tavro_text_cstr(answer), (size_t)tavro_text_length(answer));
    tavro_text_release(answer);
    return w;
}

/* ---------------------------------------------------------------- time */

static struct timespec loaded_at;

__attribute__((constructor)) static void remember_load_time(void)
{
    clock_gettime(CLOCK_MONOTONIC, &loaded_at);
}

NATIVE(WAIT)
{
    TStructure *s = *state;
    long double n;
    struct timespec start, now;
    long double total_ms;
    TAtom *v;
    if (!tavro_number_input(s, "n", &n))
        return NULL;
    if (!(n >= 0) || !isfinite(n)) {
        tavro_arg(s, "n", &v);
        return tavro_fail_input(s, v);
    }
    total_ms = n * 1000 / 60;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        long double elapsed;
        if (tavro_service_plain(s, TAVRO_SVC_STOP_REQUESTED)) {
            tavro_raise_stop(s);
            return NULL;
        }
        clock_gettime(CLOCK_MONOTONIC, &now);
        elapsed = (now.tv_sec - start.tv_sec) * 1000.0L + (now.tv_nsec - start.tv_nsec) / 1e6L;
        if (elapsed >= total_ms)
            break;
        sleep_milliseconds(total_ms - elapsed < 10 ? (long)(total_ms - elapsed) + 1 : 10);
    }
    return TAVRO_NOVALUE;
}

NATIVE(TIMER)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return number(*state, (long double)((now.tv_sec - loaded_at.tv_sec) * 1000LL +
                                        (now.tv_nsec - loaded_at.tv_nsec) / 1000000LL));
}

static TAtom *three_numbers(TStructure *s, long a, long b, long c)
{
    TKitList out = {NULL, NULL};
    tavro_list_append(s, &out, number(s, a));
    tavro_list_append(s, &out, number(s, b));
    tavro_list_append(s, &out, number(s, c));
    return out.head;
}

static struct tm local_now(void)
{
    time_t t = time(NULL);
    struct tm tm;
    localtime_r(&t, &tm);
    return tm;
}

NATIVE(DATE)
{
    struct tm tm = local_now();
    return three_numbers(*state, tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

NATIVE(TIME)
{
    struct tm tm = local_now();
    return three_numbers(*state, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

/* --------------------------------------------------------------- names */

/* The node named by the input `name`, as the wrapper's caller sees it;
   NULL after raising NOSUCHNAME (or NOTLIKE for a non-word). */
static TAtom *named_node(TStructure *s, int required)
{
    const char *t;
    size_t len;
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    TAtom *node;
    char *name;
    if (!tavro_word_input(s, "name", &t, &len, buf))
        return NULL;
    name = (char *)malloc(len + 1);
    if (!name)
        return fail_key(s, "OUTOFMEMORY");
    memcpy(name, t, len);
    name[len] = '\0';
    node = tavro_find_name(s, name);
    if (!node && required)
        tavro_raise(s, "NOSUCHNAME", tavro_word_name(s), name);
    free(name);
    return node;
}

/* The dotted path of a node, the way the interpreter prints names: the
   names from below the root down to the node. */
static void append_path(TKitBuffer *b, const TAtom *node)
{
    if (node->Parent && node->Parent->Parent) {
        append_path(b, node->Parent);
        tavro_buffer_append(b, ".", 1);
    }
    tavro_buffer_append(b, tavro_text_cstr(node->Text), (size_t)tavro_text_length(node->Text));
}

static TAtom *path_word(TStructure *s, const TAtom *node, const char *prefix)
{
    TKitBuffer b = {0, 0, 0};
    TAtom *w;
    tavro_buffer_append_cstr(&b, prefix);
    append_path(&b, node);
    w = tavro_new_word(s, tavro_buffer_cstr(&b), b.length);
    tavro_buffer_free(&b);
    return w;
}

/* thing: the wrapper reads the value with ":" from this root-anchored
   path, so that objects come back as copies exactly as ":" makes them and
   the wrapper's own input cannot hide a variable of the same name. */
NATIVE(THINGPATH)
{
    TStructure *s = *state;
    TAtom *node = named_node(s, 1);
    TKitBuffer b = {0, 0, 0};
    TAtom *w;
    if (!node)
        return NULL;
    if (s->Root)
        tavro_buffer_append(&b, tavro_text_cstr(s->Root->Text),
                            (size_t)tavro_text_length(s->Root->Text));
    if (node != s->Root) {
        tavro_buffer_append(&b, ".", 1);
        append_path(&b, node);
    }
    w = tavro_new_word(s, tavro_buffer_cstr(&b), b.length);
    tavro_buffer_free(&b);
    return w;
}

NATIVE(MEMBERS)
{
    TStructure *s = *state;
    TAtom *node = named_node(s, 1), *m;
    TKitList out = {NULL, NULL};
    if (!node)
        return NULL;
    for (m = node->FirstChild; m; m = m->NextSibling)
        tavro_list_append(s, &out, tavro_new_word(s, tavro_text_cstr(m->Text),
                                                  (size_t)tavro_text_length(m->Text)));
    return out.head;
}

NATIVE(EXISTS)
{
    TStructure *s = *state;
    return tavro_new_truth(s, named_node(s, 0) != NULL);
}

/* A procedure's node (or its lambda member) holds a definition list whose
   first element is the parameter list. */
NATIVE(PROCEDUREP)
{
    TStructure *s = *state;
    TAtom *node = named_node(s, 0), *m, *def;
    int is_procedure = 0;
    if (node) {
        for (m = node->FirstChild; m; m = m->NextSibling)
            if (tavro_name_is(s, m, "lambda"))
                node = m;
        def = tavro_left(node);
        is_procedure = def && def != TAVRO_NOVALUE && def->Kind == akList &&
                       tavro_is_list(tavro_left(def));
    }
    return tavro_new_truth(s, is_procedure);
}

NATIVE(PARENTOF)
{
    TStructure *s = *state;
    TAtom *node = named_node(s, 1);
    if (!node)
        return NULL;
    if (!node->Parent)
        return empty_word(s);
    return path_word(s, node->Parent, "");
}

NATIVE(FULLNAME)
{
    TStructure *s = *state;
    TAtom *node = named_node(s, 1);
    if (!node)
        return NULL;
    return path_word(s, node, "");
}

NATIVE(ERASE)
{
    TStructure *s = *state;
    TAtom *node = named_node(s, 1);
    if (!node)
        return NULL;
    tavro_service_atom(s, TAVRO_SVC_DETACH, node);
    return TAVRO_NOVALUE;
}

static TAtom *set_flag(TStructure *s, uint32_t bits, int on)
{
    TAtom *node = named_node(s, 1);
    if (!node)
        return NULL;
    if (on)
        node->Flags |= bits;
    else
        node->Flags &= ~bits;
    return TAVRO_NOVALUE;
}

NATIVE(LOCK) { return set_flag(*state, FLAG_LOCKED, 1); }
NATIVE(UNLOCK) { return set_flag(*state, FLAG_LOCKED, 0); }
NATIVE(KEEPDEFINITION) { return set_flag(*state, FLAG_KEEP_DEFINITION, 1); }
NATIVE(KEEPHISTORY) { return set_flag(*state, FLAG_KEEP_HISTORY, 1); }
NATIVE(TRACKDEPENDENCIES) { return set_flag(*state, FLAG_TRACK_DEPENDENCIES, 1); }
NATIVE(HIDE) { return set_flag(*state, FLAG_HIDDEN, 1); }
NATIVE(UNHIDE) { return set_flag(*state, FLAG_HIDDEN, 0); }

/* ----------------------------------------------------------------- log */

NATIVE(OPENLOG)
{
    TStructure *s = *state;
    long long mask;
    char *file;
    if (!whole_input(s, "mask", &mask) || !(file = tavro_text_input(s, "file")))
        return NULL;
    tavro_service_text(s, TAVRO_SVC_OPEN_LOG, file, (long double)mask);
    free(file);
    return TAVRO_NOVALUE;
}

NATIVE(CLOSELOG)
{
    tavro_service_plain(*state, TAVRO_SVC_CLOSE_LOG);
    return TAVRO_NOVALUE;
}

NATIVE(SETLOGMASK)
{
    TStructure *s = *state;
    long long mask;
    if (!whole_input(s, "mask", &mask))
        return NULL;
    return (TAtom *)tavro_service(s, TAVRO_SVC_SET_LOG_MASK, NULL, (long double)mask, 0, 0, 0);
}

NATIVE(LOGLINE)
{
    TStructure *s = *state;
    long long category;
    char *text;
    if (!whole_input(s, "category", &category) || !(text = tavro_text_input(s, "text")))
        return NULL;
    tavro_service_text(s, TAVRO_SVC_LOG_LINE, text, (long double)category);
    free(text);
    return TAVRO_NOVALUE;
}

/* --------------------------------------------------------- environment */

#ifndef CORE_VERSION
#define CORE_VERSION "0"
#endif

NATIVE(VERSION) { return tavro_new_word_cstr(*state, "Tavro " CORE_VERSION); }

NATIVE(EXECUTABLEFOLDER)
{
    return (TAtom *)tavro_service_plain(*state, TAVRO_SVC_EXE_FOLDER);
}

/* Services that turn one text into another: resolvepath, translate. */
static TAtom *text_service(TStructure *s, const char *name, int code)
{
    char *in = tavro_text_input(s, name);
    TText out = NULL;
    TAtom *w;
    if (!in)
        return NULL;
    tavro_service_text_inout(s, code, in, &out);
    free(in);
    w = tavro_new_word(s, tavro_text_cstr(out), (size_t)tavro_text_length(out));
    tavro_text_release(out);
    return w;
}

/* help: the environment shows the topic of a word, or its start page
   when the word is left out. */
NATIVE(HELP)
{
    TStructure *s = *state;
    TAtom *v;
    char *topic = tavro_arg(s, "topic", &v) ? tavro_to_text(v) : NULL;
    tavro_service_text(s, TAVRO_SVC_SHOW_HELP, topic ? topic : "", 0);
    free(topic);
    return TAVRO_NOVALUE;
}

NATIVE(RESOLVEPATH) { return text_service(*state, "file", TAVRO_SVC_RESOLVE_PATH); }
NATIVE(TRANSLATE) { return text_service(*state, "key", TAVRO_SVC_INTERFACE_TEXT); }

/* runtext: the wrapper runs the list that the host translated. A list
   input stands for its elements' printed forms joined by blanks. */
NATIVE(PARSE)
{
    TStructure *s = *state;
    TAtom *v, *c;
    TKitBuffer text = {0, 0, 0};
    TAtom *list;
    if (!tavro_input(s, "text", &v))
        return NULL;
    if (tavro_is_list(v)) {
        for (c = v; c; c = tavro_right(c)) {
            if (c != v)
                tavro_buffer_append(&text, " ", 1);
            tavro_buffer_append_atom(&text, tavro_left(c));
        }
    } else {
        tavro_buffer_append_atom(&text, v);
    }
    list = (TAtom *)tavro_service_text(s, TAVRO_SVC_TRANSLATE_TEXT, tavro_buffer_cstr(&text), 0);
    tavro_buffer_free(&text);
    return list;
}

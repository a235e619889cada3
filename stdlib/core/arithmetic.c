/*
 * The arithmetic, random and logic words of core.DLL: sums to powers,
 * rounding, the functions with a domain, trigonometry in degrees, random
 * numbers, and/or/not, equality and the numeric comparisons.
 */
#include <time.h>
#include <unistd.h>

#include "core.h"

/* --------------------------------------------------------- arithmetic */


static int two_numbers(TStructure *s, long double *a, long double *b)
{
    return tavro_number_input(s, "a", a) && tavro_number_input(s, "b", b);
}

static const char *const two_inputs[] = {"a", "b", NULL};

/* sum, product, max and min of any number of inputs: (sum 1 2 3), (sum)
   is 0, (product) 1. `op` 0 adds, 1 multiplies, 2 keeps the largest, 3 the
   smallest. */
static TAtom *fold_numbers(TStructure *s, int op, long double start)
{
    Inputs in;
    TAtom **v;
    long double acc = start, x;
    int n = all_inputs(s, two_inputs, &in), i;
    v = in.v;
    if (n < 0)
        return NULL;
    for (i = 0; i < n; ++i) {
        if (!tavro_to_number(v[i], &x)) {
            TAtom *bad = v[i];
            inputs_free(&in);
            return tavro_fail_input(s, bad);
        }
        if (i == 0 && op >= 2)
            acc = x;
        else if (op == 0)
            acc += x;
        else if (op == 1)
            acc *= x;
        else if (op == 2 ? x > acc : x < acc)
            acc = x;
    }
    inputs_free(&in);
    return number(s, acc);
}

NATIVE(SUM) { return fold_numbers(*state, 0, 0); }

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

NATIVE(PRODUCT) { return fold_numbers(*state, 1, 1); }

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
    if (!tavro_number_input(*state, "number", &a))
        return NULL;
    return number(*state, -a);
}

NATIVE(ABS)
{
    long double a;
    if (!tavro_number_input(*state, "number", &a))
        return NULL;
    return number(*state, fabsl(a));
}

NATIVE(INT)
{
    long double a;
    if (!tavro_number_input(*state, "number", &a))
        return NULL;
    return number(*state, truncl(a));
}

NATIVE(ROUND)
{
    long double a;
    if (!tavro_number_input(*state, "number", &a))
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
        if (!tavro_number_input(s, "number", &a))             \
            return NULL;                                \
        if (!(ok)) {                                    \
            tavro_arg(s, "number", &v);                 \
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

/* (max 5) is 5; the compiler asks for at least one input. */
NATIVE(MAX) { return fold_numbers(*state, 2, 0); }
NATIVE(MIN) { return fold_numbers(*state, 3, 0); }

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

uint64_t random_below(uint64_t n)
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

/* and, or of any number of truth values: (and) is true, (or) false.
   Every input is checked, as the two-input forms always did. */
static TAtom *fold_truths(TStructure *s, int all)
{
    Inputs in;
    TAtom **v;
    int n = all_inputs(s, two_inputs, &in), i, result = all;
    v = in.v;
    if (n < 0)
        return NULL;
    for (i = 0; i < n; ++i) {
        const char *t = tavro_is_word_or_number(v[i]) && v[i]->Kind == akWord ? tavro_text_cstr(v[i]->Text) : "";
        size_t len = tavro_is_word_or_number(v[i]) && v[i]->Kind == akWord ? (size_t)tavro_text_length(v[i]->Text) : 0;
        int truth = tavro_bytes_equal(t, len, "TRUE", 4, 1);
        if (!truth && !tavro_bytes_equal(t, len, "FALSE", 5, 1)) {
            TAtom *bad = v[i];
            inputs_free(&in);
            return tavro_fail_input(s, bad);
        }
        result = all ? result && truth : result || truth;
    }
    inputs_free(&in);
    return tavro_new_truth(s, result);
}

NATIVE(AND) { return fold_truths(*state, 1); }
NATIVE(OR) { return fold_truths(*state, 0); }

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

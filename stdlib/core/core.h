/*
 * What the word groups of core.DLL share (internal to the library; the
 * functions are hidden, only NATIVE words are exported).
 */
#ifndef TAVRO_CORE_H
#define TAVRO_CORE_H

#include <math.h>
#include <stddef.h>
#include <stdint.h>

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

/* Errors and inputs (core.c). */
TAtom *fail_key(TStructure *s, const char *key);
int whole_input(TStructure *s, const char *name, long long *n);
TAtom *name_input(TStructure *s, const char *name);

/* UTF-8 texts by characters (core.c). */
size_t char_size(const char *t, size_t len, size_t i);
size_t char_count(const char *t, size_t len);
size_t char_offset(const char *t, size_t len, size_t k);
size_t last_char_offset(const char *t, size_t len);
TAtom *joined_word(TStructure *s, const char *a, size_t alen, const char *b, size_t blen);

/* Equality as the comparisons and membership see it (core.c). */
int numbers_equal(const TStructure *s, long double x, long double y);
int values_equal(const TStructure *s, const TAtom *a, const TAtom *b);

/* A number result; NAN becomes an input error (core.c). */
TAtom *number(TStructure *s, long double x);

/* A random whole number in [0, n) (arithmetic.c). */
uint64_t random_below(uint64_t n);

/* The empty word (core.c). */
TAtom *empty_word(TStructure *s);

/* Arrays are lists whose first cell carries ARRAY_FLAG and, in its
   otherwise unused Number, the index of the first element (arrays.c). */
#define ARRAY_FLAG 0x40000000u
int is_array(const TAtom *a);
long long array_origin(const TAtom *a);

/* What a session keeps, dropped at every start and reset without
   touching the atoms (property_lists.c, control.c). */
void forget_property_lists(void);
void forget_tests(void);
void forget_symbols(void); /* gensym's count (more_lists.c) */

/* Running lists and templates for the caller of the wrapping procedure
   (control.c). A value kept across runs is held by a reference (hold,
   let_go): the collector may run inside every list. The run functions
   return 0 when the native function must return *value at once (an
   output, stop, throw or error is on its way out). */
TAtom *hold(TAtom *a);
void let_go(TAtom *a);
int run_input(TStructure *s, const char *name, TAtom **value);
int test_input(TStructure *s, const char *name, int *truth, TAtom **value);
int call_template(TStructure *s, TAtom *template_, TAtom *inputs, TAtom **value);
/* A list as it is, a word as the list of its characters. */
TAtom *elements(TStructure *s, TAtom *data);
/* 1 after raising the stop when the user asked the program to stop. */
int stop_requested(TStructure *s);

#endif

/* A native library with a few exports for the loader tests. */
#include "tavro.h"

#define EXPORT __attribute__((visibility("default")))

/* Outputs nothing. */
EXPORT TAtom *ANSWER(TStructure **state)
{
    (void)state;
    return TAVRO_NOVALUE;
}

/* Outputs the number 2, taken from the host's pool. */
EXPORT TAtom *SECOND(TStructure **state)
{
    TAtom *a = tavro_pool_allocate(*state);
    if (a) {
        a->Kind = akNumber;
        a->Number = 2;
    }
    return a;
}

/* An export whose name holds a point, as dll.testlib.a.b names it. */
EXPORT TAtom *dotted(TStructure **state) __asm__("A.B");
TAtom *dotted(TStructure **state)
{
    (void)state;
    return NULL;
}

/* Only reachable through its ordinal: not upper case. */
EXPORT TAtom *hidden_third(TStructure **state)
{
    (void)state;
    return NULL;
}

EXPORT const char *const TAVRO_ORDINALS[] = {"ANSWER", "SECOND", "hidden_third", "MISSING", 0};

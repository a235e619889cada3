/* stats.DLL - a small example library: the mean and the range of a list of
   numbers, and a command that writes a line. See docs/native-libraries.md. */
#include "tavro_kit.h"

#define EXPORT __attribute__((visibility("default")))

/* Adds the numbers of the input `l`; returns 0 after raising an error. */
static int numbers_of(TStructure *s, long double *sum, long double *low, long double *high,
                      long *count)
{
    TAtom *l, *cell;
    if (!tavro_arg(s, "l", &l)) {
        tavro_raise(s, "NOINPUT", tavro_word_name(s), "l");
        return 0;
    }
    if (l == NULL || !tavro_is_list(l)) {
        char *text = tavro_to_text(l);
        tavro_raise(s, "NOTLIKE", tavro_word_name(s), text);
        free(text);
        return 0;
    }
    *sum = 0;
    *count = 0;
    for (cell = l; cell; cell = tavro_right(cell)) {
        long double x;
        if (!tavro_to_number(tavro_left(cell), &x)) {
            char *text = tavro_to_text(tavro_left(cell));
            tavro_raise(s, "NOTLIKE", tavro_word_name(s), text);
            free(text);
            return 0;
        }
        if (*count == 0 || x < *low)
            *low = x;
        if (*count == 0 || x > *high)
            *high = x;
        *sum += x;
        ++*count;
    }
    return 1;
}

/* mean :l - a number */
EXPORT TAtom *MEAN(TStructure **state)
{
    long double sum, low, high;
    long count;
    if (!numbers_of(*state, &sum, &low, &high, &count))
        return NULL;
    return tavro_new_number(*state, sum / count);
}

/* spread :l - the list [lowest highest] */
EXPORT TAtom *SPREAD(TStructure **state)
{
    TStructure *s = *state;
    long double sum, low, high;
    long count;
    TKitList out = {NULL, NULL};
    if (!numbers_of(s, &sum, &low, &high, &count))
        return NULL;
    tavro_list_append(s, &out, tavro_new_number(s, low));
    tavro_list_append(s, &out, tavro_new_number(s, high));
    return out.head;
}

/* announce :x - a command: writes "** x **" as a new output line */
EXPORT TAtom *ANNOUNCE(TStructure **state)
{
    TStructure *s = *state;
    TAtom *x;
    TKitBuffer line = {0, 0, 0};
    tavro_arg(s, "x", &x);
    tavro_buffer_append_cstr(&line, "** ");
    tavro_buffer_append_atom(&line, x);
    tavro_buffer_append_cstr(&line, " **");
    tavro_service_text(s, TAVRO_SVC_OUTPUT_LINE, tavro_buffer_cstr(&line), 0);
    tavro_buffer_free(&line);
    return TAVRO_NOVALUE;
}

/* Ordinals: dll.stats.3 is ANNOUNCE. */
EXPORT const char *const TAVRO_ORDINALS[] = {"MEAN", "SPREAD", "ANNOUNCE", 0};

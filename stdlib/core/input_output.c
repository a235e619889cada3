/*
 * Input, output and time in core.DLL: show, pr, type, keyp, readchar,
 * readword, wait, timer, date and time.
 */
#include <stdio.h>
#include <time.h>

#include "core.h"

/* ----------------------------------------------------- output and input */

/* show, type and pr of any number of inputs, (show 1 [2]) and (show):
   the printed forms written with the service `code`, `gap` 0 without
   anything between them (type, as in UCBLogo), 1 with a blank between
   them (show), 2 with a blank after each (pr, like print). */
static TAtom *write_values(TStructure *s, int code, int gap)
{
    static const char *const input[] = {"thing", NULL};
    TKitBuffer b = {0, 0, 0};
    Inputs in;
    TAtom **v;
    int n = all_inputs(s, input, &in), i;
    v = in.v;
    if (n < 0)
        return NULL;
    for (i = 0; i < n; ++i) {
        if (i > 0 && gap == 1)
            tavro_buffer_append(&b, " ", 1);
        tavro_buffer_append_atom(&b, v[i]);
        if (gap == 2)
            tavro_buffer_append(&b, " ", 1);
    }
    inputs_free(&in);
    tavro_service_text(s, code, tavro_buffer_cstr(&b), 0);
    tavro_buffer_free(&b);
    return TAVRO_NOVALUE;
}

NATIVE(SHOW) { return write_values(*state, TAVRO_SVC_OUTPUT_LINE, 1); }
NATIVE(PR) { return write_values(*state, TAVRO_SVC_OUTPUT_LINE, 2); }
NATIVE(TYPE) { return write_values(*state, TAVRO_SVC_APPEND_OUTPUT, 0); }

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

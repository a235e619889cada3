/*
 * control.c - the control words and the words that take a template:
 * stop, ifelse, test/iftrue/iffalse, until, do.while, do.until, for,
 * foreach, forever, repcount, catch/throw, map, filter, reduce, apply,
 * invoke.
 *
 * Lists run through the host (TAVRO_SVC_RUN_FOR_CALLER) in the scope of
 * the procedure that called the word, as a `repeat` body does; whenever
 * the host answers 0 an output, stop, throw or error is on its way out and
 * the function returns the value it was given at once.
 *
 * Values a function keeps between two runs (the list it builds) are held
 * by a reference count: the collector may run inside every list.
 */
#include <math.h>
#include <stdio.h>

#include "core.h"

/* ------------------------------------------------------------- helpers */

TAtom *hold(TAtom *a)
{
    if (tavro_is_object(a))
        tavro_addref(a);
    return a;
}

void let_go(TAtom *a)
{
    if (tavro_is_object(a))
        tavro_release(a);
}

/* Runs the list input `name` for the caller; as tavro_run_for_caller. */
int run_input(TStructure *s, const char *name, TAtom **value)
{
    TAtom *list;
    *value = TAVRO_NOVALUE;
    if (!tavro_input(s, name, &list))
        return 0;
    if (!tavro_is_list(list)) {
        tavro_fail_input(s, list);
        return 0;
    }
    return tavro_run_for_caller(s, list, 0, NULL, value);
}

/* A test: the value of a list run for the caller, or a truth value.
   Returns 1 with *truth set, 0 when the function must return *value. */
int test_input(TStructure *s, const char *name, int *truth, TAtom **value)
{
    TAtom *t;
    *value = TAVRO_NOVALUE;
    if (!tavro_input(s, name, &t))
        return 0;
    if (tavro_is_list(t) && !tavro_run_for_caller(s, t, 0, NULL, value))
        return 0;
    if (!tavro_is_list(t))
        *value = t;
    if (tavro_is_word_or_number(*value) && (*value)->Kind == akWord) {
        const char *w = tavro_text_cstr((*value)->Text);
        size_t len = (size_t)tavro_text_length((*value)->Text);
        if (tavro_bytes_equal(w, len, "TRUE", 4, 1) || tavro_bytes_equal(w, len, "FALSE", 5, 1)) {
            *truth = len == 4;
            return 1;
        }
    }
    tavro_fail_input(s, *value == TAVRO_NOVALUE ? t : *value);
    *value = NULL;
    return 0;
}

/* Runs a template with one list of inputs. */
int call_template(TStructure *s, TAtom *template_, TAtom *inputs, TAtom **value)
{
    return tavro_run_for_caller(s, template_, 1, inputs, value);
}

/* The inputs of one template call: a one-element list. */
static TAtom *one_input(TStructure *s, TAtom *x)
{
    return tavro_new_cell(s, x, NULL);
}

/* The elements of a list or the characters of a word, as a list (a word's
   characters become one-character words). */
TAtom *elements(TStructure *s, TAtom *data)
{
    TKitList out = {NULL, NULL};
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    size_t len, i = 0;
    const char *t;
    if (tavro_is_list(data))
        return data;
    t = tavro_word_text(data, &len, buf);
    if (!t)
        return tavro_fail_input(s, data);
    while (i < len) {
        size_t n = 1;
        while (i + n < len && ((unsigned char)t[i + n] & 0xC0) == 0x80)
            ++n;
        if (!tavro_list_append(s, &out, tavro_new_word(s, t + i, n)))
            return NULL;
        i += n;
    }
    return out.head;
}

/* --------------------------------------------------------------- control */

NATIVE(STOP)
{
    tavro_service_atom(*state, TAVRO_SVC_LEAVE_CALLER, TAVRO_NOVALUE);
    return TAVRO_NOVALUE;
}

/* op: `output` for the caller, as a library word. */
NATIVE(OP)
{
    TStructure *s = *state;
    TAtom *value;
    if (!tavro_input(s, "value", &value))
        return NULL;
    tavro_service_atom(s, TAVRO_SVC_LEAVE_CALLER, value);
    return TAVRO_NOVALUE;
}

/* ifelse and the one-list if of UCBLogo's test words: outputs the value
   of the list it ran. */
NATIVE(IFELSE)
{
    TStructure *s = *state;
    TAtom *value;
    int truth;
    if (!test_input(s, "test", &truth, &value))
        return value;
    run_input(s, truth ? "yes" : "no", &value);
    return value;
}

/* test keeps its result per procedure, as UCBLogo does: with the scope
   the word was written in (its wrapper's caller). iftrue and iffalse take
   the result of the nearest such scope down the running calls, so a
   subprocedure sees the test of the procedure that called it, and a test
   in a subprocedure leaves its caller's alone.
   The results are a hash table by scope, so that deep recursions that
   test at every level stay fast. A held reference keeps a scope's address
   from being reused by another record while its result is kept; results
   of scopes that ended (records that hang nowhere any more) are dropped
   whenever the table fills up. */
typedef struct {
    TAtom *scope; /* NULL: a free slot */
    int truth;
} Tested;

static Tested *tested;
static size_t tested_capacity, tested_used; /* capacity: 0 or a power of 2 */

/* At a reset: the scopes may belong to a state that is gone. */
void forget_tests(void)
{
    free(tested);
    tested = NULL;
    tested_capacity = tested_used = 0;
}

static size_t slot_of(const TAtom *scope)
{
    size_t i = (size_t)(((uintptr_t)scope >> 4) * 0x9E3779B97F4A7C15u) & (tested_capacity - 1);
    while (tested[i].scope && tested[i].scope != scope)
        i = (i + 1) & (tested_capacity - 1);
    return i;
}

static const Tested *test_of(const TAtom *scope)
{
    const Tested *t;
    if (!tested_capacity)
        return NULL;
    t = &tested[slot_of(scope)];
    return t->scope ? t : NULL;
}

/* A scope still in use: a running record hangs under its procedure (or a
   template's scope under its caller's), the root under nothing. */
static int in_use(const TStructure *s, const TAtom *scope) { return scope->Parent || scope == s->Root; }

/* A table of twice the capacity needed for the results still in use;
   0 when memory runs out. */
static int regrow(const TStructure *s)
{
    Tested *old = tested;
    size_t old_capacity = tested_capacity, i, live = 0;
    for (i = 0; i < old_capacity; ++i)
        live += old[i].scope && in_use(s, old[i].scope);
    tested_capacity = 16;
    while (tested_capacity < 4 * (live + 1))
        tested_capacity *= 2;
    tested = (Tested *)calloc(tested_capacity, sizeof(Tested));
    if (!tested) {
        tested = old;
        tested_capacity = old_capacity;
        return 0;
    }
    tested_used = 0;
    for (i = 0; i < old_capacity; ++i) {
        if (!old[i].scope)
            continue;
        if (!in_use(s, old[i].scope)) {
            let_go(old[i].scope);
            continue;
        }
        tested[slot_of(old[i].scope)] = old[i];
        ++tested_used;
    }
    free(old);
    return 1;
}

static TAtom *caller_scope(const TStructure *s)
{
    const TContext *top = s->Contexts;
    return top && top->Link ? top->Link->Node : s->Root;
}

NATIVE(TEST)
{
    TStructure *s = *state;
    TAtom *value, *scope;
    Tested *t;
    int truth;
    if (!test_input(s, "test", &truth, &value))
        return value;
    scope = caller_scope(s);
    if (2 * (tested_used + 1) > tested_capacity && !regrow(s))
        return fail_key(s, "OUTOFMEMORY");
    t = &tested[slot_of(scope)];
    if (!t->scope) {
        t->scope = hold(scope);
        ++tested_used;
    }
    t->truth = truth;
    return TAVRO_NOVALUE;
}

static TAtom *run_if_tested(TStructure *s, int wanted)
{
    TAtom *value = TAVRO_NOVALUE;
    const TContext *c;
    for (c = s->Contexts ? s->Contexts->Link : NULL; c; c = c->Link) {
        const Tested *t = test_of(c->Node);
        if (t) {
            if (t->truth == wanted)
                run_input(s, "body", &value);
            return value;
        }
    }
    tavro_raise(s, "NOTEST", tavro_word_name(s));
    return NULL;
}

NATIVE(IFTRUE) { return run_if_tested(*state, 1); }
NATIVE(IFFALSE) { return run_if_tested(*state, 0); }

/* The loops keep repcount: the state's repeat counter. */
typedef struct {
    int32_t saved;
} Counter;

static Counter count_start(TStructure *s)
{
    Counter c;
    c.saved = s->RepeatCount;
    return c;
}

static void count_end(TStructure *s, Counter c) { s->RepeatCount = c.saved; }

/* Is the user asking the program to stop? (A body that runs no statement
   would otherwise never see it.) */
int stop_requested(TStructure *s)
{
    if (tavro_service_plain(s, TAVRO_SVC_STOP_REQUESTED)) {
        tavro_raise_stop(s);
        return 1;
    }
    return 0;
}

/* until, do.while, do.until and forever: `first` runs the body before the
   first test; the loop goes on while the test gives `go_on`. A loop
   without a test (forever) ends only by a stop, an output or an error. */
enum { LOOP_WITHOUT_TEST = -1 };

static TAtom *conditional_loop(TStructure *s, int first, int go_on)
{
    TAtom *value = TAVRO_NOVALUE;
    Counter c = count_start(s);
    int32_t round = 0;
    for (;;) {
        int truth;
        if (!first && go_on != LOOP_WITHOUT_TEST) {
            if (!test_input(s, "test", &truth, &value))
                break;
            if (truth != go_on) {
                value = TAVRO_NOVALUE;
                break;
            }
        }
        first = 0;
        s->RepeatCount = ++round;
        if (!run_input(s, "body", &value))
            break;
        if ((round & 127) == 0 && stop_requested(s))
            break;
    }
    count_end(s, c);
    return value;
}

NATIVE(UNTIL) { return conditional_loop(*state, 0, 0); }
NATIVE(WHILEDO) { return conditional_loop(*state, 1, 1); }
NATIVE(UNTILDO) { return conditional_loop(*state, 1, 0); }

NATIVE(FOREVER) { return conditional_loop(*state, 1, LOOP_WITHOUT_TEST); }

NATIVE(REPCOUNT)
{
    TStructure *s = *state;
    return tavro_new_number(s, s->RepeatCount);
}

/* for [var start end step] body: start, end and step are expressions,
   which the caller evaluates through `(list ...)`. */
NATIVE(FOR)
{
    TStructure *s = *state;
    TAtom *control, *body, *call, *group, *numbers, *value = TAVRO_NOVALUE, *lambda;
    TAtom *name_list;
    long double v[3], i;
    int n = 0;
    Counter c;
    int32_t round = 0;
    if (!tavro_input(s, "control", &control) || !tavro_input(s, "body", &body))
        return NULL;
    if (!tavro_is_object(control) || control->Kind != akList || !tavro_is_word_or_number(tavro_left(control)) ||
        tavro_left(control)->Kind != akWord || !tavro_is_list(body))
        return tavro_fail_input(s, tavro_is_list(body) ? control : body);
    /* The caller runs  (list 0 0 start end step): the two zeros keep
       list's own inputs filled when the numbers are missing. */
    group = tavro_new_cell(s, tavro_new_word_cstr(s, "list"),
                           tavro_new_cell(s, tavro_new_number(s, 0),
                                          tavro_new_cell(s, tavro_new_number(s, 0), tavro_right(control))));
    for (call = group; call; call = tavro_right(call))
        call->Kind = akGroup;
    call = tavro_new_cell(s, group, NULL);
    if (!tavro_run_for_caller(s, call, 0, NULL, &numbers))
        return numbers;
    /* Past the two zeros. An input that gave no value (an expression
       such as `print ...`) leaves list fewer cells than that. */
    for (n = 0; n < 2; ++n) {
        if (!tavro_is_object(numbers) || numbers->Kind != akList)
            return tavro_fail_input(s, control);
        numbers = tavro_right(numbers);
    }
    n = 0;
    for (; tavro_is_object(numbers) && numbers->Kind == akList; numbers = tavro_right(numbers)) {
        if (n == 3 || !tavro_to_number(tavro_left(numbers), &v[n]))
            return tavro_fail_input(s, control);
        ++n;
    }
    if (n < 2)
        return tavro_fail_input(s, control);
    if (n == 2)
        v[2] = v[1] >= v[0] ? 1 : -1;
    if (v[2] == 0 || isnan(v[0] + v[1] + v[2]))
        return tavro_fail_input(s, control);
    /* The body as a template with one named input: [[var] body...] */
    name_list = tavro_new_cell(s, tavro_left(control), NULL);
    lambda = hold(tavro_new_cell(s, name_list, body));
    c = count_start(s);
    for (i = v[0]; v[2] > 0 ? i <= v[1] : i >= v[1]; i += v[2]) {
        s->RepeatCount = ++round;
        if (!call_template(s, lambda, one_input(s, tavro_new_number(s, i)), &value))
            break;
        value = TAVRO_NOVALUE;
        if ((round & 127) == 0 && stop_requested(s))
            break;
    }
    count_end(s, c);
    let_go(lambda);
    return value;
}

/* The inputs of a word that takes a number of lists: the inputs `first`
   and `second`, then the extra ones "#1", "#2" ... given in parentheses.
   Returns how many (in a malloc'ed array in *all), or -1 after an error. */
static int gather_inputs(TStructure *s, const char *first, const char *second, TAtom ***all)
{
    TAtom **got = NULL, *x;
    int n = 0, capacity = 0;
    char name[24];
    for (;; ++n) {
        if (n < 2) {
            if (!tavro_input(s, n == 0 ? first : second, &x)) {
                free(got);
                return -1;
            }
        } else {
            snprintf(name, sizeof name, "#%d", n - 1);
            if (!tavro_arg(s, name, &x))
                break;
        }
        if (n == capacity) {
            TAtom **more;
            capacity = capacity ? capacity * 2 : 4;
            more = (TAtom **)realloc(got, (size_t)capacity * sizeof(TAtom *));
            if (!more) {
                free(got);
                fail_key(s, "OUTOFMEMORY");
                return -1;
            }
            got = more;
        }
        got[n] = x;
    }
    *all = got;
    return n;
}

/* Walks several data inputs side by side: each becomes the list of its
   elements (a word's characters), held while the templates run. */
typedef struct {
    TAtom **lists;   /* the element lists, then the cursors */
    TAtom **cursors;
    int count;
} Walk;

static void walk_end(Walk *w)
{
    int k;
    for (k = 0; k < w->count; ++k)
        let_go(w->lists[k]);
    free(w->lists);
    w->lists = NULL;
    w->count = 0;
}

/* 0 after an error: a data input that is no word or list, or lists of
   different lengths (the one that differs from the first is named). */
static int walk_start(TStructure *s, Walk *w, TAtom **data, int count)
{
    int k;
    long first_length = 0;
    w->count = 0;
    w->lists = (TAtom **)calloc((size_t)(count * 2 + 1), sizeof(TAtom *));
    if (!w->lists) {
        fail_key(s, "OUTOFMEMORY");
        return 0;
    }
    w->cursors = w->lists + count;
    for (k = 0; k < count; ++k) {
        long length = 0;
        TAtom *c;
        w->lists[k] = hold(elements(s, data[k]));
        w->count = k + 1;
        if (!tavro_is_list(w->lists[k])) {
            walk_end(w);
            return 0;
        }
        for (c = w->lists[k]; tavro_is_object(c); c = tavro_right(c))
            ++length;
        if (k == 0)
            first_length = length;
        else if (length != first_length) {
            walk_end(w);
            tavro_fail_input(s, data[k]);
            return 0;
        }
        w->cursors[k] = w->lists[k];
    }
    return 1;
}

/* The inputs of the next template call (the next element of every list),
   or NULL when the lists are used up. */
static TAtom *walk_next(TStructure *s, Walk *w)
{
    TKitList inputs = {NULL, NULL};
    int k;
    if (w->count == 0 || !tavro_is_object(w->cursors[0]))
        return NULL;
    for (k = 0; k < w->count; ++k) {
        if (!tavro_list_append(s, &inputs, tavro_left(w->cursors[k])))
            return NULL;
        w->cursors[k] = tavro_right(w->cursors[k]);
    }
    return inputs.head;
}

/* foreach data template, and (foreach data1 data2 ... template): the
   template comes last and gets one element of every list. */
NATIVE(FOREACH)
{
    TStructure *s = *state;
    TAtom **all, *value = TAVRO_NOVALUE, *template_, *inputs;
    Walk w;
    Counter c;
    int32_t round = 0;
    int n = gather_inputs(s, "data", "template", &all);
    if (n < 0)
        return NULL;
    template_ = all[n - 1];
    if (!walk_start(s, &w, all, n - 1)) {
        free(all);
        return NULL;
    }
    free(all);
    c = count_start(s);
    while ((inputs = walk_next(s, &w)) != NULL) {
        s->RepeatCount = ++round;
        if (!call_template(s, template_, inputs, &value))
            break;
        value = TAVRO_NOVALUE;
    }
    count_end(s, c);
    walk_end(&w);
    return value;
}

NATIVE(CATCH)
{
    TStructure *s = *state;
    TAtom *list, *value = TAVRO_NOVALUE;
    char *tag = tavro_text_input(s, "tag");
    if (!tag || !tavro_input(s, "body", &list)) {
        free(tag);
        return NULL;
    }
    {
        TText t = tavro_text_from_cstr(tag);
        tavro_service(s, TAVRO_SVC_CATCH, &t, (long double)(uintptr_t)list, 0, (long double)(uintptr_t)&value,
                      0);
        tavro_text_release(t);
    }
    free(tag);
    return value;
}

/* throw "tag, and (throw "tag value) */
NATIVE(THROW)
{
    TStructure *s = *state;
    TAtom *value = TAVRO_NOVALUE;
    char *tag = tavro_text_input(s, "tag");
    if (!tag)
        return NULL;
    tavro_arg(s, "#1", &value);
    tavro_service_text(s, TAVRO_SVC_THROW, tag, (long double)(uintptr_t)value);
    free(tag);
    return TAVRO_NOVALUE;
}

/* ------------------------------------------------------------ templates */

/* map, map.se and filter over one list or, in parentheses, several
   ((map template data1 data2 ...), the template gets one element of each).
   A word gives a word (when the results are words). */
enum { MAP_COLLECT, MAP_SENTENCE, MAP_FILTER };

static TAtom *map_rounds(TStructure *s, int mode)
{
    TAtom **all, *template_, *inputs, *value;
    TKitList out = {NULL, NULL};
    Walk w;
    int word_data, n;
    int32_t round = 0;
    TAtom *cell;
    n = gather_inputs(s, "template", "data", &all);
    if (n < 0)
        return NULL;
    template_ = hold(all[0]);
    word_data = !tavro_is_list(all[1]);
    if (!walk_start(s, &w, all + 1, n - 1)) {
        free(all);
        let_go(template_);
        return NULL;
    }
    free(all);
    while ((inputs = walk_next(s, &w)) != NULL) {
        TAtom *x = tavro_left(inputs), *head = out.head;
        s->RepeatCount = ++round;
        if (!call_template(s, template_, inputs, &value)) {
            let_go(head);
            walk_end(&w);
            let_go(template_);
            return value;
        }
        if (mode == MAP_FILTER) {
            int truth = tavro_is_word_or_number(value) && value->Kind == akWord &&
                        tavro_bytes_equal(tavro_text_cstr(value->Text), (size_t)tavro_text_length(value->Text),
                                          "TRUE", 4, 1);
            if (!truth && !(tavro_is_word_or_number(value) && value->Kind == akWord &&
                            tavro_bytes_equal(tavro_text_cstr(value->Text),
                                              (size_t)tavro_text_length(value->Text), "FALSE", 5, 1))) {
                let_go(head);
                walk_end(&w);
                let_go(template_);
                return tavro_fail_input(s, value == TAVRO_NOVALUE ? template_ : value);
            }
            if (!truth)
                continue;
            value = x;
        } else if (value == TAVRO_NOVALUE) {
            let_go(head);
            walk_end(&w);
            let_go(template_);
            return tavro_fail_input(s, template_);
        }
        if (mode == MAP_SENTENCE && tavro_is_list(value)) {
            for (cell = value; tavro_is_object(cell); cell = tavro_right(cell))
                if (!tavro_list_append(s, &out, tavro_left(cell)))
                    break;
        } else if (!tavro_list_append(s, &out, value)) {
            cell = value; /* out of memory */
        } else {
            cell = NULL;
        }
        if (cell) {
            let_go(head);
            walk_end(&w);
            let_go(template_);
            return NULL;
        }
        if (!head)
            hold(out.head);
    }
    let_go(out.head);
    walk_end(&w);
    let_go(template_);
    if (word_data && mode != MAP_SENTENCE) {
        TKitBuffer b = {0, 0, 0};
        TAtom *word;
        for (cell = out.head; cell; cell = tavro_right(cell)) {
            char buf[TAVRO_NUMBER_TEXT_SIZE];
            size_t len;
            const char *t = tavro_word_text(tavro_left(cell), &len, buf);
            if (!t) {
                tavro_buffer_free(&b);
                return out.head; /* a list element among the results */
            }
            tavro_buffer_append(&b, t, len);
        }
        word = tavro_new_word(s, tavro_buffer_cstr(&b), b.length);
        tavro_buffer_free(&b);
        return word;
    }
    return out.head;
}

/* The round (repcount, `#`) counts the elements, as in foreach. */
static TAtom *map_or_filter(TStructure *s, int mode)
{
    Counter c = count_start(s);
    TAtom *result = map_rounds(s, mode);
    count_end(s, c);
    return result;
}

NATIVE(MAP) { return map_or_filter(*state, MAP_COLLECT); }
NATIVE(MAPSE) { return map_or_filter(*state, MAP_SENTENCE); }
NATIVE(FILTER) { return map_or_filter(*state, MAP_FILTER); }

/* reduce template data: from the right, as UCBLogo does:
   reduce "f [a b c] is f a (f b c). */
NATIVE(REDUCE)
{
    TStructure *s = *state;
    TAtom *template_, *data, *list, *cell, *acc;
    TAtom *rev = NULL;
    if (!tavro_input(s, "template", &template_) || !tavro_input(s, "data", &data))
        return NULL;
    list = elements(s, data);
    if (!tavro_is_object(list))
        return tavro_fail_input(s, data);
    for (cell = list; tavro_is_object(cell); cell = tavro_right(cell))
        rev = tavro_new_cell(s, tavro_left(cell), rev);
    hold(rev);
    acc = tavro_left(rev);
    for (cell = tavro_right(rev); tavro_is_object(cell); cell = tavro_right(cell)) {
        TAtom *inputs = tavro_new_cell(s, tavro_left(cell), tavro_new_cell(s, acc, NULL)), *value;
        hold(inputs);
        if (!call_template(s, template_, inputs, &value)) {
            let_go(inputs);
            let_go(rev);
            return value;
        }
        let_go(inputs);
        if (value == TAVRO_NOVALUE) {
            let_go(rev);
            return tavro_fail_input(s, template_);
        }
        acc = value;
        /* the accumulated value is held by the list until the next run */
        rev->Left = acc;
    }
    let_go(rev);
    return acc;
}

NATIVE(APPLY)
{
    TStructure *s = *state;
    TAtom *template_, *inputs, *value;
    if (!tavro_input(s, "template", &template_) || !tavro_input(s, "inputs", &inputs))
        return NULL;
    if (!tavro_is_list(inputs))
        return tavro_fail_input(s, inputs);
    call_template(s, template_, inputs, &value);
    return value;
}

/* invoke template input, and (invoke template input input ...) */
NATIVE(INVOKE)
{
    TStructure *s = *state;
    TAtom *template_, *x, *value;
    TKitList inputs = {NULL, NULL};
    char name[16];
    int k;
    if (!tavro_input(s, "template", &template_) || !tavro_input(s, "input", &x))
        return NULL;
    tavro_list_append(s, &inputs, x);
    for (k = 1;; ++k) {
        snprintf(name, sizeof name, "#%d", k);
        if (!tavro_arg(s, name, &x))
            break;
        tavro_list_append(s, &inputs, x);
    }
    call_template(s, template_, inputs.head, &value);
    return value;
}

/*
 * more_templates.c - further words that take a template, with UCBLogo's
 * meaning: find, crossmap, cascade, sort.
 *
 * Templates run for the caller of the wrapping procedure (call_template,
 * control.c), so they see the caller's names. Inputs beyond the wrapper's
 * parameters, given in parentheses, arrive as "#1", "#2" ...
 */
#include <stdio.h>

#include "core.h"

/* The extra input "#k", or 0 when there is none. */
static int extra_input(TStructure *s, int k, TAtom **value)
{
    char name[24];
    snprintf(name, sizeof name, "#%d", k);
    return tavro_arg(s, name, value);
}

/* A template's value read as true or false; 0 after an error. */
static int truth_of(TStructure *s, TAtom *template_, TAtom *value, int *truth)
{
    if (tavro_is_word_or_number(value) && value->Kind == akWord) {
        if (tavro_text_is(value->Text, "true", 1) || tavro_text_is(value->Text, "false", 1)) {
            *truth = tavro_text_length(value->Text) == 4;
            return 1;
        }
    }
    tavro_fail_input(s, value == TAVRO_NOVALUE ? template_ : value);
    return 0;
}

/* ------------------------------------------------------------------ find */

/* find template data: the first element for which the template is true,
   or [] when there is none. */
NATIVE(FIND)
{
    TStructure *s = *state;
    TAtom *template_, *data, *list, *cell, *value;
    int truth;
    if (!tavro_input(s, "template", &template_) || !tavro_input(s, "data", &data))
        return NULL;
    list = hold(elements(s, data));
    if (!tavro_is_list(list))
        return NULL;
    for (cell = list; tavro_is_object(cell); cell = tavro_right(cell)) {
        if (!call_template(s, template_, tavro_new_cell(s, tavro_left(cell), NULL), &value) ||
            !truth_of(s, template_, value, &truth)) {
            let_go(list);
            return value;
        }
        if (truth) {
            let_go(list);
            return tavro_left(cell);
        }
    }
    let_go(list);
    return NULL;
}

/* ------------------------------------------------------------- crossmap */

/* crossmap template [data1 data2 ...], (crossmap template data1 data2 ...):
   the template's value for every combination of one element of each list,
   the first list varying slowest. */
NATIVE(CROSSMAP)
{
    TStructure *s = *state;
    TAtom *template_, *data, *lists, *x, *value, *held;
    TKitList given = {NULL, NULL}, kept = {NULL, NULL}, out = {NULL, NULL};
    TAtom **start = NULL, **at = NULL, *cell;
    int n = 0, k, done = 0;
    if (!tavro_input(s, "template", &template_) || !tavro_input(s, "data", &data))
        return NULL;
    if (extra_input(s, 1, &x)) {
        tavro_list_append(s, &given, data);
        for (k = 1; extra_input(s, k, &x); ++k)
            tavro_list_append(s, &given, x);
        lists = given.head;
    } else {
        lists = data;
    }
    if (!tavro_is_list(lists))
        return tavro_fail_input(s, lists);
    held = hold(tavro_new_cell(s, lists, NULL));
    for (cell = lists; tavro_is_object(cell); cell = tavro_right(cell))
        ++n;
    start = (TAtom **)calloc((size_t)(2 * n + 1), sizeof(TAtom *));
    if (!start) {
        let_go(held);
        return fail_key(s, "OUTOFMEMORY");
    }
    at = start + n;
    for (k = 0, cell = lists; k < n; ++k, cell = tavro_right(cell)) {
        start[k] = at[k] = elements(s, tavro_left(cell));
        /* the element lists are held through the list that holds them */
        tavro_list_append(s, &kept, start[k]);
        held->Right = kept.head;
        if (!tavro_is_list(start[k]))
            done = -1;
        else if (!start[k])
            done = 1;
    }
    while (!done && n > 0) {
        TKitList inputs = {NULL, NULL};
        TAtom *head = out.head;
        for (k = 0; k < n; ++k)
            tavro_list_append(s, &inputs, tavro_left(at[k]));
        if (!call_template(s, template_, inputs.head, &value)) {
            let_go(head);
            let_go(held);
            free(start);
            return value;
        }
        if (value == TAVRO_NOVALUE) {
            let_go(head);
            let_go(held);
            free(start);
            return tavro_fail_input(s, template_);
        }
        tavro_list_append(s, &out, value);
        if (!head)
            hold(out.head);
        /* The next combination: the last list moves fastest. */
        for (k = n - 1; k >= 0; --k) {
            at[k] = tavro_right(at[k]);
            if (tavro_is_object(at[k]))
                break;
            at[k] = start[k];
        }
        done = k < 0;
    }
    let_go(out.head);
    let_go(held);
    free(start);
    return done < 0 ? NULL : out.head;
}

/* -------------------------------------------------------------- cascade */

/* cascade endtest template start, and in parentheses
   (cascade endtest template1 start1 template2 start2 ... [final]):
   each round every template computes its value from all the current
   values (?1, ?2 ... in the order of the starts, ? the first); endtest is
   a number of rounds or a template that ends the rounds when true. The
   round number is repcount (and `#`). The result is the first value, or
   the final template's value of the last values. */
NATIVE(CASCADE)
{
    TStructure *s = *state;
    TAtom *endtest, *x, *value, *final = NULL, *values, *held;
    TAtom **templates = NULL;
    TKitList starts = {NULL, NULL};
    long double rounds = -1;
    int n = 0, k, given;
    int32_t round = 0, saved = s->RepeatCount;
    if (!tavro_input(s, "endtest", &endtest) || !tavro_input(s, "template", &x))
        return NULL;
    /* template, start, then the extra inputs: pairs and maybe a final. */
    for (given = 1; extra_input(s, given, &x); ++given)
        ;
    given += 1; /* template and start, plus given - 1 extras */
    templates = (TAtom **)calloc((size_t)given, sizeof(TAtom *));
    if (!templates)
        return fail_key(s, "OUTOFMEMORY");
    for (k = 0; k < given; ++k) {
        if (k == 0)
            tavro_arg(s, "template", &x);
        else if (k == 1 && !tavro_input(s, "start", &x)) {
            free(templates);
            return NULL;
        } else if (k > 1)
            extra_input(s, k - 1, &x);
        if (k % 2 == 0 && k == given - 1)
            final = x;
        else if (k % 2 == 0)
            templates[n] = x;
        else
            tavro_list_append(s, &starts, x), ++n;
    }
    if (tavro_is_word_or_number(endtest) && !tavro_to_number(endtest, &rounds)) {
        free(templates);
        return tavro_fail_input(s, endtest);
    }
    values = starts.head;
    /* held: the current values, and while a round computes them the next
       ones as its rest */
    held = hold(tavro_new_cell(s, values, NULL));
    for (;;) {
        TKitList next = {NULL, NULL};
        if (rounds >= 0) {
            if (round >= rounds)
                break;
        } else {
            int truth;
            s->RepeatCount = round + 1;
            if (!call_template(s, endtest, values, &value) || !truth_of(s, endtest, value, &truth)) {
                s->RepeatCount = saved;
                let_go(held);
                free(templates);
                return value;
            }
            if (truth)
                break;
        }
        s->RepeatCount = ++round;
        for (k = 0; k < n; ++k) {
            if (!call_template(s, templates[k], values, &value)) {
                s->RepeatCount = saved;
                let_go(held);
                free(templates);
                return value;
            }
            if (value == TAVRO_NOVALUE) {
                s->RepeatCount = saved;
                let_go(held);
                free(templates);
                return tavro_fail_input(s, templates[k]);
            }
            tavro_list_append(s, &next, value);
            held->Right = next.head; /* kept while the next template runs */
        }
        values = next.head;
        held->Left = values;
        held->Right = NULL;
        if ((round & 127) == 0 && stop_requested(s)) {
            s->RepeatCount = saved;
            let_go(held);
            free(templates);
            return NULL;
        }
    }
    s->RepeatCount = saved;
    free(templates);
    if (final) {
        if (call_template(s, final, values, &value) && value == TAVRO_NOVALUE)
            value = tavro_fail_input(s, final);
        let_go(held);
        return value;
    }
    let_go(held);
    return tavro_is_object(values) ? tavro_left(values) : NULL;
}

/* ----------------------------------------------------------------- sort */

/* The order sort uses without a template: numbers by value before words,
   words alphabetically without regard to letter case, lists last. */
static int before_or_same(const TStructure *s, const TAtom *a, const TAtom *b)
{
    long double x, y;
    int na = tavro_to_number(a, &x), nb = tavro_to_number(b, &y);
    char ba[TAVRO_NUMBER_TEXT_SIZE], bb[TAVRO_NUMBER_TEXT_SIZE];
    const char *ta, *tb;
    size_t la, lb, i;
    (void)s;
    if (na && nb)
        return x <= y;
    if (na != nb)
        return na;
    ta = tavro_word_text(a, &la, ba);
    tb = tavro_word_text(b, &lb, bb);
    if (!ta || !tb)
        return ta != NULL || tb == NULL;
    for (i = 0; i < la && i < lb; ++i) {
        char ca = tavro_ascii_upper(ta[i]), cb = tavro_ascii_upper(tb[i]);
        if (ca != cb)
            return (unsigned char)ca < (unsigned char)cb;
    }
    return la <= lb;
}

/* sort data, (sort data template): a new list of the elements in order;
   the template, given two elements, says whether the first may come
   before the second. Stable: equal elements keep their order. */
NATIVE(SORT)
{
    TStructure *s = *state;
    TAtom *data, *template_ = NULL, *list, *cell, *value = NULL;
    TAtom **items, **spare;
    size_t n = 0, i, width;
    int custom = extra_input(s, 1, &template_), failed = 0;
    TKitList out = {NULL, NULL};
    if (!tavro_input(s, "data", &data))
        return NULL;
    list = hold(elements(s, data));
    if (!tavro_is_list(list))
        return NULL;
    for (cell = list; tavro_is_object(cell); cell = tavro_right(cell))
        ++n;
    items = (TAtom **)malloc((2 * n + 1) * sizeof(TAtom *));
    if (!items) {
        let_go(list);
        return fail_key(s, "OUTOFMEMORY");
    }
    spare = items + n;
    for (i = 0, cell = list; i < n; ++i, cell = tavro_right(cell))
        items[i] = tavro_left(cell);
    /* Bottom-up merge sort; the elements stay held through `list`. */
    for (width = 1; width < n && !failed; width *= 2) {
        size_t lo;
        for (lo = 0; lo < n && !failed; lo += 2 * width) {
            size_t mid = lo + width < n ? lo + width : n, hi = lo + 2 * width < n ? lo + 2 * width : n;
            size_t a = lo, b = mid, o = lo;
            while (a < mid && b < hi) {
                int first = 1;
                if (custom) {
                    TAtom *inputs = tavro_new_cell(s, items[a], tavro_new_cell(s, items[b], NULL));
                    if (!call_template(s, template_, inputs, &value) ||
                        !truth_of(s, template_, value, &first)) {
                        failed = 1;
                        break;
                    }
                } else {
                    first = before_or_same(s, items[a], items[b]);
                }
                spare[o++] = first ? items[a++] : items[b++];
            }
            while (a < mid)
                spare[o++] = items[a++];
            while (b < hi)
                spare[o++] = items[b++];
            memcpy(items + lo, spare + lo, (hi - lo) * sizeof(TAtom *));
        }
    }
    if (!failed)
        for (i = 0; i < n; ++i)
            tavro_list_append(s, &out, items[i]);
    free(items);
    let_go(list);
    return failed ? value : out.head;
}

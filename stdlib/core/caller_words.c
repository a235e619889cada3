/*
 * caller_words.c - words that act in the scope of the procedure that
 * called them, as UCBLogo's do: localmake, runresult, ern, case, cond.
 *
 * A wrapper's own activation record is the top context; the statements
 * these words build run one level below it (TAVRO_SVC_RUN_FOR_CALLER), so
 * `local` and `make` there are the caller's, and a name is found as the
 * caller would find it. Whenever a run answers 0 the function returns the
 * value it was given at once.
 */
#include "core.h"

/* ------------------------------------------------------------- helpers */

static TAtom *quote_word(TStructure *s) { return tavro_new_word(s, "\"", 1); }

/* Runs the statement  WORD "NAME  for the caller (local, erase). */
static int run_word_on_name(TStructure *s, const char *word, TAtom *name, TAtom **value)
{
    TAtom *list = tavro_new_cell(s, tavro_new_word_cstr(s, word),
                                 tavro_new_cell(s, quote_word(s), tavro_new_cell(s, name, NULL)));
    return list && tavro_run_for_caller(s, list, 0, NULL, value);
}

/* ------------------------------------------------------------ localmake */

/* localmake "name value: `local "name , make "name value` in the caller.
   The value reaches `make` as the input of a template with a named input,
   so that any value (a list, an object) is assigned exactly as given. */
NATIVE(LOCALMAKE)
{
    TStructure *s = *state;
    TAtom *name, *value, *given, *template_, *body;
    const char *slot = "localmakevalue";
    if (!tavro_input(s, "value", &given) || !(name = hold(name_input(s, "name"))))
        return NULL;
    if (tavro_text_is(name->Text, slot, 1))
        slot = "localmakevalue2";
    if (!run_word_on_name(s, "local", name, &value)) {
        let_go(name);
        return value;
    }
    /* [[localmakevalue] make "name : localmakevalue] */
    body = tavro_new_cell(
        s, tavro_new_word_cstr(s, "make"),
        tavro_new_cell(s, quote_word(s),
                       tavro_new_cell(s, name,
                                      tavro_new_cell(s, tavro_new_word(s, ":", 1),
                                                     tavro_new_cell(s, tavro_new_word_cstr(s, slot), NULL)))));
    template_ = tavro_new_cell(s, tavro_new_cell(s, tavro_new_word_cstr(s, slot), NULL), body);
    let_go(name);
    if (!template_)
        return NULL;
    if (!call_template(s, template_, tavro_new_cell(s, given, NULL), &value))
        return value;
    return TAVRO_NOVALUE;
}

/* ------------------------------------------------------------ runresult */

/* runresult list: [] when the list gave no value, else [value]. The
   variable that a `make` at the end of the list hands back is no value. */
NATIVE(RUNRESULT)
{
    TStructure *s = *state;
    TAtom *value;
    if (!run_input(s, "body", &value))
        return value;
    if (value == TAVRO_NOVALUE ||
        (tavro_is_object(value) && value->Kind == akVariable && value->Parent &&
         !tavro_text_is(value->Text, "[]", 0)))
        return NULL;
    return tavro_new_cell(s, value, NULL);
}

/* ------------------------------------------------------------------ ern */

/* ern "name, ern [name name ...]: erases each name as the caller sees it;
   a name that is missing is an error before anything is erased. */
NATIVE(ERN)
{
    TStructure *s = *state;
    TAtom *names, *cell, *value = TAVRO_NOVALUE;
    if (!tavro_input(s, "names", &names))
        return NULL;
    if (!tavro_is_list(names))
        names = tavro_new_cell(s, names, NULL);
    for (cell = names; tavro_is_object(cell); cell = tavro_right(cell)) {
        char *name;
        int known;
        if (!tavro_is_word_or_number(tavro_left(cell)))
            return tavro_fail_input(s, tavro_left(cell));
        name = tavro_to_text(tavro_left(cell));
        known = name && tavro_find_name(s, name) != NULL;
        if (!known)
            tavro_raise(s, "NOSUCHNAME", tavro_word_name(s), name ? name : "");
        free(name);
        if (!known)
            return NULL;
    }
    hold(names);
    for (cell = names; tavro_is_object(cell); cell = tavro_right(cell)) {
        if (!run_word_on_name(s, "erase", tavro_left(cell), &value))
            break;
        value = TAVRO_NOVALUE;
    }
    let_go(names);
    return value;
}

/* ------------------------------------------------------------ case, cond */

static int is_else(const TAtom *a)
{
    return tavro_is_word_or_number(a) && a->Kind == akWord && tavro_text_is(a->Text, "else", 1);
}

/* Runs the rest of the clause for the caller: its value is the word's. */
static TAtom *run_clause(TStructure *s, TAtom *clause)
{
    TAtom *value;
    tavro_run_for_caller(s, tavro_right(clause), 0, NULL, &value);
    return value;
}

/* case value [[[values] statements] ... [else statements]] */
NATIVE(CASE)
{
    TStructure *s = *state;
    TAtom *x, *clauses, *cell;
    if (!tavro_input(s, "value", &x) || !tavro_input(s, "clauses", &clauses))
        return NULL;
    if (!tavro_is_list(clauses))
        return tavro_fail_input(s, clauses);
    for (cell = clauses; tavro_is_object(cell); cell = tavro_right(cell)) {
        TAtom *clause = tavro_left(cell), *values, *v;
        if (!tavro_is_object(clause) || clause->Kind != akList)
            return tavro_fail_input(s, clause);
        values = tavro_left(clause);
        if (is_else(values))
            return run_clause(s, clause);
        if (!tavro_is_list(values))
            return tavro_fail_input(s, clause);
        for (v = values; tavro_is_object(v); v = tavro_right(v))
            if (values_equal(s, x, tavro_left(v)))
                return run_clause(s, clause);
    }
    return TAVRO_NOVALUE;
}

/* cond [[[test] statements] ... [else statements]] */
NATIVE(COND)
{
    TStructure *s = *state;
    TAtom *clauses, *cell, *value;
    if (!tavro_input(s, "clauses", &clauses))
        return NULL;
    if (!tavro_is_list(clauses))
        return tavro_fail_input(s, clauses);
    hold(clauses);
    for (cell = clauses; tavro_is_object(cell); cell = tavro_right(cell)) {
        TAtom *clause = tavro_left(cell), *test;
        int truth;
        if (!tavro_is_object(clause) || clause->Kind != akList) {
            let_go(clauses);
            return tavro_fail_input(s, clause);
        }
        test = tavro_left(clause);
        if (!is_else(test)) {
            if (!tavro_is_list(test)) {
                let_go(clauses);
                return tavro_fail_input(s, clause);
            }
            if (!tavro_run_for_caller(s, test, 0, NULL, &value)) {
                let_go(clauses);
                return value;
            }
            if (!tavro_is_word_or_number(value) || value->Kind != akWord ||
                !(tavro_text_is(value->Text, "true", 1) || tavro_text_is(value->Text, "false", 1))) {
                let_go(clauses);
                return tavro_fail_input(s, value == TAVRO_NOVALUE ? test : value);
            }
            truth = tavro_text_is(value->Text, "true", 1);
            if (!truth)
                continue;
        }
        value = run_clause(s, clause);
        let_go(clauses);
        return value;
    }
    let_go(clauses);
    return TAVRO_NOVALUE;
}

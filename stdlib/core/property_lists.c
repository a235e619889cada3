/*
 * property_lists.c - UCBLogo's property lists: pprop, gprop, remprop,
 * plist, erpls.
 *
 * Property lists live beside the name tree, as in UCBLogo: a name's
 * property list is not its value or its members, so `make` does not touch
 * it, property names such as "onchange" start no hook, and a procedure
 * keeps being a procedure. They are held here, in one list that the
 * library keeps by a reference: [[name prop value prop value ...] ...],
 * newest name first. Names and properties compare as words do (letter
 * case ignored). Every start and reset forgets them with the names.
 */
#include "core.h"

static TAtom *lists; /* held */

/* The entry of `name` ([name prop value ...]), or NULL. */
static TAtom *entry_of(TStructure *s, const TAtom *name)
{
    TAtom *e;
    for (e = lists; e; e = tavro_right(e))
        if (values_equal(s, tavro_left(tavro_left(e)), name))
            return tavro_left(e);
    return NULL;
}

/* The cell before the property's cell in the entry (the entry's name
   cell for the first), or NULL when the property is absent. */
static TAtom *before_property(TStructure *s, TAtom *entry, const TAtom *prop)
{
    TAtom *before = entry, *p;
    for (p = tavro_right(entry); p && tavro_right(p); p = tavro_right(tavro_right(p))) {
        if (values_equal(s, tavro_left(p), prop))
            return before;
        before = tavro_right(p);
    }
    return NULL;
}

static int name_and_prop(TStructure *s, TAtom **name, TAtom **prop)
{
    if (!tavro_input(s, "name", name) || !tavro_input(s, "prop", prop))
        return 0;
    if (!tavro_is_word_or_number(*name)) {
        tavro_fail_input(s, *name);
        return 0;
    }
    if (!tavro_is_word_or_number(*prop)) {
        tavro_fail_input(s, *prop);
        return 0;
    }
    return 1;
}

/* pprop name prop value: a new property goes first in the list. */
NATIVE(PPROP)
{
    TStructure *s = *state;
    TAtom *name, *prop, *value, *entry, *before;
    if (!name_and_prop(s, &name, &prop) || !tavro_input(s, "value", &value))
        return NULL;
    entry = entry_of(s, name);
    if (!entry) {
        TAtom *cell;
        entry = tavro_new_cell(s, name, NULL);
        cell = tavro_new_cell(s, entry, lists);
        if (!cell)
            return NULL;
        let_go(lists);
        lists = hold(cell);
    }
    if ((before = before_property(s, entry, prop)) != NULL) {
        tavro_right(tavro_right(before))->Left = value;
        return TAVRO_NOVALUE;
    }
    {
        TAtom *v = tavro_new_cell(s, value, tavro_right(entry));
        TAtom *p = v ? tavro_new_cell(s, prop, v) : NULL;
        if (!p)
            return NULL;
        entry->Right = p;
    }
    return TAVRO_NOVALUE;
}

/* gprop name prop: the value, or [] when the property is absent. */
NATIVE(GPROP)
{
    TStructure *s = *state;
    TAtom *name, *prop, *entry, *before;
    if (!name_and_prop(s, &name, &prop))
        return NULL;
    entry = entry_of(s, name);
    before = entry ? before_property(s, entry, prop) : NULL;
    return before ? tavro_left(tavro_right(tavro_right(before))) : NULL;
}

/* remprop name prop; a name left without properties is forgotten. */
NATIVE(REMPROP)
{
    TStructure *s = *state;
    TAtom *name, *prop, *entry, *before, *e, *prev = NULL;
    if (!name_and_prop(s, &name, &prop))
        return NULL;
    entry = entry_of(s, name);
    if (!entry || !(before = before_property(s, entry, prop)))
        return TAVRO_NOVALUE;
    before->Right = tavro_right(tavro_right(tavro_right(before)));
    if (tavro_right(entry))
        return TAVRO_NOVALUE;
    for (e = lists; e; prev = e, e = tavro_right(e))
        if (tavro_left(e) == entry) {
            if (prev) {
                prev->Right = tavro_right(e);
            } else {
                TAtom *rest = hold(tavro_right(e));
                let_go(lists);
                lists = rest;
            }
            break;
        }
    return TAVRO_NOVALUE;
}

/* plist name: a new list [prop value prop value ...]. */
NATIVE(PLIST)
{
    TStructure *s = *state;
    TAtom *name, *entry, *p;
    TKitList out = {NULL, NULL};
    if (!tavro_input(s, "name", &name))
        return NULL;
    if (!tavro_is_word_or_number(name))
        return tavro_fail_input(s, name);
    entry = entry_of(s, name);
    for (p = entry ? tavro_right(entry) : NULL; p; p = tavro_right(p))
        if (!tavro_list_append(s, &out, tavro_left(p)))
            return NULL;
    return out.head;
}

/* erpls: every property list. */
NATIVE(ERPLS)
{
    (void)state;
    let_go(lists);
    lists = NULL;
    return TAVRO_NOVALUE;
}

/* At a reset the list is dropped without a release: the state it came
   from may be gone (the atoms with it), and in the same state the few
   atoms it holds stay with the old names. */
void forget_property_lists(void) { lists = NULL; }

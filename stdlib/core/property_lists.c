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

/* An index of the entries by name, so that a program with many names
   finds each at once: open addressing with linear probing over the
   entries' cells, rebuilt from `lists` when it fills up. */
static TAtom **slots;
static size_t slot_capacity, slot_used; /* capacity: 0 or a power of 2 */

/* Names equal as words are (values_equal) hash alike: numbers all go to
   one place, since they compare by value; other words by their letters,
   case folded. */
static size_t name_hash(const TAtom *name)
{
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    size_t len = 0, i, h = 1469598103934665603u;
    const char *t = tavro_word_text(name, &len, buf);
    long double x;
    if (!t)
        return 0;
    if (len > 0 && t[0] != 'I' && t[0] != 'N' && tavro_parse_number(t, len, &x))
        return 1;
    for (i = 0; i < len; ++i)
        h = (h ^ (unsigned char)tavro_ascii_upper(t[i])) * 1099511628211u;
    return h;
}

static size_t slot_for(TStructure *s, const TAtom *name)
{
    size_t i = name_hash(name) & (slot_capacity - 1);
    while (slots[i] && !values_equal(s, tavro_left(slots[i]), name))
        i = (i + 1) & (slot_capacity - 1);
    return i;
}

/* 0 when memory runs out (the index is then left empty). */
static int rebuild_index(TStructure *s, size_t entries)
{
    TAtom *e;
    free(slots);
    slot_used = 0;
    slot_capacity = 16;
    while (slot_capacity < 4 * (entries + 1))
        slot_capacity *= 2;
    if (!(slots = (TAtom **)calloc(slot_capacity, sizeof(TAtom *)))) {
        slot_capacity = 0;
        return 0;
    }
    for (e = lists; e; e = tavro_right(e)) {
        slots[slot_for(s, tavro_left(tavro_left(e)))] = tavro_left(e);
        ++slot_used;
    }
    return 1;
}

static void drop_index(void)
{
    free(slots);
    slots = NULL;
    slot_capacity = slot_used = 0;
}

/* The entry of `name` ([name prop value ...]), or NULL. */
static TAtom *entry_of(TStructure *s, const TAtom *name)
{
    return slot_capacity ? slots[slot_for(s, name)] : NULL;
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
        if (2 * (slot_used + 1) > slot_capacity && !rebuild_index(s, slot_used + 1))
            return fail_key(s, "OUTOFMEMORY");
        entry = tavro_new_cell(s, name, NULL);
        cell = tavro_new_cell(s, entry, lists);
        if (!cell)
            return NULL;
        let_go(lists);
        lists = hold(cell);
        slots[slot_for(s, name)] = entry;
        ++slot_used;
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

/* remprop name prop. A name left without properties keeps its (empty)
   entry until erpls: finding and unlinking it would cost a walk over
   every name. */
NATIVE(REMPROP)
{
    TStructure *s = *state;
    TAtom *name, *prop, *entry, *before;
    if (!name_and_prop(s, &name, &prop))
        return NULL;
    entry = entry_of(s, name);
    if (entry && (before = before_property(s, entry, prop)) != NULL)
        before->Right = tavro_right(tavro_right(tavro_right(before)));
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
    drop_index();
    return TAVRO_NOVALUE;
}

/* At a reset the list is dropped without a release: the state it came
   from may be gone (the atoms with it), and in the same state the few
   atoms it holds stay with the old names. */
void forget_property_lists(void)
{
    lists = NULL;
    drop_index();
}

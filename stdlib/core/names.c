/*
 * Names and flags in core.DLL: thing by path, members, exists,
 * procedurep, parentof, fullname, erase, and the flags assignment reacts
 * to (lock, keepdefinition, keephistory, trackdependencies, hide).
 */
#include "core.h"

/* --------------------------------------------------------------- names */

/* The node named by the input `name`, as the wrapper's caller sees it;
   NULL after raising NOSUCHNAME (or NOTLIKE for a non-word). */
static TAtom *named_node(TStructure *s, int required)
{
    const char *t;
    size_t len;
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    TAtom *node;
    char *name;
    if (!tavro_word_input(s, "name", &t, &len, buf))
        return NULL;
    name = (char *)malloc(len + 1);
    if (!name)
        return fail_key(s, "OUTOFMEMORY");
    memcpy(name, t, len);
    name[len] = '\0';
    node = tavro_find_name(s, name);
    if (!node && required)
        tavro_raise(s, "NOSUCHNAME", tavro_word_name(s), name);
    free(name);
    return node;
}

/* The dotted path of a node, the way the interpreter prints names: the
   names from below the root down to the node. */
static void append_path(TKitBuffer *b, const TAtom *node)
{
    if (node->Parent && node->Parent->Parent) {
        append_path(b, node->Parent);
        tavro_buffer_append(b, ".", 1);
    }
    tavro_buffer_append(b, tavro_text_cstr(node->Text), (size_t)tavro_text_length(node->Text));
}

static TAtom *path_word(TStructure *s, const TAtom *node, const char *prefix)
{
    TKitBuffer b = {0, 0, 0};
    TAtom *w;
    tavro_buffer_append_cstr(&b, prefix);
    append_path(&b, node);
    w = tavro_new_word(s, tavro_buffer_cstr(&b), b.length);
    tavro_buffer_free(&b);
    return w;
}

/* thing: the wrapper reads the value with ":" from this root-anchored
   path, so that objects come back as copies exactly as ":" makes them and
   the wrapper's own input cannot hide a variable of the same name. */
NATIVE(THINGPATH)
{
    TStructure *s = *state;
    TAtom *node = named_node(s, 1);
    TKitBuffer b = {0, 0, 0};
    TAtom *w;
    if (!node)
        return NULL;
    if (s->Root)
        tavro_buffer_append(&b, tavro_text_cstr(s->Root->Text),
                            (size_t)tavro_text_length(s->Root->Text));
    if (node != s->Root) {
        tavro_buffer_append(&b, ".", 1);
        append_path(&b, node);
    }
    w = tavro_new_word(s, tavro_buffer_cstr(&b), b.length);
    tavro_buffer_free(&b);
    return w;
}

NATIVE(MEMBERS)
{
    TStructure *s = *state;
    TAtom *node = named_node(s, 1), *m;
    TKitList out = {NULL, NULL};
    if (!node)
        return NULL;
    for (m = node->FirstChild; m; m = m->NextSibling)
        tavro_list_append(s, &out, tavro_new_word(s, tavro_text_cstr(m->Text),
                                                  (size_t)tavro_text_length(m->Text)));
    return out.head;
}

NATIVE(EXISTS)
{
    TStructure *s = *state;
    return tavro_new_truth(s, named_node(s, 0) != NULL);
}

/* A procedure's node (or its lambda member) holds a definition list whose
   first element is the parameter list. */
NATIVE(PROCEDUREP)
{
    TStructure *s = *state;
    TAtom *node = named_node(s, 0), *m, *def;
    int is_procedure = 0;
    if (node) {
        for (m = node->FirstChild; m; m = m->NextSibling)
            if (tavro_name_is(s, m, "lambda"))
                node = m;
        def = tavro_left(node);
        is_procedure = def && def != TAVRO_NOVALUE && def->Kind == akList &&
                       tavro_is_list(tavro_left(def));
    }
    return tavro_new_truth(s, is_procedure);
}

NATIVE(PARENTOF)
{
    TStructure *s = *state;
    TAtom *node = named_node(s, 1);
    if (!node)
        return NULL;
    if (!node->Parent)
        return empty_word(s);
    return path_word(s, node->Parent, "");
}

NATIVE(FULLNAME)
{
    TStructure *s = *state;
    TAtom *node = named_node(s, 1);
    if (!node)
        return NULL;
    return path_word(s, node, "");
}

NATIVE(ERASE)
{
    TStructure *s = *state;
    TAtom *node = named_node(s, 1);
    if (!node)
        return NULL;
    tavro_service_atom(s, TAVRO_SVC_DETACH, node);
    return TAVRO_NOVALUE;
}

static TAtom *set_flag(TStructure *s, uint32_t bits, int on)
{
    TAtom *node = named_node(s, 1);
    if (!node)
        return NULL;
    if (on)
        node->Flags |= bits;
    else
        node->Flags &= ~bits;
    return TAVRO_NOVALUE;
}

NATIVE(LOCK) { return set_flag(*state, FLAG_LOCKED, 1); }
/* unlock also frees a library procedure, which make then may replace. */
NATIVE(UNLOCK) { return set_flag(*state, FLAG_LOCKED | FLAG_LIBRARY_WORD, 0); }
NATIVE(KEEPDEFINITION) { return set_flag(*state, FLAG_KEEP_DEFINITION, 1); }
NATIVE(KEEPHISTORY) { return set_flag(*state, FLAG_KEEP_HISTORY, 1); }
NATIVE(TRACKDEPENDENCIES) { return set_flag(*state, FLAG_TRACK_DEPENDENCIES, 1); }
NATIVE(HIDE) { return set_flag(*state, FLAG_HIDDEN, 1); }
NATIVE(UNHIDE) { return set_flag(*state, FLAG_HIDDEN, 0); }

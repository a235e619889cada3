/*
 * definitions.c - procedures as data: define, text, copydef, and the
 * printed definitions of po and pots.
 *
 * A procedure is a name whose value is a definition list: the parameter
 * list (":" name pairs, or double quote name pairs for inputs by name),
 * then the body's elements, "," standing for each line end; a procedure
 * with left parameters (an infix word) has the left-parameter list first.
 * UCBLogo's form of a procedure is [[inputs] [line] [line] ...]; text
 * and define convert between the two. New definitions are made the way
 * `to` makes them, by the statement  make local "name DEFINITION  run for
 * the caller.
 */
#include "core.h"

static int is_word(const TAtom *a, const char *text)
{
    return tavro_is_word_or_number(a) && a->Kind == akWord && tavro_text_is(a->Text, text, 0);
}

static int is_marker(const TAtom *a) { return is_word(a, ":") || is_word(a, "\""); }

/* A parameter list: marker and name pairs. */
static int is_parameter_list(const TAtom *list)
{
    if (!tavro_is_list(list))
        return 0;
    for (; tavro_is_object(list); list = tavro_right(tavro_right(list)))
        if (!is_marker(tavro_left(list)) || !tavro_is_object(tavro_right(list)) ||
            !tavro_is_word_or_number(tavro_left(tavro_right(list))))
            return 0;
    return 1;
}

/* A definition list: its parameter list (or lists) first. Any list value
   can be called, but only a definition prints as a procedure. */
static int is_definition(const TAtom *d)
{
    return tavro_is_object(d) && d->Kind == akList && is_parameter_list(tavro_left(d)) &&
           (!tavro_is_object(tavro_right(d)) || !tavro_is_list(tavro_left(tavro_right(d))) ||
            is_parameter_list(tavro_left(tavro_right(d))));
}

/* The node of the procedure `name` as the caller sees it (or its lambda
   member), and its definition list in *def; NULL after raising
   NOTPROCEDURE. */
static TAtom *procedure_named(TStructure *s, const char *name, TAtom **def)
{
    TAtom *node = tavro_find_name(s, name), *m, *d;
    if (node)
        for (m = node->FirstChild; m; m = m->NextSibling)
            if (tavro_name_is(s, m, "lambda"))
                node = m;
    d = node ? tavro_left(node) : NULL;
    if (!node || !is_definition(d)) {
        tavro_raise(s, "NOTPROCEDURE", tavro_word_name(s), name);
        return NULL;
    }
    *def = d;
    return node;
}

static TAtom *procedure_input(TStructure *s, const char *input, TAtom **def)
{
    char *name;
    TAtom *v, *node;
    if (!tavro_input(s, input, &v))
        return NULL;
    if (!tavro_is_word_or_number(v))
        return tavro_fail_input(s, v);
    if (!(name = tavro_to_text(v)))
        return fail_key(s, "OUTOFMEMORY");
    node = procedure_named(s, name, def);
    free(name);
    return node;
}

/* The body of a definition list (past its parameter lists), and its left
   parameters (NULL for none) in *left and parameters in *params. */
static TAtom *body_of(TAtom *def, TAtom **left, TAtom **params)
{
    TAtom *rest = tavro_right(def);
    *left = NULL;
    *params = tavro_left(def);
    /* A body never starts with a list: a second list is the parameters
       of an infix word. */
    if (tavro_is_object(rest) && tavro_is_list(tavro_left(rest))) {
        *left = *params;
        *params = tavro_left(rest);
        rest = tavro_right(rest);
    }
    return rest;
}

/* UCBLogo shows :x and "x as one word each, where the reader here makes
   two (the marker, the name): text glues them, at every depth of a line,
   and define splits them again. */
enum { GLUE, SPLIT };

/* Nesting beyond this is copied as it is (no program is written so). */
#define NESTING_LIMIT 1000

static TAtom *converted_list(TStructure *s, TAtom *list, int mode, int depth);

/* Appends the element at `cell` to `out`, converted; returns the last
   cell used (the name's cell after a marker that was glued to it). */
static TAtom *append_converted(TStructure *s, TKitList *out, TAtom *cell, int mode, int depth)
{
    TAtom *e = tavro_left(cell);
    if (mode == GLUE && is_marker(e) && tavro_is_object(tavro_right(cell)) &&
        tavro_is_word_or_number(tavro_left(tavro_right(cell)))) {
        char buf[TAVRO_NUMBER_TEXT_SIZE];
        size_t len = 0;
        const char *t = tavro_word_text(tavro_left(tavro_right(cell)), &len, buf);
        tavro_list_append(s, out, joined_word(s, e->Text, 1, t, len));
        return tavro_right(cell);
    }
    if (mode == SPLIT && tavro_is_word_or_number(e) && e->Kind == akWord && tavro_text_length(e->Text) > 1 &&
        (e->Text[0] == ':' || e->Text[0] == '"')) {
        tavro_list_append(s, out, tavro_new_word(s, e->Text, 1));
        tavro_list_append(s, out, tavro_new_word(s, e->Text + 1, (size_t)tavro_text_length(e->Text) - 1));
        return cell;
    }
    if (tavro_is_object(e) && (e->Kind == akList || e->Kind == akGroup) && depth < NESTING_LIMIT)
        e = converted_list(s, e, mode, depth + 1);
    tavro_list_append(s, out, e);
    return cell;
}

static TAtom *converted_list(TStructure *s, TAtom *list, int mode, int depth)
{
    TKitList out = {NULL, NULL};
    TAtom *c;
    for (c = list; tavro_is_object(c); c = tavro_right(c))
        c = append_converted(s, &out, c, mode, depth);
    if (list->Kind == akGroup)
        for (c = out.head; c; c = tavro_right(c))
            c->Kind = akGroup;
    return out.head;
}

/* --------------------------------------------------------------- define */

/* Runs  make local "NAME DEFINITION  for the caller. */
static TAtom *make_definition(TStructure *s, TAtom *name, TAtom *def)
{
    TAtom *value;
    TAtom *list = tavro_new_cell(
        s, tavro_new_word_cstr(s, "make"),
        tavro_new_cell(s, tavro_new_word_cstr(s, "local"),
                       tavro_new_cell(s, tavro_new_word(s, "\"", 1),
                                      tavro_new_cell(s, name, tavro_new_cell(s, def, NULL)))));
    if (!list)
        return NULL;
    if (!tavro_run_for_caller(s, list, 0, NULL, &value))
        return value;
    return TAVRO_NOVALUE;
}

/* define "name [[inputs] [line] [line] ...] */
NATIVE(DEFINE)
{
    TStructure *s = *state;
    TAtom *name, *text, *inputs, *cell, *line;
    TKitList params = {NULL, NULL}, def = {NULL, NULL};
    if (!(name = name_input(s, "name")) || !tavro_input(s, "text", &text))
        return NULL;
    if (!tavro_is_object(text) || text->Kind != akList || !tavro_is_list(tavro_left(text)))
        return tavro_fail_input(s, text);
    for (inputs = tavro_left(text); inputs; inputs = tavro_right(inputs)) {
        TAtom *p = tavro_left(inputs);
        if (is_marker(p))
            continue; /* [:a :b] as well as [a b] */
        if (!tavro_is_word_or_number(p) || p->Kind != akWord)
            return tavro_fail_input(s, text);
        tavro_list_append(s, &params, tavro_new_word(s, ":", 1));
        tavro_list_append(s, &params, p);
    }
    tavro_list_append(s, &def, params.head);
    for (cell = tavro_right(text); tavro_is_object(cell); cell = tavro_right(cell)) {
        line = tavro_left(cell);
        if (!tavro_is_list(line))
            return tavro_fail_input(s, text);
        if (cell != tavro_right(text))
            tavro_list_append(s, &def, tavro_new_word(s, ",", 1));
        for (; tavro_is_object(line); line = tavro_right(line))
            line = append_converted(s, &def, line, SPLIT, 0);
    }
    return make_definition(s, name, def.head);
}

/* copydef "new "old: the new name gets the old one's definition. */
NATIVE(COPYDEF)
{
    TStructure *s = *state;
    TAtom *def, *name;
    if (!procedure_input(s, "old", &def) || !(name = name_input(s, "new")))
        return NULL;
    return make_definition(s, name, def);
}

/* ----------------------------------------------------------------- text */

/* text "name: [[inputs] [line] [line] ...], the lines as the body's
   statements between line ends; an infix word's left inputs come first
   among the inputs. */
NATIVE(TEXT)
{
    TStructure *s = *state;
    TAtom *def, *left, *params, *body, *p;
    TKitList out = {NULL, NULL}, inputs = {NULL, NULL}, line = {NULL, NULL};
    int pass;
    if (!procedure_input(s, "name", &def))
        return NULL;
    body = body_of(def, &left, &params);
    for (pass = 0; pass < 2; ++pass)
        for (p = pass ? params : left; tavro_is_object(p); p = tavro_right(p))
            if (!is_marker(tavro_left(p)))
                tavro_list_append(s, &inputs, tavro_left(p));
    tavro_list_append(s, &out, inputs.head);
    for (;; body = tavro_right(body)) {
        if (!tavro_is_object(body) || is_word(tavro_left(body), ",")) {
            if (line.head)
                tavro_list_append(s, &out, line.head);
            line.head = line.tail = NULL;
            if (!tavro_is_object(body))
                break;
            continue;
        }
        body = append_converted(s, &line, body, GLUE, 0);
    }
    return out.head;
}

/* ------------------------------------------------------------ po, pots */

/* A word's text as the reader reads it back: quoted with apostrophes when
   it holds a blank or a character that would split it. */
static void append_text(TKitBuffer *b, const char *t, size_t len)
{
    size_t i;
    int plain = len > 0;
    if (len == 1) {
        tavro_buffer_append(b, t, 1);
        return;
    }
    for (i = 0; i < len && plain; ++i)
        plain = !strchr(" \t[](){};:,'\"!", t[i]);
    if (plain) {
        tavro_buffer_append(b, t, len);
        return;
    }
    tavro_buffer_append(b, "'", 1);
    for (i = 0; i < len; ++i) {
        if (t[i] == '\'')
            tavro_buffer_append(b, "'", 1);
        tavro_buffer_append(b, t + i, 1);
    }
    tavro_buffer_append(b, "'", 1);
}

static void append_word(TKitBuffer *b, const TAtom *w)
{
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    size_t len = 0;
    const char *t = tavro_word_text(w, &len, buf);
    append_text(b, t ? t : "", len);
}

/* The elements from `cell` on, blank-separated, markers glued to the word
   after them; with `lines`, a "," ends the line and starts the next with
   the indent. Nested lists and groups are written with their brackets. */
static void append_elements(TKitBuffer *b, const TAtom *cell, int lines, const char *indent)
{
    int glue = 1;
    for (; tavro_is_object(cell); cell = tavro_right(cell)) {
        const TAtom *e = tavro_left(cell);
        if (lines && is_word(e, ",")) {
            tavro_buffer_append(b, "\n", 1);
            tavro_buffer_append_cstr(b, indent);
            glue = 1;
            continue;
        }
        if (!glue)
            tavro_buffer_append(b, " ", 1);
        glue = is_marker(e);
        if (tavro_is_list(e)) {
            int group = e && e->Kind == akGroup;
            tavro_buffer_append(b, group ? "(" : "[", 1);
            append_elements(b, e, 0, indent);
            tavro_buffer_append(b, group ? ")" : "]", 1);
        } else if (tavro_is_word_or_number(e)) {
            append_word(b, e);
        } else {
            tavro_buffer_append_atom(b, e);
        }
    }
}

/* The title line "to name :a :b" (":a name :b" for an infix word). */
static void append_title(TKitBuffer *b, const TAtom *node, TAtom *left, TAtom *params)
{
    tavro_buffer_append_cstr(b, "to ");
    if (left) {
        append_elements(b, left, 0, "");
        tavro_buffer_append(b, " ", 1);
    }
    append_text(b, tavro_text_cstr(node->Text), (size_t)tavro_text_length(node->Text));
    if (params) {
        tavro_buffer_append(b, " ", 1);
        append_elements(b, params, 0, "");
    }
}

/* The procedure as program text: title, the body's lines indented by two
   blanks, "end". Empty lines of the body are left out. */
static void append_procedure(TKitBuffer *b, const TAtom *node, TAtom *def)
{
    TAtom *left, *params, *body = body_of(def, &left, &params);
    TKitBuffer text = {0, 0, 0};
    const char *t, *line;
    append_title(b, node, left, params);
    tavro_buffer_append(b, "\n", 1);
    append_elements(&text, body, 1, "");
    for (t = tavro_buffer_cstr(&text); *t; t = *line ? line + 1 : line) {
        line = strchr(t, '\n');
        if (!line)
            line = t + strlen(t);
        if (line > t) {
            tavro_buffer_append_cstr(b, "  ");
            tavro_buffer_append(b, t, (size_t)(line - t));
            tavro_buffer_append(b, "\n", 1);
        }
    }
    tavro_buffer_free(&text);
    tavro_buffer_append_cstr(b, "end");
}

static void write_lines(TStructure *s, const TKitBuffer *b)
{
    const char *t = tavro_buffer_cstr(b), *line;
    for (;; t = line + 1) {
        line = strchr(t, '\n');
        if (!line) {
            TText out = tavro_text_from_cstr(t);
            tavro_service(s, TAVRO_SVC_OUTPUT_LINE, &out, 0, 0, 0, 0);
            tavro_text_release(out);
            return;
        }
        {
            TText out = tavro_text_new(t, (size_t)(line - t));
            tavro_service(s, TAVRO_SVC_OUTPUT_LINE, &out, 0, 0, 0, 0);
            tavro_text_release(out);
        }
    }
}

/* po "name, po [names]: prints each procedure's definition. */
NATIVE(PO)
{
    TStructure *s = *state;
    TAtom *names, *cell, *node;
    TKitBuffer b = {0, 0, 0};
    if (!tavro_input(s, "names", &names))
        return NULL;
    if (!tavro_is_list(names))
        names = tavro_new_cell(s, names, NULL);
    for (cell = names; tavro_is_object(cell); cell = tavro_right(cell)) {
        char *name = tavro_to_text(tavro_left(cell));
        TAtom *d;
        node = name ? procedure_named(s, name, &d) : NULL;
        free(name);
        if (!node) {
            tavro_buffer_free(&b);
            return NULL;
        }
        if (b.length)
            tavro_buffer_append(&b, "\n", 1);
        append_procedure(&b, node, d);
    }
    if (b.length)
        write_lines(s, &b);
    tavro_buffer_free(&b);
    return TAVRO_NOVALUE;
}

/* Whether a procedure came from a library program: its body was read from
   a program file in the executables' folder. */
static int from_library(const TAtom *def, const char *folder, size_t folder_len)
{
    const TAtom *c;
    for (c = def; tavro_is_object(c); c = tavro_right(c)) {
        const char *source;
        size_t len;
        if (!c->Position || !c->Position->Source)
            continue;
        source = tavro_text_cstr(c->Position->Source);
        len = strlen(source);
        return folder_len > 0 && len > folder_len + 4 && strncmp(source, folder, folder_len) == 0 &&
               strcmp(source + len - 4, ".tvr") == 0;
    }
    return 0;
}

/* pots: the title line of every procedure of the root that the program
   defined (not those of the library programs), oldest first. */
NATIVE(POTS)
{
    TStructure *s = *state;
    TAtom *folder = (TAtom *)tavro_service_plain(s, TAVRO_SVC_EXE_FOLDER), *m;
    const char *f = folder ? tavro_text_cstr(folder->Text) : "";
    size_t flen = strlen(f), count = 0, i;
    TAtom **found = NULL;
    if (!s->Root)
        return TAVRO_NOVALUE;
    for (m = s->Root->FirstChild; m; m = m->NextSibling) {
        TAtom *d = tavro_left(m);
        if (m->Kind != akVariable || !is_definition(d) || from_library(d, f, flen))
            continue;
        {
            TAtom **more = (TAtom **)realloc(found, (count + 1) * sizeof(TAtom *));
            if (!more) {
                free(found);
                return fail_key(s, "OUTOFMEMORY");
            }
            found = more;
        }
        found[count++] = m;
    }
    /* Members are newest first. */
    for (i = count; i-- > 0;) {
        TKitBuffer b = {0, 0, 0};
        TAtom *left, *params;
        body_of(tavro_left(found[i]), &left, &params);
        append_title(&b, found[i], left, params);
        write_lines(s, &b);
        tavro_buffer_free(&b);
    }
    free(found);
    return TAVRO_NOVALUE;
}

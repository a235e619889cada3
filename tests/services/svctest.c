/* svctest.DLL - calls the host service entry with whatever its wrapping
   procedure received and reports what came back, so that program tests can
   check every service code through the command-line runner. Its library
   program is _svctest.tvr (beside this file). */
#include <errno.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tavro_kit.h"

#define EXPORT __attribute__((visibility("default")))

/* ------------------------------------------------------------ inputs */

/* The input `name` as a whole number (0 when absent or not a number). */
static long double number_input(TStructure *s, const char *name)
{
    TAtom *a;
    long double x = 0;
    if (tavro_arg(s, name, &a))
        tavro_to_number(a, &x);
    return x;
}

/* The input `name` as a new text: a word or number gives its printed
   form, anything else (absent, [], a list) the empty text. */
static TText text_input(TStructure *s, const char *name)
{
    TAtom *a;
    char *printed;
    TText t;
    if (!tavro_arg(s, name, &a) || !tavro_is_word_or_number(a))
        return NULL;
    printed = tavro_to_text(a);
    t = tavro_text_from_cstr(printed);
    free(printed);
    return t;
}

/* The printed form of the input `name` as a malloc'ed C string. */
static char *cstr_input(TStructure *s, const char *name)
{
    TAtom *a = NULL;
    tavro_arg(s, name, &a);
    return tavro_to_text(a);
}

static TAtom *word_of_text(TStructure *s, TText t)
{
    return tavro_new_word(s, tavro_text_cstr(t), (size_t)tavro_text_length(t));
}

/* The word "nil", standing for a result of 0 where an atom was expected. */
static TAtom *nil_word(TStructure *s) { return tavro_new_word_cstr(s, "nil"); }

/* ------------------------------------------------------ service calls */

/* Calls service :code with the text :text and the numbers :n1..:n4 (each
   0 when the wrapper has no such input); returns the raw result and
   leaves the text after the call in *after (owned by the caller). */
static intptr_t call_from_inputs(TStructure *s, TText *after)
{
    TText t = text_input(s, "text");
    intptr_t r = tavro_service(s, (int)number_input(s, "code"), &t, number_input(s, "n1"),
                               number_input(s, "n2"), number_input(s, "n3"),
                               number_input(s, "n4"));
    *after = t;
    return r;
}

/* [result text]: the result as a number and the text as the service left
   it, for services whose result is 0 or a count. */
EXPORT TAtom *SERVICE(TStructure **state)
{
    TStructure *s = *state;
    TText after;
    intptr_t r = call_from_inputs(s, &after);
    TKitList out = {NULL, NULL};
    tavro_list_append(s, &out, tavro_new_number(s, (long double)r));
    tavro_list_append(s, &out, word_of_text(s, after));
    tavro_text_release(after);
    return out.head;
}

/* The result taken as an atom (a list, a word, a number atom), or the word
   nil when the service answered 0. */
EXPORT TAtom *SERVICEATOM(TStructure **state)
{
    TStructure *s = *state;
    TText after;
    intptr_t r = call_from_inputs(s, &after);
    tavro_text_release(after);
    return r ? (TAtom *)r : nil_word(s);
}

/* Service :code with the input :value itself carried in N1 (lists for the
   model matrix and the plane menu). Outputs the result as a number. */
EXPORT TAtom *SERVICEWITH(TStructure **state)
{
    TStructure *s = *state;
    TAtom *value = NULL;
    intptr_t r;
    tavro_arg(s, "value", &value);
    r = tavro_service_atom(s, (int)number_input(s, "code"), value);
    return tavro_new_number(s, (long double)r);
}

/* Service :code with the node named :name (as the caller sees it) in N1;
   nil when there is no such name, else the result as a number. */
EXPORT TAtom *SERVICENODE(TStructure **state)
{
    TStructure *s = *state;
    char *name = cstr_input(s, "name");
    TAtom *node = tavro_find_name(s, name);
    free(name);
    if (!node)
        return nil_word(s);
    return tavro_new_number(s, (long double)tavro_service_atom(s, (int)number_input(s, "code"),
                                                               node));
}

/* Looks :name up through the host: [name value] of the node found, or nil.
   The lookup starts below this word's own record, so its input "name" is
   not what it finds. */
EXPORT TAtom *FINDNAME(TStructure **state)
{
    TStructure *s = *state;
    char *name = cstr_input(s, "name");
    TAtom *node = tavro_find_name(s, name);
    TKitList out = {NULL, NULL};
    free(name);
    if (!node)
        return nil_word(s);
    tavro_list_append(s, &out, word_of_text(s, node->Text));
    tavro_list_append(s, &out, (TAtom *)node->Left);
    return out.head;
}

/* Raises the error :key ([] for the empty key, which stops the run) with
   the printed forms of the elements of the list :args as arguments, then
   outputs a word that must never be seen. */
EXPORT TAtom *RAISE(TStructure **state)
{
    TStructure *s = *state;
    TAtom *args = NULL, *cell;
    TKitBuffer b = {0, 0, 0};
    TText key = text_input(s, "key");
    char sep = TAVRO_ARG_SEPARATOR;
    tavro_buffer_append(&b, tavro_text_cstr(key), (size_t)tavro_text_length(key));
    tavro_text_release(key);
    tavro_arg(s, "args", &args);
    for (cell = tavro_is_list(args) ? args : NULL; cell; cell = tavro_right(cell)) {
        char *arg = tavro_to_text(tavro_left(cell));
        tavro_buffer_append(&b, &sep, 1);
        tavro_buffer_append_cstr(&b, arg);
        free(arg);
    }
    tavro_service_text(s, TAVRO_SVC_RAISE_ERROR, tavro_buffer_cstr(&b), 0);
    tavro_buffer_free(&b);
    return tavro_new_word_cstr(s, "after.the.error");
}

/* ------------------------------------------------------------- files */

/* A path for a scratch file: the folder named by SVCTEST_TMP (the test
   sets it to a folder of the build tree), else /tmp, then :name. The file
   is removed, so every test starts without it. */
EXPORT TAtom *SCRATCHFILE(TStructure **state)
{
    TStructure *s = *state;
    const char *folder = getenv("SVCTEST_TMP");
    char *name = cstr_input(s, "name");
    TKitBuffer b = {0, 0, 0};
    TAtom *word;
    if (!folder || !*folder)
        folder = "/tmp";
    mkdir(folder, 0777);
    tavro_buffer_append_cstr(&b, folder);
    tavro_buffer_append_cstr(&b, "/");
    tavro_buffer_append_cstr(&b, name);
    free(name);
    if (unlink(tavro_buffer_cstr(&b)) != 0 && errno != ENOENT)
        tavro_raise(s, "NOTLIKE", tavro_word_name(s), tavro_buffer_cstr(&b));
    word = tavro_new_word_cstr(s, tavro_buffer_cstr(&b));
    tavro_buffer_free(&b);
    return word;
}

/* The lines of the file :file as a list of words (a line end after the
   last line is not a further line), or the word missing. */
EXPORT TAtom *FILELINES(TStructure **state)
{
    TStructure *s = *state;
    char *path = cstr_input(s, "file");
    FILE *f = fopen(path, "rb");
    TKitList out = {NULL, NULL};
    TKitBuffer line = {0, 0, 0};
    int c, open = 0;
    free(path);
    if (!f)
        return tavro_new_word_cstr(s, "missing");
    while ((c = fgetc(f)) != EOF) {
        if (c == '\n') {
            tavro_list_append(s, &out, tavro_new_word(s, tavro_buffer_cstr(&line), line.length));
            line.length = 0;
            open = 0;
        } else {
            char ch = (char)c;
            tavro_buffer_append(&line, &ch, 1);
            open = 1;
        }
    }
    if (open)
        tavro_list_append(s, &out, tavro_new_word(s, tavro_buffer_cstr(&line), line.length));
    tavro_buffer_free(&line);
    fclose(f);
    return out.head;
}

/*
 * The log and the environment in core.DLL: openlog, closelog,
 * setlogmask, logline, version, the executable folder, help,
 * resolvepath, translate and parse.
 */
#include "core.h"

/* ----------------------------------------------------------------- log */

NATIVE(OPENLOG)
{
    TStructure *s = *state;
    long long mask;
    char *file;
    if (!whole_input(s, "mask", &mask) || !(file = tavro_text_input(s, "file")))
        return NULL;
    tavro_service_text(s, TAVRO_SVC_OPEN_LOG, file, (long double)mask);
    free(file);
    return TAVRO_NOVALUE;
}

NATIVE(CLOSELOG)
{
    tavro_service_plain(*state, TAVRO_SVC_CLOSE_LOG);
    return TAVRO_NOVALUE;
}

NATIVE(SETLOGMASK)
{
    TStructure *s = *state;
    long long mask;
    if (!whole_input(s, "mask", &mask))
        return NULL;
    return (TAtom *)tavro_service(s, TAVRO_SVC_SET_LOG_MASK, NULL, (long double)mask, 0, 0, 0);
}

NATIVE(LOGLINE)
{
    TStructure *s = *state;
    long long category;
    char *text;
    if (!whole_input(s, "category", &category) || !(text = tavro_text_input(s, "text")))
        return NULL;
    tavro_service_text(s, TAVRO_SVC_LOG_LINE, text, (long double)category);
    free(text);
    return TAVRO_NOVALUE;
}

/* --------------------------------------------------------- environment */

#ifndef CORE_VERSION
#define CORE_VERSION "0"
#endif

NATIVE(VERSION) { return tavro_new_word_cstr(*state, "Tavro " CORE_VERSION); }

NATIVE(EXECUTABLEFOLDER)
{
    return (TAtom *)tavro_service_plain(*state, TAVRO_SVC_EXE_FOLDER);
}

/* Services that turn one text into another: resolvepath, translate. */
static TAtom *text_service(TStructure *s, const char *name, int code)
{
    char *in = tavro_text_input(s, name);
    TText out = NULL;
    TAtom *w;
    if (!in)
        return NULL;
    tavro_service_text_inout(s, code, in, &out);
    free(in);
    w = tavro_new_word(s, tavro_text_cstr(out), (size_t)tavro_text_length(out));
    tavro_text_release(out);
    return w;
}

/* help: the environment shows the topic of a word, or its start page
   when the word is left out. */
NATIVE(HELP)
{
    TStructure *s = *state;
    TAtom *v;
    char *topic = tavro_arg(s, "topic", &v) ? tavro_to_text(v) : NULL;
    tavro_service_text(s, TAVRO_SVC_SHOW_HELP, topic ? topic : "", 0);
    free(topic);
    return TAVRO_NOVALUE;
}

NATIVE(RESOLVEPATH) { return text_service(*state, "file", TAVRO_SVC_RESOLVE_PATH); }
NATIVE(TRANSLATE) { return text_service(*state, "key", TAVRO_SVC_INTERFACE_TEXT); }

/* runtext: the host translates the text and the list runs for the caller,
   as the control words run their lists, so that the wrapper's own input
   hides no name the text uses. A list input stands for its elements'
   printed forms joined by blanks. */
NATIVE(RUNTEXT)
{
    TStructure *s = *state;
    TAtom *v, *c, *list, *value;
    TKitBuffer text = {0, 0, 0};
    if (!tavro_input(s, "text", &v))
        return NULL;
    if (tavro_is_list(v)) {
        for (c = v; c; c = tavro_right(c)) {
            if (c != v)
                tavro_buffer_append(&text, " ", 1);
            tavro_buffer_append_atom(&text, tavro_left(c));
        }
    } else {
        tavro_buffer_append_atom(&text, v);
    }
    list = (TAtom *)tavro_service_text(s, TAVRO_SVC_TRANSLATE_TEXT, tavro_buffer_cstr(&text), 0);
    tavro_buffer_free(&text);
    if (!tavro_is_list(list))
        return list;
    /* The collector may run inside the list: it is held meanwhile. */
    hold(list);
    tavro_run_for_caller(s, list, 0, NULL, &value);
    let_go(list);
    return value;
}

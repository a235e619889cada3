/*
 * gui.DLL - widgets on the plane window: buttons, list boxes, edit boxes,
 * memos, check boxes and labels.
 *
 * Written against sdk/ only. The host creates a control through services
 * 18 to 23 (and 26) and hands back a widget atom that owns it; the wrapper
 * stores that atom as the member `control` of the named object, and a
 * click runs NAME.onclick. Without a plane window (the command-line
 * runner) the host creates nothing and every word raises NOGUI.
 *
 * Properties of a control are set and read through the services
 * TAVRO_SVC_WIDGET_SET and TAVRO_SVC_WIDGET_GET (see tavro.h).
 */
#include "tavro_kit.h"

#define EXPORT __attribute__((visibility("default")))
#define NATIVE(fn) EXPORT TAtom *fn(TStructure **state)

static TAtom *no_gui(TStructure *s)
{
    tavro_raise(s, "NOGUI", tavro_word_name(s));
    return NULL;
}

/* A new control of the service's kind; NOGUI when the host has no window
   to put it on. */
static TAtom *create(TStructure **state, int code)
{
    TAtom *widget = (TAtom *)tavro_service_plain(*state, code);
    return widget ? widget : no_gui(*state);
}

NATIVE(BUTTON) { return create(state, TAVRO_SVC_BUTTON); }
NATIVE(LISTBOX) { return create(state, TAVRO_SVC_LISTBOX); }
NATIVE(EDITBOX) { return create(state, TAVRO_SVC_EDIT); }
NATIVE(MEMO) { return create(state, TAVRO_SVC_MEMO); }
NATIVE(CHECKBOX) { return create(state, TAVRO_SVC_CHECKBOX); }
NATIVE(LABEL) { return create(state, TAVRO_SVC_LABEL); }

/* The `control` member of the object named by the input `name`, holding a
   widget atom; NULL after raising NOGUI. */
static TAtom *control_node(TStructure *s)
{
    TAtom *v, *node;
    TKitBuffer path = {0, 0, 0};
    if (!tavro_arg(s, "name", &v) || !tavro_is_word_or_number(v) || v->Kind != akWord) {
        tavro_fail_input(s, v);
        return NULL;
    }
    tavro_buffer_append_cstr(&path, tavro_text_cstr(v->Text));
    tavro_buffer_append_cstr(&path, ".control");
    node = tavro_find_name(s, tavro_buffer_cstr(&path));
    tavro_buffer_free(&path);
    if (!node || !tavro_is_object((TAtom *)node->Left) || ((TAtom *)node->Left)->Kind != akWidget) {
        no_gui(s);
        return NULL;
    }
    return node;
}

/* Sets PROPERTY to the bytes of `value` (n2: a node for TAG). */
static void set_property(TStructure *s, TAtom *widget, const char *property, const char *value,
                         const TAtom *n2)
{
    TKitBuffer b = {0, 0, 0};
    char sep = TAVRO_ARG_SEPARATOR;
    TText t;
    tavro_buffer_append_cstr(&b, property);
    tavro_buffer_append(&b, &sep, 1);
    tavro_buffer_append_cstr(&b, value);
    t = tavro_text_new(b.data, b.length);
    tavro_service(s, TAVRO_SVC_WIDGET_SET, &t, (long double)(uintptr_t)widget, (long double)(uintptr_t)n2,
                  0, 0);
    tavro_text_release(t);
    tavro_buffer_free(&b);
}

static int bounds_text(TStructure *s, char *out, size_t size)
{
    static const char *names[4] = {"x", "y", "w", "h"};
    long double n[4];
    int i;
    for (i = 0; i < 4; ++i) {
        TAtom *v;
        if (!tavro_arg(s, names[i], &v) || !tavro_to_number(v, &n[i])) {
            tavro_fail_input(s, v);
            return 0;
        }
    }
    snprintf(out, size, "%.0Lf %.0Lf %.0Lf %.0Lf", n[0], n[1], n[2], n[3]);
    return 1;
}

/* After a creation word stored the widget: tag, caption and bounds. */
NATIVE(PLACE)
{
    TStructure *s = *state;
    TAtom *node = control_node(s);
    char bounds[128];
    char *caption;
    if (!node || !bounds_text(s, bounds, sizeof bounds) || !(caption = tavro_text_input(s, "caption")))
        return NULL;
    set_property(s, (TAtom *)node->Left, "TAG", "", node);
    set_property(s, (TAtom *)node->Left, "CAPTION", caption, NULL);
    set_property(s, (TAtom *)node->Left, "BOUNDS", bounds, NULL);
    free(caption);
    return TAVRO_NOVALUE;
}

static TAtom *set_text_property(TStructure **state, const char *property)
{
    TStructure *s = *state;
    TAtom *node = control_node(s);
    char *text;
    if (!node || !(text = tavro_text_input(s, "text")))
        return NULL;
    set_property(s, (TAtom *)node->Left, property, text, NULL);
    free(text);
    return TAVRO_NOVALUE;
}

NATIVE(SETCAPTION) { return set_text_property(state, "CAPTION"); }
NATIVE(SETTEXT) { return set_text_property(state, "TEXT"); }

NATIVE(SETBOUNDS)
{
    TStructure *s = *state;
    TAtom *node = control_node(s);
    char bounds[128];
    if (!node || !bounds_text(s, bounds, sizeof bounds))
        return NULL;
    set_property(s, (TAtom *)node->Left, "BOUNDS", bounds, NULL);
    return TAVRO_NOVALUE;
}

NATIVE(SETITEMS)
{
    TStructure *s = *state;
    TAtom *node = control_node(s), *items, *c;
    TKitBuffer b = {0, 0, 0};
    char sep = TAVRO_ARG_SEPARATOR;
    if (!node)
        return NULL;
    if (!tavro_arg(s, "items", &items) || !tavro_is_list(items))
        return tavro_fail_input(s, items);
    for (c = items; c; c = tavro_right(c)) {
        if (c != items)
            tavro_buffer_append(&b, &sep, 1);
        tavro_buffer_append_atom(&b, tavro_left(c));
    }
    set_property(s, (TAtom *)node->Left, "ITEMS", tavro_buffer_cstr(&b), NULL);
    tavro_buffer_free(&b);
    return TAVRO_NOVALUE;
}

/* A property's value as text (the empty text when unanswered). */
static TText get_property(TStructure *s, TAtom *widget, const char *property)
{
    TText t = tavro_text_from_cstr(property);
    if (!tavro_service(s, TAVRO_SVC_WIDGET_GET, &t, (long double)(uintptr_t)widget, 0, 0, 0)) {
        tavro_text_release(t);
        return NULL;
    }
    return t;
}

/* A property's value as a word; an unanswered question gives `none`. */
static TAtom *property_word(TStructure **state, const char *property, TAtom *none)
{
    TStructure *s = *state;
    TAtom *node = control_node(s), *w;
    TText t;
    if (!node)
        return NULL;
    t = get_property(s, (TAtom *)node->Left, property);
    w = t ? tavro_new_word(s, t, (size_t)tavro_text_length(t)) : none;
    tavro_text_release(t);
    return w;
}

NATIVE(GETTEXT) { return property_word(state, "TEXT", tavro_new_word(*state, "", 0)); }

/* The selected item, or the empty list when nothing is selected. */
NATIVE(GETSELECTION) { return property_word(state, "SELECTION", NULL); }

NATIVE(ISCHECKED)
{
    TStructure *s = *state;
    TAtom *node = control_node(s);
    TText t;
    int checked;
    if (!node)
        return NULL;
    t = get_property(s, (TAtom *)node->Left, "CHECKED");
    checked = t && tavro_bytes_equal(t, (size_t)tavro_text_length(t), "TRUE", 4, 1);
    tavro_text_release(t);
    return tavro_new_truth(s, checked);
}

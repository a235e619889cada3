/* The camera, the background, pictures and the other scene words: host
   services, usable anywhere. */
#include "colours.h"
#include "graphics.h"

/* --------------------------------------------------- camera and scene */

static TAtom *vector_service(TStructure *s, int code)
{
    double d[3];
    if (!numbers(s, "x y z", d))
        return NULL;
    tavro_service(s, code, NULL, d[0], d[1], d[2], 0);
    return TAVRO_NOVALUE;
}

NATIVE(EYE) { return vector_service(*state, TAVRO_SVC_EYE); }
NATIVE(LOOKAT) { return vector_service(*state, TAVRO_SVC_LOOKAT); }
NATIVE(UPVECTOR) { return vector_service(*state, TAVRO_SVC_UPVECTOR); }

/* The camera and the background as the scene has them now (the plane
   window's gestures move the camera too); [] without a scene. */
static TAtom *scene_value(TStructure *s, int which)
{
    return (TAtom *)tavro_service(s, TAVRO_SVC_SCENE_GET, NULL, which, 0, 0, 0);
}

NATIVE(GETEYE) { return scene_value(*state, 1); }
NATIVE(GETLOOKAT) { return scene_value(*state, 2); }
NATIVE(GETUPVECTOR) { return scene_value(*state, 3); }
NATIVE(GETBACKGROUND) { return scene_value(*state, 4); }

/* The colour of the inputs r, g and b in any of its forms, as the list
   [r g b] of components 0 to 1 (setpencolor keeps it so). */
NATIVE(COLOUR)
{
    TStructure *s = *state;
    long double c[3];
    double rgb[3];
    if (!colour_inputs(s, rgb))
        return NULL;
    c[0] = rgb[0];
    c[1] = rgb[1];
    c[2] = rgb[2];
    return new_vector(s, c);
}

/* A colour in any form, then the opacity (1 when not given): r g b a, or
   a colour value and the opacity as the second input. */
NATIVE(BACKGROUND)
{
    TStructure *s = *state;
    double c[4];
    TAtom *r;
    long double n;
    c[3] = 1;
    if (!tavro_input(s, "r", &r))
        return NULL;
    if (!tavro_to_number(r, &n) && !tavro_arg(s, "b", NULL)) {
        if (!colour_value(s, r, c) || (tavro_arg(s, "g", NULL) && !number(s, "g", &c[3])))
            return NULL;
    } else {
        if (!colour_inputs(s, c) || (tavro_arg(s, "a", NULL) && !number(s, "a", &c[3])))
            return NULL;
    }
    tavro_service(s, TAVRO_SVC_BACKGROUND, NULL, c[0], c[1], c[2], c[3]);
    return TAVRO_NOVALUE;
}

NATIVE(MODELMATRIX)
{
    TStructure *s = *state;
    TAtom *rows, *r;
    int n = 0;
    if (!tavro_input(s, "rows", &rows))
        return NULL;
    /* The host reads exactly four rows of four: check the shape first. */
    for (r = rows; tavro_is_list(r) && r; r = tavro_right(r)) {
        TAtom *row = tavro_left(r), *c;
        int k = 0;
        if (!row || !tavro_is_list(row))
            return tavro_fail_input(s, rows);
        for (c = row; c; c = tavro_right(c))
            ++k;
        if (k != 4)
            return tavro_fail_input(s, rows);
        ++n;
    }
    if (n != 4 || !tavro_is_list(rows))
        return tavro_fail_input(s, rows);
    tavro_service_atom(s, TAVRO_SVC_MODELMATRIX, rows);
    return TAVRO_NOVALUE;
}

NATIVE(REDRAW)
{
    tavro_service_plain(*state, TAVRO_SVC_REDRAW);
    return TAVRO_NOVALUE;
}

/* Service 10 for the node the input "name" names; with `later` 1 the
   drawing is recorded when the plane next shows a frame, or the run ends,
   instead of now. */
static TAtom *rebuild(TStructure *s, int later)
{
    TAtom *node = node_input(s, "name");
    if (node)
        tavro_service(s, TAVRO_SVC_REBUILD, NULL, (long double)(uintptr_t)node, later, 0, 0);
    return TAVRO_NOVALUE;
}

NATIVE(REBUILD) { return rebuild(*state, 0); }

/* For a drawing that changes at every step of a program: it is recorded
   once per frame instead of once per step. */
NATIVE(REBUILDLATER) { return rebuild(*state, 1); }

NATIVE(FREEZESCENE)
{
    tavro_service_plain(*state, TAVRO_SVC_DEFER_DRAWING);
    return TAVRO_NOVALUE;
}

NATIVE(UNFREEZESCENE)
{
    tavro_service_plain(*state, TAVRO_SVC_RESUME_DRAWING);
    return TAVRO_NOVALUE;
}

NATIVE(PICKOBJECTS)
{
    TStructure *s = *state;
    double d[4];
    if (!numbers(s, "x y mode radius", d))
        return NULL;
    return (TAtom *)tavro_service(s, TAVRO_SVC_PICK, NULL, d[0], d[1], d[2], d[3]);
}

NATIVE(SAVEPICTURE)
{
    TStructure *s = *state;
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    const char *file = name_input(s, "file", buf);
    double size[2] = {0, 0};
    TText t;
    if (!file)
        return NULL;
    /* (savepicture "file width height): a size of its own. */
    if ((tavro_arg(s, "width", NULL) || tavro_arg(s, "height", NULL)) &&
        !numbers(s, "width height", size))
        return NULL;
    t = tavro_text_from_cstr(file);
    tavro_service(s, TAVRO_SVC_SAVE_PICTURE, &t, size[0], size[1], 0, 0);
    tavro_text_release(t);
    return TAVRO_NOVALUE;
}

NATIVE(SHOWPLANE)
{
    tavro_service_plain(*state, TAVRO_SVC_SHOW_PLANE);
    return TAVRO_NOVALUE;
}

NATIVE(PLANEMENU)
{
    TStructure *s = *state;
    TAtom *l;
    if (!tavro_input(s, "items", &l))
        return NULL;
    if (!tavro_is_list(l))
        return tavro_fail_input(s, l);
    tavro_service_atom(s, TAVRO_SVC_PLANE_MENU, l);
    return TAVRO_NOVALUE;
}


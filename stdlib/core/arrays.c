/*
 * arrays.c - UCBLogo's arrays: array, mdarray, listtoarray, arraytolist,
 * setitem, mditem, mdsetitem, arrayp.
 *
 * An array is a list whose first cell is marked (ARRAY_FLAG, with the
 * array's origin in the cell's Number): it prints as a list, [1 2 3], so
 * that what is printed reads back (`{...}` starts a comment in this
 * dialect and is how objects print), and every list word reads it. Only
 * setitem and mdsetitem change it, in place, so that every holder of the
 * array sees the change; they refuse plain lists, whose cells may be
 * shared with program text.
 */
#include "core.h"

int is_array(const TAtom *a)
{
    return tavro_is_object(a) && a->Kind == akList && (a->Flags & ARRAY_FLAG);
}

long long array_origin(const TAtom *a) { return is_array(a) ? (long long)a->Number : 1; }

/* The optional origin, the extra input "#1"; 1 without it. */
static int origin_input(TStructure *s, long long *origin)
{
    *origin = 1;
    return !tavro_arg(s, "#1", NULL) || whole_input(s, "#1", origin);
}

static TAtom *mark(TAtom *list, long long origin)
{
    if (tavro_is_object(list)) {
        list->Flags |= ARRAY_FLAG;
        list->Number = (long double)origin;
    }
    return list;
}

/* Longest array: beyond it a slip of the finger would eat all memory. */
#define ARRAY_LIMIT 10000000LL

/* A new array of `size` empty lists. */
static TAtom *new_array(TStructure *s, long long size, long long origin)
{
    TKitList out = {NULL, NULL};
    long long i;
    for (i = 0; i < size; ++i)
        if (!tavro_list_append(s, &out, NULL))
            return NULL;
    return mark(out.head, origin);
}

/* array size, (array size origin) */
NATIVE(ARRAY)
{
    TStructure *s = *state;
    long long size, origin;
    TAtom *v;
    if (!whole_input(s, "size", &size) || !origin_input(s, &origin))
        return NULL;
    if (size < 0 || size > ARRAY_LIMIT) {
        tavro_arg(s, "size", &v);
        return tavro_fail_input(s, v);
    }
    return new_array(s, size, origin);
}

/* One level of mdarray: `sizes` holds whole numbers, checked before. */
static TAtom *md_level(TStructure *s, TAtom *sizes, long long origin)
{
    long double x;
    long long i;
    TKitList out = {NULL, NULL};
    tavro_to_number(tavro_left(sizes), &x);
    if (!tavro_right(sizes))
        return new_array(s, (long long)x, origin);
    for (i = 0; i < (long long)x; ++i)
        if (!tavro_list_append(s, &out, md_level(s, tavro_right(sizes), origin)))
            return NULL;
    return mark(out.head, origin);
}

/* mdarray [sizes], (mdarray [sizes] origin) */
NATIVE(MDARRAY)
{
    TStructure *s = *state;
    TAtom *sizes, *c;
    long long origin;
    long double x, total = 1;
    if (!tavro_input(s, "sizes", &sizes) || !origin_input(s, &origin))
        return NULL;
    if (!tavro_is_list(sizes) || !sizes)
        return tavro_fail_input(s, sizes);
    for (c = sizes; tavro_is_object(c); c = tavro_right(c)) {
        if (!tavro_to_number(tavro_left(c), &x) || x < 0 || x != (long double)(long long)x ||
            (total *= x) > ARRAY_LIMIT)
            return tavro_fail_input(s, sizes);
    }
    return md_level(s, sizes, origin);
}

/* listtoarray list, (listtoarray list origin): a new array of the
   elements. */
NATIVE(LISTTOARRAY)
{
    TStructure *s = *state;
    TAtom *l;
    TKitList out = {NULL, NULL};
    long long origin;
    if (!tavro_input(s, "list", &l) || !origin_input(s, &origin))
        return NULL;
    if (!tavro_is_list(l))
        return tavro_fail_input(s, l);
    for (; tavro_is_object(l); l = tavro_right(l))
        if (!tavro_list_append(s, &out, tavro_left(l)))
            return NULL;
    return mark(out.head, origin);
}

/* arraytolist array: a new list of the elements (a plain list). */
NATIVE(ARRAYTOLIST)
{
    TStructure *s = *state;
    TAtom *a;
    TKitList out = {NULL, NULL};
    if (!tavro_input(s, "array", &a))
        return NULL;
    if (!is_array(a))
        return tavro_fail_input(s, a);
    for (; tavro_is_object(a); a = tavro_right(a))
        if (!tavro_list_append(s, &out, tavro_left(a)))
            return NULL;
    return out.head;
}

NATIVE(ARRAYP)
{
    TStructure *s = *state;
    TAtom *x;
    if (!tavro_input(s, "x", &x))
        return NULL;
    return tavro_new_truth(s, is_array(x));
}

/* The cell of element `index` of an array; NULL after raising NOTLIKE
   (not an array: the array; out of range: the index). */
static TAtom *element_cell(TStructure *s, TAtom *array, TAtom *index)
{
    long double x;
    long long k;
    if (!is_array(array))
        return tavro_fail_input(s, array);
    if (!tavro_to_number(index, &x) || x != (long double)(long long)x)
        return tavro_fail_input(s, index);
    k = (long long)x - array_origin(array);
    for (; tavro_is_object(array) && k > 0; --k)
        array = tavro_right(array);
    if (k < 0 || !tavro_is_object(array))
        return tavro_fail_input(s, index);
    return array;
}

/* Whether `array` is `value` or an element of it at any depth: such a
   setitem would make the array contain itself, which no printed form
   ends. The lists are walked with a stack of their own. */
static int contains(TStructure *s, const TAtom *value, const TAtom *array, int *failed)
{
    const TAtom **pending = NULL;
    size_t count = 0, capacity = 0;
    int found = 0;
    *failed = 0;
    for (;;) {
        if (value == array) {
            found = 1;
            break;
        }
        if (tavro_is_object(value) && (value->Kind == akList || value->Kind == akGroup)) {
            if (count + 2 > capacity) {
                size_t grown = capacity ? capacity * 2 : 32;
                const TAtom **more = (const TAtom **)realloc((void *)pending, grown * sizeof(*pending));
                if (!more) {
                    *failed = 1;
                    break;
                }
                pending = more;
                capacity = grown;
            }
            pending[count++] = tavro_left(value);
            if (tavro_right(value))
                pending[count++] = tavro_right(value);
        }
        if (count == 0)
            break;
        value = pending[--count];
    }
    free((void *)pending);
    if (*failed)
        fail_key(s, "OUTOFMEMORY");
    return found;
}

/* setitem index array value */
NATIVE(SETITEM)
{
    TStructure *s = *state;
    TAtom *index, *array, *value, *cell;
    int failed;
    if (!tavro_input(s, "index", &index) || !tavro_input(s, "array", &array) ||
        !tavro_input(s, "value", &value))
        return NULL;
    if (!(cell = element_cell(s, array, index)))
        return NULL;
    if (contains(s, value, array, &failed))
        return failed ? NULL : tavro_fail_input(s, value);
    cell->Left = value;
    return TAVRO_NOVALUE;
}

/* The cell that a list of indexes names in nested arrays. */
static TAtom *md_cell(TStructure *s, TAtom *indexes, TAtom *array)
{
    TAtom *cell = NULL;
    if (!tavro_is_list(indexes) || !indexes)
        return tavro_fail_input(s, indexes);
    for (; tavro_is_object(indexes); indexes = tavro_right(indexes)) {
        if (!(cell = element_cell(s, array, tavro_left(indexes))))
            return NULL;
        array = tavro_left(cell);
    }
    return cell;
}

/* mditem [indexes] array */
NATIVE(MDITEM)
{
    TStructure *s = *state;
    TAtom *indexes, *array, *cell;
    if (!tavro_input(s, "indexes", &indexes) || !tavro_input(s, "array", &array))
        return NULL;
    cell = md_cell(s, indexes, array);
    return cell ? tavro_left(cell) : NULL;
}

/* mdsetitem [indexes] array value */
NATIVE(MDSETITEM)
{
    TStructure *s = *state;
    TAtom *indexes, *array, *value, *cell;
    int failed;
    if (!tavro_input(s, "indexes", &indexes) || !tavro_input(s, "array", &array) ||
        !tavro_input(s, "value", &value))
        return NULL;
    if (!(cell = md_cell(s, indexes, array)))
        return NULL;
    /* Every array on the way holds the changed one. */
    for (; tavro_is_object(indexes); indexes = tavro_right(indexes)) {
        if (contains(s, value, array, &failed))
            return failed ? NULL : tavro_fail_input(s, value);
        array = tavro_left(element_cell(s, array, tavro_left(indexes)));
    }
    cell->Left = value;
    return TAVRO_NOVALUE;
}

/* The native-library kit compiled as C, exercised on atoms and an
   activation record built by hand (no host involved). */
#include <stdio.h>

#include "tavro_kit.h"

static int failures = 0;

#define CHECK(cond)                                                        \
    do {                                                                   \
        if (!(cond)) {                                                     \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                    \
        }                                                                  \
    } while (0)

static int formats_as(long double x, const char *expected)
{
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    size_t n = tavro_format_number(x, buf);
    if (strcmp(buf, expected) != 0 || n != strlen(expected)) {
        fprintf(stderr, "  %Lg printed as %s, expected %s\n", x, buf, expected);
        return 0;
    }
    return 1;
}

static int prints_as(const TAtom *a, const char *expected)
{
    char *t = tavro_to_text(a);
    int ok = t && strcmp(t, expected) == 0;
    if (!ok)
        fprintf(stderr, "  printed as %s, expected %s\n", t ? t : "(null)", expected);
    free(t);
    return ok;
}

static void number_format(void)
{
    CHECK(formats_as(0, "0"));
    CHECK(formats_as(-2.5L, "-2.5"));
    CHECK(formats_as(1.0L / 3, "0.333333333333333"));
    CHECK(formats_as(2.0L / 3, "0.666666666666667"));
    CHECK(formats_as(1e15L, "1E15"));
    CHECK(formats_as(999999999999999.0L, "999999999999999"));
    CHECK(formats_as(0.0001L, "0.0001"));
    CHECK(formats_as(0.00001L, "1E-5"));
    CHECK(formats_as(1e20L, "1E20"));
    /* exact ties at the 15th digit go away from zero */
    CHECK(formats_as(100000000000000.5L, "100000000000001"));
    CHECK(formats_as(-100000000000000.5L, "-100000000000001"));
    /* rounding that carries into a new leading digit */
    CHECK(formats_as(9999999999999999.0L, "1E16"));
    CHECK(formats_as(0.99999999999999999L, "1"));
    CHECK(formats_as((long double)INFINITY, "INF"));
    CHECK(formats_as(-(long double)INFINITY, "-INF"));
    CHECK(formats_as((long double)NAN, "NAN"));
    /* whole numbers print as their digits, at every length up to 15 and
       on both sides of zero; a fraction next to one keeps its digits */
    {
        long double x = 1;
        char expected[40];
        int digits, sign;
        for (digits = 1; digits <= 15; ++digits, x = x * 10 + digits % 10) {
            for (sign = -1; sign <= 1; sign += 2) {
                snprintf(expected, sizeof expected, "%lld", (long long)(sign * x));
                CHECK(formats_as(sign * x, expected));
            }
        }
    }
    CHECK(formats_as(-999999999999999.0L, "-999999999999999"));
    CHECK(formats_as(-1e15L, "-1E15"));
    CHECK(formats_as(4503599627370497.0L, "4.5035996273705E15"));
    CHECK(formats_as(12.5L, "12.5"));
    CHECK(formats_as(-0.0L, "0"));
}

static int parses(const char *text, long double expected)
{
    long double v = -1;
    return tavro_parse_number(text, strlen(text), &v) && v == expected;
}

static int rejects(const char *text)
{
    long double v = -1;
    return !tavro_parse_number(text, strlen(text), &v) && v == 0;
}

static void number_parse(void)
{
    CHECK(parses("1e3", 1000));
    CHECK(parses("1E+3", 1000));
    CHECK(parses("+5", 5));
    CHECK(parses("-2.5", -2.5L));
    CHECK(parses("7.", 7));
    CHECK(parses("INF", (long double)INFINITY));
    CHECK(rejects(""));
    CHECK(rejects("+"));
    CHECK(rejects("-"));
    CHECK(rejects(".5"));
    CHECK(rejects("1e"));
    CHECK(rejects("1x"));
    CHECK(rejects("-INF"));
    CHECK(rejects("inf"));
    CHECK(rejects("abc"));
}

/* A state with a pool and one activation record holding the inputs
   a = 5 and l = [] under a procedure node "sum". */
typedef struct Fixture {
    TStructure state;
    TContext context;
    TAtom *procedure, *record, *a, *l;
} Fixture;

static TAtom *variable(TStructure *s, const char *name, TAtom *value, TAtom *parent)
{
    TAtom *v = tavro_pool_allocate(s);
    v->Kind = akVariable;
    v->Text = tavro_text_from_cstr(name);
    v->Left = value;
    if (parent) {
        v->Parent = parent;
        v->NextSibling = parent->FirstChild;
        parent->FirstChild = v;
    }
    return v;
}

static void fixture_set_up(Fixture *f)
{
    TStructure *s = &f->state;
    memset(f, 0, sizeof *f);
    s->CaseSensitive = 1;
    f->procedure = variable(s, "sum", NULL, NULL);
    f->record = variable(s, "[]", NULL, f->procedure);
    f->a = variable(s, "a", tavro_new_number(s, 5), f->record);
    f->l = variable(s, "l", NULL, f->record);
    f->context.Node = f->record;
    s->Contexts = &f->context;
}

static void fixture_tear_down(Fixture *f)
{
    TStructure *s = &f->state;
    while (s->AllAtoms)
        tavro_pool_release_successor(s, NULL);
    while (s->FreeAtoms) {
        TAtom *a = s->FreeAtoms;
        s->FreeAtoms = a->Next;
        free(a);
    }
}

static void arguments(void)
{
    Fixture f;
    TAtom *v = TAVRO_NOVALUE;
    fixture_set_up(&f);
    CHECK(strcmp(tavro_word_name(&f.state), "sum") == 0);
    CHECK(tavro_arg(&f.state, "a", &v) && v && v->Kind == akNumber && v->Number == 5);
    /* present but the empty list, versus absent */
    CHECK(tavro_arg(&f.state, "l", &v) && v == NULL);
    v = TAVRO_NOVALUE;
    CHECK(!tavro_arg(&f.state, "b", &v) && v == NULL);
    /* a name is found whole: neither a longer nor a shorter one matches */
    CHECK(!tavro_arg(&f.state, "ab", NULL) && !tavro_arg(&f.state, "", NULL));
    /* names compare by case only when the state says so */
    CHECK(!tavro_arg(&f.state, "A", NULL));
    f.state.CaseSensitive = 0;
    CHECK(tavro_arg(&f.state, "A", NULL));
    /* outside a procedure there is no record */
    f.state.Contexts = NULL;
    CHECK(!tavro_arg(&f.state, "a", NULL));
    CHECK(strcmp(tavro_word_name(&f.state), "") == 0);
    fixture_tear_down(&f);
}

static void printed_forms(void)
{
    Fixture f;
    TStructure *s;
    TKitList list = {NULL, NULL}, inner = {NULL, NULL};
    TAtom *group;
    fixture_set_up(&f);
    s = &f.state;
    CHECK(prints_as(NULL, "[]"));
    CHECK(prints_as(TAVRO_NOVALUE, "iNOP"));
    tavro_list_append(s, &inner, tavro_new_word_cstr(s, "b"));
    tavro_list_append(s, &inner, tavro_new_number(s, 0.5L));
    tavro_list_append(s, &list, tavro_new_word_cstr(s, "a"));
    tavro_list_append(s, &list, NULL);
    tavro_list_append(s, &list, inner.head);
    CHECK(prints_as(list.head, "[a [] [b 0.5]]"));
    /* the first cell decides the brackets */
    group = tavro_new_cell(s, tavro_new_word_cstr(s, "x"), tavro_new_cell(s, NULL, NULL));
    group->Kind = akGroup;
    CHECK(prints_as(group, "(x [])"));
    CHECK(prints_as(f.record, "{[]=[] {l=[]} {a=5}}"));
    fixture_tear_down(&f);
}

static void pool_atoms(void)
{
    Fixture f;
    TStructure *s;
    TAtom *w, *e;
    long double x;
    int live;
    fixture_set_up(&f);
    s = &f.state;
    live = s->LiveCount;
    w = tavro_new_word(s, "12.5", 4);
    e = tavro_new_word(s, "", 0);
    CHECK(s->LiveCount == live + 2 && s->AllAtoms == e);
    CHECK(w->Kind == akWord && strcmp(tavro_text_cstr(w->Text), "12.5") == 0);
    CHECK(e->Kind == akWord && e->Text == NULL);
    CHECK(tavro_to_number(w, &x) && x == 12.5L);
    CHECK(!tavro_to_number(e, &x) && !tavro_to_number(NULL, &x));
    CHECK(tavro_is_true_word(tavro_new_word_cstr(s, "TrUe")));
    CHECK(!tavro_is_true_word(tavro_new_number(s, 1)));
    CHECK(tavro_is_list(NULL) && !tavro_is_list(TAVRO_NOVALUE) && !tavro_is_list(w));
    fixture_tear_down(&f);
}

/* A service entry that records what it was asked. */
static int last_code;
static char last_text[256];

static intptr_t recording_service(int code, TText *text, long double n1, long double n2,
                                  long double n3, long double n4)
{
    last_code = code;
    snprintf(last_text, sizeof last_text, "%s", tavro_text_cstr(*text));
    if (code == TAVRO_SVC_INTERFACE_TEXT)
        tavro_text_set(text, "translated", 10);
    return 7;
}

static void errors_and_services(void)
{
    Fixture f;
    TText out = NULL;
    fixture_set_up(&f);
    f.state.ServiceCallback = recording_service;
    tavro_raise(&f.state, "NOTLIKE", "sqrt", "-1");
    CHECK(last_code == TAVRO_SVC_RAISE_ERROR);
    CHECK(strcmp(last_text, "NOTLIKE\x1Fsqrt\x1F-1") == 0);
    tavro_raise(&f.state, "PLAIN");
    CHECK(strcmp(last_text, "PLAIN") == 0);
    CHECK(tavro_service_text_inout(&f.state, TAVRO_SVC_INTERFACE_TEXT, "KEY", &out) == 7);
    CHECK(strcmp(last_text, "KEY") == 0 && strcmp(tavro_text_cstr(out), "translated") == 0);
    tavro_text_release(out);
    /* without an entry a service does nothing */
    f.state.ServiceCallback = NULL;
    CHECK(tavro_service_plain(&f.state, TAVRO_SVC_REDRAW) == 0);
    fixture_tear_down(&f);
}

int main(void)
{
    number_format();
    number_parse();
    arguments();
    printed_forms();
    pool_atoms();
    errors_and_services();
    if (failures)
        fprintf(stderr, "%d check(s) failed\n", failures);
    return failures ? 1 : 0;
}

/*
 * help_xslt_check - applies help.xsl to help.xml with libxslt, the way the
 * info window does, and checks the pages.
 *
 *   help_xslt_check HELP.XML HELP.XSL
 *   help_xslt_check HELP.XML HELP.XSL TOPIC    (writes that page)
 *
 * For every topic, asked for by name with the parameter topic: the page's
 * h1 is the topic's title, there is one copy:// link per example and one
 * exec:// link per runnable example, and every view:// link finds a topic
 * (by name, key or alias, without regard to case); the text of each
 * exec:// and copy:// link, decoded the way the info window decodes link
 * texts, gives back the example's code. Also: no parameter
 * gives the start page, main-filter alone chooses a topic, an unknown
 * name gives the "No topic named" page, and names are found in any case.
 */
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxslt/transform.h>
#include <libxslt/variables.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

static int failures;
static xmlDocPtr help;

static void problem(const char *topic, const char *what)
{
    fprintf(stderr, "FAIL: topic %s: %s\n", topic, what);
    ++failures;
}

static xmlNodePtr child(xmlNodePtr node, const char *name)
{
    for (xmlNodePtr c = node ? node->children : NULL; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && !strcmp((const char *)c->name, name))
            return c;
    return NULL;
}

static char *content(xmlNodePtr node)
{
    xmlChar *t = xmlNodeGetContent(node);
    char *s = strdup(t ? (const char *)t : "");
    xmlFree(t);
    return s;
}

static char *attr(xmlNodePtr node, const char *name)
{
    xmlChar *t = xmlGetProp(node, (const xmlChar *)name);
    char *s = t ? strdup((const char *)t) : NULL;
    xmlFree(t);
    return s;
}

static int same_words_ci(const char *a, const char *b)
{
    for (; *a && *b; ++a, ++b)
        if (tolower((unsigned char)*a) != tolower((unsigned char)*b))
            return 0;
    return *a == *b;
}

/* Does the name find a topic (name, key or alias, any case)? */
static int finds_topic(const char *name)
{
    for (xmlNodePtr t = xmlDocGetRootElement(help)->children; t; t = t->next) {
        if (t->type != XML_ELEMENT_NODE || strcmp((const char *)t->name, "topic"))
            continue;
        const char *props[] = {"name", "key", "aliases"};
        for (int k = 0; k < 3; ++k) {
            char *v = attr(t, props[k]);
            int found = 0;
            if (v) {
                for (char *w = strtok(v, " "); w && !found; w = strtok(NULL, " "))
                    found = same_words_ci(w, name);
                free(v);
            }
            if (found)
                return 1;
        }
    }
    return 0;
}

/* Replaces every occurrence of `from` in the malloc'ed text by `to`. */
static char *replace_all(char *text, const char *from, const char *to)
{
    size_t lf = strlen(from), lt = strlen(to);
    char *p;
    while ((p = strstr(text, from)) != NULL) {
        size_t at = (size_t)(p - text), len = strlen(text);
        char *n = malloc(len - lf + lt + 1);
        memcpy(n, text, at);
        memcpy(n + at, to, lt);
        strcpy(n + at + lt, text + at + lf);
        free(text);
        text = n;
    }
    return text;
}

static int blank_or_control(char c) { return (unsigned char)c <= ' '; }

static void trim(char *t)
{
    size_t a = 0, n = strlen(t);
    while (a < n && blank_or_control(t[a]))
        ++a;
    while (n > a && blank_or_control(t[n - 1]))
        --n;
    memmove(t, t + a, n - a);
    t[n - a] = '\0';
}

/* The info window's decoding of a link text into command lines: tags
   removed, %20 to blanks, <br /> to line ends (CR), <TABLE> and </TABLE>
   at the start of a line to four blanks more or less indentation. */
static char *decode_link_text(const char *link)
{
    char *text = strdup(link), *out = calloc(1, 1), indent[256] = "", *cr;
    int first = 1;
    text = replace_all(text, "<B>", "");
    text = replace_all(text, "</B>", "");
    text = replace_all(text, "%20", " ");
    text = replace_all(text, "<TR><TD>", "");
    text = replace_all(text, "</TD></TR>", "");
    text = replace_all(text, "<br />", "\r");
    while ((cr = strchr(text, '\r')) != NULL) {
        char *piece = strndup(text, (size_t)(cr - text)), *rest;
        for (;;) {
            if (!strncmp(piece, "<TABLE>", 7)) {
                memmove(piece, piece + 7, strlen(piece + 7) + 1);
                if (strlen(indent) < sizeof indent - 5)
                    strcat(indent, "    ");
            } else if (!strncmp(piece, "</TABLE>", 8)) {
                memmove(piece, piece + 8, strlen(piece + 8) + 1);
                memmove(indent, indent + (strlen(indent) < 4 ? strlen(indent) : 4),
                        strlen(indent) + 1 - (strlen(indent) < 4 ? strlen(indent) : 4));
            } else {
                break;
            }
            trim(piece);
        }
        out = realloc(out, strlen(out) + strlen(indent) + strlen(piece) + 2);
        if (!first)
            strcat(out, "\r");
        strcat(out, indent);
        strcat(out, piece);
        first = 0;
        free(piece);
        rest = strdup(cr + 1);
        trim(rest);
        free(text);
        text = rest;
    }
    out = realloc(out, strlen(out) + strlen(text) + 2);
    strcat(out, "\r");
    strcat(out, text);
    free(text);
    return out;
}

/* The lines of code, each with runs of blanks made one and trimmed; the
   indentation (two blanks a level) as four blanks a level when `indent`,
   except on the last line.
   Empty lines are left out when `skip_empty`. Joined by `separator`. */
static char *expected_lines(const char *code, int indent, int skip_empty, const char *separator)
{
    char *out = calloc(1, 1);
    const char *p = code;
    int first = 1;
    while (*p) {
        const char *e = strchr(p, '\n');
        size_t n = e ? (size_t)(e - p) : strlen(p), lead = 0, k;
        char *line = malloc(n + 1), *w = line;
        int blank = 0;
        while (lead < n && p[lead] == ' ')
            ++lead;
        for (k = lead; k < n; ++k) {
            if (p[k] == ' ' || p[k] == '\t') {
                blank = 1;
                continue;
            }
            if (blank && w != line)
                *w++ = ' ';
            blank = 0;
            *w++ = p[k];
        }
        *w = '\0';
        if (!(skip_empty && !*line)) {
            int last = e == NULL || e[1] == '\0';
            size_t spaces = indent && *line && !last ? lead / 2 * 4 : 0;
            out = realloc(out, strlen(out) + strlen(separator) + spaces + strlen(line) + 1);
            if (!first)
                strcat(out, separator);
            size_t len = strlen(out);
            memset(out + len, ' ', spaces);
            out[len + spaces] = '\0';
            strcat(out, line);
            first = 0;
        }
        free(line);
        p = e ? e + 1 : p + n;
    }
    return out;
}

static char *links[256];
static int link_count;

static void walk(xmlNodePtr node, const char *topic, int *exec_links, int *copy_links, xmlNodePtr *h1)
{
    for (xmlNodePtr c = node; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE)
            continue;
        if (!strcmp((const char *)c->name, "h1") && !*h1)
            *h1 = c;
        if (!strcmp((const char *)c->name, "a")) {
            char *href = attr(c, "href");
            if (href && (!strncmp(href, "exec://", 7) || !strncmp(href, "copy://", 7))) {
                ++*(href[0] == 'e' ? exec_links : copy_links);
                if (link_count < 256)
                    links[link_count++] = strdup(href);
            }
            else if (href && !strncmp(href, "view://", 7) && !finds_topic(href + 7)) {
                char msg[300];
                snprintf(msg, sizeof msg, "link %.200s finds no topic", href);
                problem(topic, msg);
            }
            free(href);
        }
        walk(c->children, topic, exec_links, copy_links, h1);
    }
}

/* Applies the stylesheet with one parameter (name = value, value quoted
   by libxslt); returns the result, checked to serialise. */
static xmlDocPtr apply(xsltStylesheetPtr style, const char *name, const char *value)
{
    const char *params[3] = {name, value, NULL};
    xsltTransformContextPtr ctxt = xsltNewTransformContext(style, help);
    xmlDocPtr out;
    xmlChar *text = NULL;
    int len = 0;
    if (name)
        xsltQuoteUserParams(ctxt, params);
    out = xsltApplyStylesheetUser(style, help, NULL, NULL, NULL, ctxt);
    xsltFreeTransformContext(ctxt);
    if (!out || xsltSaveResultToString(&text, &len, out, style) != 0 || len == 0) {
        problem(value ? value : "(none)", "the stylesheet gave no page");
        if (out)
            xmlFreeDoc(out);
        out = NULL;
    }
    xmlFree(text);
    return out;
}

static char *h1_of(xmlDocPtr page)
{
    int e = 0, c = 0;
    xmlNodePtr h1 = NULL;
    walk(xmlDocGetRootElement(page), "?", &e, &c, &h1);
    return h1 ? content(h1) : strdup("");
}

int main(int argc, char **argv)
{
    xsltStylesheetPtr style;
    int topics = 0;
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: help_xslt_check HELP.XML HELP.XSL [TOPIC]\n");
        return 2;
    }
    help = xmlReadFile(argv[1], NULL, XML_PARSE_NONET);
    style = xsltParseStylesheetFile((const xmlChar *)argv[2]);
    if (!help || !style) {
        fprintf(stderr, "FAIL: cannot read %s\n", !help ? argv[1] : argv[2]);
        return 1;
    }
    if (argc == 4) {
        xmlDocPtr page = apply(style, "topic", argv[3]);
        if (page)
            xsltSaveResultToFile(stdout, page, style);
        return page ? 0 : 1;
    }

    for (xmlNodePtr t = xmlDocGetRootElement(help)->children; t; t = t->next) {
        if (t->type != XML_ELEMENT_NODE || strcmp((const char *)t->name, "topic"))
            continue;
        char *name = attr(t, "name");
        char *title = content(child(t, "title"));
        int examples = 0, runnable = 0, exec_links = 0, copy_links = 0;
        xmlNodePtr h1 = NULL;
        xmlDocPtr page;
        ++topics;
        for (xmlNodePtr e = t->children; e; e = e->next)
            if (e->type == XML_ELEMENT_NODE && !strcmp((const char *)e->name, "example")) {
                char *run = attr(e, "run");
                ++examples;
                runnable += !(run && !strcmp(run, "no"));
                free(run);
            }
        link_count = 0;
        page = apply(style, "topic", name);
        if (page) {
            walk(xmlDocGetRootElement(page), name, &exec_links, &copy_links, &h1);
            char *got = h1 ? content(h1) : strdup("");
            if (strcmp(got, title)) {
                char msg[600];
                snprintf(msg, sizeof msg, "heading \"%.250s\" instead of \"%.250s\"", got, title);
                problem(name, msg);
            }
            if (exec_links != runnable || copy_links != examples)
                problem(name, "wrong number of exec:// or copy:// links");
            else {
                int at = 0;
                for (xmlNodePtr e = t->children; e; e = e->next) {
                    if (e->type != XML_ELEMENT_NODE || strcmp((const char *)e->name, "example"))
                        continue;
                    char *run = attr(e, "run"), *code = content(child(e, "code"));
                    for (int kind = (run && !strcmp(run, "no")); kind < 2; ++kind) {
                        char *body = expected_lines(code, kind == 1, kind == 0, kind == 0 ? " , " : "\r");
                        char *want = malloc(strlen(body) + 2), *got;
                        /* one line comes back after a line end */
                        strcpy(want, kind == 0 || !strchr(code, '\n') ? "\r" : "");
                        strcat(want, body);
                        got = decode_link_text(links[at++] + 7);
                        if (strcmp(got, want)) {
                            char msg[900];
                            snprintf(msg, sizeof msg, "%s link decodes to \"%.300s\" instead of \"%.300s\"",
                                     kind == 0 ? "exec://" : "copy://", got, want);
                            problem(name, msg);
                        }
                        free(got);
                        free(want);
                        free(body);
                    }
                    free(run);
                    free(code);
                }
            }
            for (int k = 0; k < link_count; ++k)
                free(links[k]);
            free(got);
            xmlFreeDoc(page);
        }
        free(name);
        free(title);
    }

    /* The start page without parameters; main-filter; unknown; case. */
    {
        struct {
            const char *param, *value, *heading;
        } cases[] = {
            {NULL, NULL, "First steps with Tavro"},
            {"topic", "", "First steps with Tavro"},
            {"main-filter", "*[name='repeat']", "repeat: run a list several times"},
            {"topic", "REPEAT", "repeat: run a list several times"},
            {"topic", "op-less", "< : less than"},
            {"topic", "<", "< : less than"}, /* the window decodes %3C */
            {"topic", "no-such-topic", "No topic named no-such-topic"},
        };
        for (size_t k = 0; k < sizeof cases / sizeof cases[0]; ++k) {
            xmlDocPtr page = apply(style, cases[k].param, cases[k].value);
            if (!page)
                continue;
            char *got = h1_of(page);
            if (strcmp(got, cases[k].heading)) {
                char msg[600];
                snprintf(msg, sizeof msg, "heading \"%.250s\" instead of \"%.250s\"", got, cases[k].heading);
                problem(cases[k].value ? cases[k].value : "(no parameter)", msg);
            }
            free(got);
            xmlFreeDoc(page);
        }
    }

    printf("%d topics rendered\n", topics);
    xsltFreeStylesheet(style);
    xmlFreeDoc(help);
    xsltCleanupGlobals();
    xmlCleanupParser();
    return failures ? 1 : 0;
}

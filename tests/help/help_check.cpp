// help_check - checks the help data without any XML library.
//
//   help_check --check HELP.XML HELP.XSL CORE.TVR [LIBRARY.tvr ...]
//       Both files are well-formed XML (a strict parser of the XML 1.0
//       subset the help uses: no document type declaration), help.xml has
//       the expected structure, every link finds a topic (by its name or an
//       alias), every "see" name is a topic, and
//       every word that core.tvr and the further library programs define,
//       every reserved word and the basic pages have a topic. The topic of
//       a further library's word has an example that runs in tavro-run,
//       except for gui.tvr, whose words need the desktop environment.
//   help_check --examples TAVRO-RUN HELP.XML WORK-DIR
//       Runs every example (except run="no") with tavro-run -e in WORK-DIR;
//       an example with a <result> must print exactly that (standard output
//       and standard error together, blanks at line ends ignored), one
//       without must run without error. Examples of the drawing groups
//       run with --picture, so that their drawings are really recorded.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// ------------------------------------------------------------ the tree

struct Node {
    std::string name;  // element name; empty for text
    std::string text;  // character data of a text node
    std::vector<std::pair<std::string, std::string>> attrs;
    std::vector<std::unique_ptr<Node>> kids;
    int line = 0;

    const std::string *attr(const std::string &n) const
    {
        for (const auto &a : attrs)
            if (a.first == n)
                return &a.second;
        return nullptr;
    }
    std::string content() const
    {
        if (name.empty())
            return text;
        std::string s;
        for (const auto &k : kids)
            s += k->content();
        return s;
    }
    std::vector<const Node *> elements(const std::string &n) const
    {
        std::vector<const Node *> out;
        for (const auto &k : kids)
            if (k->name == n)
                out.push_back(k.get());
        return out;
    }
    void collect(const std::string &n, std::vector<const Node *> &out) const
    {
        for (const auto &k : kids) {
            if (k->name == n)
                out.push_back(k.get());
            k->collect(n, out);
        }
    }
};

// ---------------------------------------------------------- the parser

class XmlError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Parser {
  public:
    explicit Parser(const std::string &text) : s(text) {}

    std::unique_ptr<Node> document()
    {
        checkCharacters();
        if (s.compare(0, 3, "\xEF\xBB\xBF") == 0)
            i = 3;
        if (s.compare(i, 5, "<?xml") == 0 && i + 5 < s.size() && isSpace(s[i + 5]))
            declaration();
        misc();
        if (s.compare(i, 9, "<!DOCTYPE") == 0)
            fail("a document type declaration is not expected in the help data");
        if (i >= s.size() || s[i] != '<')
            fail("the root element is missing");
        std::unique_ptr<Node> root = element();
        misc();
        if (i < s.size())
            fail("content after the root element");
        return root;
    }

  private:
    const std::string &s;
    size_t i = 0;

    [[noreturn]] void fail(const std::string &what) const
    {
        int line = 1;
        for (size_t k = 0; k < i && k < s.size(); ++k)
            line += s[k] == '\n';
        throw XmlError("line " + std::to_string(line) + ": " + what);
    }

    int lineNow() const { return (int)std::count(s.begin(), s.begin() + (long)std::min(i, s.size()), '\n') + 1; }

    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    static bool isNameStart(unsigned char c) { return std::isalpha(c) || c == '_' || c == ':' || c >= 0x80; }
    static bool isNameChar(unsigned char c) { return isNameStart(c) || std::isdigit(c) || c == '-' || c == '.'; }

    static bool isXmlChar(unsigned long cp)
    {
        return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
               (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
    }

    // The whole text must be UTF-8 of characters that XML allows.
    void checkCharacters()
    {
        for (i = 0; i < s.size();) {
            unsigned char c = (unsigned char)s[i];
            unsigned long cp;
            size_t n;
            if (c < 0x80) {
                cp = c;
                n = 1;
            } else if ((c & 0xE0) == 0xC0) {
                cp = c & 0x1F;
                n = 2;
            } else if ((c & 0xF0) == 0xE0) {
                cp = c & 0x0F;
                n = 3;
            } else if ((c & 0xF8) == 0xF0) {
                cp = c & 0x07;
                n = 4;
            } else {
                fail("a byte that is not UTF-8");
            }
            if (i + n > s.size())
                fail("UTF-8 cut short at the end");
            for (size_t k = 1; k < n; ++k) {
                unsigned char d = (unsigned char)s[i + k];
                if ((d & 0xC0) != 0x80)
                    fail("a byte that is not UTF-8");
                cp = (cp << 6) | (d & 0x3F);
            }
            static const unsigned long least[5] = {0, 0, 0x80, 0x800, 0x10000};
            if (cp < least[n])
                fail("an overlong UTF-8 sequence");
            if (!isXmlChar(cp))
                fail("a character that XML does not allow");
            i += n;
        }
        i = 0;
    }

    void spaces()
    {
        while (i < s.size() && isSpace(s[i]))
            ++i;
    }

    std::string name()
    {
        if (i >= s.size() || !isNameStart((unsigned char)s[i]))
            fail("a name was expected");
        size_t start = i;
        while (i < s.size() && isNameChar((unsigned char)s[i]))
            ++i;
        return s.substr(start, i - start);
    }

    void expect(const char *text)
    {
        size_t n = std::char_traits<char>::length(text);
        if (s.compare(i, n, text) != 0)
            fail(std::string("\"") + text + "\" was expected");
        i += n;
    }

    void declaration()
    {
        i += 5;
        std::vector<std::pair<std::string, std::string>> attrs;
        attributes(attrs, true);
        expect("?>");
        if (attrs.empty() || attrs[0].first != "version")
            fail("the XML declaration needs a version first");
        for (const auto &a : attrs)
            if (a.first != "version" && a.first != "encoding" && a.first != "standalone")
                fail("unknown item in the XML declaration: " + a.first);
    }

    // Comments, processing instructions and blanks.
    void misc()
    {
        for (;;) {
            spaces();
            if (s.compare(i, 4, "<!--") == 0)
                comment();
            else if (s.compare(i, 2, "<?") == 0)
                instruction();
            else
                return;
        }
    }

    void comment()
    {
        i += 4;
        size_t end = s.find("--", i);
        if (end == std::string::npos)
            fail("a comment is not closed");
        if (s.compare(end, 3, "-->") != 0) {
            i = end;
            fail("\"--\" inside a comment");
        }
        i = end + 3;
    }

    void instruction()
    {
        i += 2;
        std::string target = name();
        std::string lower = target;
        for (char &c : lower)
            c = (char)std::tolower((unsigned char)c);
        if (lower == "xml")
            fail("the XML declaration is only allowed at the very start");
        size_t end = s.find("?>", i);
        if (end == std::string::npos)
            fail("a processing instruction is not closed");
        if (end > i && !isSpace(s[i]))
            fail("a blank must follow the target of a processing instruction");
        i = end + 2;
    }

    // &...; at i; appends the character.
    void reference(std::string &out)
    {
        ++i;
        size_t end = s.find(';', i);
        if (end == std::string::npos || end - i > 12)
            fail("\"&\" that does not start a reference");
        std::string body = s.substr(i, end - i);
        if (!body.empty() && body[0] == '#') {
            unsigned long cp = 0;
            bool hex = body.size() > 1 && body[1] == 'x';
            std::string digits = body.substr(hex ? 2 : 1);
            if (digits.empty())
                fail("empty character reference");
            for (char c : digits) {
                if (hex ? !std::isxdigit((unsigned char)c) : !std::isdigit((unsigned char)c))
                    fail("bad character reference &" + body + ";");
                cp = cp * (hex ? 16 : 10) + (unsigned long)(std::isdigit((unsigned char)c) ? c - '0' : (std::tolower(c) - 'a' + 10));
                if (cp > 0x10FFFF)
                    fail("character reference out of range");
            }
            if (!isXmlChar(cp))
                fail("character reference to a character XML does not allow");
            appendUtf8(out, cp);
        } else if (body == "lt") {
            out += '<';
        } else if (body == "gt") {
            out += '>';
        } else if (body == "amp") {
            out += '&';
        } else if (body == "apos") {
            out += '\'';
        } else if (body == "quot") {
            out += '"';
        } else {
            fail("undefined entity &" + body + ";");
        }
        i = end + 1;
    }

    static void appendUtf8(std::string &out, unsigned long cp)
    {
        if (cp < 0x80) {
            out += (char)cp;
        } else if (cp < 0x800) {
            out += (char)(0xC0 | (cp >> 6));
            out += (char)(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += (char)(0xE0 | (cp >> 12));
            out += (char)(0x80 | ((cp >> 6) & 0x3F));
            out += (char)(0x80 | (cp & 0x3F));
        } else {
            out += (char)(0xF0 | (cp >> 18));
            out += (char)(0x80 | ((cp >> 12) & 0x3F));
            out += (char)(0x80 | ((cp >> 6) & 0x3F));
            out += (char)(0x80 | (cp & 0x3F));
        }
    }

    // Attributes up to "/>", ">" or "?>"; each preceded by blanks.
    void attributes(std::vector<std::pair<std::string, std::string>> &attrs, bool inDeclaration)
    {
        for (;;) {
            size_t before = i;
            spaces();
            if (i >= s.size())
                fail("a tag is not closed");
            if (s[i] == '>' || s[i] == '/' || (inDeclaration && s[i] == '?'))
                return;
            if (i == before)
                fail("a blank must separate attributes");
            std::string n = name();
            spaces();
            expect("=");
            spaces();
            if (i >= s.size() || (s[i] != '"' && s[i] != '\''))
                fail("an attribute value must be quoted");
            char quote = s[i++];
            std::string value;
            while (i < s.size() && s[i] != quote) {
                if (s[i] == '<')
                    fail("\"<\" inside an attribute value");
                if (s[i] == '&')
                    reference(value);
                else
                    value += s[i++];
            }
            if (i >= s.size())
                fail("an attribute value is not closed");
            ++i;
            for (const auto &a : attrs)
                if (a.first == n)
                    fail("attribute " + n + " given twice");
            attrs.emplace_back(n, value);
        }
    }

    std::unique_ptr<Node> element()
    {
        auto node = std::make_unique<Node>();
        node->line = lineNow();
        expect("<");
        node->name = name();
        attributes(node->attrs, false);
        if (s.compare(i, 2, "/>") == 0) {
            i += 2;
            return node;
        }
        expect(">");
        std::string text;
        auto flush = [&] {
            if (!text.empty()) {
                auto t = std::make_unique<Node>();
                t->text = text;
                node->kids.push_back(std::move(t));
                text.clear();
            }
        };
        for (;;) {
            if (i >= s.size())
                fail("element " + node->name + " is not closed");
            if (s.compare(i, 2, "</") == 0) {
                flush();
                i += 2;
                std::string closing = name();
                if (closing != node->name)
                    fail("</" + closing + "> closes <" + node->name + ">");
                spaces();
                expect(">");
                return node;
            }
            if (s.compare(i, 4, "<!--") == 0) {
                comment();
            } else if (s.compare(i, 9, "<![CDATA[") == 0) {
                i += 9;
                size_t end = s.find("]]>", i);
                if (end == std::string::npos)
                    fail("a CDATA section is not closed");
                text += s.substr(i, end - i);
                i = end + 3;
            } else if (s.compare(i, 2, "<?") == 0) {
                instruction();
            } else if (s.compare(i, 2, "<!") == 0) {
                fail("markup declarations are not allowed here");
            } else if (s[i] == '<') {
                flush();
                node->kids.push_back(element());
            } else if (s[i] == '&') {
                reference(text);
            } else {
                if (s.compare(i, 3, "]]>") == 0)
                    fail("\"]]>\" in character data");
                text += s[i++];
            }
        }
    }
};

// ----------------------------------------------------------- helpers

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string lower(std::string t)
{
    for (char &c : t)
        c = (char)std::tolower((unsigned char)c);
    return t;
}

std::vector<std::string> words(const std::string &t)
{
    std::istringstream in(t);
    std::vector<std::string> out;
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

std::string trimmed(const std::string &t)
{
    size_t a = t.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return "";
    size_t b = t.find_last_not_of(" \t\r\n");
    return t.substr(a, b - a + 1);
}

// Lines without trailing blanks, without empty lines at either end.
std::string normalizedOutput(const std::string &t)
{
    std::vector<std::string> lines;
    std::istringstream in(t);
    std::string line;
    while (std::getline(in, line)) {
        size_t b = line.find_last_not_of(" \t\r");
        lines.push_back(b == std::string::npos ? "" : line.substr(0, b + 1));
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    size_t first = 0;
    while (first < lines.size() && lines[first].empty())
        ++first;
    std::string out;
    for (size_t k = first; k < lines.size(); ++k)
        out += lines[k] + "\n";
    return out;
}

std::unique_ptr<Node> parseFile(const std::string &path)
{
    std::string text = readFile(path);
    try {
        return Parser(text).document();
    } catch (const XmlError &e) {
        throw std::runtime_error(path + ": not well-formed: " + e.what());
    }
}

int failures = 0;

void problem(const std::string &what)
{
    std::cerr << "FAIL: " << what << "\n";
    ++failures;
}

// ------------------------------------------------------------- --check

// Names that core.tvr defines: the word after "to" that is not an input.
std::vector<std::string> coreWords(const std::string &path)
{
    std::istringstream in(readFile(path));
    std::string line;
    std::vector<std::string> out;
    while (std::getline(in, line)) {
        std::vector<std::string> w = words(line);
        if (w.size() < 2 || lower(w[0]) != "to")
            continue;
        for (size_t k = 1; k < w.size(); ++k)
            if (w[k][0] != ':' && w[k][0] != '"') {
                out.push_back(w[k]);
                break;
            }
    }
    return out;
}

int check(const std::string &helpPath, const std::string &xslPath, const std::string &corePath,
          const std::vector<std::string> &libraryPaths)
{
    std::unique_ptr<Node> root = parseFile(helpPath);
    std::unique_ptr<Node> xsl = parseFile(xslPath);
    if (xsl->name != "xsl:stylesheet" || !xsl->attr("version") || *xsl->attr("version") != "1.0")
        problem(xslPath + ": root is not an XSLT 1.0 stylesheet");
    if (root->name != "help")
        problem("the root element of help.xml is not <help>");

    std::set<std::string> groups;
    for (const Node *g : root->elements("groups"))
        for (const Node *e : g->elements("group"))
            if (e->attr("id"))
                groups.insert(*e->attr("id"));
    if (groups.empty())
        problem("no <groups>");

    // name, key and aliases, without regard to case, each find one topic
    std::map<std::string, const Node *> byName;
    std::set<std::string> names;
    auto claim = [&](const std::string &n, const Node *t) {
        auto found = byName.find(lower(n));
        if (found != byName.end() && found->second != t)
            problem("\"" + n + "\" finds two topics (line " + std::to_string(found->second->line) +
                    " and " + std::to_string(t->line) + ")");
        byName[lower(n)] = t;
    };
    std::vector<const Node *> topics = root->elements("topic");
    for (const Node *t : topics) {
        const std::string *n = t->attr("name");
        if (!n || trimmed(*n).empty() || trimmed(*n) != *n) {
            problem("topic at line " + std::to_string(t->line) + " without a proper name");
            continue;
        }
        if (!names.insert(*n).second)
            problem("two topics named " + *n);
        claim(*n, t);
        if (const std::string *k = t->attr("key"))
            claim(*k, t);
        if (const std::string *a = t->attr("aliases"))
            for (const std::string &w : words(*a))
                claim(w, t);
    }
    for (const Node *t : topics) {
        const std::string *n = t->attr("name");
        std::string where = "topic " + (n ? *n : std::string("?"));
        if (!t->attr("group") || !groups.count(*t->attr("group")))
            problem(where + ": missing or unknown group");
        if (const std::string *k = t->attr("key"))
            for (char c : *k)
                if (!std::isalnum((unsigned char)c) && c != '-' && c != '_')
                    problem(where + ": key must be a plain word");
        std::vector<const Node *> title = t->elements("title");
        if (title.size() != 1 || trimmed(title[0]->content()).empty())
            problem(where + ": needs one non-empty <title>");
        std::vector<const Node *> examples = t->elements("example");
        if (examples.empty())
            problem(where + ": needs at least one <example>");
        for (const Node *e : examples) {
            if (e->elements("code").size() != 1 || trimmed(e->content()).empty())
                problem(where + ": an example needs one <code>");
            if (e->elements("result").size() > 1)
                problem(where + ": an example has more than one <result>");
        }
        for (const auto &k : t->kids)
            if (!k->name.empty()) {
                static const std::set<std::string> known = {"title", "use", "inputs", "output", "p", "contents",
                                                            "index", "example", "see"};
                if (!known.count(k->name))
                    problem(where + ": unknown element <" + k->name + ">");
            }
        // links
        std::vector<const Node *> links;
        t->collect("v", links);
        for (const Node *v : links) {
            std::string target = v->attr("to") ? *v->attr("to") : trimmed(v->content());
            // A link finds its topic the way view:// does: by name or alias.
            if (!names.count(target) && !byName.count(lower(target)))
                problem(where + ": link to unknown topic \"" + target + "\"");
        }
        for (const Node *see : t->elements("see"))
            for (const std::string &w : words(see->content()))
                if (!names.count(w))
                    problem(where + ": see names unknown topic \"" + w + "\"");
    }

    // Coverage: every word of core.tvr, the reserved words, the basics.
    std::vector<std::string> core = coreWords(corePath);
    if (core.size() < 90)
        problem("found only " + std::to_string(core.size()) + " definitions in " + corePath);
    std::vector<std::string> required = core;
    for (const char *w :
         {"help", "statements", "priorities", "signs", "counters", "to", "end", "make", "ob", "print", "run",
          "if", "local", "while", "repeat", "output", "lambda", "DUMP", ":", ".", "onchange", "onbeforemake",
          "onaftermake", "ondepend", "onplan", "onpriority", "onleftassociation", "definition", "history",
          "onhistorycreate", "onhistoryupdate", "ondrawimage", "onmousedown", "onmousemove", "onmouseup",
          "onmouseclick", "+", "-", "*", "/", "^", "=", "<>", "<", ">", "<=", ">=", "bf", "bl", "se"})
        required.push_back(w);
    for (const std::string &w : required)
        if (!names.count(w))
            problem("no topic named \"" + w + "\"");

    // Every word of the further libraries: a topic, and outside gui.tvr
    // an example that tavro-run runs.
    size_t libraryWords = 0;
    for (const std::string &path : libraryPaths) {
        bool needsDesktop = path.size() >= 7 && path.compare(path.size() - 7, 7, "gui.tvr") == 0;
        for (const std::string &w : coreWords(path)) {
            ++libraryWords;
            if (w.find('.') != std::string::npos)
                continue;  // a library's own helper (turtlestate.vcomb ...)
            auto found = byName.find(lower(w));
            if (!names.count(w) || found == byName.end()) {
                problem("no topic named \"" + w + "\" (" + path + ")");
                continue;
            }
            bool runnable = false;
            for (const Node *e : found->second->elements("example"))
                runnable = runnable || !e->attr("run") || *e->attr("run") != "no";
            if (!runnable && !needsDesktop)
                problem("topic " + w + ": no example that runs in tavro-run");
        }
    }

    std::cout << topics.size() << " topics, " << core.size() << " words of core.tvr, " << libraryWords
              << " of further libraries, all covered: "
              << (failures == 0 ? "yes" : "no") << "\n";
    return failures == 0 ? 0 : 1;
}

// ---------------------------------------------------------- --examples

// Runs the runner with -e code in dir; gives the combined output.
bool runExample(const std::string &runner, const std::string &code, const std::string &dir, bool picture,
                std::string &output, int &status)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        int null = open("/dev/null", O_RDONLY);
        if (null >= 0)
            dup2(null, 0);
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        if (picture)
            execl(runner.c_str(), runner.c_str(), "--picture", "example.jpg", "--size", "160x120", "-e",
                  code.c_str(), (char *)nullptr);
        else
            execl(runner.c_str(), runner.c_str(), "-e", code.c_str(), (char *)nullptr);
        _exit(127);
    }
    close(fds[1]);
    char buf[4096];
    ssize_t n;
    output.clear();
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        output.append(buf, (size_t)n);
    close(fds[0]);
    int raw = 0;
    waitpid(pid, &raw, 0);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128;
    return true;
}

int examples(const std::string &runner, const std::string &helpPath, const std::string &dir)
{
    std::unique_ptr<Node> root = parseFile(helpPath);
    if (std::system(("mkdir -p '" + dir + "'").c_str()) != 0)
        throw std::runtime_error("cannot create " + dir);
    int ran = 0, compared = 0;
    static const std::set<std::string> drawing = {"graphics", "shapes", "placement", "camera", "turtle"};
    for (const Node *t : root->elements("topic")) {
        const std::string name = t->attr("name") ? *t->attr("name") : "?";
        bool picture = t->attr("group") && drawing.count(*t->attr("group"));
        for (const Node *e : t->elements("example")) {
            if (e->attr("run") && *e->attr("run") == "no")
                continue;
            std::vector<const Node *> code = e->elements("code");
            if (code.empty())
                continue;
            std::string output;
            int status = 0;
            if (!runExample(runner, code[0]->content(), dir, picture, output, status)) {
                problem("cannot run " + runner);
                return 1;
            }
            ++ran;
            std::vector<const Node *> result = e->elements("result");
            if (result.empty()) {
                if (status != 0)
                    problem("topic " + name + ": example failed (status " + std::to_string(status) + "):\n" +
                            code[0]->content() + "\n--- output:\n" + output);
                continue;
            }
            ++compared;
            std::string want = normalizedOutput(result[0]->content());
            std::string got = normalizedOutput(output);
            if (want != got)
                problem("topic " + name + ": example\n" + code[0]->content() + "\n--- expected:\n" + want +
                        "--- got:\n" + got);
        }
    }
    std::cout << ran << " examples ran, " << compared << " outputs compared\n";
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        std::vector<std::string> a(argv + 1, argv + argc);
        if (a.size() >= 4 && a[0] == "--check")
            return check(a[1], a[2], a[3], std::vector<std::string>(a.begin() + 4, a.end()));
        if (a.size() == 4 && a[0] == "--examples")
            return examples(a[1], a[2], a[3]);
        std::cerr << "usage: help_check --check HELP.XML HELP.XSL CORE.TVR [LIBRARY.tvr ...]\n"
                     "       help_check --examples TAVRO-RUN HELP.XML WORK-DIR\n";
        return 2;
    } catch (const std::exception &e) {
        std::cerr << "FAIL: " << e.what() << "\n";
        return 1;
    }
}

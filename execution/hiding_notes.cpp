#include "hiding_notes.h"

#include <set>
#include <string>
#include <vector>

#include "errors.h"
#include "expr.h"
#include "interpreter.h"
#include "output.h"
#include "parser.h"
#include "reserved_words.h"
#include "state.h"
#include "structure.h"

namespace tavro {

namespace {

std::set<std::string> gNoted;

bool isWord(const Atom* a, std::string_view text) { return IsWordOrNumber(a) && TextOf(a) == text; }

// The reserved word local, in any letter case.
bool isLocal(std::string_view t)
{
    const std::string& local = UpperReserved(rwLocal);
    if (t.size() != local.size()) return false;
    for (size_t i = 0; i < t.size(); ++i)
        if ((t[i] >= 'a' && t[i] <= 'z' ? char(t[i] - 'a' + 'A') : t[i]) != local[i]) return false;
    return true;
}

// The names of a flat parameter list (": a \" b").
void addParameters(Atom* params, std::vector<std::string>& names)
{
    for (Atom* c = params; IsObject(c) && RightOf(c); c = RightOf(RightOf(c)))
        if (IsWordOrNumber(LeftOf(RightOf(c)))) names.push_back(Normalize(TextOf(LeftOf(RightOf(c)))));
}

// Walks the body at any depth: the names made local (local "a, local [a b])
// and the words written as calls.
void scan(Atom* list, std::vector<std::string>& locals, std::set<std::string>& called, int depth)
{
    if (depth > 64) return;
    bool afterMarker = false;
    for (Atom* c = list; IsObject(c) && (c->Kind == akList || c->Kind == akGroup); c = RightOf(c)) {
        Atom* e = LeftOf(c);
        if (IsObject(e) && (e->Kind == akList || e->Kind == akGroup)) {
            scan(e, locals, called, depth + 1);
            afterMarker = false;
            continue;
        }
        if (!IsWordOrNumber(e)) continue;
        std::string_view t = TextOf(e);
        if (!afterMarker && t != ":" && t != "\"") called.insert(Normalize(t));
        if (isLocal(t)) {
            Atom* next = RightOf(c);
            Atom* n = next ? LeftOf(next) : nullptr;
            if (isWord(n, "\"") && RightOf(next) && IsWordOrNumber(LeftOf(RightOf(next))))
                locals.push_back(Normalize(TextOf(LeftOf(RightOf(next)))));
            else if (IsObject(n) && n->Kind == akList)
                for (Atom* k = n; IsObject(k); k = RightOf(k))
                    if (IsWordOrNumber(LeftOf(k))) locals.push_back(Normalize(TextOf(LeftOf(k))));
        }
        afterMarker = !afterMarker && (t == ":" || t == "\"");
    }
}

// A procedure that `name` names from the root, outside the definition.
bool namesProcedure(const std::string& name)
{
    Atom* node = ResolveFrom(RootNode(), name);
    Atom* value = node ? LeftOf(node) : nullptr;
    return IsObject(value) && value->Kind == akList && IsList(LeftOf(value));
}

void note(std::string_view procedure, const std::string& name, bool input)
{
    std::string key = std::string(procedure) + "\n" + name;
    if (!gNoted.insert(key).second) return;
    std::string p(procedure);
    OutputLine(FormatMessage(ErrorFormat(input ? "HIDESINPUT" : "HIDESLOCAL"), {p, name, name, p, name}));
}

}  // namespace

void NoteHiddenProcedures(std::string_view name, Atom* value)
{
    if (!IsObject(value) || value->Kind != akList || !IsList(LeftOf(value))) return;
    std::vector<std::string> inputs, locals;
    addParameters(LeftOf(value), inputs);
    Atom* body = RightOf(value);
    if (body && IsList(LeftOf(body))) {
        addParameters(LeftOf(body), inputs);
        body = RightOf(body);
    }
    std::set<std::string> called;
    scan(body, locals, called, 0);
    for (const auto& n : inputs)
        if (called.count(n) && namesProcedure(n)) note(name, n, true);
    for (const auto& n : locals)
        if (called.count(n) && namesProcedure(n)) note(name, n, false);
}

void ForgetHidingNotes() { gNoted.clear(); }

namespace {

// The library's own definitions are not noted.
void noteCompiledDefinition(std::string_view name, Atom* definition)
{
    if (!RunningLibraries) NoteHiddenProcedures(name, definition);
}

// [well-known] holds three words here: said once per word, when read.
void noteMinusInListWord(const std::string& word)
{
    if (RunningLibraries || !gNoted.insert("-\n" + word).second) return;
    std::string spaced;
    for (char c : word) spaced += c == '-' ? std::string(" - ") : std::string(1, c);
    OutputLine(FormatMessage(ErrorFormat("MINUSLIST"), {word, spaced, word}));
}

struct Installer {
    Installer()
    {
        DefinitionCompiled = noteCompiledDefinition;
        MinusInListWord = noteMinusInListWord;
    }
} gInstaller;

}  // namespace

}  // namespace tavro

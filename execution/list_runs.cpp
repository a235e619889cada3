#include "list_runs.h"

#include <exception>
#include <string>
#include <vector>

#include "errors.h"
#include "executor.h"
#include "interpreter.h"
#include "reserved_words.h"
#include "structure.h"
#include "state.h"

namespace tavro {

namespace {

// The tags of the running catches, innermost last, upper-cased.
std::vector<std::string> gCatchTags;
// The tag of the throw on its way out, and whether it carries a value.
std::string gThrowTag;
bool gThrowHasValue = false;

std::string upper(std::string_view t)
{
    std::string u(t);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return u;
}

// The scope in which the word that called the service was written: the one
// below its wrapper's activation record.
Atom* callerScope()
{
    TContext* top = TopContext();
    if (top && ContextLink(top)) return ContextNode(ContextLink(top));
    return top ? ContextNode(top) : RootNode();
}

// The name of the word whose wrapper is running, for messages.
std::string wordName()
{
    Atom* record = ContextNode(TopContext());
    return record && record->Parent ? std::string(TextOf(record->Parent)) : std::string();
}

// A value is pending after the list: the wrapper's call passes it on to
// its caller's call, whose depth is two below the word's own.
void passOn()
{
    int target = CallDepth - 2;
    if (UnwindDepth == kNoUnwind) {
        UnwindKind = ukOutput;
        UnwindDepth = target;
    } else if (target < UnwindDepth) {
        UnwindDepth = target;
    }
}

bool isMarker(const Atom* e)
{
    if (!IsWordOrNumber(e) || e->Kind != akWord) return false;
    std::string_view t = TextOf(e);
    return t == ":" || t == "\"" || t == ",";
}

// What a template runs and which names its inputs get.
struct Template {
    Atom* body = nullptr;
    std::vector<std::string> names;
    bool question = false;  // `?` names: ?, ?1, ?2 ...
};

Template readTemplate(Atom* code, int inputs)
{
    Template t;
    if (IsVariable(code)) {
        // An object passed by value: its lambda member is what a call runs.
        Atom* lambda = FindMember(code, NormalizedReserved(rwLambda));
        code = LeftOf(lambda ? lambda : code);
    }
    if (IsWordOrNumber(code)) {
        // A procedure's name: the statement  (name : ?1 : ?2 ...), in
        // parentheses so that inputs beyond its own reach it as well.
        Atom *head = nullptr, *tail = nullptr;
        Append(head, tail, code);
        for (int i = 1; i <= inputs; ++i) {
            Append(head, tail, NewWord(":"));
            Append(head, tail, NewWord("?" + std::to_string(i)));
        }
        for (Atom* c = head; c; c = RightOf(c)) c->Kind = akGroup;
        t.body = NewCell(head, nullptr);
        t.question = true;
        return t;
    }
    if (IsObject(code) && code->Kind == akList && IsList(LeftOf(code))) {
        // [[x y] body] and a procedure's definition list [[: x] body].
        for (Atom* c = LeftOf(code); c; c = RightOf(c))
            if (!isMarker(LeftOf(c))) t.names.push_back(ToText(LeftOf(c)));
        t.body = RightOf(code);
        return t;
    }
    t.body = code;
    t.question = true;
    return t;
}

int countOf(Atom* list)
{
    int n = 0;
    for (Atom* c = list; IsObject(c) && (c->Kind == akList || c->Kind == akGroup); c = RightOf(c)) ++n;
    return n;
}

// A scope for the template's inputs inside the caller's.
Atom* bindInputs(const Template& t, Atom* values, Atom* scope)
{
    Atom* bound = NewVariableNamed(AnonymousName(), nullptr);
    bound->Flags |= flActivation;
    AttachRecordAgain(bound, scope);
    int i = 0;
    for (Atom* c = values; IsObject(c); c = RightOf(c)) {
        ++i;
        if (t.question) {
            if (i == 1) CreatePath(bound, "?", LeftOf(c), true);
            CreatePath(bound, "?" + std::to_string(i), LeftOf(c), true);
        } else if (i <= static_cast<int>(t.names.size())) {
            CreatePath(bound, t.names[i - 1], LeftOf(c), true);
        }
    }
    if (!t.question && i < static_cast<int>(t.names.size())) {
        DetachRecord(bound);
        RaiseError("NOINPUT", {wordName(), t.names[i]});
    }
    return bound;
}

// Runs the list (with the contexts as they were, whatever happens) and
// tells what the word must do next.
bool runIn(Atom* scope, Atom* list, Atom** value)
{
    int contexts = ContextDepth();
    struct Restore {
        int depth;
        ~Restore()
        {
            while (ContextDepth() > depth) PopContext();
        }
    } restore{contexts};
    PushContext(scope);
    RunList(list);
    if (PendingOutput != NoValue) {
        passOn();
        *value = PendingOutput;
        return false;
    }
    *value = LastPopped;
    return true;
}

void keepError()
{
    PendingNativeException = std::current_exception();
    NativeErrorPending = true;
}

}  // namespace

bool RunForCaller(Atom* code, bool slots, Atom* values, Atom** value)
{
    *value = NoValue;
    try {
        Hold holdCode(code), holdValues(values);
        Atom* scope = callerScope();
        if (!slots) {
            if (!IsList(code)) RaiseError("NOTLIKE", {wordName(), ToText(code)});
            return runIn(scope, code, value);
        }
        Template t = readTemplate(code, countOf(values));
        Hold holdBody(t.body);
        if (!IsList(t.body)) RaiseError("NOTLIKE", {wordName(), ToText(code)});
        Atom* bound = bindInputs(t, values, scope);
        Hold holdBound(bound);
        struct Unbind {
            Atom* node;
            ~Unbind()
            {
                DetachRecord(node);
                --TemplateRuns;
            }
        } unbind{bound};
        ++TemplateRuns;
        return runIn(bound, t.body, value);
    } catch (...) {
        keepError();
        return false;
    }
}

void LeaveCaller(Atom* value)
{
    PendingOutput = value == NoValue ? NewWord("stop") : value;
    UnwindKind = value == NoValue ? ukStop : ukOutput;
    UnwindDepth = CallDepth - 2;
}

void ThrowToCatch(std::string_view tag, Atom* value)
{
    std::string t = upper(tag);
    bool caught = t == "TOPLEVEL";
    for (const auto& c : gCatchTags) caught = caught || c == t;
    if (!caught) RaiseError("NOCATCH", {std::string(tag)});
    gThrowTag = t;
    PendingOutput = value == NoValue ? NewWord(tag) : value;
    // Every call passes a throw on; its catch takes it.
    UnwindKind = ukThrow;
    UnwindDepth = -kNoUnwind;
    gThrowHasValue = value != NoValue;
}

bool RunCatching(std::string_view tag, Atom* list, Atom** value)
{
    *value = NoValue;
    std::string t = upper(tag);
    size_t depth = gCatchTags.size();
    int callDepth = CallDepth, evalDepth = EvalDepth;
    gCatchTags.push_back(t);
    struct Pop {
        size_t depth;
        ~Pop() { gCatchTags.resize(depth); }
    } pop{depth};
    try {
        Hold holdList(list);
        if (!IsList(list)) RaiseError("NOTLIKE", {wordName(), ToText(list)});
        if (runIn(callerScope(), list, value)) return true;
        if (UnwindKind == ukThrow && gThrowTag == t) {
            *value = gThrowHasValue ? PendingOutput : NoValue;
            PendingOutput = NoValue;
            UnwindDepth = kNoUnwind;
            return true;
        }
        return false;
    } catch (const LanguageError& e) {
        if (t != "ERROR" || e.IsStop()) {
            keepError();
            return false;
        }
        // The failed calls inside the list end here.
        CallDepth = callDepth;
        EvalDepth = evalDepth;
        PendingOutput = NoValue;
        UnwindDepth = kNoUnwind;
        return true;
    } catch (...) {
        keepError();
        return false;
    }
}

}  // namespace tavro

#include "assignment.h"

#include <vector>

#include "environment.h"
#include "errors.h"
#include "executor.h"
#include "interpreter.h"
#include "member_cache.h"
#include "reserved_words.h"
#include "state.h"
#include "structure.h"

namespace tavro {

namespace {

int gPlanGeneration = 0;
bool gPlanRunning = false;

// A context pushed for the duration of a scope.
class ContextScope {
public:
    explicit ContextScope(Atom* node) { PushContext(node); }
    ~ContextScope() { PopContext(); }
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;
};

// Sets flag 4 on a node for the duration of a scope.
class BusyScope {
public:
    explicit BusyScope(Atom* node) : node_(node) { node_->Flags |= flBusy; }
    ~BusyScope() { node_->Flags &= ~flBusy; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Atom* node_;
};

Atom* word(std::string_view text) { return NewWord(text); }

// A statement list built front to back.
struct ListBuilder {
    Atom* head = nullptr;
    Atom* tail = nullptr;
    ListBuilder& add(Atom* element)
    {
        Append(head, tail, element);
        return *this;
    }
};

// A fresh copy of the cells from `first` to `last` inclusive (the elements
// are shared).
Atom* copyCells(Atom* first, Atom* last)
{
    ListBuilder b;
    for (Atom* c = first; c; c = RightOf(c)) {
        b.add(LeftOf(c));
        if (c == last) break;
    }
    return b.head;
}

void collectNames(Atom* list, std::vector<std::string>& names)
{
    bool afterColon = false;
    for (Atom* c = list; c; c = RightOf(c)) {
        Atom* e = LeftOf(c);
        if (IsObject(e) && (e->Kind == akList || e->Kind == akGroup)) {
            collectNames(e, names);
            afterColon = false;
            continue;
        }
        if (!IsWordOrNumber(e)) {
            afterColon = false;
            continue;
        }
        std::string text = ToText(e);
        if (afterColon) {
            size_t dot = text.find('.');
            if (dot != std::string::npos && dot != 0) text.resize(dot);
            names.push_back(text);
        }
        afterColon = text == ":";
    }
}

void recordDefinition(Atom* node, Atom* first, Atom* last)
{
    ListBuilder s;
    s.add(word(NormalizedReserved(rwMake)))
        .add(word("\""))
        .add(word(std::string(TextOf(node)) + "." + NormalizedReserved(rwDefinition)))
        .add(copyCells(first, last));
    Hold hold(s.head);
    RunList(s.head);
}

void recordDependencies(Atom* node, Atom* first, Atom* last)
{
    Atom* formula = copyCells(first, last);
    Hold holdFormula(formula);
    if (formula && IsWordOrNumber(LeftOf(formula)) &&
        Normalize(ToText(LeftOf(formula))) == NormalizedReserved(rwOb))
        formula->Left = word(NormalizedReserved(rwMake));
    std::vector<std::string> names;
    collectNames(formula, names);
    if (names.empty()) return;
    std::string own(TextOf(node));
    const std::string& make = NormalizedReserved(rwMake);
    const std::string& onchange = NormalizedReserved(rwOnChange);
    const std::string& ondepend = NormalizedReserved(rwOnDepend);
    ListBuilder s;
    for (const auto& x : names) {
        s.add(word(make)).add(word("\"")).add(word(x + "." + onchange + "." + own)).add(formula)
            .add(word(","));
        s.add(word(make)).add(word("\"")).add(word(own + "." + ondepend + "." + x)).add(word(","));
    }
    Hold hold(s.head);
    RunList(s.head);
}

// Hooks, change handlers, plan entries and history notifications run as
// statement lists, which start by forgetting any pending output. They may
// run while a procedure's `output` is on its way to its caller (the
// history of a name changed inside the call runs when the value is
// given): the value is kept and given back unless the hook itself left
// something pending (a throw on its way to its catch).
class PendingOutputKeeper {
public:
    PendingOutputKeeper() : output_(PendingOutput), hold_(PendingOutput), depth_(UnwindDepth), kind_(UnwindKind) {}
    ~PendingOutputKeeper()
    {
        if (PendingOutput != NoValue || output_ == NoValue) return;
        PendingOutput = output_;
        UnwindDepth = depth_;
        UnwindKind = kind_;
    }
    PendingOutputKeeper(const PendingOutputKeeper&) = delete;
    PendingOutputKeeper& operator=(const PendingOutputKeeper&) = delete;

private:
    Atom* output_;
    Hold hold_;
    int depth_;
    uint8_t kind_;
};

void finishChange(Atom* node, bool existed)
{
    node->Flags &= ~flAssigning;
    if (existed && (node->Flags & flHistory)) HistoryQueue.insert(DottedPath(node));
}

}  // namespace

void ResetAssignmentState()
{
    gPlanGeneration = 0;
    gPlanRunning = false;
}

void RunHookList(Atom* list, const std::string& name)
{
    if (!IsObject(list) || list->Kind != akList) return;
    PendingOutputKeeper keep;
    Hold holdList(list);
    for (Atom* c = list; c; c = RightOf(c)) {
        ListBuilder s;
        s.add(LeftOf(c)).add(word("\"")).add(word(name)).add(word(","));
        Hold hold(s.head);
        RunList(s.head);
    }
}

void RunChangeHandlers(Atom* node)
{
    for (Atom* p = node->Parent; p; p = p->Parent)
        if (p->Flags & flAssigning) return;
    if (node->Flags & flBusy) return;
    PendingOutputKeeper keep;
    Hold holdNode(node);
    for (Atom* cur = node; cur && cur->ChangeChild; cur = cur->Parent) {
        Atom* handler = LeftOf(cur->ChangeChild);
        ContextScope scope(cur->Parent ? cur->Parent : cur);
        BusyScope busy(node);
        if (handler) RunList(handler);
    }
}

void BuildPlan(Atom* object)
{
    const std::string& onplan = NormalizedReserved(rwOnPlan);
    if (FindMember(object, onplan)) return;
    int generation = ++gPlanGeneration;

    // The object's own formulas are not part of its plan.
    if (Atom* depend = FindMember(object, NormalizedReserved(rwOnDepend))) {
        for (Atom* x = depend->FirstChild; x; x = x->NextSibling) {
            Atom* input = Resolve(TextOf(x));
            if (input && input->ChangeChild)
                if (Atom* entry = FindMember(input->ChangeChild, Normalize(TextOf(object))))
                    entry->Stamp = generation;
        }
    }

    struct Queued {
        Atom* node;
        bool superseded;
    };
    std::vector<Queued> queue{{object, false}};
    auto grandparentName = [](Atom* entry) -> std::string_view {
        return entry->Parent && entry->Parent->Parent ? TextOf(entry->Parent->Parent)
                                                      : std::string_view();
    };
    std::string_view objectName = TextOf(object);

    for (size_t i = 0; i < queue.size(); ++i) {
        Atom* found = Resolve(TextOf(queue[i].node));
        if (!found || !found->ChangeChild) continue;
        for (Atom* c = found->ChangeChild->FirstChild; c; c = c->NextSibling) {
            if (c->Stamp == generation) continue;
            c->Stamp = generation;
            queue.push_back({c, false});
            std::string_view d = TextOf(c);
            std::string_view x = grandparentName(c);
            size_t count = queue.size();
            bool cycle = false;
            for (size_t k = 1; k + 1 < count; ++k) {
                if (TextOf(queue[k].node) == x && grandparentName(queue[k].node) == d) {
                    cycle = true;
                    break;
                }
            }
            if (cycle) {
                queue.pop_back();
                continue;
            }
            for (size_t k = 1; k + 1 < count; ++k)
                if (TextOf(queue[k].node) == d && grandparentName(queue[k].node) != objectName)
                    queue[k].superseded = true;
        }
    }

    ListBuilder plan;
    for (size_t k = 1; k < queue.size(); ++k)
        if (!queue[k].superseded) plan.add(word(DottedPath(queue[k].node)));
    CreatePath(object, onplan, plan.head, true);
}

void RunPlanEntry(const std::string& fullName)
{
    Atom* entry = Resolve(fullName);
    if (!entry) return;
    PendingOutputKeeper keep;
    Hold hold(entry);
    Atom* scope = entry->Parent && entry->Parent->Parent ? entry->Parent->Parent : RootNode();
    ContextScope context(scope);
    BusyScope busy(entry);
    RunList(LeftOf(entry));
}

void ProcessHistoryQueue()
{
    if (HistoryQueue.empty()) return;
    PendingOutputKeeper keep;
    while (!HistoryQueue.empty()) {
        std::string name = *HistoryQueue.begin();
        HistoryQueue.erase(HistoryQueue.begin());
        Atom* node = Resolve(name);
        if (!node) continue;
        std::string own(TextOf(node));
        ListBuilder s;
        if (!Resolve(NormalizedReserved(rwHistory) + "." + own))
            s.add(word(NormalizedReserved(rwOnHistoryCreate))).add(word("\"")).add(word(own)).add(word(","));
        s.add(word(NormalizedReserved(rwOnHistoryUpdate))).add(word("\"")).add(word(own));
        Hold hold(s.head);
        RunList(s.head);
    }
}

namespace {

// The display-list upkeep of every assignment that is not a handler or
// formula entry, after the value changed.
void redrawAfterChange(Atom* node)
{
    for (Atom* n = node; n; n = n->Parent) Env().BuildDisplayList(n);
    if (!(node->Flags & flNotDrawn) && node->Parent && TextOf(node->Parent) != "[]" &&
        Env().HasDisplayList(node))
        SceneChanged = true;
}

// Most assignments give a plain variable a new value: no hooks anywhere,
// no handler, no formula, plan, history, definition or dependency to keep,
// no lock and no assignment in progress on its path, no members, and a
// value that is no node. For those this is everything the general way
// does; false (nothing done) for any other.
// A definition list: [[parameters] body ...].
bool IsDefinition(const Atom* value)
{
    return IsObject(value) && value->Kind == akList && IsList(LeftOf(value));
}

bool assignPlainly(TStack& stack, const AssignArguments& a, Atom* node)
{
    constexpr uint32_t kSpecial = flOb | flBusy | flAssigning | flLocked | flKeepDefinition | flHistory |
                                  flTrackDependencies | flLibraryWord;
    if (a.value == NoValue || a.before || a.after || a.isOb || MakeHooksMayExist()) return false;
    if ((node->Flags & kSpecial) || node->FirstChild || node->ChangeChild || IsVariable(a.value) ||
        a.value == node)
        return false;
    Atom* parent = node->Parent;
    if (parent && (parent->ChangeChild == node || (parent->Parent && parent->Parent->ChangeChild == parent)))
        return false;
    if (HasInheritedFlag(parent, flLocked | flAssigning)) return false;

    // Without display lists the upkeep around the change does nothing.
    const bool drawn = Env().KeepsDisplayLists();
    if (drawn) Env().DeleteDisplayList(node);
    ReplaceValue(node, a.value);
    if (drawn) redrawAfterChange(node);
    stack.Push(node);
    return true;
}

}  // namespace

void AssignVariable(TStack& stack, const AssignArguments& a)
{
    struct DepthScope {
        DepthScope() { ++CallDepth; }
        ~DepthScope() { --CallDepth; }
    } depth;
    Atom* node = a.nameAtom ? ResolveName(a.nameAtom, a.name) : Resolve(a.name);
    // Nothing on the short way can run a program or collect before the
    // value hangs in the tree: it needs no holds.
    if (node && assignPlainly(stack, a, node)) return;
    // A library procedure is not replaced by a variable unless the program
    // unlocks it first; a definition (to count ...) replaces it on purpose.
    if (node && (node->Flags & flLibraryWord)) {
        if (!IsDefinition(a.value)) RaiseError("LIBRARYWORD", {std::string(TextOf(node))});
        node->Flags &= ~flLibraryWord;  // the program's own procedure from now on
    }
    Hold hb(a.before), hv(a.value), ha(a.after), hf(a.firstCell), hl(a.lastCell);
    bool existed = node != nullptr;
    if (!node) {
        Atom* owner = State->LastOwner ? State->LastOwner : RootNode();
        std::string missing(LastName());
        node = CreatePath(owner, missing, nullptr, false);
    }
    Hold holdNode(node);

    Atom* parent = node->Parent;
    bool isChangeMember = parent && parent->ChangeChild == node;
    bool isFormulaEntry = parent && parent->Parent && parent->Parent->ChangeChild == parent;
    bool special = isChangeMember || isFormulaEntry;

    if (!special && !(node->Flags & flLocked)) Env().DeleteDisplayList(node);
    if (!special) {
        if (Atom* hooks = MakeHooksMayExist() ? ResolveInContext(NormalizedReserved(rwOnBeforeMake)) : nullptr)
            RunHookList(LeftOf(hooks), std::string(a.name));
        RunHookList(a.before, std::string(a.name));
    }
    if (HasInheritedFlag(node, flLocked)) RaiseError("USERLOCK", {std::string(TextOf(node))});

    if (a.value != NoValue) {
        bool assignmentInProgress = HasInheritedFlag(node, flAssigning);
        node->Flags |= flAssigning;
        if (!existed && isFormulaEntry) MoveToEnd(node);
        if (isChangeMember) {
            Atom* old = LeftOf(node);
            if (existed && old && old->Kind == akList && IsList(a.value)) {
                // A list is appended to the handler after a ",", and the
                // empty list appends nothing. Two lists that end in the
                // same cell share their tail (the handler itself, or a
                // list made from it): appended as it is, it would make the
                // handler endless, so its cells are copied.
                if (a.value) {
                    Atom* added = a.value;
                    if (LastCell(added) == LastCell(old)) {
                        added = copyCells(a.value, nullptr);
                        for (Atom *from = a.value, *to = added; to; from = RightOf(from), to = RightOf(to))
                            if (HasPosition(from)) SetPosition(to, GetPosition(from));
                    }
                    // Every statement's code ends by naming the cell after
                    // it; the old last statement named none and must not
                    // end the longer list.
                    for (Atom* c = old; c; c = RightOf(c)) DiscardCode(c);
                    LastCell(old)->Right = NewCell(word(","), added);
                }
            } else {
                ReplaceValue(node, a.value);
            }
            finishChange(node, existed);
        } else if (assignmentInProgress || (node->Flags & flBusy)) {
            // Inside its own change: ignored.
            if (IsVariable(a.value)) Detach(a.value);
        } else {
            if (IsVariable(a.value) && a.value != node) {
                Atom* object = a.value;
                if (Atom* change = node->ChangeChild) {
                    Detach(change);
                    Attach(change, object);
                }
                Detach(object);
                Atom* oldParent = node->Parent;
                Detach(node);
                SetName(object, TextOf(node));
                object->Flags = node->Flags;
                Attach(object, oldParent);
                node = object;
            } else if (a.value != node) {
                ClearNode(node);
                node->Left = a.value;
            }
            node->Flags |= flAssigning;
            if (!isFormulaEntry) {
                RunChangeHandlers(node);
                if (node->Flags & flOb) BuildPlan(node);
            }
            finishChange(node, existed);
        }
    }
    node->Flags &= ~flAssigning;

    if (special)
        for (Atom* n = node; n; n = n->Parent) Env().BuildDisplayList(n);
    else
        redrawAfterChange(node);

    if (node->Flags & flKeepDefinition) recordDefinition(node, a.firstCell, a.lastCell);
    if (a.isOb) node->Flags |= flOb;
    if ((node->Flags & flTrackDependencies) || a.isOb)
        recordDependencies(node, a.firstCell, a.lastCell);

    if (!gPlanRunning && (node->Flags & flOb)) {
        if (Atom* plan = FindMember(node, NormalizedReserved(rwOnPlan))) {
            struct Guard {
                Guard() { gPlanRunning = true; }
                ~Guard() { gPlanRunning = false; }
            } guard;
            Atom* entries = LeftOf(plan);
            Hold holdEntries(entries);
            if (IsObject(entries) && entries->Kind == akList)
                for (Atom* c = entries; c; c = RightOf(c)) RunPlanEntry(ToText(LeftOf(c)));
        }
    }

    // After-hooks are skipped only for a node that is both a handler and a
    // formula entry: a new handler or formula is announced like any change.
    if (!(isChangeMember && isFormulaEntry)) {
        if (Atom* hooks = MakeHooksMayExist() ? ResolveInContext(NormalizedReserved(rwOnAfterMake)) : nullptr)
            RunHookList(LeftOf(hooks), std::string(a.name));
        RunHookList(a.after, std::string(a.name));
    }
    stack.Push(node);
}

}  // namespace tavro

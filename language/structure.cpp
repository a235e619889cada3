#include "structure.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <vector>

#include "errors.h"
#include "member_cache.h"
#include "reserved_words.h"
#include "state.h"

namespace tavro {

const bool VerifyLookups = std::getenv("TAVRO_VERIFY_LOOKUPS") != nullptr;

namespace detail {
uint64_t gTreeEpoch = 1;
}  // namespace detail

namespace {

constexpr std::string_view kRootName = "[Root]";

// "[Root]" as names are compared: upper-cased too when names are not
// case-sensitive, so root paths work in both modes.
std::string_view rootName()
{
    static const std::string upper = UpperCase(kRootName);
    return NamesCaseSensitive() ? kRootName : std::string_view(upper);
}

void setLastName(std::string_view name) { SetText(&State->LastName, name); }

bool nameEquals(const Atom* member, std::string_view normalizedName)
{
    std::string_view n = TextOf(member);
    if (NamesCaseSensitive())
        return n.size() == normalizedName.size() &&
               (n.empty() || (n[0] == normalizedName[0] && n == normalizedName));
    return Normalize(n) == normalizedName;
}

// Activation records and anonymous nodes are never looked up through the
// cache (records are small and short-lived; "[]" cannot be written as a
// name), so their members need no cache upkeep either.
bool uncached(const Atom* owner, std::string_view name)
{
    return (owner->Flags & flActivation) || name == "[]";
}

// Activation records and anonymous nodes, and whatever hangs below them:
// simple names are never found as such a node, so attaching or detaching
// one changes no remembered answer of ResolveName, and chains that pass
// through one are never remembered.
bool anonymous(const Atom* node)
{
    std::string_view n = TextOf(node);
    return n.size() == 2 && n == "[]";
}

bool hiddenFromNames(const Atom* node) { return (node->Flags & flActivation) || anonymous(node); }

// The member chain: newest first.
void linkFirst(Atom* node, Atom* parent)
{
    node->NextSibling = parent->FirstChild;
    parent->FirstChild = node;
}

void unlink(Atom* node, Atom* parent)
{
    if (parent->FirstChild == node) {
        parent->FirstChild = node->NextSibling;
    } else {
        for (Atom* m = parent->FirstChild; m; m = m->NextSibling) {
            if (m->NextSibling == node) {
                m->NextSibling = node->NextSibling;
                break;
            }
        }
    }
    node->Parent = nullptr;
}

// The name of a member as lookups compare it.
std::string normalizedName(const Atom* node)
{
    return NamesCaseSensitive() ? std::string(TextOf(node)) : Normalize(TextOf(node));
}

}  // namespace

std::string_view LastName() { return View(State->LastName); }

namespace {
std::vector<Atom*> gGlobalScopes;
bool gGlobalScopesKnown = false;
const Atom* gGlobalScopesRoot = nullptr;
}  // namespace

void ForgetGlobalScopes()
{
    gGlobalScopesKnown = false;
    NoteTreeChange();
}

namespace detail {
bool gMakeHooksSeen = false;
bool gLambdaSeen = false;
}  // namespace detail
using detail::gLambdaSeen;
using detail::gMakeHooksSeen;

void NoteMemberName(std::string_view n)
{
    if (n == NormalizedReserved(rwOnBeforeMake) || n == NormalizedReserved(rwOnAfterMake))
        gMakeHooksSeen = true;
    if (n == NormalizedReserved(rwLambda)) gLambdaSeen = true;
}

namespace {
// What a new member named `n` (normalised) means to its parent: hook names
// are noted, and "ondrawimage" and "onchange" become its special members.
void noteNewMember(Atom* node, Atom* parent, std::string_view n)
{
    NoteMemberName(n);
    if (n == NormalizedReserved(rwOnDrawImage))
        parent->DrawImageChild = node;
    else if (n == NormalizedReserved(rwOnChange))
        parent->ChangeChild = node;
}
}  // namespace

const std::vector<Atom*>& GlobalScopes()
{
    // Looked up on every lookup that reaches the root, whose members are
    // the hundreds of library procedures: scanned only when it changed.
    if (!gGlobalScopesKnown || gGlobalScopesRoot != State->Root) {
        gGlobalScopes.clear();
        if (State->Root)
            for (Atom* g = State->Root->FirstChild; g; g = g->NextSibling)
                if (g->Flags & flGlobalScope) gGlobalScopes.push_back(g);
        gGlobalScopesKnown = true;
        gGlobalScopesRoot = State->Root;
    }
    return gGlobalScopes;
}

namespace {
TContext* gSpareContexts = nullptr;
int gContextDepth = 0;
}  // namespace

// ---------------------------------------------------------------- contexts

void PushContext(Atom* node)
{
    if (!node) node = State->Contexts->Node;
    AddRef(node);
    TContext* c = gSpareContexts;
    if (c) {
        gSpareContexts = c->Link;
        *c = TContext{nullptr, node, State->Contexts};
    } else {
        c = new TContext{nullptr, node, State->Contexts};
    }
    State->Contexts = c;
    ++gContextDepth;
    if (node != State->Root && TextOf(node) == kRootName) {
        State->Root = node;
        NoteTreeChange();
    }
}

Atom* PopContext()
{
    TContext* c = State->Contexts;
    Atom* node = Release(c->Node);
    State->Contexts = c->Link;
    --gContextDepth;
    // Kept for the next push: calls push and pop a context each.
    c->Node = nullptr;
    c->Link = gSpareContexts;
    gSpareContexts = c;
    return node;
}

Atom* RootNode() { return State->Root; }

void ClearRoot()
{
    State->Root = nullptr;
    NoteTreeChange();
}

int ContextDepth() { return State && State->Contexts ? gContextDepth : 0; }

// ---------------------------------------------------------- tree operations

void Attach(Atom* node, Atom* parent)
{
    if (!IsObject(node) || node->Parent == parent) return;
    node->Parent = parent;
    if (!parent) return;
    if ((parent->Flags & flNamesRemembered) && !hiddenFromNames(parent) && !anonymous(node)) NoteTreeChange();
    linkFirst(node, parent);
    std::string_view name = TextOf(node);
    std::string normalized = NamesCaseSensitive() ? std::string() : Normalize(name);
    std::string_view n = NamesCaseSensitive() ? name : std::string_view(normalized);
    // The new member is now the first of its name.
    if (!uncached(parent, n)) {
        member_cache::Store(parent, n, node);
        member_index::Attached(parent, n, node);
    }
    if ((node->Flags & flGlobalScope) && parent == State->Root) ForgetGlobalScopes();
    noteNewMember(node, parent, n);
}

void Detach(Atom* node)
{
    if (!IsObject(node) || !node->Parent) return;
    Atom* parent = node->Parent;
    if ((parent->Flags & flNamesRemembered) && !hiddenFromNames(parent) && !anonymous(node)) NoteTreeChange();
    if (!uncached(parent, TextOf(node))) {
        std::string name = normalizedName(node);
        member_cache::Forget(parent, name);
        Atom* first;
        if (member_index::Lookup(parent, name, first) && first == node) {
            Atom* next = node->NextSibling;
            while (next && !nameEquals(next, name)) next = next->NextSibling;
            member_index::Detached(parent, name, node, next);
        }
    }
    if ((node->Flags & flGlobalScope) && parent == State->Root) ForgetGlobalScopes();
    if (parent->DrawImageChild == node) parent->DrawImageChild = nullptr;
    if (parent->ChangeChild == node) parent->ChangeChild = nullptr;
    unlink(node, parent);
}

namespace {
// The owner whose last member was last looked for, and that member. Still
// right when the member has that owner and nothing after it: a member that
// was detached has no owner, one attached again in front has a successor.
const Atom* gLastOwner = nullptr;
Atom* gLastMember = nullptr;

Atom* lastMember(const Atom* owner)
{
    if (gLastOwner == owner && gLastMember && gLastMember->Parent == owner && !gLastMember->NextSibling)
        return gLastMember;
    Atom* m = owner->FirstChild;
    while (m && m->NextSibling) m = m->NextSibling;
    return m;
}
}  // namespace

void MoveToEnd(Atom* node)
{
    Atom* parent = node->Parent;
    if (!parent || !node->NextSibling) return;
    // The only member of its name keeps every remembered answer (lookup
    // cache, index, special members): only the chain changes.
    Atom* last = lastMember(parent);
    if (parent->FirstChild == node) {
        parent->FirstChild = node->NextSibling;
    } else {
        Atom* m = parent->FirstChild;
        while (m->NextSibling != node) m = m->NextSibling;
        m->NextSibling = node->NextSibling;
    }
    last->NextSibling = node;
    node->NextSibling = nullptr;
    gLastOwner = parent;
    gLastMember = node;
    NoteTreeChange();
}

namespace {

// The members after the eighth of a long chain: the cache, the index, or
// a scan that builds the index. Out of line: most lookups never get here.
[[gnu::noinline]] Atom* findInLongChain(const Atom* owner, std::string_view name, Atom* m)
{
    if (owner->Flags & flActivation) {
        for (; m; m = m->NextSibling)
            if (nameEquals(m, name)) return m;
        return nullptr;
    }
    Atom* found;
    if (member_cache::Lookup(owner, name, found)) return found;
    found = nullptr;
    if (!member_index::Lookup(owner, name, found)) {
        int scanned = 8;
        for (; m; m = m->NextSibling, ++scanned) {
            if (nameEquals(m, name)) {
                found = m;
                break;
            }
        }
        // A long chain scanned to its end: index it for next time.
        if (!m && scanned > member_index::kIndexedMembers) member_index::Build(owner);
    }
    member_cache::Store(owner, name, found);
    return found;
}

[[gnu::noinline]] Atom* findWithPrevious(const Atom* owner, std::string_view name, Atom** previous)
{
    Atom* prev = nullptr;
    for (Atom* m = owner->FirstChild; m; prev = m, m = m->NextSibling) {
        if (nameEquals(m, name)) {
            *previous = prev;
            return m;
        }
    }
    *previous = nullptr;
    return nullptr;
}

}  // namespace

Atom* FindMember(const Atom* owner, std::string_view name, Atom** previous)
{
    if (previous) return findWithPrevious(owner, name, previous);
    Atom* cached;
    // The root holds every procedure: the cache first.
    if (owner == State->Root && member_cache::Lookup(owner, name, cached)) return cached;
    // Small owners (activation records, most objects) are scanned at once;
    // only a long chain is worth the cache.
    Atom* m = owner->FirstChild;
    for (int k = 0; k < 8 && m; ++k, m = m->NextSibling)
        if (nameEquals(m, name)) return m;
    return m ? findInLongChain(owner, name, m) : nullptr;
}

Atom* PreviousMember(const Atom* owner, const Atom* node)
{
    Atom* prev = nullptr;
    for (Atom* m = owner->FirstChild; m; prev = m, m = m->NextSibling)
        if (m == node) return prev;
    return nullptr;
}

std::string DottedPath(const Atom* node)
{
    if (!node->Parent) return std::string(TextOf(node));
    std::string path(TextOf(node));
    for (const Atom* p = node->Parent; p && p->Parent; p = p->Parent) {
        path.insert(0, 1, '.');
        path.insert(0, TextOf(p));
    }
    return path;
}

bool HasInheritedFlag(const Atom* node, uint32_t bits)
{
    for (; IsObject(node); node = node->Parent)
        if (node->Flags & bits) return true;
    return false;
}

void ClearFlagsInTree(Atom* node, uint32_t bits)
{
    if (!IsObject(node)) return;
    node->Flags &= ~bits;
    for (Atom* m = node->FirstChild; m; m = m->NextSibling) ClearFlagsInTree(m, bits);
}

void ClearBusy(Atom* node) { ClearFlagsInTree(node, flBusy); }

void ClearNode(Atom* node)
{
    ReplaceValue(node, nullptr);
    if (!node->FirstChild) return;  // nothing to drop or keep
    NoteTreeChange();
    Atom* change = node->ChangeChild;
    Detach(change);
    Atom* depend = FindMember(node, NormalizedReserved(rwOnDepend));
    Detach(depend);
    // Dropped members leave the tree for good: without a parent they can
    // no longer be taken for members of this node.
    for (Atom* m = node->FirstChild; m; m = m->NextSibling) m->Parent = nullptr;
    node->FirstChild = nullptr;
    node->DrawImageChild = nullptr;
    node->ChangeChild = nullptr;
    member_index::Drop(node);
    if (node == State->Root) ForgetGlobalScopes();
    if (change) {
        change->Parent = nullptr;
        Attach(change, node);
    }
    if (depend) {
        depend->Parent = nullptr;
        Attach(depend, node);
    }
}

void ForgetMembers(Atom* node)
{
    NoteTreeChange();
    member_index::Drop(node);
    if (node == State->Root) ForgetGlobalScopes();
    for (Atom* m = node->FirstChild; m; m = m->NextSibling) m->Parent = nullptr;
    node->FirstChild = nullptr;
    node->DrawImageChild = nullptr;
    node->ChangeChild = nullptr;
}

void CopyInto(const Atom* source, Atom* target)
{
    // Iterative, so the depth of an object costs no machine stack. Every
    // member is copied before its copy is attached anywhere the walk can
    // see: a target below the source (a copy of the root lands under the
    // root) is never copied into itself.
    struct Pending {
        const Atom* from;
        Atom* into;
    };
    std::vector<Pending> work{{source, target}};
    std::vector<Atom*> members;
    while (!work.empty()) {
        Pending p = work.back();
        work.pop_back();
        ReplaceValue(p.into, LeftOf(p.from));
        members.clear();
        for (Atom* m = p.from->FirstChild; m; m = m->NextSibling)
            if (m != p.from->ChangeChild && m != target) members.push_back(m);
        for (Atom* m : members) work.push_back({m, CreatePath(p.into, NameOf(m), nullptr, true)});
    }
}

// ---------------------------------------------------------- name resolution

std::string SplitFirst(std::string& path)
{
    size_t dot = path.find('.');
    std::string segment;
    if (dot == std::string::npos) {
        segment = std::move(path);
        path.clear();
    } else {
        segment = path.substr(0, dot);
        path.erase(0, dot + 1);
    }
    return Normalize(segment);
}

Atom* Walk(Atom*& node, std::string& path)
{
    while (!path.empty()) {
        std::string kept = path;
        std::string segment = SplitFirst(path);
        Atom* next = nullptr;
        if (segment.empty()) {
            if (!node->Parent) return nullptr;  // path keeps the rest
            node = node->Parent;
            continue;
        }
        if (segment == rootName()) {
            if (path.empty() || !State->Root) return nullptr;
            node = State->Root;
            continue;
        }
        if (segment == NormalizedReserved(rwOnDrawImage))
            next = node->DrawImageChild;
        else if (segment == NormalizedReserved(rwOnChange))
            next = node->ChangeChild;
        else
            next = FindMember(node, segment);
        if (!next) {
            path = path.empty() ? segment : kept;
            return nullptr;
        }
        node = next;
    }
    return node;
}

namespace {

enum class WalkOutcome { Found, Partial, NotFound };

// Walks `name` from `scope`: Found (whole name), Partial (first segment
// found, then failed), or NotFound (not even the first segment).
WalkOutcome walkScope(Atom* scope, const std::string& name, Atom*& result)
{
    Atom* node = scope;
    std::string path = name;
    Atom* found = Walk(node, path);
    if (found) {
        result = found;
        return WalkOutcome::Found;
    }
    if (path != name) {
        State->LastOwner = node;
        setLastName(path);
        return WalkOutcome::Partial;
    }
    return WalkOutcome::NotFound;
}

}  // namespace

namespace {

// A name of one segment that needs neither climbing nor the root prefix.
bool isSimpleName(std::string_view name)
{
    if (name.empty() || name[0] == '[') return false;
    for (char ch : name)
        if (ch == '.') return false;
    return true;
}

// One segment from one node, as Walk takes it.
Atom* stepInto(Atom* node, std::string_view segment)
{
    if (segment == NormalizedReserved(rwOnDrawImage)) return node->DrawImageChild;
    if (segment == NormalizedReserved(rwOnChange)) return node->ChangeChild;
    return FindMember(node, segment);
}

}  // namespace

namespace {

Atom* resolveGenerally(std::string_view rawName);

// A dotted name that goes down member by member (no empty segment, no
// root, no bracket), as Walk would take it segment by segment. The answer
// for one depends on the tree's shape alone, as a simple name's does.
bool isPlainPath(std::string_view name)
{
    if (name.empty() || name.front() == '.' || name.back() == '.') return false;
    return name.find('[') == std::string_view::npos && name.find("..") == std::string_view::npos;
}

// The node a plain path names, looked up segment by segment in place, or
// null when the general way must answer: nothing found, or a first segment
// found and a later one not (that way also tells where the name stopped).
Atom* resolvePathInPlace(std::string_view name)
{
    bool started = false;
    auto walkFrom = [&](Atom* node) -> Atom* {
        size_t dot = name.find('.');
        node = stepInto(node, name.substr(0, dot));
        if (!node) return nullptr;
        started = true;
        while (node && dot != std::string_view::npos) {
            size_t next = name.find('.', dot + 1);
            node = stepInto(node, name.substr(dot + 1, next == std::string_view::npos ? next : next - dot - 1));
            dot = next;
        }
        return node;
    };
    for (Atom* scope = ContextNode(TopContext()); scope; scope = scope->Parent) {
        Atom* found = walkFrom(scope);
        if (found || started) return found;
    }
    Atom* root = State->Root;
    if (!root) return nullptr;
    for (Atom* g : GlobalScopes()) {
        Atom* found = walkFrom(g);
        if (found || started) return found;
    }
    return walkFrom(root);
}

}  // namespace

Atom* Resolve(std::string_view rawName)
{
    // Most names are a single segment written as stored: found without
    // building any path text.
    if (NamesCaseSensitive() && isSimpleName(rawName)) {
        for (Atom* scope = ContextNode(TopContext()); scope; scope = scope->Parent)
            if (Atom* found = stepInto(scope, rawName)) return found;
        if (Atom* root = State->Root) {
            for (Atom* g : GlobalScopes())
                if (Atom* found = stepInto(g, rawName)) return found;
            if (Atom* found = stepInto(root, rawName)) return found;
        }
        State->LastOwner = nullptr;
        setLastName(rawName);
        return nullptr;
    }
    // So are most dotted names; what they do not find is looked up again
    // the general way, which tells where the name stopped.
    if (NamesCaseSensitive() && isPlainPath(rawName)) {
        if (Atom* found = resolvePathInPlace(rawName)) {
            if (VerifyLookups && resolveGenerally(rawName) != found) {
                std::fprintf(stderr, "tavro: the lookup in place of %.*s differs\n", static_cast<int>(rawName.size()),
                             rawName.data());
                std::abort();
            }
            return found;
        }
    }
    return resolveGenerally(rawName);
}

namespace {

Atom* resolveGenerally(std::string_view rawName)
{
    std::string name = Normalize(rawName);
    setLastName(name);
    if (name.empty()) {
        State->LastOwner = nullptr;
        return nullptr;
    }
    if (name == rootName()) return State->Root;
    if (name.size() > kRootName.size() && name.compare(0, kRootName.size(), rootName()) == 0) {
        State->LastOwner = nullptr;
        if (!State->Root) return nullptr;
        Atom* node = State->Root;
        std::string rest = name.substr(kRootName.size() + 1);
        return Walk(node, rest);
    }
    Atom* result = nullptr;
    for (Atom* scope = ContextNode(TopContext()); scope; scope = scope->Parent) {
        State->LastOwner = scope;
        WalkOutcome o = walkScope(scope, name, result);
        if (o == WalkOutcome::Found) return result;
        if (o == WalkOutcome::Partial) return nullptr;
    }
    if (State->Root) {
        for (Atom* g : GlobalScopes()) {
            State->LastOwner = g;
            WalkOutcome o = walkScope(g, name, result);
            if (o == WalkOutcome::Found) return result;
            if (o == WalkOutcome::Partial) return nullptr;
        }
        Atom* node = State->Root;
        std::string path = name;
        State->LastOwner = nullptr;
        setLastName(name);
        return Walk(node, path);
    }
    State->LastOwner = nullptr;
    setLastName(name);
    return nullptr;
}

}  // namespace

Atom* ResolveFrom(Atom* node, std::string_view name)
{
    if (!node) return nullptr;
    if (NamesCaseSensitive() && isSimpleName(name)) return stepInto(node, name);
    std::string path(name);
    return Walk(node, path);
}

Atom* ResolveInContext(std::string_view name)
{
    return ResolveFrom(ContextNode(TopContext()), name);
}

namespace {

using detail::gTreeEpoch;

// The word, its text, the scope, the answer and the tree epoch of the
// answer, as the front's memo holds them.
struct NameSite : detail::NameMemo {
    // A dotted name: found only while the record it is read in has no
    // member of its first segment's name.
    bool path = false;
};
constexpr size_t kNameSites = 2048;
NameSite gNameSites[kNameSites];

// Each (word, scope) has two places, side by side: two names of one loop
// that hash alike would otherwise take the place from each other at every
// lookup (which addresses the atoms get decides that, run by run). A new
// answer takes the place whose answer is of an earlier tree, else the
// second one.
NameSite& siteOf(const Atom* name, const Atom* scope)
{
    uint64_t h = (reinterpret_cast<uintptr_t>(name) >> 4) * 0x9E3779B97F4A7C15ull;
    h ^= reinterpret_cast<uintptr_t>(scope) >> 4;
    h *= 0xC2B2AE3D27D4EB4Full;
    NameSite* pair = &gNameSites[(h >> 40) & (kNameSites - 2)];
    if (pair[0].name == name && pair[0].scope == scope) return pair[0];
    if (pair[1].name == name && pair[1].scope == scope) return pair[1];
    return pair[0].epoch != gTreeEpoch ? pair[0] : pair[1];
}

// Whether an answer found from `scope` may be remembered: no node of the
// chain and no global scope is hidden from names (see hiddenFromNames).
bool rememberable(const Atom* scope)
{
    for (const Atom* n = scope; n; n = n->Parent)
        if (hiddenFromNames(n)) return false;
    if (State->Root)
        for (const Atom* g : GlobalScopes())
            if (hiddenFromNames(g)) return false;
    return true;
}

[[gnu::noinline]] Atom* stepIntoOutOfLine(Atom* node, std::string_view segment) { return stepInto(node, segment); }

// The member `name` of an activation record, as stepInto finds it. Records
// hold a few parameters: compared in place, most by length alone, then by
// the first byte (parameter names are short and a library call's name is
// often as long as one), and the library's memcmp only past that.
inline __attribute__((always_inline)) Atom* scanRecord(Atom* record, std::string_view name)
{
    const size_t size = name.size();
    if (size == NormalizedReserved(rwOnChange).size() || size == NormalizedReserved(rwOnDrawImage).size())
        return stepIntoOutOfLine(record, name);
    const char* bytes = name.data();
    for (Atom* m = record->FirstChild; m; m = m->NextSibling) {
        TText text = m->Text;
        if (text == bytes) return m;
        if (static_cast<size_t>(tavro_text_length(text)) != size) continue;
        if (size == 0 || (text[0] == bytes[0] && (size == 1 || std::memcmp(text + 1, bytes + 1, size - 1) == 0)))
            return m;
    }
    return nullptr;
}

}  // namespace

void DetachRecord(Atom* record)
{
    Atom* parent = record->Parent;
    if (!parent) return;
    // A record that was renamed or flagged since it was made takes the
    // general way; an activation record named "[]" needs none of Detach's
    // upkeep (no lookup cache, index, remembered lookup or special member
    // knows it).
    if (!(record->Flags & flActivation) || (record->Flags & flGlobalScope) || !anonymous(record)) {
        Detach(record);
        return;
    }
    unlink(record, parent);
}

void AttachRecordAgain(Atom* record, Atom* procedure)
{
    record->Parent = procedure;
    linkFirst(record, procedure);
}

Atom* AttachParameter(Atom* record, TText name, Atom* value)
{
    if (!NamesCaseSensitive()) return AttachNew(record, name, value);
    // Attach's work for a member of an activation record: no lookup cache,
    // index or remembered lookup concerns it; hook and special member names
    // still count.
    Atom* node = NewVariableNamed(name, value);
    node->Parent = record;
    linkFirst(node, record);
    noteNewMember(node, record, View(name));
    return node;
}

Atom* AttachRecord(Atom* procedure)
{
    // Exactly what AttachNew(procedure, AnonymousName(), nullptr) does for
    // the name "[]": no lookup cache, index, hook name or special member
    // concerns it, and no remembered lookup.
    Atom* record = NewVariableNamed(AnonymousName(), nullptr);
    record->Flags |= flActivation;
    AttachRecordAgain(record, procedure);
    return record;
}

namespace {

// Marks the nodes whose members a lookup from `scope` that found `found`
// searched: the scopes from `scope` up to the root, the global scopes, and
// the owners along the found node's path. Only a new or lost member of a
// marked node can change what a remembered lookup answers (Attach and
// Detach note the change for those alone); the marks stay.
void markSearched(Atom* scope, Atom* found)
{
    for (Atom* n = scope; n; n = n->Parent) n->Flags |= flNamesRemembered;
    if (State->Root) {
        State->Root->Flags |= flNamesRemembered;
        for (Atom* g : GlobalScopes()) g->Flags |= flNamesRemembered;
    }
    for (Atom* n = found->Parent; n; n = n->Parent) n->Flags |= flNamesRemembered;
}

// Whether a downward path read in an activation record is looked up from
// the record's procedure on: its first segment is no member of the record.
// Out of line: simple names are most reads.
[[gnu::noinline]] bool pathPassesRecord(Atom* record, std::string_view name)
{
    return !scanRecord(record, name.substr(0, name.find('.')));
}

}  // namespace

namespace {
Atom* resolveAtSite(const Atom* nameAtom, std::string_view name, Atom* scope, Atom* record, NameSite& site,
                    bool fresh);
}  // namespace

namespace detail {
NameMemo gNameMemos[kNameMemos];

bool RecordHasMember(Atom* record, std::string_view name) { return scanRecord(record, name) != nullptr; }

Atom* VerifiedMemo(const Atom* nameAtom, std::string_view name, Atom* found)
{
    if (ResolveNameFully(nameAtom, name) != found) {
        std::fprintf(stderr, "tavro: remembered lookup of %.*s is stale\n", static_cast<int>(name.size()),
                     name.data());
        std::abort();
    }
    return found;
}
}  // namespace detail

namespace {
// Keeps a remembered answer of a simple name in the front's table too.
inline void keepMemo(const NameSite& site) { detail::MemoOf(site.name) = site; }
}  // namespace

Atom* detail::ResolveNameFully(const Atom* nameAtom, std::string_view name)
{
    if (!IsObject(nameAtom) || nameAtom->Kind != akWord || !NamesCaseSensitive()) return Resolve(name);
    Atom* scope = ContextNode(TopContext());
    // A record's members change without NoteTreeChange: the record is
    // searched every time, for a simple name here, for the first segment of
    // a remembered path below.
    Atom* record = nullptr;
    if (scope && (scope->Flags & flActivation)) {
        // The scan compares whole names: what it finds for a dotted name
        // (or one that starts at the root) is looked up in full instead.
        if (Atom* found = scanRecord(scope, name)) return isSimpleName(name) ? found : Resolve(name);
        record = scope;
        scope = scope->Parent;
    }
    if (!scope) return Resolve(name);
    // Simple names and downward paths are remembered, each with the text
    // it had.
    NameSite& site = siteOf(nameAtom, scope);
    const bool fresh = site.epoch == gTreeEpoch && site.name == nameAtom && site.scope == scope &&
                       site.text == nameAtom->Text;
    if (fresh && !site.path && !VerifyLookups) {
        keepMemo(site);
        return site.found;
    }
    return resolveAtSite(nameAtom, name, scope, record, site, fresh);
}

namespace {

// ResolveName past the record: a remembered answer to verify or a path to
// check against the record, or no remembered answer. Out of line, so that
// the common answers above cost few instructions.
[[gnu::noinline]] Atom* resolveAtSite(const Atom* nameAtom, std::string_view name, Atom* scope, Atom* record,
                                      NameSite& site, bool fresh)
{
    if (fresh) {
        if (site.path && record && !pathPassesRecord(record, name)) return Resolve(name);
        if (VerifyLookups && Resolve(name) != site.found) {
            std::fprintf(stderr, "tavro: remembered lookup of %.*s is stale\n", static_cast<int>(name.size()),
                         name.data());
            std::abort();
        }
        return site.found;
    }
    Atom* found = Resolve(name);
    if (!found || !rememberable(scope)) return found;
    if (isSimpleName(name)) {
        markSearched(scope, found);
        site = NameSite{{nameAtom, nameAtom->Text, scope, found, gTreeEpoch}, false};
        keepMemo(site);
    } else if (isPlainPath(name) && (!record || pathPassesRecord(record, name))) {
        markSearched(scope, found);
        site = NameSite{{nameAtom, nameAtom->Text, scope, found, gTreeEpoch}, true};
    }
    return found;
}

}  // namespace

Atom* CreatePath(Atom* owner, std::string_view name, Atom* value, bool force)
{
    if (!owner) return NewVariable(name, value);
    if (name == "[]") return AttachNew(owner, AnonymousName(), value);
    if (force) {
        Atom* node = NewVariable(name, value);
        Attach(node, owner);
        return node;
    }
    Atom* node = owner;
    std::string path(name);
    Atom* found = Walk(node, path);
    if (found) return found;
    if (path == Normalize(name)) node = owner;  // nothing was consumed
    Atom* last = nullptr;
    while (!path.empty()) {
        std::string segment = SplitFirst(path);
        Atom* created = NewVariable(segment, value);
        Attach(created, node);
        node = created;
        last = created;
    }
    return last ? last : node;
}

Atom* NewAnonymous(Atom* value) { return AttachNew(State->Root, AnonymousName(), value); }

Atom* AttachNew(Atom* owner, TText name, Atom* value)
{
    Atom* node = NewVariableNamed(name, value);
    Attach(node, owner);
    return node;
}

}  // namespace tavro

// The name tree, the context stack and name lookup.
//
// Every named thing lives in one tree of akVariable atoms under the root
// "[Root]". A node's members form the chain FirstChild -> NextSibling in
// most-recently-attached-first order; DrawImageChild and ChangeChild point
// at the members "ondrawimage" and "onchange" and are kept by Attach and
// Detach only. Lookups report absence by a null result plus the state's
// LastOwner / LastName; they raise nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "atom.h"
#include "state.h"

namespace tavro {

// ---- context stack
// Pushes `node` (the current top's node again when null); a node named
// exactly "[Root]" becomes the state's Root.
void PushContext(Atom* node);
// Pops the top context and returns its node.
Atom* PopContext();
inline TContext* TopContext() { return State ? State->Contexts : nullptr; }
inline Atom* ContextNode(const TContext* context) { return context ? context->Node : nullptr; }
inline TContext* ContextLink(const TContext* context) { return context->Link; }
Atom* RootNode();
void ClearRoot();
int ContextDepth();

// ---- tree operations
void Attach(Atom* node, Atom* parent);
void Detach(Atom* node);
// Moves a member to the end of its owner's chain, for a member that is the
// only one of its name there (so no lookup's answer changes). The owner's
// last member is remembered, so appending member after member to one owner
// costs the same at every length.
void MoveToEnd(Atom* node);
// First member whose normalised name equals `name` (already normalised);
// *previous receives the member before it in the chain.
Atom* FindMember(const Atom* owner, std::string_view name, Atom** previous = nullptr);
Atom* PreviousMember(const Atom* owner, const Atom* node);
std::string DottedPath(const Atom* node);
bool HasInheritedFlag(const Atom* node, uint32_t bits);
void ClearBusy(Atom* node);
// Clears `bits` on the node and every descendant.
void ClearFlagsInTree(Atom* node, uint32_t bits);
void ClearNode(Atom* node);
void ForgetMembers(Atom* node);
void CopyInto(const Atom* source, Atom* target);

// ---- name resolution
// Cuts the first segment (normalised) off a dotted path.
std::string SplitFirst(std::string& path);
// Follows `path` from `node`; on return node is the last node reached and
// path the unresolved rest; the result is the node found or null.
Atom* Walk(Atom*& node, std::string& path);
// The general lookup from the current context. After a failure LastOwner
// and LastName tell where the name stopped; after a success they are left
// as they were.
Atom* Resolve(std::string_view name);
// TAVRO_VERIFY_LOOKUPS is set: every quick answer (a remembered or
// in-place lookup, a number computed in place) is checked against the
// general way, and a difference ends the process. The tests run this way.
extern const bool VerifyLookups;
Atom* ResolveFrom(Atom* node, std::string_view name);

// Resolve for a name written in a program: `nameAtom` is the word that
// holds `name`. The answer is the same as Resolve's; a found node is
// remembered per (word, scope) until the tree changes in a way that could
// change it (NoteTreeChange). The scope is the context's node, or the
// procedure node of an activation record, whose own members are always
// searched afresh: calls come and go without forgetting anything.
// Remembered answers only hold for words, whose atoms the collector frees
// (a word that is not akWord is resolved afresh).
inline Atom* ResolveName(const Atom* nameAtom, std::string_view name);

// Forgets every remembered answer of ResolveName. Every tree operation of
// the core calls it when it changes what a name can find: attaching,
// detaching or renaming a named member outside activation records and
// anonymous nodes, dropping members, changing the root, the global scopes
// or the naming mode, and every collection. Native libraries change the
// tree only through the host's services.
namespace detail {
extern uint64_t gTreeEpoch;
}  // namespace detail
inline void NoteTreeChange() { ++detail::gTreeEpoch; }
// Changes with every NoteTreeChange: every collection, every change of the
// state and every tree change that NoteTreeChange names. Something that
// holds atoms outside the tree may trust them while it stays the same.
inline uint64_t TreeEpoch() { return detail::gTreeEpoch; }
Atom* ResolveInContext(std::string_view name);
Atom* CreatePath(Atom* owner, std::string_view name, Atom* value, bool force);
Atom* NewAnonymous(Atom* value);
// A new member of `owner` (always new, like a forced CreatePath) whose name
// shares the text `name`.
Atom* AttachNew(Atom* owner, TText name, Atom* value);
// A new activation record (flagged flActivation, named "[]", no value)
// attached to `procedure`: AttachNew for the one name that needs none of
// Attach's upkeep.
Atom* AttachRecord(Atom* procedure);
// Attaches a record kept from an earlier call of `procedure` again, with
// its parameter members as they are.
void AttachRecordAgain(Atom* record, Atom* procedure);
// Detach for an activation record: the same, without the upkeep that only
// named members need.
void DetachRecord(Atom* record);
// A new member of an activation record that shares the text `name`: the
// same as AttachNew(record, name, value).
Atom* AttachParameter(Atom* record, TText name, Atom* value);

// The members of the root flagged as global scopes (flGlobalScope), in
// member order. The list is kept between lookups: it is made again after
// a flagged member is attached to or detached from the root, after the
// root's members are dropped, after SetFlag changes the flag, after every
// collection and at the start of every run (ForgetGlobalScopes). A library
// that writes the flag into an atom directly is seen from the next run on.
const std::vector<Atom*>& GlobalScopes();

// False while no member named "onbeforemake" or "onaftermake" was ever
// attached or given that name (nor the naming mode changed): assignment
// then need not look for those hooks. Once true it stays true.
namespace detail {
extern bool gMakeHooksSeen;
extern bool gLambdaSeen;
}  // namespace detail
inline bool MakeHooksMayExist() { return detail::gMakeHooksSeen; }
// The same for members named "lambda" (a procedure's own code). Inline:
// every call asks.
inline bool LambdaMayExist() { return detail::gLambdaSeen; }
void NoteMemberName(std::string_view normalizedName);

// The state's LastName as text.
std::string_view LastName();


// ---- ResolveName's front
//
// The last remembered answer of each word is also kept in a small table
// indexed by the word alone, read inline: a word read again in the scope
// of its last answer (or in an activation record of that scope's
// procedure that has no member of the name) gets that answer without the
// call, the record scan of the general function and its hash. It holds
// exactly what the remembered answer behind it holds, on the same terms
// (the word, its text, the tree epoch, the scope), and only while names
// are case-sensitive.
namespace detail {
struct NameMemo {
    const Atom* name = nullptr;
    TText text = nullptr;
    const Atom* scope = nullptr;
    Atom* found = nullptr;
    uint64_t epoch = 0;
};
constexpr size_t kNameMemos = 4096;
extern NameMemo gNameMemos[kNameMemos];
inline NameMemo& MemoOf(const Atom* name)
{
    return gNameMemos[(reinterpret_cast<uintptr_t>(name) >> 4) & (kNameMemos - 1)];
}
// ResolveName without the front: the general function.
Atom* ResolveNameFully(const Atom* nameAtom, std::string_view name);
// Whether an activation record has a member `name` (as ResolveName's own
// scan finds it).
bool RecordHasMember(Atom* record, std::string_view name);
// Under TAVRO_VERIFY_LOOKUPS: the front's answer, checked against the
// general function (a difference ends the process).
Atom* VerifiedMemo(const Atom* nameAtom, std::string_view name, Atom* found);
}  // namespace detail

inline Atom* ResolveName(const Atom* nameAtom, std::string_view name)
{
    const detail::NameMemo& m = detail::MemoOf(nameAtom);
    if (m.name == nameAtom && m.epoch == TreeEpoch() && m.text == nameAtom->Text) {
        Atom* scope = ContextNode(TopContext());
        bool holds;
        if (scope && (scope->Flags & flActivation))
            holds = m.scope == scope->Parent && !detail::RecordHasMember(scope, name);
        else
            holds = scope == m.scope;
        if (holds) return VerifyLookups ? detail::VerifiedMemo(nameAtom, name, m.found) : m.found;
    }
    return detail::ResolveNameFully(nameAtom, name);
}

}  // namespace tavro

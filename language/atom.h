// Atoms: the one object type of every value, list cell and name-tree node.
//
// The host's atom is the ABI struct TAtom (sdk/tavro.h). This header gives
// the core's operations on it: pool and lifetime, constructors, predicates,
// compiled code words, positions and the conversions (printed form, number,
// truth value). The pool lives in the state record (state.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "position.h"
#include "tavro.h"
#include "text.h"

namespace tavro {

using Atom = TAtom;

// The result of a command that outputs nothing; prints "iNOP".
inline Atom* const NoValue = TAVRO_NOVALUE;

// Flag bits of TAtom.Flags used across the core.
enum AtomFlag : uint32_t {
    flOb = 2,                  // object made with ob
    flBusy = 4,                // procedure body or change handler running
    flActivation = 8,          // activation record
    flAssigning = 16,          // being assigned
    flMarked = 32,             // collector mark
    flLocked = 4096,           // assignment fails
    flKeepDefinition = 8192,   // record the defining statement
    flHistory = 0x4000,        // queue history notifications
    flTrackDependencies = 0x8000,
    flNotDrawn = 0x20000,
    flGlobalScope = 0x40000,   // child of the root searched as a global
    flNamesRemembered = 0x80000,  // a remembered lookup searched its members
    flLibraryWord = 0x100000,  // a procedure of the library programs: make
                               // refuses to replace it, the compiler checks
                               // its input counts; unlock clears it
};

// ---- pool and lifetime
// A reset atom (Kind akWord, everything else empty) on the all-atoms list.
// Raises "OUTOFMEMORY" when the system refuses memory.
Atom* Allocate();
void ReleaseMostRecent(Atom* atom);
// Unlinks and frees the atom after `prev` (the head when prev is null).
void ReleaseSuccessor(Atom* prev);
// Gives the atoms waiting on the free list back to the system allocator
// (after memory ran out, so that other allocations find it again).
void ReleaseFreeAtoms();
inline Atom* AddRef(Atom* a) { return tavro_addref(a); }
inline Atom* Release(Atom* a) { return tavro_release(a); }
inline bool IsReferenced(const Atom* a) { return a && a != NoValue && a->RefCount > 0; }
// Holds one reference on an atom for the lifetime of a scope, so the
// collector keeps it while C++ code works with it.
class Hold {
public:
    explicit Hold(Atom* a) : a_(AddRef(a)) {}
    ~Hold() { Release(a_); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    // Gives the reference up early.
    void Drop()
    {
        Release(a_);
        a_ = nullptr;
    }

private:
    Atom* a_;
};

// Releases a widget's control or a memory block (see atom.cpp).
intptr_t ReleaseResource(Atom* atom);
// Releases the resource of the node's current value, then stores `value`.
void ReplaceValue(Atom* node, Atom* value);

// Hook for the widget release: the environment detaches and destroys the
// control of an akWidget atom (null: nothing to do). Installed by the host.
using WidgetReleaser = void (*)(Atom* widget);
void SetWidgetReleaser(WidgetReleaser releaser);

// ---- constructors
Atom* NewCell(Atom* element, Atom* rest);
Atom* NewVariable(std::string_view name, Atom* value);
// The same with a name shared by reference count (no copy of the bytes).
Atom* NewVariableNamed(TText name, Atom* value);
// The text "[]", the name of anonymous nodes; constant, never freed.
TText AnonymousName();
Atom* NewWord(std::string_view text);
Atom* NewNumber(long double x);
Atom* NewWidget(void* control);
// Appends a new list cell holding `element` after *tail (or as *head).
void Append(Atom*& head, Atom*& tail, Atom* element);

// ---- predicates and accessors (all accept null and NoValue)
inline bool IsObject(const Atom* a) { return a && a != NoValue; }
inline bool IsNull(const Atom* a) { return a == nullptr; }
inline bool IsWordOrNumber(const Atom* a)
{
    return IsObject(a) && (a->Kind == akWord || a->Kind == akNumber);
}
inline bool IsList(const Atom* a) { return a == nullptr || (a != NoValue && a->Kind == akList); }
inline bool IsGroup(const Atom* a) { return IsObject(a) && a->Kind == akGroup; }
inline bool IsVariable(const Atom* a) { return IsObject(a) && a->Kind == akVariable; }
inline bool IsWidget(const Atom* a) { return IsObject(a) && a->Kind == akWidget; }
inline void* WidgetControl(const Atom* a) { return IsWidget(a) ? a->Left : nullptr; }
inline Atom* LeftOf(const Atom* a) { return static_cast<Atom*>(a->Left); }
inline Atom* RightOf(const Atom* a) { return static_cast<Atom*>(a->Right); }
inline std::string_view TextOf(const Atom* a) { return View(a->Text); }
int Length(const Atom* list);
Atom* LastCell(Atom* list);
inline bool HasFlag(const Atom* a, uint32_t bits) { return IsObject(a) && (a->Flags & bits) != 0; }
// The list of the root's global scopes is kept (structure.h); a change of
// the global-scope flag forgets it.
void ForgetGlobalScopes();
inline Atom* SetFlag(Atom* a, uint32_t bits, bool on)
{
    if (IsObject(a)) a->Flags = on ? (a->Flags | bits) : (a->Flags & ~bits);
    if (bits & flGlobalScope) ForgetGlobalScopes();
    return a;
}

// ---- code words of a statement's first cell
inline int CodeCount(const Atom* a) { return a->Code ? a->Code->Count : 0; }
void CodeAppend(Atom* a, TCodeWord word);
inline TCodeWord CodeAt(const Atom* a, int index) { return a->Code->Words[index]; }
inline void CodeSet(Atom* a, int index, TCodeWord word) { a->Code->Words[index] = word; }
void DropCode(Atom* a);

// ---- positions
void SetPosition(Atom* a, const Position& p);
Position GetPosition(const Atom* a);
inline bool HasPosition(const Atom* a) { return IsObject(a) && a->Position != nullptr; }

// ---- conversions
// Receives a printed form in pieces (WriteText).
class TextSink {
public:
    virtual ~TextSink() = default;
    virtual void Put(std::string_view piece) = 0;
    // True when the sink wants no more text: WriteText stops early.
    virtual bool Full() const { return false; }
};
// Writes the printed form of `a` to `sink` piece by piece. It walks the
// value without recursion, so neither the depth nor the size of a value
// costs machine stack, and the sink decides what is kept.
void WriteText(const Atom* a, TextSink& sink);
// The printed form (the same text as the SDK kit's); never fails.
std::string ToText(const Atom* a);
void AppendText(const Atom* a, std::string& out);
// Words and numbers only; raises "BADSTRING" otherwise.
std::string ToTextStrict(const Atom* a);
bool ToNumberTry(const Atom* a, long double& value);
// Raises "BADNUMBER" with the printed form.
long double ToNumber(const Atom* a);
bool ToBoolean(const Atom* a);
// The atom's Text whatever its kind; raises "BADNAME" for null.
std::string_view NameOf(const Atom* a);
void SetName(Atom* a, std::string_view text);

}  // namespace tavro

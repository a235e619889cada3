#include "atom.h"

#include "atom_slabs.h"
#include "position_pool.h"

#include "errors.h"
#include "member_cache.h"
#include "number_format.h"
#include "state.h"
#include "structure.h"
#include "tavro_kit.h"

#include <vector>

namespace tavro {

namespace {
WidgetReleaser gWidgetReleaser = nullptr;
}

void SetWidgetReleaser(WidgetReleaser releaser) { gWidgetReleaser = releaser; }

Atom* Allocate()
{
    // The pool's own allocation, from a slab atom instead of a system
    // allocation when the free list is empty.
    if (!State->FreeAtoms) slabs::TopUpFreeList(1);
    Atom* a = tavro_pool_allocate(State);
    if (!a) RaiseError("OUTOFMEMORY");
    return a;
}

void ReleaseMostRecent(Atom* atom)
{
    if (atom && atom != NoValue && State->AllAtoms == atom) {
        ReleaseResource(atom);
        position_pool::TakeOff(atom);
    }
    tavro_pool_release_most_recent(State, atom);
}

void ReleaseSuccessor(Atom* prev)
{
    Atom* a = prev ? prev->Next : State->AllAtoms;
    if (!a) return;
    // Only widgets and memory blocks hold resources.
    if (a->Kind == akWidget || a->Kind == akMemoryBlock) ReleaseResource(a);
    if (a->Position) position_pool::TakeOff(a);
    tavro_pool_release_successor(State, prev);
}

void ReleaseFreeAtoms()
{
    // Free atoms are reset already: nothing hangs on them. Slab atoms stay
    // on the list until their whole slab can go.
    // Kept in their order: after a sweep of the slabs it is the ascending
    // one that lets allocation write memory one atom after the other.
    Atom* kept = nullptr;
    Atom** keptEnd = &kept;
    int keptCount = 0;
    for (Atom* a = State->FreeAtoms; a;) {
        Atom* next = a->Next;
        if (slabs::Contains(a)) {
            *keptEnd = a;
            keptEnd = &a->Next;
            ++keptCount;
        } else {
            free(a);
        }
        a = next;
    }
    *keptEnd = nullptr;
    State->FreeAtoms = kept;
    State->FreeCount = keptCount;
    slabs::ReleaseUnused();
}

intptr_t ReleaseResource(Atom* atom)
{
    if (!IsObject(atom)) return 0;
    if (atom->Kind == akWidget) {
        // The environment decides whether the control is detached and
        // destroyed; the atom forgets it either way and lets pending window
        // messages run.
        if (atom->Left && gWidgetReleaser) gWidgetReleaser(atom);
        atom->Left = nullptr;
        if (State && State->ServiceCallback) {
            TText empty = nullptr;
            State->ServiceCallback(13, &empty, 0, 0, 0, 0);
            tavro_text_release(empty);
        }
        return 0;
    }
    if (atom->Kind == akMemoryBlock && atom->Right) {
        auto release = reinterpret_cast<TMemoryRelease>(atom->Right);
        // Cleared first so the block is never released twice (a sweep after
        // ReplaceValue would otherwise call the routine again).
        atom->Right = nullptr;
        return release(atom);
    }
    return 0;
}

void ReplaceValue(Atom* node, Atom* value)
{
    Atom* old = LeftOf(node);
    if (IsObject(old) && (old->Kind == akWidget || old->Kind == akMemoryBlock))
        ReleaseResource(old);
    node->Left = value;
}

Atom* NewCell(Atom* element, Atom* rest)
{
    Atom* a = Allocate();
    a->Kind = akList;
    a->Left = element;
    a->Right = rest;
    return a;
}

Atom* NewVariable(std::string_view name, Atom* value)
{
    Atom* a = Allocate();
    a->Kind = akVariable;
    SetText(&a->Text, name);
    a->Left = value;
    return a;
}

Atom* NewVariableNamed(TText name, Atom* value)
{
    Atom* a = Allocate();
    a->Kind = akVariable;
    a->Text = tavro_text_addref(name);
    a->Left = value;
    return a;
}

namespace {
// A constant text: a count of -1 is never changed and never freed.
struct {
    TTextHeader header;
    char bytes[3];
} gAnonymous = {{-1, 2}, "[]"};
}  // namespace

TText AnonymousName() { return gAnonymous.bytes; }

Atom* NewWord(std::string_view text)
{
    Atom* a = Allocate();
    SetText(&a->Text, text);
    return a;
}

Atom* NewNumber(long double x)
{
    Atom* a = Allocate();
    a->Kind = akNumber;
    a->Number = x;
    return a;
}

Atom* NewWidget(void* control)
{
    Atom* a = Allocate();
    a->Kind = akWidget;
    a->Left = control;
    return a;
}

void Append(Atom*& head, Atom*& tail, Atom* element)
{
    Atom* cell = NewCell(element, nullptr);
    if (tail)
        tail->Right = cell;
    else
        head = cell;
    tail = cell;
}

int Length(const Atom* list)
{
    if (!IsObject(list) || (list->Kind != akList && list->Kind != akGroup)) return 0;
    int n = 0;
    for (const Atom* c = list; c; c = RightOf(c)) ++n;
    return n;
}

Atom* LastCell(Atom* list)
{
    if (!IsObject(list) || (list->Kind != akList && list->Kind != akGroup)) return nullptr;
    while (RightOf(list)) list = RightOf(list);
    return list;
}

void CodeAppend(Atom* a, TCodeWord word)
{
    TCodeList* c = a->Code;
    if (!c || c->Count == c->Capacity) {
        int capacity = c ? c->Capacity * 2 : 8;
        auto* grown = static_cast<TCodeList*>(
            realloc(c, sizeof(TCodeList) + sizeof(TCodeWord) * size_t(capacity)));
        if (!grown) RaiseError("OUTOFMEMORY");
        if (!c) grown->Count = 0;
        grown->Capacity = capacity;
        a->Code = c = grown;
    }
    c->Words[c->Count++] = word;
}

void DropCode(Atom* a)
{
    free(a->Code);
    a->Code = nullptr;
}

void SetPosition(Atom* a, const Position& p)
{
    if (!a->Position) {
        a->Position = position_pool::Take();
        if (!a->Position) RaiseError("OUTOFMEMORY");
    }
    tavro_text_assign(&a->Position->Source, p.Source.raw());
    a->Position->Line = p.Line;
    a->Position->Offset = p.Offset;
    a->Position->Depth = p.Depth;
}

Position GetPosition(const Atom* a)
{
    if (!HasPosition(a)) return Position{};
    const TPosition* p = a->Position;
    return Position{Text::Share(p->Source), p->Line, p->Offset, p->Depth};
}

namespace {

// One open list or variable node of WriteText.
struct PrintFrame {
    const Atom* node;    // the variable node, or null for a list
    const Atom* cursor;  // the next cell, or the next member
    bool first;          // no element written yet / value not written yet
    bool group;
};

}  // namespace

void WriteText(const Atom* a, TextSink& sink)
{
    // The printed form of the SDK kit (tavro_buffer_append_atom), walked
    // with an explicit stack of the lists and nodes still open.
    std::vector<PrintFrame> open;
    char number[TAVRO_NUMBER_TEXT_SIZE];
    const Atom* next = a;
    bool haveNext = true;
    for (;;) {
        if (haveNext) {
            haveNext = false;
            const Atom* v = next;
            if (v == nullptr) {
                sink.Put("[]");
            } else if (v == NoValue) {
                sink.Put("iNOP");
            } else {
                switch (v->Kind) {
                case akNumber:
                    sink.Put(std::string_view(number, tavro_format_number(v->Number, number)));
                    break;
                case akWord:
                    sink.Put(TextOf(v));
                    break;
                case akList:
                case akGroup:
                    sink.Put(v->Kind == akGroup ? "(" : "[");
                    open.push_back({nullptr, v, true, v->Kind == akGroup});
                    break;
                case akWidget:
                    sink.Put("{");
                    sink.Put(v->Text ? std::string_view(TextOf(v)) : std::string_view("TControl"));
                    sink.Put("}");
                    break;
                case akVariable:
                    sink.Put("{");
                    sink.Put(TextOf(v));
                    sink.Put("=");
                    open.push_back({v, v->FirstChild, true, false});
                    break;
                case akMemoryBlock:
                    sink.Put("{Memory Block}");
                    break;
                default:
                    sink.Put("{???}");
                }
            }
        }
        if (open.empty() || sink.Full()) return;
        PrintFrame& f = open.back();
        if (!f.node) {
            if (!f.cursor) {
                sink.Put(f.group ? ")" : "]");
                open.pop_back();
                continue;
            }
            if (!f.first) sink.Put(" ");
            f.first = false;
            next = LeftOf(f.cursor);
            f.cursor = RightOf(f.cursor);
        } else if (f.first) {
            f.first = false;
            next = LeftOf(f.node);
        } else if (f.cursor) {
            sink.Put(" ");
            next = f.cursor;
            f.cursor = f.cursor->NextSibling;
        } else {
            sink.Put("}");
            open.pop_back();
            continue;
        }
        haveNext = true;
    }
}

namespace {
struct StringSink : TextSink {
    std::string& out;
    explicit StringSink(std::string& o) : out(o) {}
    void Put(std::string_view piece) override { out.append(piece); }
};
}  // namespace

void AppendText(const Atom* a, std::string& out)
{
    StringSink sink(out);
    WriteText(a, sink);
}

std::string ToText(const Atom* a)
{
    std::string out;
    AppendText(a, out);
    return out;
}

std::string ToTextStrict(const Atom* a)
{
    if (a == nullptr) RaiseError("BADSTRING", {"[]"});
    if (a != NoValue && a->Kind == akNumber) return FormatNumber(a->Number);
    if (a != NoValue && a->Kind == akWord) return std::string(TextOf(a));
    RaiseError("BADSTRING", {ToText(a)});
}

bool ToNumberTry(const Atom* a, long double& value)
{
    value = 0;
    if (!IsObject(a)) return false;
    if (a->Kind == akNumber) {
        value = a->Number;
        return true;
    }
    if (a->Kind != akWord) return false;
    return ParseNumber(TextOf(a), value);
}

long double ToNumber(const Atom* a)
{
    long double v;
    if (!ToNumberTry(a, v)) RaiseError("BADNUMBER", {ToText(a)});
    return v;
}

bool ToBoolean(const Atom* a)
{
    if (a == NoValue) return true;
    if (!IsWordOrNumber(a)) return false;
    if (a->Kind == akNumber) return false;
    std::string_view t = TextOf(a);
    if (t.size() != 4) return false;
    return (t[0] | 0x20) == 't' && (t[1] | 0x20) == 'r' && (t[2] | 0x20) == 'u' &&
           (t[3] | 0x20) == 'e';
}

std::string_view NameOf(const Atom* a)
{
    if (a == nullptr) RaiseError("BADNAME", {"[]"});
    if (a == NoValue) return "iNOP";
    return TextOf(a);
}

void SetName(Atom* a, std::string_view text)
{
    // A renamed member is no longer what lookups remembered under either
    // name.
    if (a->Parent && !(a->Parent->Flags & flActivation)) {
        member_cache::Forget(a->Parent, Normalize(TextOf(a)));
        member_cache::Forget(a->Parent, Normalize(text));
        member_index::Drop(a->Parent);
    }
    if (a->Parent) NoteTreeChange();
    NoteMemberName(Normalize(text));
    SetText(&a->Text, text);
}

}  // namespace tavro

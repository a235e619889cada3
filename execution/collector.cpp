#include "collector.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <vector>

#include "atom_slabs.h"
#include "environment.h"
#include "interpreter.h"
#include "member_cache.h"
#include "memory_limit.h"
#include "position_pool.h"
#include "state.h"
#include "structure.h"

namespace tavro {

namespace {

long long nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

long long gLastCollection = nowMs();

constexpr int32_t kMinCollectThreshold = 50000;
// The collector's work stack is made this large at once (512 KB), so that
// marking seldom needs memory, least of all right after memory ran out.
constexpr size_t kCollectorWorkStart = size_t(1) << 16;
int32_t gCollectThreshold = kMinCollectThreshold;

// TAVRO_COLLECT_EVERY_STATEMENT=1 collects before every statement: a
// developer's check that every value in use is reachable or held.
const bool gCollectAlways = [] {
    const char* v = std::getenv("TAVRO_COLLECT_EVERY_STATEMENT");
    return v && *v == '1';
}();

// Atoms allocated between two looks at the memory the process maps.
constexpr int32_t kRoomCheckAtoms = 16384;
int32_t gNextRoomCheck = kMinCollectThreshold;

// Set while a collection runs: releasing a widget calls out, and nothing
// it does may start a collection over atoms that are on neither list.
bool gCollecting = false;

// True when the process is about to reach the program's ceiling while the
// free list could not serve what comes next: garbage must go before it can
// stand between the program and its ceiling. The pacing by atom counts
// cannot see this, since atoms are not all a program's memory.
bool nearCeiling()
{
    if (State->LiveCount < gNextRoomCheck) return false;
    gNextRoomCheck = State->LiveCount + kRoomCheckAtoms;
    size_t limit = ProgramLimit();
    if (!limit || State->FreeCount >= kRoomCheckAtoms) return false;
    return DataInUse() + MemoryCeiling() / 8 > limit;
}

// An atom of a kind that holds nothing but texts, code and a position:
// freed without calling out. Nodes (whose display list the scene may
// hold), widgets and memory blocks are released after the sweep.
static_assert(akNumber < akGroup && akWord < akGroup && akList < akGroup && akWidget > akGroup &&
              akVariable > akGroup && akMemoryBlock > akGroup);
inline bool plainKind(const Atom* a) { return a->Kind <= akGroup; }

inline bool survives(const Atom* a) { return (a->Flags & flMarked) || a->RefCount > 0; }

// A word or number without members holds nothing else: marked where it is
// met, never pushed.
inline bool markLeaf(Atom* a)
{
    if ((a->Kind == akWord || a->Kind == akNumber) && !a->FirstChild) {
        a->Flags |= flMarked;
        return true;
    }
    return false;
}

void markFrom(Atom* start, std::vector<Atom*>& work)
{
    work.push_back(start);
    while (!work.empty()) {
        Atom* a = work.back();
        work.pop_back();
        while (IsObject(a) && !(a->Flags & flMarked)) {
            a->Flags |= flMarked;
            for (Atom* m = a->FirstChild; m; m = m->NextSibling)
                if (!(m->Flags & flMarked)) work.push_back(m);
            if (a->Kind == akVariable) {
                a = LeftOf(a);
            } else if (a->Kind == akList || a->Kind == akGroup) {
                // The element first, the rest kept on the stack: the stack
                // grows with the nesting of lists, not with their length.
                // A leaf element is marked at once and the walk goes on
                // along the list.
                Atom* element = LeftOf(a);
                Atom* rest = RightOf(a);
                if (IsObject(element) && !(element->Flags & flMarked) && !markLeaf(element)) {
                    work.push_back(rest);
                    a = element;
                } else {
                    a = rest;
                }
            } else {
                break;  // a widget's Left and a block's Right are no atoms
            }
        }
    }
}

// Resets a garbage atom of a plain kind for the free list: the pool's own
// reset, except that fields already empty are not written. A list cell or
// number has no members and no parent, so the last of the atom's cache
// lines is only read; an atom already reset (one that was on the free list)
// is not written at all.
inline void resetPlain(Atom* a)
{
    // One test for everything a list cell or number seldom holds.
    if (uintptr_t(a->Text) | uintptr_t(a->Code) | uintptr_t(a->Position) | uintptr_t(a->Parent) |
        uintptr_t(a->FirstChild) | uintptr_t(a->NextSibling) | uintptr_t(a->DrawImageChild) |
        uintptr_t(a->ChangeChild) | uint32_t(a->Stamp)) {
        position_pool::TakeOff(a);
        tavro_atom_clear(a);
        return;
    }
    if (uintptr_t(a->Left) | uintptr_t(a->Right) | a->Flags | uint32_t(a->RefCount) | uint32_t(a->Kind ^ akWord)) {
        a->Kind = akWord;
        a->Left = nullptr;
        a->Right = nullptr;
        a->Flags = 0;
        a->RefCount = 0;
    }
}

// Releases what the garbage atoms on `pending` (linked through Next, on
// neither pool list, counted in LiveCount) hold, and frees them: slab
// atoms to the free list, others to the system. Runs once both lists are
// whole again: a widget's release calls out, and what that allocates must
// find the pool in order.
void releasePending(Atom* pending, bool allFromSlabs)
{
    while (Atom* a = pending) {
        pending = a->Next;
        if (a->Kind == akVariable && Env().HasDisplayList(a)) Env().DeleteDisplayList(a);
        if (a->Kind == akWidget || a->Kind == akMemoryBlock) ReleaseResource(a);
        position_pool::TakeOff(a);
        if (allFromSlabs || slabs::Contains(a)) {
            tavro_pool_push_free(State, a);
        } else {
            tavro_atom_clear(a);
            free(a);
            State->LiveCount--;
        }
    }
}

[[noreturn]] void poolBroken(const char* what)
{
    std::fprintf(stderr, "tavro: after a collection %s\n", what);
    std::abort();
}

// Whether each pool list holds as many atoms as it counts, and (when
// `slabsOnly`) only slab atoms; whether no survivor keeps its mark and
// every free atom is reset.
void verifyPool(bool slabsOnly, const char* when)
{
    int live = 0;
    for (const Atom* a = State->AllAtoms; a; a = a->Next) {
        if (a->Flags & flMarked) poolBroken("an atom in use keeps its mark");
        if (slabsOnly && !slabs::Contains(a)) poolBroken("the all-atoms list holds an atom of no slab");
        ++live;
    }
    int free = 0;
    for (const Atom* a = State->FreeAtoms; a; a = a->Next) {
        if (a->Text || a->Code || a->Position || a->Kind != akWord || a->Left || a->Right || a->Flags ||
            a->RefCount || a->Parent || a->FirstChild || a->NextSibling)
            poolBroken("a free atom is not reset");
        if (slabsOnly && !slabs::Contains(a)) poolBroken("the free list holds an atom of no slab");
        ++free;
    }
    if (live != State->LiveCount || free != State->FreeCount) {
        std::fprintf(stderr, "tavro: %s: %d atoms in use (counted %d), %d free (counted %d)\n", when, live,
                     State->LiveCount, free, State->FreeCount);
        std::abort();
    }
}

// The atoms of the pool's lists that no slab holds (native libraries
// allocate their own when the free list runs dry).
int64_t strayCount() { return int64_t(State->LiveCount) + State->FreeCount - slabs::TakenCount(); }

// A collection that freed much gives the memory back to the system: the
// slabs all of whose atoms are free go, and the allocator returns its free
// pages (the words' texts among them). Otherwise the process would keep
// its largest size for good after `make "l []` of a big list.
constexpr int64_t kGiveBackBytes = int64_t(32) << 20;

void giveMemoryBack(int64_t freedAtoms)
{
    if (freedAtoms * int64_t(sizeof(Atom)) < kGiveBackBytes || State->FreeCount <= int64_t(State->LiveCount)) return;
    ReleaseFreeAtoms();
    malloc_trim(0);
}

// Marks what the fixed roots reach.
void markFixedRoots(std::vector<Atom*>& work)
{
    markFrom(CurrentCell, work);
    markFrom(RootNode(), work);
    markFrom(TrueMarker, work);
    markFrom(FalseMarker, work);
    markFrom(PendingOutput, work);
    for (TContext* c = TopContext(); c; c = c->Link) markFrom(c->Node, work);
}

// Marks what the held atoms reach, found among all the slots (a free slot
// counts no holder). Held atoms are a few hundred among hundreds of
// thousands: four slots at a time are passed over with one test.
void markHeldInSlabs(std::vector<Atom*>& work)
{
    auto markIfHeld = [&work](Atom& a) {
        if (a.RefCount > 0 && !(a.Flags & flMarked)) markFrom(&a, work);
    };
    for (int s = 0, n = slabs::SlabCount(); s < n; ++s) {
        std::span<Atom> slots = slabs::TakenAtoms(s);
        Atom* a = slots.data();
        Atom* end = a + slots.size();
        for (; end - a >= 4; a += 4)
            if (a[0].RefCount | a[1].RefCount | a[2].RefCount | a[3].RefCount)
                for (int k = 0; k < 4; ++k) markIfHeld(a[k]);
        for (; a < end; ++a) markIfHeld(*a);
    }
}

// The survivors nearest the head of the all-atoms list keep their order
// there: a call frees its own record with a short walk from the head
// (reclaimRecord), also when a collection came in between.
constexpr int kOrderKept = 256;
constexpr int kOrderSearched = 4096;

// The sweep when every atom in use or free is a slab atom: the slabs are
// read in address order instead of following the lists from atom to
// atom, and both lists are built anew. The free list comes out in
// ascending address order, so the allocations that follow write memory
// one atom after the other.
void sweepSlabs()
{
    Atom* kept[kOrderKept];
    Atom* keptByAddress[kOrderKept + 1];
    int keptCount = 0;
    int searched = 0;
    for (Atom* a = State->AllAtoms; a && keptCount < kOrderKept && searched < kOrderSearched; a = a->Next, ++searched)
        if (survives(a)) kept[keptCount++] = a;
    std::copy(kept, kept + keptCount, keptByAddress);
    std::sort(keptByAddress, keptByAddress + keptCount);
    keptByAddress[keptCount] = nullptr;  // matches no slot

    Atom* chain = nullptr;
    Atom** chainEnd = &chain;
    Atom* freeList = nullptr;
    Atom** freeEnd = &freeList;
    Atom* pending = nullptr;
    int32_t live = 0, freeCount = 0;
    int nextKept = 0;
    for (int s = 0, n = slabs::SlabCount(); s < n; ++s) {
        for (Atom& slot : slabs::TakenAtoms(s)) {
            Atom* a = &slot;
            // Every held atom was marked among the slots: the mark decides.
            if (a->Flags & flMarked) {
                a->Flags &= ~flMarked;
                ++live;
                if (a == keptByAddress[nextKept]) {
                    ++nextKept;
                } else {
                    *chainEnd = a;
                    chainEnd = &a->Next;
                }
            } else if (plainKind(a)) {
                // Garbage, or an atom that was free already.
                resetPlain(a);
                *freeEnd = a;
                freeEnd = &a->Next;
                ++freeCount;
            } else {
                a->Next = pending;
                pending = a;
                ++live;  // until it is released
            }
        }
    }
    *chainEnd = nullptr;
    *freeEnd = nullptr;
    for (int i = keptCount; i-- > 0;) {
        kept[i]->Next = chain;
        chain = kept[i];
    }
    State->AllAtoms = chain;
    State->FreeAtoms = freeList;
    State->LiveCount = live;
    State->FreeCount = freeCount;
    releasePending(pending, true);
}

// The sweep along the all-atoms list, for a pool that holds atoms of no
// slab or more free atoms than atoms in use. Strays found free or
// garbage go back to the system, so that the next collection can read the
// slabs instead.
void sweepList()
{
    int64_t strays = strayCount();
    if (strays > 0) {
        for (Atom** link = &State->FreeAtoms; Atom* a = *link;) {
            if (slabs::Contains(a)) {
                link = &a->Next;
            } else {
                *link = a->Next;
                State->FreeCount--;
                free(a);  // reset already
                --strays;
            }
        }
    }
    Atom* pending = nullptr;
    for (Atom** link = &State->AllAtoms; Atom* a = *link;) {
        if (survives(a)) {
            a->Flags &= ~flMarked;
            link = &a->Next;
            continue;
        }
        *link = a->Next;
        if (!plainKind(a)) {
            a->Next = pending;
            pending = a;
        } else if (strays > 0 && !slabs::Contains(a)) {
            position_pool::TakeOff(a);
            tavro_atom_clear(a);
            free(a);
            State->LiveCount--;
            --strays;
        } else {
            position_pool::TakeOff(a);
            tavro_pool_push_free(State, a);
        }
    }
    releasePending(pending, false);
}

}  // namespace

void CollectGarbageCheck()
{
    // The clock is read every 64th statement; the allocation count always.
    static unsigned statements = 0;
    if (gCollectAlways) {
        CollectGarbage();
        return;
    }
    if ((++statements & 63) != 0 && State->LiveCount < gCollectThreshold) return;
    long long now = nowMs();
    // Besides the clock, the amount allocated since the last collection
    // decides, so a program that allocates fast cannot exhaust memory
    // between two ticks.
    if (now - gLastCollection >= 5000 || State->LiveCount >= gCollectThreshold || nearCeiling()) CollectGarbage();
}

void CollectGarbage()
{
    if (!State || gCollecting) return;
    struct Running {
        Running() { gCollecting = true; }
        ~Running() { gCollecting = false; }
    } running;
    // Anonymous copies that nothing holds any more are temporaries, even
    // while they hang under the root.
    if (Atom* root = RootNode()) {
        for (Atom* m = root->FirstChild; m;) {
            Atom* next = m->NextSibling;
            if (m->RefCount <= 0 && TextOf(m) == "[]") Detach(m);
            m = next;
        }
    }
    // Reading the slabs in address order costs a fraction of following the
    // list from atom to atom, whose every step misses the cache; it pays
    // while the slabs hold no more free atoms than atoms in use.
    const bool bySlabs = strayCount() == 0 && State->FreeCount <= int64_t(State->LiveCount);
    const int64_t liveBefore = State->LiveCount;
    if (bySlabs && VerifyLookups) verifyPool(true, "before a collection by slabs");

    // Marks are clear between collections (the sweep clears them on every
    // survivor), so one pass finds the held atoms and the sweep is the
    // second and last.
    // The collector must not need memory in proportion to the heap: it
    // runs right after a command ran out of memory. Held atoms are marked
    // as they are met, and the work stack keeps its capacity.
    static std::vector<Atom*> work;
    work.clear();
    try {
        if (work.capacity() < kCollectorWorkStart) work.reserve(kCollectorWorkStart);
        markFixedRoots(work);
        if (bySlabs) {
            markHeldInSlabs(work);
        } else {
            for (Atom* a = State->AllAtoms; a; a = a->Next)
                if (a->RefCount > 0) markFrom(a, work);
        }
    } catch (const std::bad_alloc&) {
        // Lists nested deeper than the work stack could grow: nothing is
        // swept on half a marking. The marks go, so the next collection
        // walks everything again.
        for (Atom* a = State->AllAtoms; a; a = a->Next) a->Flags &= ~flMarked;
        if (RootNode()) RootNode()->Flags &= ~flMarked;
        return;
    }

    // The indexes of owners the sweep frees go: their atoms will serve
    // other nodes. Every other index stays exact (its members survive with
    // their owner) and need not be built again.
    member_index::DropUnless([](const Atom* owner) { return survives(owner); });

    // Releasing a widget may pump messages; nothing may run mid-sweep.
    bool suppressed = MessagePumpingSuppressed;
    MessagePumpingSuppressed = true;
    if (bySlabs)
        sweepSlabs();
    else
        sweepList();
    MessagePumpingSuppressed = suppressed;
    if (VerifyLookups) verifyPool(false, "after a collection");
    // Freed atoms will be reused: nothing remembered about them may
    // survive, whatever they become next.
    member_cache::Clear();
    ForgetGlobalScopes();
    giveMemoryBack(liveBefore - State->LiveCount);
    gLastCollection = nowMs();
    gNextRoomCheck = State->LiveCount + kRoomCheckAtoms;
    // The next collection comes when the atoms in use have grown to three
    // times what survived this one, so that each collection frees at least
    // twice what it walked through alive. Where that much garbage would
    // take more than half the memory ceiling, the growth allowed falls back
    // to twice: garbage must not stand between a program and its ceiling.
    const int64_t live = State->LiveCount;
    const size_t ceiling = MemoryCeiling();
    const int64_t room = ceiling ? int64_t(ceiling / sizeof(Atom) / 2) : INT64_MAX;
    int64_t next = std::max(2 * live, std::min(3 * live, room));
    // Slab atoms the program has had are memory it has already: collecting
    // before they are all in use again frees nothing the program could
    // use, and the earlier collection may fall in the middle of a deep
    // recursion, whose survivors of the moment would then let the heap
    // grow to three times them. So the next collection also waits until
    // the atoms taken from the slabs are in use, though not beyond eight
    // times the survivors: garbage words hold texts besides their atoms.
    next = std::max(next, std::min(int64_t(slabs::TakenCount()), std::min(8 * live, room)));
    gCollectThreshold = int32_t(std::clamp<int64_t>(next, kMinCollectThreshold, INT32_MAX));
}

}  // namespace tavro

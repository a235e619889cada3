#include "atom_slabs.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

#include "state.h"

namespace tavro::slabs {

namespace {

constexpr size_t kSlabBytes = sizeof(Atom) * kSlabAtoms;

// Sorted by address, so that Contains can search them.
std::vector<Atom*> gSlabs;
Atom* gNewest = nullptr;
int gUsed = kSlabAtoms;  // atoms of the newest slab handed out

bool newSlab()
{
    // Straight from the system: its pages come zeroed, so nothing is
    // cleared twice, and the data limit (the memory ceiling) counts them.
    void* pages = mmap(nullptr, kSlabBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) return false;
    auto* slab = static_cast<Atom*>(pages);
    try {
        gSlabs.insert(std::upper_bound(gSlabs.begin(), gSlabs.end(), slab), slab);
    } catch (...) {
        munmap(slab, kSlabBytes);
        return false;
    }
    gNewest = slab;
    gUsed = 0;
    return true;
}

// The slab holding `atom`, or null.
Atom* slabOf(const Atom* atom)
{
    auto it = std::upper_bound(gSlabs.begin(), gSlabs.end(), atom,
                               [](const Atom* a, const Atom* slab) { return a < slab; });
    if (it == gSlabs.begin()) return nullptr;
    Atom* slab = *(it - 1);
    return atom < slab + kSlabAtoms ? slab : nullptr;
}

}  // namespace

Atom* Take()
{
    if (gUsed == kSlabAtoms && !newSlab()) return nullptr;
    Atom* a = gNewest + gUsed++;
    a->Kind = akWord;
    return a;
}

void TopUpFreeList(int count)
{
    while (State->FreeCount < count) {
        Atom* a = Take();
        if (!a) return;
        a->Next = State->FreeAtoms;
        State->FreeAtoms = a;
        State->FreeCount++;
    }
}

bool Contains(const Atom* atom) { return slabOf(atom) != nullptr; }

int TakenCount() { return int(gSlabs.size()) * kSlabAtoms - (gNewest ? kSlabAtoms - gUsed : 0); }

int SlabCount() { return int(gSlabs.size()); }

std::span<Atom> TakenAtoms(int slab)
{
    Atom* first = gSlabs[size_t(slab)];
    return {first, size_t(first == gNewest ? gUsed : kSlabAtoms)};
}

void ReleaseUnused()
{
    if (gSlabs.empty()) return;
    // Everything this needs is allocated before anything changes: it runs
    // right after memory ran out, and may find none.
    std::vector<int> freeAtoms;
    std::vector<bool> goes;
    std::vector<Atom*> kept;
    try {
        freeAtoms.assign(gSlabs.size(), 0);
        goes.assign(gSlabs.size(), false);
        kept.reserve(gSlabs.size());
    } catch (const std::bad_alloc&) {
        return;
    }
    auto indexOf = [](const Atom* slab) {
        return std::lower_bound(gSlabs.begin(), gSlabs.end(), slab) - gSlabs.begin();
    };
    for (Atom* a = State->FreeAtoms; a; a = a->Next)
        if (Atom* slab = slabOf(a)) ++freeAtoms[indexOf(slab)];
    bool any = false;
    for (size_t i = 0; i < gSlabs.size(); ++i) {
        goes[i] = gSlabs[i] != gNewest && freeAtoms[i] == kSlabAtoms;
        any = any || goes[i];
    }
    if (!any) return;
    Atom** link = &State->FreeAtoms;
    while (Atom* a = *link) {
        Atom* slab = slabOf(a);
        if (slab && goes[indexOf(slab)]) {
            *link = a->Next;
            State->FreeCount--;
        } else {
            link = &a->Next;
        }
    }
    for (size_t i = 0; i < gSlabs.size(); ++i) {
        if (goes[i])
            munmap(gSlabs[i], kSlabBytes);
        else
            kept.push_back(gSlabs[i]);
    }
    gSlabs.swap(kept);
}

void ReleaseAll()
{
    for (Atom* slab : gSlabs) munmap(slab, kSlabBytes);
    gSlabs.clear();
    gNewest = nullptr;
    gUsed = kSlabAtoms;
}

}  // namespace tavro::slabs

// Atoms by the block.
//
// The pool (state.h) hands out atoms from its free list and, when that is
// empty, used to ask the system for each new atom alone: a growing heap
// paid a system allocation per atom (about a fifth of defining a program's
// procedures) and the allocator's header on each. Slabs are blocks of
// kSlabAtoms zeroed atoms handed out one after the other. A slab atom is an
// ordinary atom in every other way: it goes to the free list when freed
// and is handed out again from there. It is never given to free(): slabs go
// back to the system whole, once every atom of a slab is on the free list
// (ReleaseFreeAtoms) or with the state.
#pragma once

#include <span>

#include "atom.h"

namespace tavro::slabs {

constexpr int kSlabAtoms = 4096;

// The next unused atom of the newest slab (a new slab when it is used up):
// reset, Kind akWord, on no list. Null when the system refuses memory.
Atom* Take();
// Moves unused slab atoms to the pool's free list until it holds at least
// `count`: native libraries allocate from the free list themselves.
void TopUpFreeList(int count);
bool Contains(const Atom* atom);
// The atoms handed out so far, each on one of the pool's two lists: when
// this equals LiveCount + FreeCount, no atom of either list came from
// elsewhere (a native library's own allocation).
int TakenCount();
// The slabs in ascending address order: the handed-out atoms of the i-th.
int SlabCount();
std::span<Atom> TakenAtoms(int slab);
// Frees the slabs all of whose atoms are on the free list, taking those
// atoms off the list. The newest slab stays.
void ReleaseUnused();
// Frees every slab (the state goes: its atoms must be reset already).
void ReleaseAll();

}  // namespace tavro::slabs

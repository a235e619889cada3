// The garbage collector: mark and sweep over the atom pool, and the pacing
// that decides when a statement starts a collection.
//
// An atom survives when it is reachable from the fixed roots (the current
// cell, the root node, the truth markers, the pending output, the context
// nodes) or from an atom some holder counts (RefCount > 0). Afterwards the
// all-atoms list holds exactly the survivors, the newest of them first as
// far as recent allocations go; every other atom is reset on the free list
// (its resources released once) or, when it did not come from a slab,
// given back to the system.
#pragma once

namespace tavro {

// Called before every statement: collects when the atoms in use have grown
// enough since the last collection, 5000 ms passed, or the process nears
// its memory ceiling.
void CollectGarbageCheck();
// Mark and sweep now. Needs no memory in proportion to the heap: it runs
// right after a command ran out of memory.
void CollectGarbage();

}  // namespace tavro

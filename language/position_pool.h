// Positions by the block.
//
// Every cell of a translated program carries a position (TPosition, 24
// bytes). Allocated one by one they cost a system allocation and its header
// each, about a sixth of translating a program. The pool hands them out of
// blocks and keeps freed ones for reuse; blocks stay until the state goes.
// The core gives an atom's position back itself before the pool resets the
// atom (ReleaseSuccessor, ReleaseMostRecent), so the ABI's reset never
// frees one of these.
#pragma once

#include "tavro.h"

namespace tavro::position_pool {

// A zeroed position; null when the system refuses memory.
TPosition* Take();
// Releases the position's source text and keeps the position for reuse.
void Give(TPosition* position);
// Takes the atom's position off it and gives it back.
void TakeOff(TAtom* atom);
// Frees every block (the state goes).
void ReleaseAll();

}  // namespace tavro::position_pool

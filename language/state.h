// The interpreter state: the one TStructure of the process and the few
// module-level values that every part of the core shares. Everything here
// is touched only from the one interpreter thread.
#pragma once

#include <string>
#include <string_view>

#include "position.h"
#include "tavro.h"

namespace tavro {

// The global that holds the state pointer. Native libraries receive its
// address (&State); it is null before CreateState.
extern TStructure* State;

// Creates the state (empty pool, counts 0, CaseSensitive 1, Epsilon 1e-10,
// ServiceCallback = `service` or the core's fallback entry when null).
// Does nothing when the state exists already.
void CreateState(TServiceCallback service = nullptr);

// Frees every atom of the pool and the state itself (process shutdown and
// tests).
void DestroyState();

// The position of the token or statement being handled.
extern Position CurrentPosition;

// The list cell at which the statement loop stands (the compiler reads the
// elements of a statement through it; nil ends the loop).
extern TAtom* CurrentCell;

// The value most recently popped from any value stack.
extern TAtom* LastPopped;

// Message of the most recent language error.
extern std::string LastErrorText;

// Names: unchanged when names are case-sensitive, upper-cased otherwise.
std::string Normalize(std::string_view text);
inline bool NamesCaseSensitive() { return !State || State->CaseSensitive != 0; }
void SetCaseSensitive(bool on);

// Upper-cases ASCII letters and the letters of UTF-8 sequences that have an
// upper-case form; bytes that are not valid UTF-8 are left as they are.
std::string UpperCase(std::string_view text);

}  // namespace tavro

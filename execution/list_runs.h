// Lists that a library word runs for the procedure that called it: the
// bodies of `foreach`, `for`, `until` and the other control words, the
// templates of `map` and `filter`, `stop`, `catch` and `throw`.
//
// The word's wrapper procedure is the top context; the list runs in the
// scope below it, where the word was written, so it sees the caller's
// inputs and locals exactly like a `repeat` body does. An `output` or
// `stop` inside such a list leaves the caller, not the wrapper: the
// wrapper's call passes it on (see UnwindDepth in interpreter.h).
#pragma once

#include <string_view>

#include "atom.h"

namespace tavro {

// Runs `list` in the caller's scope. With `slots` true, `code` is a
// template and `values` the list of its inputs: a word names a procedure
// (or an object with a lambda member) called with them; a list whose first
// element is a list of names binds those names ([[x] :x * 2], and a
// procedure's definition list); any other list binds `?`, `?1`, `?2`...
// The bound names live in a scope of their own inside the caller's.
// Returns true when the list ran to its end, with its value in *value;
// false when the word must return at once: an output, stop or throw is on
// its way out (*value is what the wrapper should give back) or the list
// failed (the error is pending, see PendingNativeError).
bool RunForCaller(Atom* code, bool slots, Atom* values, Atom** value);

// `stop` (value NoValue) and `op`: leaves the procedure that called the
// wrapper, giving it `value`; at top level ends the running command text.
void LeaveCaller(Atom* value);

// `throw`: unwinds to the innermost `catch` of the tag (case-insensitive).
// "toplevel" ends the run quietly; "error" is caught by `catch "error`
// like an error. Raises NOCATCH when no catch of the tag is running.
void ThrowToCatch(std::string_view tag, Atom* value);

// `catch`: runs `list` for the caller; a throw of `tag` from inside ends
// it and its value becomes *value (NoValue without one). With the tag
// "error" an error inside ends it too (not a user stop, not a lack of
// memory). Returns as RunForCaller does.
bool RunCatching(std::string_view tag, Atom* list, Atom** value);

}  // namespace tavro

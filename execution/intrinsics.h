// Calls of the core library's arithmetic and comparison wrappers (+ - * /
// = <> < > <= >= and the named ones: sum, lessp, ...) computed in place.
//
// A call qualifies when the procedure's body is the one native statement
// of a library wrapper whose function is core.DLL's SUM, DIFFERENCE,
// PRODUCT, QUOTIENT, EQUALP, NOTEQUALP, LESSP, GREATERP, LESSEQUALP or
// GREATEREQUALP (known by the address the loader found under that name),
// its inputs are the parameters a and b passed by value (or b alone for
// DIFFERENCE, which negates), each a number atom or a word of at most 18
// decimal digits with an optional sign, and the native would give a value
// without an error: a finite arithmetic result, no division by zero.
// Nothing may want the call's own steps: no trace logging, no stepping,
// no stop request, no message pumping due at this statement, no history
// notification due, no unwinding under way, the procedure not busy, and
// the machine stack far from its limit.
//
// Such a call gives the same value (a number, or the word true or false)
// and has the same collection check, position, statement count towards
// pumping, last popped value and current cell as the ordinary call, but
// no activation record, parameter nodes or context. Any other call is
// left to the ordinary path.
//
// With TAVRO_VERIFY_LOOKUPS set, every computed call is checked against
// the native function run on a record of its own; a difference aborts.
#pragma once

#include "state.h"
#include "value_stack.h"

namespace tavro {

// Computes the call of `node`, whose body is the native statement
// `statement` (NativeBodyStatement), with the `argCount` inputs on the
// stack, as described above: true when done (the inputs popped and the
// result pushed), false when nothing was done.
bool CallIntrinsic(TStack& stack, Atom* node, Atom* statement, int argCount, const TCodeWord* args);

}  // namespace tavro

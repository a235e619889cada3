// Calls of the core library's commonest wrappers answered in place: the
// arithmetic and comparison words (+ - * / = <> < > <= >= and the named
// ones: sum, lessp, ...) and count, item, word, uppercase, lowercase,
// first, last, butfirst, fput and emptyp, and not, and, or.
//
// A call qualifies when the procedure's body is the one native statement
// of a library wrapper whose function is one of core.DLL's (known by the
// address the loader found under its name: SUM, ..., GREATEREQUALP, COUNT,
// ITEM, WORD, UPPERCASE, LOWERCASE, FIRST, LAST, BUTFIRST, FPUT, EMPTYP,
// NOT, AND, OR), its inputs are the parameters that function reads (a and
// b; n and x; x and l; w; x; a), passed by value, none of them an object,
// and the function would give a value without an error:
// - numbers: each input a number atom or a word of at most 18 decimal
//   digits with an optional sign (b alone for DIFFERENCE, which negates),
//   a finite arithmetic result, no division by zero;
// - words and lists: where the function counts or cuts a word by
//   characters, a word of ASCII characters (numbers read in their printed
//   form); an index of 1 to 18 digits or a whole number atom, in range;
// - logic: each input the word true or false in any letter case.
// Nothing may want the call's own steps: no trace logging, no stepping,
// no stop request, no message pumping due at this statement, no history
// notification due, no unwinding under way, the procedure not busy, and
// the machine stack far from its limit.
//
// Such a call gives the same value (a new number, truth word, word or list
// cell, or the very element or rest of a list input that the function
// gives) and has the same collection check, position, statement count
// towards pumping, last popped value and current cell as the ordinary
// call, but no activation record, parameter nodes or context. Any other
// call is left to the ordinary path.
//
// With TAVRO_VERIFY_LOOKUPS set, every computed call is checked against
// the native function run on a record of its own; a difference aborts.
#pragma once

#include <cstdint>

#include "native_words.h"
#include "state.h"
#include "value_stack.h"

namespace tavro {

// What decides whether a call site's calls of a wrapper can be answered in
// place, fixed by the wrapper's native statement and the site's operand
// words (and the naming mode): the function, its core word, and which of
// the function's inputs each of the site's inputs is.
struct IntrinsicPlan {
    TNativeFunction fn = nullptr;
    CoreWord word = CoreWord::None;
    int8_t slot[2] = {-1, -1};  // per site input: 0 the function's first, 1 its second
    bool hasFirst = false;      // false only for DIFFERENCE given b alone
};

// Fills `plan` for calls of the wrapper whose native statement is
// `statement` from a site with these operand words; false when such calls
// are never answered in place (plan.word is then None).
bool PlanIntrinsic(const Atom* statement, int argCount, const TCodeWord* args, IntrinsicPlan& plan);

// CallIntrinsic with the plan made already: the same answer for the same
// plan, inputs and state.
bool RunIntrinsic(TStack& stack, Atom* node, Atom* statement, int argCount, const TCodeWord* args,
                  const IntrinsicPlan& plan);

// Computes the call of `node`, whose body is the native statement
// `statement` (NativeBodyStatement), with the `argCount` inputs on the
// stack, as described above: true when done (the inputs popped and the
// result pushed), false when nothing was done.
bool CallIntrinsic(TStack& stack, Atom* node, Atom* statement, int argCount, const TCodeWord* args);

}  // namespace tavro

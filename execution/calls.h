// Procedure calls, as the stack machine (executor.cpp) makes them, and the
// start of a statement, which the statement loop and a library wrapper's
// one native statement share. Inside the interpreter only.
#pragma once

#include <string_view>

#include "interpreter.h"
#include "run_control.h"
#include "state.h"
#include "structure.h"
#include "value_stack.h"

namespace tavro {

// Calls the procedure `nameAtom` names with `argCount` inputs from the
// stack; `args` holds, per input, its passing flag (1 by name) and its
// parameter's name atom. Pushes the result (the output, or the activation
// record when there is none).
void CallProcedure(TStack& stack, Atom* nameAtom, int argCount, const TCodeWord* args, bool wantValue);

// The one statement of a body that is nothing but `output dll.LIB.FUNCTION`
// (every library wrapper), compiled already; null for any other body.
// Word 1 of its code is the native function.
Atom* NativeBodyStatement(Atom* body);

// Calls a native word and raises the error it reported, if any.
Atom* CallNative(TNativeFunction fn);

// A name that nothing answers to: "sq needs an input n" when it is a
// parameter the caller left out, else "Nothing is named ...".
[[noreturn]] void RaiseUnknownName(std::string_view name);

// A name that the current lookup could not find, looked for once more in
// the procedures that are running, innermost first, while a template
// runs: a template sees the inputs and locals of the procedure that wrote
// it even when another procedure runs it (map inside a procedure the
// template was passed to). Raises as RaiseUnknownName when that finds
// nothing either.
Atom* ResolveUnknownName(std::string_view name);

// The node a name written in a program stands for (a word, or anything
// else by its printed form); raises as ResolveUnknownName when there is
// none.
Atom* ResolveSpelledName(Atom* nameAtom);
inline Atom* ResolveProgramName(Atom* nameAtom)
{
    if (IsObject(nameAtom) && nameAtom->Kind == akWord) [[likely]] {
        std::string_view name = TextOf(nameAtom);
        Atom* node = ResolveName(nameAtom, name);
        return node ? node : ResolveUnknownName(name);
    }
    return ResolveSpelledName(nameAtom);
}

// The word a program called that led to the native word running now: the
// library procedure nearest the program's own code on the context stack
// (fd, when fd's helper fails), or `word` itself when the native word's
// procedure was called from the program directly.
std::string WordUserCalled(std::string_view word);

// What every statement does before its code runs: its position becomes
// the current one, messages are pumped now and then, stepping may pause.
inline void BeginStatement(Atom* cell)
{
    if (const TPosition* p = cell->Position) {
        CurrentPosition.Source.assign(p->Source);
        CurrentPosition.Line = p->Line;
        CurrentPosition.Offset = p->Offset;
        if (p->Source == RunSource && RunSource) {
            RunSourceLine = p->Line;
            RunSourceOffset = p->Offset;
        }
    } else {
        CurrentPosition.Source = Text();
        CurrentPosition.Line = 0;
        CurrentPosition.Offset = 0;
    }
    CurrentPosition.Depth = EvalDepth;
    YieldCheck();
    if (IsSteppingState(RunState)) StepCheck();
}

}  // namespace tavro

// Protection against runaway recursion.
//
// Every nesting of the interpreter (procedure calls, change handlers,
// nested runs, groups) goes through EvaluateCode, which calls
// CheckStackDepth; so do the recursive parts of reading a program (the
// parser and the compiler's emission) and of walking values. Rather than count levels, whose size in machine stack
// varies with what each level does, the guard measures the machine stack
// that is left and raises the language error "DEEPRECURSION" while a safe
// reserve remains, so the error unwinds normally and the next run starts
// clean.
#pragma once

#include <cstddef>

namespace tavro {

// Records the bounds of the calling thread's stack. Called once by the
// interpreter's entry points (cheap when already done for this thread).
void InitStackGuard();

// Bytes of stack kept in reserve when the error is raised.
constexpr size_t kStackReserve = 512 * 1024;

// The lowest usable stack address plus the reserve (0 before init).
extern thread_local char* StackLimit;

[[noreturn]] void RaiseDeepRecursion();

inline void CheckStackDepth()
{
    char probe;
    if (&probe < StackLimit) RaiseDeepRecursion();
}

}  // namespace tavro

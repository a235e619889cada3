// The interpreter's memory ceiling.
//
// A program that allocates without end must stop with the language error
// OUTOFMEMORY instead of taking the machine. The ceiling is a limit on the
// process's data memory: once it is reached the system refuses further
// allocations, the core turns the refusal into OUTOFMEMORY (std::bad_alloc
// included), and the run ends like any other error; the garbage that the
// run left is collected and the next command runs.
#pragma once

#include <cstddef>
#include <string_view>

namespace tavro {

// The default: three quarters of the physical memory.
size_t DefaultMemoryCeiling();

// Sets the ceiling in bytes (0: the default). Under an address sanitizer,
// which reserves its shadow memory up front, the system limit is left
// alone (the sanitizer's own allocator limits apply).
void SetMemoryCeiling(size_t bytes);
size_t MemoryCeiling();

// Reads a ceiling in megabytes ("2048"); 0 when the text is no positive
// whole number.
size_t ParseMemoryMegabytes(std::string_view text);

// A small block held back while the interpreter runs and given up when
// memory runs out, so the error can still be reported and the stack
// unwound. Restored by RestoreMemoryReserve after the run.
void ReleaseMemoryReserve();
void RestoreMemoryReserve();

}  // namespace tavro

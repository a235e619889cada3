// The interpreter's memory ceiling.
//
// A program that allocates without end must stop with the language error
// OUTOFMEMORY instead of taking the machine. The ceiling limits the
// process's data memory while a program runs: once it is reached the
// system refuses further allocations, the core turns the refusal into
// OUTOFMEMORY (std::bad_alloc included), and the run ends like any other
// error; the garbage that the run left is collected and the next command
// runs. Between runs, and while an error is reported, a margin above the
// ceiling is open to the environment (memory_room.h).
#pragma once

#include <cstddef>
#include <string_view>

#include "memory_room.h"

namespace tavro {

// What the machine lets a program have: the smallest of three quarters of
// the physical memory and three quarters of the room left under the
// process's address-space limit and under its control group's memory
// limit.
size_t DefaultMemoryCeiling();

// The same from given figures (0: no such limit), for the tests.
size_t CeilingFor(size_t physical, size_t addressRoom, size_t groupRoom);

// Sets the ceiling in bytes (0: the default). Under an address sanitizer,
// which reserves its shadow memory up front, the system limit is left
// alone (the sanitizer's own allocator limits apply).
void SetMemoryCeiling(size_t bytes);
size_t MemoryCeiling();

// The margin above the ceiling kept for the environment.
size_t EnvironmentMargin(size_t ceiling);

// Reads a ceiling in megabytes ("2048"); 0 when the text is no positive
// whole number.
size_t ParseMemoryMegabytes(std::string_view text);

}  // namespace tavro

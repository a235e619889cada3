// Source positions. `Position` is the C++ value form of the ABI's TPosition:
// copying it shares the source name by reference count.
#pragma once

#include <climits>
#include <string_view>

#include "tavro.h"
#include "text.h"

namespace tavro {

struct Position {
    Text Source;
    int Line = 0;
    int Offset = 0;
    int Depth = 0;
};

// The depth every loader starts a position with.
constexpr int kUnexecutedDepth = INT_MAX;

inline Position MakePosition(std::string_view source, int line, int offset, int depth)
{
    return Position{Text(source), line, offset, depth};
}

}  // namespace tavro

// Texts cut short for display (the output window's long lines, the
// source hints, the memory window's values).
#pragma once

#include <string>
#include <string_view>

namespace tavro {

// The first `limit` characters (not bytes) of a UTF-8 text.
std::string FirstCharacters(std::string_view text, int limit);

}  // namespace tavro

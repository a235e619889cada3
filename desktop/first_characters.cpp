#include "first_characters.h"

#include <algorithm>

namespace tavro {

std::string FirstCharacters(std::string_view text, int limit)
{
    // Counts lead bytes: a character is one to four bytes.
    size_t i = 0;
    for (int count = 0; i < text.size() && count < limit; ++count) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        i += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    }
    return std::string(text.substr(0, std::min(i, text.size())));
}

}  // namespace tavro

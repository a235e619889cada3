// UTF-8, the encoding of every text inside the interpreter.
#pragma once

#include <string>
#include <string_view>

namespace tavro::utf8 {

// Appends the encoding of one code point.
inline void Append(char32_t cp, std::string& out)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Decodes the sequence that starts at s[i]: its length, or 0 when the
// bytes there are not a valid sequence (ASCII bytes included: callers
// handle those first).
inline int Decode(std::string_view s, size_t i, char32_t& cp)
{
    unsigned char c = s[i];
    int len = c < 0xC2 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return 0;
    cp = c & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        unsigned char cc = s[i + k];
        if ((cc & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    return len;
}

inline bool IsValid(std::string_view s)
{
    char32_t cp;
    for (size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
            continue;
        }
        int len = Decode(s, i, cp);
        if (len == 0) return false;
        i += size_t(len);
    }
    return true;
}

}  // namespace tavro::utf8

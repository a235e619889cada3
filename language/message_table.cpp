#include "message_table.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "text.h"
#include "utf8.h"

namespace tavro {

namespace {

bool equalNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x -= 32;
        if (y >= 'a' && y <= 'z') y -= 32;
        if (x != y) return false;
    }
    return true;
}

// Code page 1252 differs from Latin-1 in 0x80..0x9F.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::string DecodeTextFile(std::string_view bytes)
{
    std::string out;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            char32_t u = static_cast<unsigned char>(bytes[i]) |
                         (static_cast<unsigned char>(bytes[i + 1]) << 8);
            if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
                char32_t lo = static_cast<unsigned char>(bytes[i + 2]) |
                              (static_cast<unsigned char>(bytes[i + 3]) << 8);
                if (lo >= 0xDC00 && lo < 0xE000) {
                    u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                    i += 2;
                }
            }
            utf8::Append(u, out);
        }
        return out;
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    if (utf8::IsValid(bytes)) return std::string(bytes);
    for (unsigned char c : bytes) {
        if (c >= 0x80 && c < 0xA0)
            utf8::Append(kCp1252High[c - 0x80], out);
        else
            utf8::Append(c, out);
    }
    return out;
}

bool NameValueList::LoadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::stringstream ss;
    ss << in.rdbuf();
    LoadText(DecodeTextFile(ss.str()));
    return true;
}

void NameValueList::LoadText(std::string_view text)
{
    lines_.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        lines_.emplace_back(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
}

bool NameValueList::SaveFile(const std::string& path) const
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const auto& l : lines_) out << l << '\n';
    return static_cast<bool>(out);
}

std::optional<std::string> NameValueList::Find(std::string_view key) const
{
    for (const auto& l : lines_) {
        size_t eq = l.find('=');
        if (eq != std::string::npos && equalNoCase(std::string_view(l).substr(0, eq), key))
            return l.substr(eq + 1);
    }
    return std::nullopt;
}

std::string NameValueList::TextOrKey(std::string_view key) const
{
    auto v = Find(key);
    if (!v || v->empty()) return std::string(key);
    return *v;
}

int NameValueList::IntOrDefault(std::string_view key, int fallback) const
{
    auto v = Find(key);
    if (!v || v->empty()) return fallback;
    char* end = nullptr;
    long n = std::strtol(v->c_str(), &end, 10);
    if (end == v->c_str() || *end != '\0') return fallback;
    return static_cast<int>(n);
}

void NameValueList::Set(std::string_view key, std::string_view value)
{
    for (size_t i = 0; i < lines_.size(); ++i) {
        size_t eq = lines_[i].find('=');
        if (eq != std::string::npos && equalNoCase(std::string_view(lines_[i]).substr(0, eq), key)) {
            if (value.empty())
                lines_.erase(lines_.begin() + static_cast<long>(i));
            else
                lines_[i] = std::string(key) + "=" + std::string(value);
            return;
        }
    }
    if (!value.empty()) lines_.push_back(std::string(key) + "=" + std::string(value));
}

NameValueList& ErrorMessages()
{
    static NameValueList table;
    return table;
}

NameValueList& InterfaceTexts()
{
    static NameValueList table;
    return table;
}

intptr_t FallbackServiceEntry(int code, TText* text, long double, long double, long double,
                              long double)
{
    code &= 0x7F;
    if ((code == 15 || code == 16) && text) {
        NameValueList& table = code == 15 ? ErrorMessages() : InterfaceTexts();
        auto v = table.Find(View(*text));
        if (v && !v->empty()) SetText(text, *v);
    }
    return 0;
}

}  // namespace tavro

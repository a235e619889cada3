#include "link_text.h"

#include <cctype>

namespace tavro {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

bool containsNoCase(std::string_view text, std::string_view part)
{
    for (size_t i = 0; i + part.size() <= text.size(); ++i)
        if (startsWithNoCase(text.substr(i), part)) return true;
    return false;
}

bool isBlank(char c) { return c == ' '; }
// Blanks and control characters: what the link decoding trims.
bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

template <class Pred>
std::string trimmed(std::string_view s, Pred drop)
{
    size_t b = 0, e = s.size();
    while (b < e && drop(s[b])) ++b;
    while (e > b && drop(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

void replaceAll(std::string& text, std::string_view from, std::string_view to)
{
    // Repeated until none is left: a replacement may join the pieces of a
    // new occurrence.
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from)) {
        std::string result;
        size_t start = 0;
        for (; at != std::string::npos; at = text.find(from, start)) {
            result.append(text, start, at - start);
            result.append(to);
            start = at + from.size();
        }
        result.append(text, start);
        text.swap(result);
    }
}

bool cutTag(std::string& piece, std::string_view tag)
{
    if (piece.compare(0, tag.size(), tag) != 0) return false;
    piece = trimmed(std::string_view(piece).substr(tag.size()), isBlankOrControl);
    return true;
}

}  // namespace

LinkScheme SchemeOf(std::string_view address)
{
    if (containsNoCase(address, "res://")) return LinkScheme::Refused;
    if (startsWithNoCase(address, "view://")) return LinkScheme::View;
    if (startsWithNoCase(address, "exec://")) return LinkScheme::Exec;
    if (startsWithNoCase(address, "copy://")) return LinkScheme::Copy;
    return LinkScheme::Other;
}

bool IsWebAddress(std::string_view address)
{
    return startsWithNoCase(address, "http://") || startsWithNoCase(address, "https://") ||
           startsWithNoCase(address, "mailto:");
}

bool IsPrivateAddress(std::string_view address)
{
    LinkScheme s = SchemeOf(address);
    return s == LinkScheme::View || s == LinkScheme::Exec || s == LinkScheme::Copy;
}

std::string LinkArgument(std::string_view address)
{
    std::string s = trimmed(address, isBlank);
    // The scheme goes before the trailing "/": "view://" must come out
    // empty rather than as "view:/".
    if (size_t at = s.find("://"); at != std::string::npos) s.erase(0, at + 3);
    if (!s.empty() && s.back() == '/') s.pop_back();
    return trimmed(s, isBlank);
}

std::string PercentDecoded(std::string_view text)
{
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out += char(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string AddressForTyped(std::string_view typed)
{
    if (typed.find("://") != std::string_view::npos) return std::string(typed);
    return "view://" + std::string(typed);
}

std::string DecodeLinkText(std::string_view text)
{
    std::string rest(text);
    replaceAll(rest, "<B>", "");
    replaceAll(rest, "</B>", "");
    replaceAll(rest, "%20", " ");
    replaceAll(rest, "<TR><TD>", "");
    replaceAll(rest, "</TD></TR>", "");
    replaceAll(rest, "<br />", "\r");

    std::string out, indent;
    bool first = true;
    for (size_t cr = rest.find('\r'); cr != std::string::npos; cr = rest.find('\r')) {
        std::string piece = rest.substr(0, cr);
        for (;;) {
            if (cutTag(piece, "<TABLE>")) {
                indent += "    ";
            } else if (cutTag(piece, "</TABLE>")) {
                indent.erase(0, 4);
            } else {
                break;
            }
        }
        if (!first) out += '\r';
        out += indent + piece;
        first = false;
        rest = trimmed(std::string_view(rest).substr(cr + 1), isBlankOrControl);
    }
    out += '\r';
    out += rest;
    return out;
}

}  // namespace tavro

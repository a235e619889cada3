#include "unfinished_command.h"

#include <cctype>

#include "errors.h"

namespace tavro {

namespace {

std::string lower(std::string s)
{
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The word that starts at `at` (blanks before it skipped).
std::string wordAt(const std::string& text, size_t at)
{
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    size_t end = at;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) && text[end] != ',' &&
           text[end] != '[' && text[end] != '(' && text[end] != ':')
        ++end;
    return text.substr(at, end - at);
}

}  // namespace

OpenPart WhatIsOpen(const std::string& text, const std::string& error, int offset,
                    const std::vector<size_t>& lineStarts)
{
    OpenPart open;
    // The messages are compared in the language they were raised in: the
    // format of the one key that reports an opening left open.
    std::string format(ErrorFormat("UNMATCHED"));
    static const char* const kOpeners[][2] = {{"[", "["}, {"(", "("}, {"to", "to"}, {" ' ", "'"}, {" { ", "{"}};
    for (const auto& o : kOpeners)
        if (error == FormatMessage(format, {o[0]})) open.Opener = o[1];
    if (open.Opener.empty()) return open;
    open.Unfinished = true;
    size_t at = offset > 0 ? size_t(offset - 1) : 0;
    open.Line = 1;
    for (size_t i = 1; i < lineStarts.size(); ++i)
        if (lineStarts[i] <= at) open.Line = int(i) + 1;
    if (open.Opener == "to" && at < text.size() && lower(text.substr(at, 2)) == "to")
        open.Name = wordAt(text, at + 2);
    return open;
}

}  // namespace tavro

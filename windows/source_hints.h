// What the source editor shows about the word under the mouse, and the
// placeholder that a dropped text replaces.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tavro {

// The normalised text of the token of `line` (UTF-8) whose span holds the
// 1-based byte `position` (both ends inclusive); "" when none does. The
// line is normalised as a whole first; lexer errors are ignored.
std::string HintWordAt(std::string_view line, int position);

// The hint for a word: the value of "help.WORD" when the program defines
// one (a word or a number); else the name, " = " and the first 80
// characters of the value of the node the word names, with a second line
// "{ "DOTTED.PATH }" when the node's path differs from its name; else "".
// Never fails.
std::string HintTextFor(const std::string& word);

// A placeholder around `index` of `line`: the text from a "‹" before it
// through a "›" after it, with no other mark between them. Returns the
// first and one-past-last index, or {-1, -1}.
std::pair<int, int> PlaceholderAround(const QString& line, int index);

}  // namespace tavro

// What the info window offers for a word that names no help topic: the
// topics spelt most like it, and for a word of another Logo dialect the
// words to use here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavro {

// Up to `count` of `names` nearest to `word` by edit distance (letter case
// ignored), nearest first, each within a third of the word's length (at
// least 2 edits); blank-separated.
std::string ClosestTopics(const std::vector<std::string>& names, std::string_view word, int count = 5);

// For a word of other Logo dialects that this one spells differently, the
// topics to read here, blank-separated; "" for any other word.
std::string DialectTopics(std::string_view word);

}  // namespace tavro

#include "help_suggestions.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace tavro {

namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Insertions, deletions, substitutions and swaps of neighbours.
int editDistance(const std::string& a, const std::string& b)
{
    const size_t n = a.size(), m = b.size();
    std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
    for (size_t i = 0; i <= n; ++i) d[i][0] = int(i);
    for (size_t j = 0; j <= m; ++j) d[0][j] = int(j);
    for (size_t i = 1; i <= n; ++i) {
        for (size_t j = 1; j <= m; ++j) {
            int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[n][m];
}

}  // namespace

std::string ClosestTopics(const std::vector<std::string>& names, std::string_view word, int count)
{
    std::string wanted = lower(word);
    if (wanted.empty()) return {};
    const int limit = std::max(2, int(wanted.size()) / 3);
    std::vector<std::pair<int, std::string>> near;
    for (const std::string& name : names) {
        int distance = editDistance(wanted, lower(name));
        // A word that begins a longer name is near as well ("butf").
        if (lower(name).rfind(wanted, 0) == 0 && wanted.size() >= 3) distance = std::min(distance, 1);
        if (distance <= limit) near.emplace_back(distance, name);
    }
    std::stable_sort(near.begin(), near.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    std::string out;
    for (size_t i = 0; i < near.size() && int(i) < count; ++i) out += (out.empty() ? "" : " ") + near[i].second;
    return out;
}

std::string DialectTopics(std::string_view word)
{
    // Words of the common Logo dialects and where this one's help covers
    // the same thing.
    static const std::pair<const char*, const char*> kWords[] = {
        {"dotimes", "repeat for"},  {"name", "make"},       {"load", "run"},
        {"readlist", "readword"},   {"rl", "readword"},     {"rw", "readword"},
        {"erall", "erase ern"},     {"fill", "polygon"},    {"label", "turtlelabel"},
        {"learn", "to"},           {"ppt", "pendown"},
    };
    std::string wanted = lower(word);
    for (const auto& [other, here] : kWords)
        if (wanted == other) return here;
    return {};
}

}  // namespace tavro

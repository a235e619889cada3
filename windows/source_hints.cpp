#include "source_hints.h"

#include "first_characters.h"

#include "atom.h"
#include "state.h"
#include "structure.h"
#include "syntax_classes.h"

namespace tavro {

std::string HintWordAt(std::string_view line, int position)
{
    try {
        for (const LexedToken& t : LexText(Normalize(line)))
            if (t.Start <= position && position <= t.Start + t.Length) return t.Text;
    } catch (...) {
    }
    return {};
}

std::string HintTextFor(const std::string& word)
{
    if (word.empty() || !State) return {};
    try {
        if (Atom* help = Resolve("help." + word)) {
            Atom* value = LeftOf(help);
            if (value && value != NoValue) return ToTextStrict(value);
        }
        if (Atom* node = Resolve(word)) {
            std::string name(NameOf(node));
            std::string hint = name + " = " + FirstCharacters(ToText(LeftOf(node)), 80);
            std::string path = DottedPath(node);
            if (path != name) hint += "\r\n{ \"" + path + " }";
            return hint;
        }
    } catch (...) {
        // A value that is no word or number, or a failed lookup: no hint.
    }
    return {};
}

std::pair<int, int> PlaceholderAround(const QString& line, int index)
{
    const QChar open(0x2039), close(0x203A);
    if (index < 0 || index >= line.size()) return {-1, -1};
    int first = -1, last = -1;
    for (int i = index; i >= 0; --i) {
        if (line[i] == close && i != index) return {-1, -1};
        if (line[i] == open) {
            first = i;
            break;
        }
    }
    for (int i = index; i < line.size(); ++i) {
        if (line[i] == open && i != index && i != first) return {-1, -1};
        if (line[i] == close) {
            last = i;
            break;
        }
    }
    if (first < 0 || last < 0) return {-1, -1};
    return {first, last + 1};
}

}  // namespace tavro

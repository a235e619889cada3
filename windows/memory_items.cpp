#include "memory_items.h"

#include "first_characters.h"
#include "structure.h"

#include <vector>

namespace tavro {

namespace {

bool isWord(const Atom* a, std::string_view text)
{
    return IsObject(a) && (a->Kind == akWord || a->Kind == akNumber) && TextOf(a) == text;
}

// Reads the marker pairs of a parameter list (": x" or "\" x") into
// ":x \"y"; false when an element is not such a pair.
bool readPairs(const Atom* list, std::string& text)
{
    for (const Atom* cell = list; cell; cell = RightOf(cell)) {
        const Atom* marker = LeftOf(cell);
        if (!isWord(marker, ":") && !isWord(marker, "\"")) return false;
        cell = RightOf(cell);
        if (!cell || !IsWordOrNumber(LeftOf(cell))) return false;
        if (!text.empty()) text += ' ';
        text += std::string(TextOf(marker)) + std::string(TextOf(LeftOf(cell)));
    }
    return true;
}

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

}  // namespace

bool ReadProcedureHeader(const Atom* definition, ProcedureHeader& header)
{
    // The empty list is the null pointer: a procedure without parameters
    // has none as its first element and is shown as a plain list.
    if (!IsObject(definition) || definition->Kind != akList) return false;
    const Atom* first = LeftOf(definition);
    if (!IsObject(first) || first->Kind != akList) return false;
    std::string firstPairs;
    if (!readPairs(first, firstPairs)) return false;
    const Atom* second = RightOf(definition);
    if (!second) return false;
    if (isWord(LeftOf(second), ",")) {
        header = {"", firstPairs};
        return true;
    }
    // Left parameters first, then the parameter list (which may be empty).
    if (!IsList(LeftOf(second))) return false;
    std::string params;
    if (!readPairs(LeftOf(second), params)) return false;
    const Atom* third = RightOf(second);
    if (!third || !isWord(LeftOf(third), ",")) return false;
    header = {firstPairs, params};
    return true;
}

namespace {

// The value of the record's member `name` as a call would show it.
std::string inputValue(const Atom* record, std::string_view name)
{
    constexpr size_t kShown = 40;
    for (const Atom* m = record->FirstChild; m; m = m->NextSibling)
        if (TextOf(m) == name) return FirstCharacters(ToText(LeftOf(m)), kShown);
    return "?";
}

// The names of ":a :b" in order.
std::vector<std::string> parameterNames(const std::string& pairs)
{
    std::vector<std::string> names;
    size_t i = 0;
    while (i < pairs.size()) {
        size_t end = pairs.find(' ', i);
        if (end == std::string::npos) end = pairs.size();
        if (end > i + 1) names.push_back(pairs.substr(i + 1, end - i - 1));
        i = end + 1;
    }
    return names;
}

}  // namespace

std::string FrameCaption(const Atom* record)
{
    if (!record || !(record->Flags & flActivation) || !record->Parent) return record ? DottedPath(record) : "";
    const Atom* procedure = record->Parent;
    std::string caption = DottedPath(procedure);
    ProcedureHeader header;
    if (!ReadProcedureHeader(LeftOf(procedure), header)) {
        // Without parameters (or written on one line): the first list of
        // the definition still names the inputs.
        const Atom* first = IsObject(LeftOf(procedure)) ? LeftOf(LeftOf(procedure)) : nullptr;
        if (!IsObject(first) || first->Kind != akList) return caption;
        for (const Atom* cell = first; cell && RightOf(cell); cell = RightOf(RightOf(cell)))
            if (IsWordOrNumber(LeftOf(RightOf(cell)))) caption += " " + inputValue(record, TextOf(LeftOf(RightOf(cell))));
        return caption;
    }
    std::string left;
    for (const std::string& n : parameterNames(header.Left)) left += inputValue(record, n) + " ";
    for (const std::string& n : parameterNames(header.Params)) caption += " " + inputValue(record, n);
    return left + caption;
}

ItemLook LookOf(const QString& text, const Atom* node)
{
    ItemLook look;
    const Atom* value = node ? LeftOf(node) : nullptr;
    if (!IsObject(value)) {
        look.Tail = text;
        return look;
    }
    auto cut = [](const Atom* v) { return qs(FirstCharacters(ToText(v), kMemoryValueLimit)); };
    switch (value->Kind) {
    case akNumber:
    case akWord: {
        long double n;
        bool number = value->Kind == akNumber || ToNumberTry(value, n);
        look.Colour = number ? ItemLook::NumberColour : ItemLook::WordColour;
        look.Bold = text;
        look.Tail = (number ? " = " : " = \"") + cut(value);
        return look;
    }
    case akList: {
        ProcedureHeader header;
        if (ReadProcedureHeader(value, header)) {
            if (!header.Left.empty()) look.Lead = qs(header.Left) + ' ';
            look.Bold = qs(std::string(NameOf(node))) + ' ';
            look.Tail = qs(header.Params);
            return look;
        }
        look.Bold = text;
        look.Tail = " = " + cut(value);
        return look;
    }
    default:
        look.Tail = text + " = " + cut(value);
        return look;
    }
}

}  // namespace tavro

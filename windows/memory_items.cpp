#include "memory_items.h"

#include "first_characters.h"

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

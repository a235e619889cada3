#include "typed_procedures.h"

#include <cctype>

#include "languages.h"
#include "output_window.h"
#include "run_control.h"
#include "structure.h"

namespace tavro {

namespace {

std::string lower(std::string s)
{
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool separator(char c) { return std::isspace(static_cast<unsigned char>(c)) || c == ','; }

// The words of a text with their offsets: blanks and line ends (",")
// separate them.
std::vector<std::pair<size_t, std::string>> words(const std::string& text)
{
    std::vector<std::pair<size_t, std::string>> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && separator(text[i])) ++i;
        size_t start = i;
        while (i < text.size() && !separator(text[i])) ++i;
        if (i > start) out.emplace_back(start, text.substr(start, i - start));
    }
    return out;
}

bool gSaidSo = false;

}  // namespace

TypedProcedures& TheTypedProcedures()
{
    static TypedProcedures kept;
    return kept;
}

std::pair<std::string, std::string> TypedProcedures::DefinitionOf(const std::string& text)
{
    auto w = words(text);
    if (w.size() < 3 || lower(w[0].second) != "to") return {};
    // The definition ends at its "end"; what the same line ran after it is
    // not run again.
    for (size_t i = 2; i < w.size(); ++i)
        if (lower(w[i].second) == "end") return {w[1].second, text.substr(w[0].first, w[i].first + 3 - w[0].first)};
    return {};
}

void TypedProcedures::Note(const std::string& text)
{
    auto [name, definition] = DefinitionOf(text);
    if (name.empty()) return;
    // A name typed again replaces its earlier definition, and moves last.
    for (auto it = kept_.begin(); it != kept_.end(); ++it)
        if (lower(it->first) == lower(name)) {
            kept_.erase(it);
            break;
        }
    kept_.emplace_back(name, definition);
}

std::vector<std::string> TypedProcedures::StillDefined()
{
    std::vector<std::string> out;
    Atom* root = RootNode();
    if (!root) return out;
    std::vector<std::pair<std::string, std::string>> still;
    for (const auto& [name, text] : kept_)
        if (ResolveFrom(root, name)) {
            still.emplace_back(name, text);
            out.push_back(text);
        }
    kept_ = still;
    return out;
}

std::vector<std::string> TypedProcedures::Define(const std::vector<std::string>& definitions)
{
    std::vector<std::string> names;
    for (const std::string& text : definitions)
        if (RunSystemCommand(text) == rscRan) names.push_back(DefinitionOf(text).first);
    return names;
}

KeepTypedProcedures::KeepTypedProcedures() : definitions_(TheTypedProcedures().StillDefined()) {}

void KeepTypedProcedures::Restore()
{
    if (definitions_.empty()) return;
    std::vector<std::string> names = TheTypedProcedures().Define(definitions_);
    if (names.empty() || gSaidSo) return;
    gSaidSo = true;
    std::string list;
    for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
    if (OutputWindow* out = TheOutputWindow()) out->AppendLine(desktop::FormatOne(desktop::Tr("SOURCE.KEPTTYPED"), list));
}

}  // namespace tavro

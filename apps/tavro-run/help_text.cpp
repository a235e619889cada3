#include "help_text.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

#include "executor.h"

namespace tavro::runner {

namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The value of attribute `name` in a start tag's text, or "".
std::string attribute(std::string_view tag, std::string_view name)
{
    std::string key = " " + std::string(name) + "=\"";
    size_t at = tag.find(key);
    if (at == std::string_view::npos) return {};
    at += key.size();
    size_t end = tag.find('"', at);
    return std::string(tag.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
}

// Markup dropped, entities read, white space folded to single blanks.
std::string plain(std::string_view markup)
{
    std::string out;
    bool inTag = false, blank = false;
    for (size_t i = 0; i < markup.size(); ++i) {
        char c = markup[i];
        if (inTag) {
            inTag = c != '>';
            continue;
        }
        if (c == '<') {
            inTag = true;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            blank = !out.empty();
            continue;
        }
        if (blank) out += ' ';
        blank = false;
        static const std::pair<std::string_view, char> kEntities[] = {
            {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
        bool replaced = false;
        for (auto [entity, ch] : kEntities) {
            if (markup.substr(i, entity.size()) == entity) {
                out += ch;
                i += entity.size() - 1;
                replaced = true;
                break;
            }
        }
        if (!replaced) out += c;
    }
    return out;
}

// The texts of the elements `name` directly in `body`, in order.
std::vector<std::string> elements(std::string_view body, std::string_view name)
{
    std::vector<std::string> found;
    std::string open = "<" + std::string(name), close = "</" + std::string(name) + ">";
    size_t at = 0;
    while ((at = body.find(open, at)) != std::string_view::npos) {
        size_t after = at + open.size();
        if (after >= body.size() || (body[after] != '>' && body[after] != ' ')) {
            at = after;
            continue;
        }
        size_t start = body.find('>', after);
        size_t end = body.find(close, start);
        if (start == std::string_view::npos || end == std::string_view::npos) break;
        found.push_back(plain(body.substr(start + 1, end - start - 1)));
        at = end + close.size();
    }
    return found;
}

}  // namespace

std::string HelpTopicText(std::string_view xml, std::string_view word)
{
    std::string wanted = lower(word);
    size_t at = 0;
    while ((at = xml.find("<topic ", at)) != std::string_view::npos) {
        size_t tagEnd = xml.find('>', at);
        size_t end = xml.find("</topic>", tagEnd);
        if (tagEnd == std::string_view::npos || end == std::string_view::npos) break;
        std::string_view tag = xml.substr(at, tagEnd - at);
        std::istringstream names(attribute(tag, "name") + " " + attribute(tag, "aliases"));
        bool match = false;
        for (std::string n; names >> n;) match = match || lower(n) == wanted;
        if (match) {
            std::string_view body = xml.substr(tagEnd + 1, end - tagEnd - 1);
            std::string text;
            for (const std::string& t : elements(body, "title")) text += t + "\n";
            for (const std::string& u : elements(body, "use")) text += "  " + u + "\n";
            for (const std::string& p : elements(body, "p")) text += p + "\n";
            return text;
        }
        at = end;
    }
    return {};
}

std::string RunnerHelp(std::string_view word)
{
    std::string topic = word.empty() ? std::string("help") : std::string(word);
    std::string file = InstallFolders().Parent + "Help/help.xml";
    std::ifstream in(file, std::ios::binary);
    std::ostringstream xml;
    xml << in.rdbuf();
    std::string text = in ? HelpTopicText(xml.str(), topic) : std::string();
    if (text.empty()) return "No help topic named " + topic + " in " + file + "\n";
    return text;
}

}  // namespace tavro::runner

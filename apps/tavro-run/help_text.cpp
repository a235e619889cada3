#include "help_text.h"

#include <algorithm>
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

// The text without its comments (the document's head comment shows a
// topic's form, which is no topic).
std::string withoutComments(std::string_view xml)
{
    std::string out;
    size_t at = 0;
    for (;;) {
        size_t open = xml.find("<!--", at);
        out.append(xml.substr(at, open == std::string_view::npos ? std::string_view::npos : open - at));
        if (open == std::string_view::npos) break;
        size_t close = xml.find("-->", open + 4);
        if (close == std::string_view::npos) break;
        at = close + 3;
    }
    return out;
}

struct Topic {
    std::string name, group;
    std::vector<std::string> names;  // name and aliases
    std::string_view body;
};

std::vector<Topic> topicsOf(std::string_view xml)
{
    std::vector<Topic> topics;
    size_t at = 0;
    while ((at = xml.find("<topic ", at)) != std::string_view::npos) {
        size_t tagEnd = xml.find('>', at);
        size_t end = xml.find("</topic>", tagEnd);
        if (tagEnd == std::string_view::npos || end == std::string_view::npos) break;
        std::string_view tag = xml.substr(at, tagEnd - at);
        Topic t;
        t.name = plain(attribute(tag, "name"));
        t.group = attribute(tag, "group");
        std::istringstream names(t.name + " " + plain(attribute(tag, "aliases")));
        for (std::string n; names >> n;) t.names.push_back(n);
        t.body = xml.substr(tagEnd + 1, end - tagEnd - 1);
        topics.push_back(std::move(t));
        at = end;
    }
    return topics;
}

// Names as lines of at most 76 characters, each line indented by two.
std::string wrapped(const std::vector<std::string>& names, std::string first = {})
{
    std::string text, line = std::move(first);
    for (const std::string& n : names) {
        if (!line.empty() && line.size() + 1 + n.size() > 76) {
            text += "  " + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + n;
    }
    if (!line.empty()) text += "  " + line + "\n";
    return text;
}

// <index/>: every topic's name in alphabetical order.
std::string indexText(const std::vector<Topic>& topics)
{
    std::vector<std::string> names;
    for (const Topic& t : topics) names.push_back(t.name);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
    return wrapped(names);
}

// <contents/>: the topics group by group, under the groups' titles.
std::string contentsText(std::string_view xml, const std::vector<Topic>& topics)
{
    std::string text;
    size_t at = 0;
    while ((at = xml.find("<group ", at)) != std::string_view::npos) {
        size_t tagEnd = xml.find('>', at);
        if (tagEnd == std::string_view::npos) break;
        std::string_view tag = xml.substr(at, tagEnd - at);
        std::string id = attribute(tag, "id");
        std::vector<std::string> names;
        for (const Topic& t : topics)
            if (t.group == id) names.push_back(t.name);
        if (!names.empty()) text += plain(attribute(tag, "title")) + ":\n" + wrapped(names);
        at = tagEnd;
    }
    return text;
}

}  // namespace

std::string HelpTopicText(std::string_view document, std::string_view word)
{
    std::string xml = withoutComments(document);
    std::string wanted = lower(word);
    std::vector<Topic> topics = topicsOf(xml);
    for (const Topic& t : topics) {
        bool match = false;
        for (const std::string& n : t.names) match = match || lower(n) == wanted;
        if (!match) continue;
        std::string text;
        for (const std::string& title : elements(t.body, "title")) text += title + "\n";
        for (const std::string& u : elements(t.body, "use")) text += "  " + u + "\n";
        for (const std::string& p : elements(t.body, "p")) text += p + "\n";
        if (t.body.find("<contents/>") != std::string_view::npos) text += contentsText(xml, topics);
        if (t.body.find("<index/>") != std::string_view::npos) text += indexText(topics);
        return text;
    }
    return {};
}

std::string RunnerHelp(std::string_view word)
{
    std::string topic = word.empty() ? std::string("help") : std::string(word);
    std::ifstream in(InstallFolders().Parent + "Help/help.xml", std::ios::binary);
    if (!in) return "The help is not installed: its folder Help is missing beside the program's folder\n";
    std::ostringstream xml;
    xml << in.rdbuf();
    std::string text = HelpTopicText(xml.str(), topic);
    if (text.empty()) return "No help topic named " + topic + ". help \"index lists every topic\n";
    return text;
}

}  // namespace tavro::runner

#include "help_presentation.h"

#include <libxml/parser.h>
#include <libxslt/transform.h>
#include <libxslt/variables.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "help_suggestions.h"

#include "help_values.h"

namespace tavro {

namespace fs = std::filesystem;

namespace {

// The stylesheet's parameter for each value file.
struct Parameter {
    const char* File;
    const char* Name;
};
constexpr Parameter kParameters[] = {
    {kTopicFilterFile, "topic"},          {kMainFilterFile, "main-filter"},
    {kBackgroundColorFile, "background-color"}, {kTextColorFile, "text-color"},
    {kBlendColorFile, "blend-color"},     {kLinkColorFile, "link-color"},
    {kFontSizeFile, "font-size"},         {kFontFamilyFile, "font-family"}};

fs::file_time_type modified(const std::string& path)
{
    std::error_code ec;
    auto t = fs::last_write_time(path, ec);
    return ec ? fs::file_time_type::min() : t;
}

// The parsed documents, kept between pages.
class Documents {
public:
    ~Documents() { drop(); }

    // Parses whatever changed; false (with `error` set) when a document
    // cannot be read.
    bool Load(const std::string& helpFolder, std::string& error)
    {
        std::string xml = helpFolder + "help.xml", xsl = helpFolder + "help.xsl";
        auto xmlTime = modified(xml), xslTime = modified(xsl);
        if (doc_ && style_ && xml == xmlPath_ && xmlTime == xmlTime_ && xslTime == xslTime_) return true;
        drop();
        doc_ = xmlReadFile(xml.c_str(), nullptr, XML_PARSE_NONET);
        if (!doc_) {
            error = "the installation's Help folder has no readable help.xml";
            return false;
        }
        // The stylesheet takes ownership of its own document.
        style_ = xsltParseStylesheetFile(reinterpret_cast<const xmlChar*>(xsl.c_str()));
        if (!style_) {
            error = "the installation's Help folder has no readable help.xsl";
            drop();
            return false;
        }
        xmlPath_ = xml;
        xmlTime_ = xmlTime;
        xslTime_ = xslTime;
        return true;
    }

    xmlDocPtr Doc() const { return doc_; }
    xsltStylesheetPtr Style() const { return style_; }

private:
    void drop()
    {
        if (style_) xsltFreeStylesheet(style_);
        if (doc_) xmlFreeDoc(doc_);
        style_ = nullptr;
        doc_ = nullptr;
    }
    xmlDocPtr doc_ = nullptr;
    xsltStylesheetPtr style_ = nullptr;
    std::string xmlPath_;
    fs::file_time_type xmlTime_, xslTime_;
};

Documents& documents()
{
    static Documents d;
    return d;
}

// libxslt reports through a printf-like callback; the messages become the
// page's error text instead of going to the terminal.
void collectError(void* context, const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    static_cast<std::string*>(context)->append(buffer);
}

// The names, keys and aliases of every topic.
std::vector<std::string> TopicNames(xmlDocPtr doc)
{
    std::vector<std::string> names;
    xmlNodePtr root = xmlDocGetRootElement(doc);
    for (xmlNodePtr n = root ? root->children : nullptr; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE || xmlStrcmp(n->name, BAD_CAST "topic") != 0) continue;
        for (const char* attribute : {"name", "aliases"}) {
            xmlChar* value = xmlGetProp(n, BAD_CAST attribute);
            if (!value) continue;
            std::string all(reinterpret_cast<const char*>(value));
            xmlFree(value);
            for (size_t at = 0; at < all.size();) {
                size_t end = all.find(' ', at);
                if (end == std::string::npos) end = all.size();
                if (end > at) names.push_back(all.substr(at, end - at));
                at = end + 1;
            }
        }
    }
    return names;
}

}  // namespace

HelpPage RenderHelpPage(const std::string& helpFolder, const std::string& valueFolder)
{
    HelpPage page;
    std::string messages;
    xsltSetGenericErrorFunc(&messages, collectError);
    xmlSetGenericErrorFunc(&messages, collectError);
    struct Restore {
        ~Restore()
        {
            xsltSetGenericErrorFunc(nullptr, nullptr);
            xmlSetGenericErrorFunc(nullptr, nullptr);
        }
    } restore;

    Documents& d = documents();
    if (!d.Load(helpFolder, page.Error)) {
        page.Error += messages.empty() ? "" : ": " + messages;
        return page;
    }
    // Names and values as libxslt wants them: pairs, then a null.
    std::vector<std::string> values;
    std::vector<const char*> params;
    values.reserve(std::size(kParameters) + 2);  // c_str() pointers must stay valid
    for (const Parameter& p : kParameters) {
        bool found = false;
        std::string v = ReadHelpValue(valueFolder, p.File, &found);
        if (!found) continue;
        values.push_back(std::move(v));
        params.push_back(p.Name);
        params.push_back(values.back().c_str());
    }
    // For a word that names no topic: the nearest topics by spelling and
    // the words of other dialects (used only on the "no topic" page).
    std::string wanted = ReadHelpValue(valueFolder, kTopicFilterFile, nullptr);
    values.push_back(ClosestTopics(TopicNames(d.Doc()), wanted));
    params.push_back("closest");
    params.push_back(values.back().c_str());
    values.push_back(DialectTopics(wanted));
    params.push_back("dialect");
    params.push_back(values.back().c_str());
    params.push_back(nullptr);

    xsltTransformContextPtr context = xsltNewTransformContext(d.Style(), d.Doc());
    if (!context) {
        page.Error = "the help presentation cannot start";
        return page;
    }
    // Values are texts, never XPath expressions.
    xsltQuoteUserParams(context, params.data());
    xmlDocPtr result = xsltApplyStylesheetUser(d.Style(), d.Doc(), nullptr, nullptr, nullptr, context);
    xsltFreeTransformContext(context);
    if (!result) {
        page.Error = "the help presentation failed" + (messages.empty() ? std::string() : ": " + messages);
        return page;
    }
    xmlChar* text = nullptr;
    int length = 0;
    if (xsltSaveResultToString(&text, &length, result, d.Style()) == 0 && text)
        page.Html.assign(reinterpret_cast<const char*>(text), size_t(length));
    xmlFree(text);
    xmlFreeDoc(result);
    if (page.Html.empty()) page.Error = "the help presentation gave no page";
    return page;
}

}  // namespace tavro

// The help presentation: "help.xsl" of the help folder applied to
// "help.xml" with libxslt, which turns the topic named by the value files
// into one HTML page.
//
// This plays the part of the browser that opens "help.xml": the
// stylesheet cannot read plain text files itself (XSLT 1.0), so the text
// of each value file is handed to it as the string parameter named after
// the file ("$$$topic-filter$$$.txt" -> topic-filter, ...; the topic
// filter is passed as "topic"). A missing file leaves its parameter at the
// stylesheet's default.
//
// Both documents are parsed once and parsed again only when a file
// changes on disk. Never touches the network.
#pragma once

#include <string>

namespace tavro {

struct HelpPage {
    std::string Html;   // the page; empty when the presentation failed
    std::string Error;  // what went wrong (the files named)
};

// `helpFolder` holds help.xml and help.xsl, `valueFolder` the value files;
// both end with "/".
HelpPage RenderHelpPage(const std::string& helpFolder, const std::string& valueFolder);

}  // namespace tavro

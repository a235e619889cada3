// `help` in the runner: with no info window to open, the topic is printed
// as plain text from the help document (title, how it is written, what it
// does), or a line telling that there is no such topic.
#pragma once

#include <string>
#include <string_view>

namespace tavro::runner {

// The plain text of the topic of help.xml's text `xml` whose name or alias
// is `word` (letter case ignored); "" when there is none.
std::string HelpTopicText(std::string_view xml, std::string_view word);

// The text the runner prints for `help "word` ("" asks for the start page,
// the topic "help"), read from the help folder beside the executable's.
std::string RunnerHelp(std::string_view word);

}  // namespace tavro::runner

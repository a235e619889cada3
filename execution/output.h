// Text that programs write: to the environment's output window and, when
// enabled, to the log (category 1).
#pragma once

#include <string_view>

namespace tavro {

// A new output line (print, DUMP, service 25).
void OutputLine(std::string_view text, int colour = 0, bool bold = false);
// Text appended to the last output line (service 11).
void OutputAppend(std::string_view text);

}  // namespace tavro

#include "output.h"

#include "environment.h"
#include "log.h"

namespace tavro {

void OutputLine(std::string_view text, int colour, bool bold)
{
    Env().WriteLine(text, colour, bold);
    LogLine(logOutput, text);
}

void OutputAppend(std::string_view text) { Env().AppendToLastLine(text); }

}  // namespace tavro

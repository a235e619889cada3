// --parse: translates a program without running it and prints the program
// list in its printed form, followed by a newline. A text that does not
// translate prints
//   SOURCE: MESSAGE (line L, offset O)
// on standard error and exits with status 1.
#include <cstdio>
#include <string>

#include "errors.h"
#include "message_table.h"
#include "modes.h"
#include "state.h"
#include "structure.h"
#include "translate.h"

namespace tavro::runner {

int ParseMode(const std::string& path)
{
    std::string text;
    if (!PrepareDeveloperMode(path, text)) return 1;
    CurrentPosition = MakePosition(path, 0, 0, kUnexecutedDepth);
    try {
        std::printf("%s\n", ToText(TranslateText(text)).c_str());
    } catch (const LanguageError& e) {
        std::fprintf(stderr, "%s: %s (line %d, offset %d)\n", path.c_str(), e.what(),
                     CurrentPosition.Line, CurrentPosition.Offset);
        return 1;
    }
    return 0;
}

}  // namespace tavro::runner

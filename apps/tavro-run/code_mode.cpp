// --code: compiles every top-level statement of a program without running
// it and prints one line of code words per statement.
//
// Line format (CodeListing in expr.h), fields separated by one space:
//   pop | push ATOM | call NAME R,L (FLAG PARAM)* | end CONT | native FILE:SYMBOL
//   make R,L [FIRST] [LAST] | ob R,L [FIRST] [LAST] | while R,L MARK
//   thing|dot|print|run|output|if|repeat|local|dump R,L
// Atoms appear in their printed form, unquoted; R,L are the right and left
// operand counts; FLAG is 0 (by value) or 1 (by name); [FIRST] and [LAST]
// are the elements of the first and last source cells of the assignment;
// MARK is the code index where while's condition starts; CONT is the
// element where the statement stopped ("," between statements) or nil.
//
// Example: make "x 5  ->  push 5 push x make 2,0 [make] [5] pop end nil
//
// Name lookups see the root context only (nothing has run), so procedures
// defined by the program itself compile as calls without operands.
// A language error stops the listing: its message goes to standard error
// and the exit status is 1.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "errors.h"
#include "expr.h"
#include "message_table.h"
#include "modes.h"
#include "state.h"
#include "structure.h"
#include "translate.h"

namespace tavro::runner {


int CodeMode(const std::string& path)
{
    std::string text;
    if (!PrepareDeveloperMode(path, text)) return 1;
    try {
        CurrentPosition = MakePosition(path, 0, 0, kUnexecutedDepth);
        Atom* program = AddRef(TranslateText(text));
        CurrentCell = program;
        for (;;) {
            int kind = ReadElementKind();  // also steps over comments
            if (kind == ekEnd || kind == ekEmptyList) break;
            if (kind == ekComma) {
                CurrentCell = RightOf(CurrentCell);
                continue;
            }
            Atom* statement = CurrentCell;
            CompileStatement();
            std::printf("%s\n", CodeListing(statement).c_str());
        }
        Release(program);
    } catch (const LanguageError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

}  // namespace tavro::runner

#include "translate.h"

#include "lexer.h"
#include "parser.h"

namespace tavro {

namespace {

// The token lists and the copy of the text are released on every way
// out, errors included: the parsed list keeps all it needs.
struct TokenListsGuard {
    ~TokenListsGuard()
    {
        ClearTokens();
        SourceText = Text();
    }
};

}  // namespace

Atom* TranslateText(std::string_view text, int from)
{
    TokenListsGuard guard;
    // The whole text is kept so that offsets stay positions in it; the
    // scan starts at `from`.
    SourceText = Text(text);
    TokenIndex = 0;
    Tokenize(from);
    return Parse(pmList, true);
}

}  // namespace tavro

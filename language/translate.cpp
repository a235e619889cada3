#include "translate.h"

#include "lexer.h"
#include "parser.h"

namespace tavro {

namespace {

// The token lists and the text are let go on every way out, errors
// included: the parsed list keeps all it needs. The tokens are read once,
// in order, so the lists give back what the parser has passed.
struct TokenListsGuard {
    TokenListsGuard() { ForgetPassedTokens = true; }
    ~TokenListsGuard()
    {
        ForgetPassedTokens = false;
        ClearTokens();
        SourceText = Text();
    }
};

}  // namespace

Atom* TranslateSharedText(const Text& text, int from)
{
    TokenListsGuard guard;
    // The whole text is kept so that offsets stay positions in it; the
    // scan starts at `from`.
    SourceText = text;
    TokenIndex = 0;
    Tokenize(from);
    return Parse(pmList, true);
}

Atom* TranslateText(std::string_view text, int from) { return TranslateSharedText(Text(text), from); }

}  // namespace tavro

// Token classes of the syntax colouring and the colour runs of one line.
//
// A line is split by the core's lexer; each token gets one class:
//  1. keyword or bracket: "[", "]", "(", ")", a reserved word in any letter
//     case, or the normalised text "DUMP" (so "dump" is one only when names
//     are not case-sensitive); clears both carry flags;
//  2. variable: ":" and the token right after it;
//  3. quoted word: the double quote and the token right after it;
//  4. number: a raw text starting with a digit, or with "+"/"-" and a digit;
//     clears the after-colon flag;
//  5. comment: a raw text starting with ";" or "{"; flags unchanged;
//  6. anything else is plain text (a line end is a line break); clears both
//     flags.
// A quoted token ('...') is classified by its inner text.
//
// Comments in braces and quoted words may run over several lines. The
// colouring of one line takes the state the previous line ended in and
// gives the state this line ends in, so a whole text coloured line by line
// looks as if it had been coloured in one piece.
//
// Colouring never fails: lexer errors are ignored (the tokens found are
// used), and the lexer's shared state, the current position and the last
// error text are as they were afterwards, so colouring may run while a
// program is paused in the middle of a statement.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavro {

enum TokenClass { tcPlain, tcKeyword, tcWord, tcVariable, tcNumber, tcComment, tcLineBreak };

// The two flags carried from token to token within one colouring run.
struct ClassifyFlags {
    bool AfterColon = false;
    bool AfterQuote = false;
};

// The class of one token (raw text as written, normalised text as the
// lexer gives it); updates the flags.
TokenClass ClassifyToken(std::string_view raw, std::string_view normalised, ClassifyFlags& flags);

// A run of one class; offsets in bytes of the line, 0-based.
struct ColourRun {
    int Start = 0;
    int Length = 0;
    TokenClass Class = tcPlain;
    bool operator==(const ColourRun&) const = default;
};

// Line states: 0 plain, 1.. the nesting depth of an open brace comment,
// kInQuotedWord inside a quoted word.
constexpr int kInQuotedWord = 1 << 20;

// The runs of one line (UTF-8, without its line end) that starts in
// `state`; `state` becomes the state at the line's end. Blanks between
// tokens get no run.
std::vector<ColourRun> ColourLine(std::string_view line, int& state);

// Saves the lexer's shared state, the current position and the last error
// text, and puts them back when it goes out of scope.
class LexerScope {
public:
    LexerScope();
    ~LexerScope();
    LexerScope(const LexerScope&) = delete;
    LexerScope& operator=(const LexerScope&) = delete;

private:
    struct Saved;
    Saved* saved_;
};

// The tokens of a text as (1-based start, length, raw, normalised), lexer
// errors ignored. Runs inside its own LexerScope.
struct LexedToken {
    int Start = 0;
    int Length = 0;
    std::string Raw;
    std::string Text;
};
std::vector<LexedToken> LexText(std::string_view text, int from = 1);

}  // namespace tavro

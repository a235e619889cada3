// The lexer: splits one source text into tokens and hands them out one at a
// time. There is one shared lexer; its state below is module-level and is
// used by one client at a time on the interpreter thread.
//
// Calling order of every client: set SourceText (and CurrentPosition.Source),
// set TokenIndex to 0, Tokenize, NextToken until TokenLength is -1,
// ClearTokens.
//
// Text is UTF-8 and is scanned byte by byte; every byte from 128 to 255 is a
// word character. Offsets are 1-based byte offsets into SourceText.
//
// Tokens:
// - runs of word characters (letters, digits, ".", "_", other punctuation,
//   bytes 128..255) form one token;
// - runs of one operator class form one token: "+", "-", "*", "/", "^", and
//   the class of "<", ">", "=" (so <=, >=, <> and == are single tokens);
// - ; { } [ ] ( ) " : , ' ! and each line end are tokens of one character;
// - blank, TAB and an LF that directly follows a CR are white space.
// Line ends: CR, LF and CR LF each end one line. A lone LF behaves exactly
// like CR (its own token, read as ","); the LF of CR LF is white space.
// Special forms:
// - a sign glues to the digits after it when white space stands before the
//   sign ("3 -5" gives 3 and -5; "3-5", "[-5]" and a sign at the start of the
//   text keep the sign apart);
// - after a digit and "e"/"E", a sign belongs to the word (1e-5, x1e+3);
// - ";" starts a line comment up to (not including) the line end;
// - "{" starts a brace comment through the matching "}" (braces nest, the
//   comment may span lines);
// - an apostrophe starts a quoted word through the next apostrophe; a
//   doubled apostrophe inside stays in the word ('It''s' is one token).
// - "~" as the last character of a line (blanks may follow it) continues
//   the line: the tilde and the line end are white space, though the line
//   counter advances (in statements and inside lists alike);
// - "|" starts a stretch of a word through the next "|" of the same line:
//   blanks, brackets and every other character inside belong to the word,
//   whose text drops the bars; the token reads as quoted (|a b| is the
//   word "a b"). A bar that no other closes on its line is an ordinary
//   word character.
// Inside comments and quoted words no other character is special. Line
// ends inside them do not advance the line counter.
//
// Errors: "UNMATCHED" for a text that ends inside a quoted word or a brace
// comment, or with a tilde that continues its last line; "APOSTROPHE" when the unclosed quote began inside a word
// (Can't), with the word as the dialect writes it ('Can''t').
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "text.h"
#include "token_list.h"

namespace tavro {

// Character classes of the table (0..8) and the scanning-only classes.
enum CharClass : uint8_t {
    ccWord = 0,
    ccSpace = 1,
    ccPlus = 2,
    ccMinus = 3,
    ccStar = 4,
    ccSlash = 5,
    ccCaret = 6,
    ccCompare = 7,
    ccDelimiter = 8,
    ccBraceComment = 9,   // scanning only
    ccQuoted = 10,        // scanning only
    ccLineComment = 11,   // scanning only
};

// The class of every byte. LF is listed as space; the scanner turns an LF
// that does not follow a CR into a delimiter.
const std::array<uint8_t, 256>& CharacterClasses();

// ---- module state
// The text being tokenized; set by the client before Tokenize.
extern Text SourceText;
// One entry per token, in text order: length in bytes, 1-based start, and
// the line counter when the token was recorded.
extern TokenList TokenLengths;
extern TokenList TokenStarts;
extern TokenList TokenLines;
// Tokens recorded by the last Tokenize.
extern int TokenCount;
// 0-based read cursor of NextToken.
extern int TokenIndex;
// Set by a client that reads the tokens once and in order (the
// translator): NextToken then frees the parts of the lists it has passed,
// and the tokens before TokenIndex can no longer be read.
extern bool ForgetPassedTokens;

// The current token, filled by NextToken.
extern int TokenLength;           // -1 when no token is left
extern std::string TokenRawText;  // exactly as in the source
extern std::string TokenText;     // the text the parser uses (see NextToken)
extern bool TokenQuoted;          // the raw text begins with an apostrophe

// ---- operations
// Scans SourceText from the 1-based byte `from` on (the text before it is
// not looked at; offsets stay relative to the whole SourceText) and fills
// the token lists and TokenCount, clearing them first. Sets
// CurrentPosition.Offset to the start of the last apostrophe that opened a
// quoted word (0 when none) and, when there is one, CurrentPosition.Line to
// its line. When the text ends inside a quoted word the
// lists are complete (the open word is recorded through the last byte) and
// "UNMATCHED" is raised with " ' ", CurrentPosition.Offset at the word's
// opening apostrophe. Likewise when the text ends inside a brace comment:
// "UNMATCHED" with " { ", CurrentPosition at the brace that opened it.
void Tokenize(int from = 1);

// Reads the token at TokenIndex and advances the cursor. Past the last
// token: TokenLength -1, TokenText and TokenRawText empty, TokenQuoted
// false. Otherwise sets CurrentPosition's Offset and Line to the token's
// start and line, and TokenText to
// - for a quoted token: the text between the outer apostrophes with every
//   doubled apostrophe reduced to one, letter case unchanged;
// - for a line end: ",";
// - for any other token: Normalize(raw text).
void NextToken();

// Empties the token lists (TokenCount becomes 0).
void ClearTokens();

}  // namespace tavro

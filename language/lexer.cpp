#include "lexer.h"

#include <string_view>

#include "errors.h"
#include "state.h"

namespace tavro {

Text SourceText;
TokenList TokenLengths;
TokenList TokenStarts;
TokenList TokenLines;
int TokenCount = 0;
int TokenIndex = 0;
bool ForgetPassedTokens = false;
int TokenLength = -1;
std::string TokenRawText;
std::string TokenText;
bool TokenQuoted = false;

namespace {

constexpr std::array<uint8_t, 256> buildClasses()
{
    std::array<uint8_t, 256> t{};  // everything starts as a word character
    t[' '] = t['\t'] = t['\n'] = ccSpace;
    t['+'] = ccPlus;
    t['-'] = ccMinus;
    t['*'] = ccStar;
    t['/'] = ccSlash;
    t['^'] = ccCaret;
    t['<'] = t['>'] = t['='] = ccCompare;
    for (unsigned char c : std::string_view(";{}[]()\":,'!\r")) t[c] = ccDelimiter;
    return t;
}

constexpr std::array<uint8_t, 256> kClasses = buildClasses();

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// One pass over the text. Positions are 1-based offsets into the whole text.
class Scanner {
public:
    Scanner(std::string_view text, int from) : s_(text), from_(from) {}

    void run()
    {
        const int end = int(s_.size());
        for (int p = from_; p <= end; ++p) {
            // Inside a word or a stretch of blanks, outside quotes and
            // comments, a byte of the same class needs none of step's
            // rules: it only lengthens the token.
            const unsigned char c = static_cast<unsigned char>(s_[size_t(p - 1)]);
            if (kClasses[c] == class_ && (class_ == ccWord || (class_ == ccSpace && c != '\n')) &&
                depth_ == 0 && !inQuote_ && !inLineComment_) {
                ++length_;
                continue;
            }
            step(p);
        }
        finishToken();
        TokenCount = int(TokenLengths.size());
        if (inQuote_) RaiseError("UNMATCHED", {" ' "});
        if (depth_ > 0) {
            CurrentPosition.Offset = braceStart_;
            CurrentPosition.Line = braceLine_;
            RaiseError("UNMATCHED", {" { "});
        }
    }

private:
    char at(int p) const { return s_[size_t(p - 1)]; }

    // CR, or an LF that does not complete a CR LF pair.
    bool isLineEnd(int p) const
    {
        char c = at(p);
        return c == '\r' || (c == '\n' && !(p >= 2 && at(p - 1) == '\r'));
    }

    int tableClass(int p) const
    {
        return isLineEnd(p) ? int(ccDelimiter) : kClasses[static_cast<unsigned char>(at(p))];
    }

    void step(int p)
    {
        char c = at(p);
        int k = tableClass(p);
        // The line end that closes a line comment is a token of its own.
        if (inLineComment_ && isLineEnd(p)) inLineComment_ = false;

        // A lone sign after white space starts the number that follows it.
        // The LF of a CR LF pair belongs to the line end, not to the white
        // space, so a sign at the start of a line reads alike whatever
        // ends the lines.
        if ((class_ == ccPlus || class_ == ccMinus) && length_ == 1 && isDigit(c) &&
            start_ - 1 >= from_ && tableClass(start_ - 1) == ccSpace &&
            !(at(start_ - 1) == '\n' && start_ - 2 >= from_ && at(start_ - 2) == '\r'))
            class_ = ccWord;
        // The sign of an exponent stays inside the word: 1e-5, 2.5E+3.
        if ((c == '+' || c == '-') && p - 2 >= from_ && (at(p - 1) == 'e' || at(p - 1) == 'E') &&
            isDigit(at(p - 2)))
            k = ccWord;

        if (!inQuote_ && !inLineComment_ && depth_ == 0 && c == ';') inLineComment_ = true;
        if (!inQuote_ && !inLineComment_ && c == '{' && depth_++ == 0) braceStart_ = p;
        if (depth_ == 0 && !inLineComment_ && c == '\'') {
            inQuote_ = !inQuote_;
            // A doubled apostrophe reopens the same word; only a fresh
            // opening moves the reported position.
            if (inQuote_ && previousClass_ != ccQuoted) {
                CurrentPosition.Offset = p;
                CurrentPosition.Line = line_;
            }
            k = ccQuoted;
        }
        if (inLineComment_) k = ccLineComment;
        if (depth_ > 0) {
            k = ccBraceComment;
            if (c == '}') --depth_;
        }
        if (inQuote_) k = ccQuoted;

        if (k != class_ || k == ccDelimiter) {
            finishToken();
            start_ = p;
            length_ = 0;
            class_ = k;
        }
        ++length_;
        previousClass_ = k;
        // The line counter is up to date once the token before is recorded.
        if (p == braceStart_) braceLine_ = line_;
    }

    void finishToken()
    {
        if (length_ == 0 || class_ == ccSpace) return;
        TokenLengths.push_back(length_);
        TokenStarts.push_back(start_);
        TokenLines.push_back(line_);
        if (length_ == 1 && isLineEnd(start_)) ++line_;
    }

    std::string_view s_;
    int from_;
    int start_ = 0;
    int length_ = 0;
    int class_ = -1;
    int previousClass_ = -1;
    int depth_ = 0;
    int braceStart_ = 0;  // the brace that opened the outermost comment
    int braceLine_ = 0;
    bool inQuote_ = false;
    bool inLineComment_ = false;
    int line_ = 1;
};

// The inside of a quoted token: outer apostrophes dropped, doubled ones
// reduced. An unterminated token (kept by colouring clients) has no closing
// apostrophe to drop.
std::string unquote(std::string_view raw)
{
    std::string_view inner = raw.substr(1);
    if (!inner.empty() && inner.back() == '\'') inner.remove_suffix(1);
    std::string out;
    out.reserve(inner.size());
    for (size_t i = 0; i < inner.size(); ++i) {
        out += inner[i];
        if (inner[i] == '\'' && i + 1 < inner.size() && inner[i + 1] == '\'') ++i;
    }
    return out;
}

}  // namespace

const std::array<uint8_t, 256>& CharacterClasses() { return kClasses; }

void Tokenize(int from)
{
    ClearTokens();
    CurrentPosition.Offset = 0;
    Scanner(SourceText.view(), from < 1 ? 1 : from).run();
}

void NextToken()
{
    if (TokenIndex < 0 || TokenIndex >= TokenCount) {
        TokenLength = -1;
        TokenRawText.clear();
        TokenText.clear();
        TokenQuoted = false;
        return;
    }
    int i = TokenIndex++;
    if (ForgetPassedTokens && (size_t(i) & (TokenList::kBlockSize - 1)) == 0) {
        TokenLengths.ReleaseBefore(size_t(i));
        TokenStarts.ReleaseBefore(size_t(i));
        TokenLines.ReleaseBefore(size_t(i));
    }
    TokenLength = TokenLengths[size_t(i)];
    CurrentPosition.Offset = TokenStarts[size_t(i)];
    CurrentPosition.Line = TokenLines[size_t(i)];
    TokenRawText.assign(SourceText.view().substr(size_t(TokenStarts[size_t(i)] - 1), size_t(TokenLength)));
    TokenQuoted = TokenRawText[0] == '\'';
    if (TokenQuoted)
        TokenText = unquote(TokenRawText);
    else if (TokenRawText == "\r" || TokenRawText == "\n")
        TokenText = ",";
    else
        TokenText = Normalize(TokenRawText);
}

void ClearTokens()
{
    TokenLengths.clear();
    TokenStarts.clear();
    TokenLines.clear();
    TokenCount = 0;
}

}  // namespace tavro

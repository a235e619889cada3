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

// The text tokenized last has a word with bars: NextToken looks for them.
bool BarWordsRead = false;

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

// The scanner's own view of the table: the tilde and the bar are word
// characters that may mean more (a continued line, a word with bars), so
// a run of word characters stops at them and step() looks.
constexpr uint8_t ccMayContinue = 255;
constexpr std::array<uint8_t, 256> buildScanClasses()
{
    std::array<uint8_t, 256> t = buildClasses();
    t['~'] = t['|'] = ccMayContinue;
    return t;
}
constexpr std::array<uint8_t, 256> kScanClasses = buildScanClasses();

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
            if (kScanClasses[c] == class_ && (class_ == ccWord || (class_ == ccSpace && c != '\n')) &&
                depth_ == 0 && !inQuote_ && !inLineComment_) {
                ++length_;
                continue;
            }
            // Inside a line comment only the line end matters.
            if (inLineComment_ && c != '\r' && c != '\n') {
                ++length_;
                continue;
            }
            step(p);
        }
        finishToken();
        TokenCount = int(TokenLengths.size());
        if (inQuote_) unclosedQuote();
        // A text that ends in a continued line is not complete (the command
        // window asks for the next line).
        if (continuing_) {
            CurrentPosition.Offset = tilde_;
            CurrentPosition.Line = line_;
            RaiseError("UNMATCHED", {" ~ "});
        }
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

    // Only blanks stand between position p and the end of its line.
    bool lineEndsAfter(int p) const
    {
        const int end = int(s_.size());
        int q = p + 1;
        while (q <= end && (at(q) == ' ' || at(q) == '\t')) ++q;
        return q > end || isLineEnd(q);
    }

    // A bar opens a stretch of a word only when a character other than a
    // blank follows it and another bar closes it on the same line; any
    // other bar is an ordinary character ("| as a word, an operator named
    // |, the list [a | b |]).
    bool barClosesOnLine(int p) const
    {
        const int end = int(s_.size());
        if (p + 1 > end || at(p + 1) == ' ' || at(p + 1) == '\t' || isLineEnd(p + 1)) return false;
        for (int q = p + 2; q <= end && !isLineEnd(q); ++q)
            if (at(q) == '|') return true;
        return false;
    }

    bool isWordByte(int p) const
    {
        char c = at(p);
        return kClasses[static_cast<unsigned char>(c)] == ccWord && c != '|' && c != '~';
    }

    // An apostrophe inside a word (Can't) opens a quoted word here: the
    // message shows how to write that word.
    [[noreturn]] void unclosedQuote() const
    {
        const int quote = CurrentPosition.Offset;
        if (quote > from_ && isWordByte(quote - 1)) {
            int a = quote - 1, b = quote + 1;
            while (a - 1 >= from_ && isWordByte(a - 1)) --a;
            while (b <= int(s_.size()) && isWordByte(b)) ++b;
            std::string before(s_.substr(size_t(a - 1), size_t(quote - a)));
            std::string after(s_.substr(size_t(quote), size_t(b - quote - 1)));
            RaiseError("APOSTROPHE", {before + "'" + after, "'" + before + "''" + after + "'"});
        }
        RaiseError("UNMATCHED", {" ' "});
    }

    // Bars and tildes: true when the character at p was taken care of.
    bool stepContinued(int p, char c)
    {
        // Bars: every character up to the closing bar is part of the word.
        if (inBar_ || (c == '|' && !inQuote_ && !inLineComment_ && depth_ == 0 && barClosesOnLine(p))) {
            if (c == '|') inBar_ = !inBar_;
            BarWordsRead = true;
            endToken(p, ccWord);
            return true;
        }
        // A tilde that ends its line, and that line end, are white space.
        if (inQuote_ || inLineComment_ || depth_ != 0) return false;
        if (c == '~' && lineEndsAfter(p)) {
            continuing_ = true;
            tilde_ = p;
            endToken(p, ccSpace);
            return true;
        }
        if (continuing_ && isLineEnd(p)) {
            continuing_ = false;
            endToken(p, ccSpace);
            ++line_;
            return true;
        }
        return false;
    }

    void step(int p)
    {
        char c = at(p);
        int k = tableClass(p);
        // The tilde and the bar, and what follows them, rarely matter.
        if (kScanClasses[static_cast<unsigned char>(c)] == ccMayContinue || inBar_ || continuing_) [[unlikely]]
            if (stepContinued(p, c)) return;
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
        endToken(p, k);
        // The line counter is up to date once the token before is recorded.
        if (p == braceStart_) braceLine_ = line_;
    }

    // The character at p has class k: it lengthens the open token or
    // starts a new one.
    [[gnu::always_inline]] void endToken(int p, int k)
    {
        if (k != class_ || k == ccDelimiter) {
            finishToken();
            start_ = p;
            length_ = 0;
            class_ = k;
        }
        ++length_;
        previousClass_ = k;
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
    bool inBar_ = false;
    bool continuing_ = false;  // a tilde ended the line: its end is a blank
    int tilde_ = 0;            // where that tilde is
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

// The text of a word with bars, taken as written without the bars that
// open and close its stretches (the scanner's rule: an opening bar has a
// character other than a blank after it and a closing bar later); false
// when the token has no such stretch.
bool barWord(std::string_view raw, std::string& text)
{
    std::string out;
    bool inBar = false, any = false;
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '|' && (inBar || (i + 1 < raw.size() && raw[i + 1] != ' ' && raw[i + 1] != '\t' &&
                                   raw.find('|', i + 2) != std::string_view::npos))) {
            inBar = !inBar;
            any = true;
            continue;
        }
        out += c;
    }
    if (any) text = std::move(out);
    return any;
}

}  // namespace

const std::array<uint8_t, 256>& CharacterClasses() { return kClasses; }

void Tokenize(int from)
{
    ClearTokens();
    BarWordsRead = false;
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
    if (TokenQuoted) {
        TokenText = unquote(TokenRawText);
    } else if (BarWordsRead && TokenRawText[0] != ';' && TokenRawText[0] != '{' &&
               TokenRawText.find('|') != std::string::npos && barWord(TokenRawText, TokenText)) {
        TokenQuoted = true;
    }
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

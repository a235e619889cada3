#include "syntax_classes.h"

#include "errors.h"
#include "lexer.h"
#include "reserved_words.h"
#include "state.h"

namespace tavro {

struct LexerScope::Saved {
    Text Source;
    TokenList Lengths, Starts, Lines;
    int Count = 0, Index = 0, Length = -1;
    std::string Raw, Normalised;
    bool Quoted = false;
    bool Forget = false;
    Position Where;
    std::string LastError;
};

LexerScope::LexerScope() : saved_(new Saved)
{
    // Swapping keeps this cheap: colouring runs once per edited line.
    saved_->Source = SourceText;
    saved_->Lengths.swap(TokenLengths);
    saved_->Starts.swap(TokenStarts);
    saved_->Lines.swap(TokenLines);
    saved_->Count = TokenCount;
    saved_->Index = TokenIndex;
    saved_->Length = TokenLength;
    saved_->Raw.swap(TokenRawText);
    saved_->Normalised.swap(TokenText);
    saved_->Quoted = TokenQuoted;
    saved_->Forget = ForgetPassedTokens;
    ForgetPassedTokens = false;  // colouring reads its tokens more than once
    saved_->Where = CurrentPosition;
    saved_->LastError = LastErrorText;
}

LexerScope::~LexerScope()
{
    SourceText = saved_->Source;
    TokenLengths.swap(saved_->Lengths);
    TokenStarts.swap(saved_->Starts);
    TokenLines.swap(saved_->Lines);
    TokenCount = saved_->Count;
    TokenIndex = saved_->Index;
    TokenLength = saved_->Length;
    TokenRawText.swap(saved_->Raw);
    TokenText.swap(saved_->Normalised);
    TokenQuoted = saved_->Quoted;
    ForgetPassedTokens = saved_->Forget;
    CurrentPosition = saved_->Where;
    LastErrorText = saved_->LastError;
    delete saved_;
}

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isReserved(std::string_view normalised)
{
    std::string upper = UpperCase(normalised);
    for (int i = 0; i < ReservedWordCount; ++i)
        if (UpperReserved(i) == upper) return true;
    return false;
}

std::vector<LexedToken> lex(std::string_view text, int from, bool& unmatched)
{
    LexerScope scope;
    std::vector<LexedToken> tokens;
    unmatched = false;
    SourceText = Text(text);
    TokenIndex = 0;
    try {
        Tokenize(from);
    } catch (const std::exception&) {
        // An open quoted word: the lists hold it through the last byte.
        unmatched = true;
    }
    tokens.reserve(size_t(TokenCount));
    for (NextToken(); TokenLength >= 0; NextToken())
        tokens.push_back({CurrentPosition.Offset, TokenLength, TokenRawText, TokenText});
    ClearTokens();
    return tokens;
}

}  // namespace

TokenClass ClassifyToken(std::string_view raw, std::string_view normalised, ClassifyFlags& flags)
{
    if (normalised == "[" || normalised == "]" || normalised == "(" || normalised == ")" ||
        normalised == "DUMP" || isReserved(normalised)) {
        flags = ClassifyFlags{};
        return tcKeyword;
    }
    if (normalised == ":" || flags.AfterColon) {
        flags.AfterColon = normalised == ":";
        return tcVariable;
    }
    if (normalised == "\"" || flags.AfterQuote) {
        flags.AfterQuote = normalised == "\"";
        return tcWord;
    }
    if (!raw.empty() && (isDigit(raw[0]) || ((raw[0] == '+' || raw[0] == '-') && raw.size() > 1 && isDigit(raw[1])))) {
        flags.AfterColon = false;
        return tcNumber;
    }
    if (!raw.empty() && (raw[0] == ';' || raw[0] == '{')) return tcComment;
    flags = ClassifyFlags{};
    return raw == "\r" || raw == "\n" ? tcLineBreak : tcPlain;
}

std::vector<LexedToken> LexText(std::string_view text, int from)
{
    bool unmatched = false;
    return lex(text, from, unmatched);
}

std::vector<ColourRun> ColourLine(std::string_view line, int& state)
{
    std::vector<ColourRun> runs;
    const int n = int(line.size());
    int pos = 0;  // where the lexer takes over
    if (state == kInQuotedWord) {
        // The word ends at an apostrophe that is not doubled.
        int i = 0;
        bool closed = false;
        while (i < n && !closed) {
            if (line[size_t(i)] == '\'') {
                if (i + 1 < n && line[size_t(i) + 1] == '\'') {
                    i += 2;
                    continue;
                }
                closed = true;
            }
            ++i;
        }
        if (n > 0) runs.push_back({0, closed ? i : n, tcPlain});
        if (!closed) return runs;
        pos = i;
        state = 0;
    } else if (state > 0) {
        int depth = state, i = 0;
        for (; i < n && depth > 0; ++i) {
            if (line[size_t(i)] == '{') ++depth;
            else if (line[size_t(i)] == '}') --depth;
        }
        if (i > 0) runs.push_back({0, i, tcComment});
        if (depth > 0) {
            state = depth;
            return runs;
        }
        pos = i;
        state = 0;
    }
    if (pos >= n) return runs;
    bool unmatched = false;
    std::vector<LexedToken> tokens = lex(line, pos + 1, unmatched);
    ClassifyFlags flags;
    for (const LexedToken& t : tokens) runs.push_back({t.Start - 1, t.Length, ClassifyToken(t.Raw, t.Text, flags)});
    // The lexer reports an open brace comment and an open quoted word at the
    // end of the text alike; the last token tells which one is open.
    if (!tokens.empty() && !tokens.back().Raw.empty() && tokens.back().Raw[0] == '{') {
        int depth = 0;
        for (char c : tokens.back().Raw) depth += c == '{' ? 1 : c == '}' ? -1 : 0;
        if (depth > 0) state = depth;
    } else if (unmatched) {
        state = kInQuotedWord;
    }
    return runs;
}

}  // namespace tavro

#include <string>

#include "core_fixture.h"
#include "errors.h"
#include "lexer.h"

using namespace tavro;

namespace {

struct Lexer : CoreTest {
    void Scan(const std::string& text, int from = 1)
    {
        SourceText = Text(text);
        TokenIndex = 0;
        Tokenize(from);
    }

    // Every token of `text` as `what` shows it, joined by "|".
    template <typename What>
    std::string Joined(const std::string& text, What what)
    {
        Scan(text);
        std::string out;
        for (NextToken(); TokenLength >= 0; NextToken()) out += (out.empty() ? "" : "|") + what();
        ClearTokens();
        return out;
    }
    std::string Raw(const std::string& text) { return Joined(text, [] { return TokenRawText; }); }
    std::string Texts(const std::string& text) { return Joined(text, [] { return TokenText; }); }
    std::string Where(const std::string& text)
    {
        return Joined(text, [] {
            return std::to_string(CurrentPosition.Line) + ":" + std::to_string(CurrentPosition.Offset);
        });
    }
};

}  // namespace

TEST_F(Lexer, SplitsTokens)
{
    const char* cases[][2] = {
        {"", ""}, {" \t ", ""}, {"x", "x"}, {"(", "("},
        {"x:=5", "x|:|=|5"},
        {"a<=b<>c==d>e", "a|<=|b|<>|c|==|d|>|e"},
        {"++- ** //^^", "++|-|**|//|^^"},
        {"a.b.c get_x \"w !! }", "a.b.c|get_x|\"|w|!|!|}"},
        {"caf\xC3\xA9+1", "caf\xC3\xA9|+|1"},
        // A sign glues to digits only after white space.
        {"3 -5", "3|-5"}, {"3\t+5", "3|+5"}, {"3-5", "3|-|5"}, {"3 - 5", "3|-|5"},
        {"[-5]", "[|-|5|]"}, {"[ -5]", "[|-5|]"}, {"-5", "-|5"}, {"a --5", "a|--|5"},
        {"a -x", "a|-|x"}, {"a\r-5", "a|\r|-|5"}, {"a\n-5", "a|\n|-|5"}, {"a\r\n-5", "a|\r|-|5"},
        // Exponent signs.
        {"1e-5 2.5E+3 x1e-5 -5.5e-3", "1e-5|2.5E+3|x1e-5|-5.5e-3"},
        {"e-5 1e -5 1e--5", "e|-|5|1e|-5|1e-|-|5"},
        // Comments.
        {"print 1 ;note", "print|1|;note"},
        {"a ;x 'y {z\rb", "a|;x 'y {z|\r|b"},
        {"a ;c\nb ;d\r\ne", "a|;c|\n|b|;d|\r|e"},
        {"a{x{y}z}b", "a|{x{y}z}|b"},
        {"{it's ; [}x", "{it's ; [}|x"},
        {"}a ;", "}|a|;"},
        // Quoted words.
        {"'a b' c", "'a b'|c"}, {"'It''s' x", "'It''s'|x"}, {"'a'b x'a'", "'a'|b|x|'a'"},
        {"{a\nb\rc\r\n} 'a\nb\r'", "{a\nb\rc\r\n}|'a\nb\r'"},
    };
    for (auto& c : cases) EXPECT_EQ(Raw(c[0]), c[1]) << c[0];
    Scan("print 1 ;note");
    EXPECT_EQ(TokenStarts[2], 9);
    EXPECT_EQ(TokenLengths[2], 5);
}

TEST_F(Lexer, TokenTextAndCursor)
{
    EXPECT_EQ(Texts("'a b' 'It''s' '' '''' 'a;{b' x\ry\r\nz"), "a b|It's||'|a;{b|x|,|y|,|z");
    SetCaseSensitive(false);
    EXPECT_EQ(Texts("'Mixed' Mixed stra\xC3\x9F" "e \xC3\xA9t\xC3\xA9"),
              "Mixed|MIXED|STRA\xC3\x9F" "E|\xC3\x89T\xC3\x89");

    Scan("'q' x");
    NextToken();
    EXPECT_TRUE(TokenQuoted);
    NextToken();
    EXPECT_FALSE(TokenQuoted);
    NextToken();
    EXPECT_EQ(TokenLength, -1);
    EXPECT_EQ(TokenRawText + TokenText, "");
    ClearTokens();
    EXPECT_EQ(TokenCount, 0);

    // Scanning from an offset: the sign there is at the start of the scan.
    Scan("ab -5 cd", 4);
    EXPECT_EQ(TokenCount, 3);
    EXPECT_EQ(TokenStarts[2], 7);
}

TEST_F(Lexer, EveryLineEndCountsOnceOutsideCommentsAndQuotes)
{
    EXPECT_EQ(Where("a\rb\nc\r\nd"), "1:1|1:2|2:3|2:4|3:5|3:6|4:8");
    EXPECT_EQ(Where("a\n\rb\n\n\r\n\rc"), "1:1|1:2|2:3|3:4|3:5|4:6|5:7|6:9|7:10");
    EXPECT_EQ(Where("a ;c\nb"), "1:1|1:3|1:5|2:6");
    EXPECT_EQ(Where("{a\nb\rc\r\n} x"), "1:1|1:11");
    EXPECT_EQ(Where("'a\nb\r' x\ny"), "1:1|1:8|1:9|2:10");
}

TEST_F(Lexer, UnterminatedQuoteRaisesAfterRecordingTheTokens)
{
    try {
        Scan("x\r\n 'abc");
        FAIL() << "no error";
    } catch (const LanguageError& e) {
        EXPECT_EQ(std::string(e.what()), "Unmatched  ' ");
        EXPECT_EQ(CurrentPosition.Offset, 5);
        EXPECT_EQ(CurrentPosition.Line, 2);
        EXPECT_EQ(TokenCount, 3);
        EXPECT_EQ(TokenLengths[2], 4);
    }
    // The start of the word, not a doubled apostrophe inside it.
    EXPECT_THROW(Scan("'a' 'b''c"), LanguageError);
    EXPECT_EQ(CurrentPosition.Offset, 5);
    EXPECT_THROW(Scan("'"), LanguageError);
    EXPECT_EQ(TokenCount, 1);
    Scan("a 'b' 'c'");
    EXPECT_EQ(CurrentPosition.Offset, 7);
    Scan("{'} ;'");
    EXPECT_EQ(CurrentPosition.Offset, 0);
    // A brace comment left open is reported at its opening brace, nested
    // braces included.
    try {
        Scan("a\r {open {x} [1");
        FAIL() << "no error";
    } catch (const LanguageError& e) {
        EXPECT_EQ(std::string(e.what()), "Unmatched  { ");
        EXPECT_EQ(CurrentPosition.Offset, 4);
        EXPECT_EQ(CurrentPosition.Line, 2);
        EXPECT_EQ(TokenCount, 3);
    }
}

// The token lists hold their entries in blocks; a reader that forgets what
// it passed still reads every later token right, across block boundaries.
TEST_F(Lexer, LongTextsReadRightWhenPassedTokensAreForgotten)
{
    std::string text;
    const int lines = 3 * int(TokenList::kBlockSize) / 2 + 7;  // tokens span four blocks
    for (int i = 0; i < lines; ++i) text += "w" + std::to_string(i) + "\r";
    Scan(text);
    ASSERT_EQ(TokenCount, 2 * lines);
    const size_t last = size_t(TokenCount) - 1;
    EXPECT_EQ(TokenLines[last], lines);
    EXPECT_EQ(TokenStarts[last], int(text.size()));

    ForgetPassedTokens = true;
    int line = 0;
    size_t offset = 0;
    bool right = true;
    for (NextToken(); TokenLength >= 0 && right; NextToken()) {
        if (TokenText == ",") continue;
        const std::string word = "w" + std::to_string(line);
        right = TokenRawText == word && CurrentPosition.Line == line + 1 &&
                size_t(CurrentPosition.Offset) == offset + 1;
        offset += word.size() + 1;
        ++line;
    }
    ForgetPassedTokens = false;
    EXPECT_TRUE(right) << "at line " << line;
    EXPECT_EQ(line, lines);
    ClearTokens();
    EXPECT_EQ(TokenLengths.size(), 0u);
}

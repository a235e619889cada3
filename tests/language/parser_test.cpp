#include <string>

#include "core_fixture.h"
#include "errors.h"
#include "lexer.h"
#include "translate.h"

using namespace tavro;

namespace {

struct Parser : CoreTest {
    // The printed program, or "MESSAGE @LINE:OFFSET" of the error.
    std::string Parsed(const std::string& text)
    {
        try {
            return ToText(TranslateText(text));
        } catch (const LanguageError& e) {
            return std::string(e.what()) + " @" + std::to_string(CurrentPosition.Line) + ":" +
                   std::to_string(CurrentPosition.Offset);
        }
    }
    static Atom* Element(Atom* chain, int index)
    {
        while (index-- > 0) chain = RightOf(chain);
        return chain;
    }
};

}  // namespace

TEST_F(Parser, TranslatesPrograms)
{
    const std::string cases[][2] = {
        {"print [a [] [b c]] (1 + 2) ()", "[print [a [] [b c]] (1 + 2) []]"},
        {"make \"x :y ! } 'end' ']' ')' '[' 'to'", "[make \" x : y ! } end ] ) [ to]"},
        // Comments.
        {";only\r{c}\r", "[, ,]"},
        {"[1 {c} 2 ;x\r3] (1 {c}\r+ ;x\r 2) x{c}y ';x'", "[[1 2 , 3] (1 + 2) x y ;x]"},
        // Definitions.
        {"to sq :n output :n * :n end", "[make local \" sq [[: n] output : n * : n]]"},
        {"to :a plus :b output :a + :b end", "[make local \" plus [[: a] [: b] output : a + : b]]"},
        {"to f \"x :y print :y END", "[make local \" f [[\" x : y] print : y]]"},
        {"TO f end to :a ++ end", "[make local \" f [[]] make local \" ++ [[: a] []]]"},
        {"to sq :n\r output :n\rend\rsq 3", "[make local \" sq [[: n] , output : n ,] , sq 3]"},
        {"[to f end] (to g print [1] end)", "[[make local \" f [[]]] [make local \" g [[] print [1]]]]"},
        // Member operator.
        {"f(2) f (2) [1 2](0) x.y(1) g(1)(2)", "[f . (2) f (2) [1 2] . (0) x.y . (1) g . (1) . (2)]"},
        {"[](0) a#(1) b?(1) 3(1) \xC3\xA9(1) X(1)", "[[] . (0) a# . (1) b? . (1) 3 . (1) \xC3\xA9 . (1) X . (1)]"},
        {"a.(1) a_(1) :(1) \"(1) +(1) 'f'(1) f{c}(1) ab{}(1)", "[a. (1) a_ (1) : (1) \" (1) + (1) f (1) f (1) ab (1)]"},
        {"(f\r(1)) ([1],(2))", "[(f (1)) ([1] (2))]"},
        // Line ends: dropped in groups; a "[" takes the place of the one before it.
        {"repeat 4\r[fd 10]\r\n[x]\n[y]", "[repeat 4 [fd 10] [x] [y]]"},
        {"repeat 4 ;c\r{c}\r[fd]", "[repeat 4 , [fd]]"},
        {"a , [2] ',' [3]", "[a [2] , [3]]"},
        {"[1\r2\n3] [a\r[b]] (1 +\r 2\n\r\n) (a ',')", "[[1 , 2 , 3] [a [b]] (1 + 2) (a ,)]"},
        // A tilde that ends a line continues it, in statements and lists.
        {"print 1 ~\r 2\rx", "[print 1 2 , x]"},
        {"[a b~  \r\n c] [d ~x]", "[[a b c] [d ~x]]"},
        {"; note ~\rx 'a~'~\ry", "[, x a~ y]"},
        // Bars make one word of what they enclose; a lone bar is a word.
        {"print \"|a b| |[x]|y\r[1 | 2 |]\r\"|", "[print \" a b [x]y [1 | 2 |] , \" |]"},
        {"|to| |end| a|b", "[to end a|b]"},
    };
    for (auto& c : cases) EXPECT_EQ(Parsed(c[0]), c[1]) << c[0];
    EXPECT_EQ(TranslateText(""), nullptr);
    SetCaseSensitive(false);
    EXPECT_EQ(Parsed("To f :x End"), "[MAKE LOCAL \" F [[: X]]]");
}

TEST_F(Parser, ErrorsNameTheCulpritAndItsPlace)
{
    const std::string noName = "A procedure definition needs a name after \"to\"";
    const std::string listEnd = "The word end ends a definition, even inside a list or after a quote (or a "
                                "list before it lacks its ]); write 'end' for the word";
    const std::string listTo = "The word to starts a definition, even inside a list or after a quote; write "
                               "'to' for the word";
    const std::string cases[][2] = {
        {"a ]", "Unmatched ] @1:3"},
        // A brace comment left open: at its opening brace.
        {"a {bc", "Unmatched  {  @1:3"}, {"{", "Unmatched  {  @1:1"},
        {"x\r{a {b} c\rd", "Unmatched  {  @2:3"},
        {"a\r) b", "Unmatched ) @2:3"},
        {"a\rEnd", "Unmatched end @2:3"},
        {"'to' f end", "Unmatched end @1:8"},
        {"x [a [b]\r", "Unmatched [ @1:3"},
        {"[a\rend]", listEnd + " @2:4"},
        {"print \"end", listEnd + " @1:8"},
        {"to f print \"end\rend", listEnd + " @1:13"},
        // A definition that a list's end cuts short was meant as words.
        {"print [to be]", listTo + " @1:8"},
        {"[to]", listTo + " @1:2"},
        {"(to)", listTo + " @1:2"},
        {"print \"to", listTo + " @1:8"},
        {"(a [b)", "Unmatched ) @1:6"},
        {"x (1 2", "Unmatched ( @1:3"},
        {"(1 ]", "Unmatched ( @1:1"},
        {"(1 end)", "Unmatched ( @1:1"},
        {"x\rto f print 1", "Unmatched to @2:3"},
        {"to f ] end", "Unmatched ] @1:6"},
        {"to f ) end", "Unmatched ) @1:6"},
        {"to f [x end", listEnd + " @1:9"},
        {"print\r 'abc", "Unmatched  '  @2:8"},
        {"show [Can't]", "An apostrophe starts a quoted word here ('like this'), and the one in Can't is never "
                         "closed; write 'Can''t' for the word @1:10"},
        // Lines continued with a tilde still count.
        {"print ~\r 1 ~\r ]", "Unmatched ] @3:15"},
        // A text that ends in a continued line is not complete yet.
        {"print 1 ~ ", "Unmatched  ~  @1:9"},
        {"to end", noName + " @1:1"},
        {"x to :a \"b end", noName + " @1:3"},
        {"to f [1 2] end", "[1 2] is not a word @1:12"},
        {"to f :a (1) end", "(1) is not a word @1:13"},
        {"to f [] end", "[] is not a word @1:9"},
        {"to [f] end", "[f] is not a word @1:8"},
    };
    for (auto& c : cases) {
        EXPECT_EQ(Parsed(c[0]), c[1]) << c[0];
        EXPECT_EQ(TokenCount, 0) << c[0];
    }
}

TEST_F(Parser, CellsCarryKindAndLastTokenPosition)
{
    CurrentPosition = MakePosition("prog.tvr", 0, 0, kUnexecutedDepth);
    Atom* program = TranslateText("print [a\rb]\r(c\rf(1))\rto g :a\r print :a\rend", 3);
    // Line ends (elements 2 and 4) are separators: they keep no position.
    const int offsets[] = {3, 11, 0, 20, 0, 22};  // "int" read from offset 3
    const int lines[] = {1, 2, 0, 4, 0, 5};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Element(program, i)->Kind, akList);
        if (offsets[i] == 0) {
            EXPECT_FALSE(HasPosition(Element(program, i))) << i;
            continue;
        }
        Position p = GetPosition(Element(program, i));
        EXPECT_EQ(p.Offset, offsets[i]) << i;
        EXPECT_EQ(p.Line, lines[i]) << i;
        EXPECT_EQ(p.Source.view(), "prog.tvr");
        EXPECT_EQ(p.Depth, kUnexecutedDepth);
    }
    EXPECT_EQ(GetPosition(Element(LeftOf(Element(program, 1)), 2)).Offset, 10);

    // Group cells, except the inserted ".", which has no position.
    Atom* group = LeftOf(Element(program, 3));
    EXPECT_EQ(ToText(group), "(c f . (1))");
    const int kinds[] = {akGroup, akGroup, akList, akGroup};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Element(group, i)->Kind, kinds[i]) << i;
    EXPECT_FALSE(HasPosition(Element(group, 2)));

    // Only "make" of a definition has a position (its "to"); the body and
    // parameter cells keep theirs.
    for (int i = 6; i <= 9; ++i) EXPECT_FALSE(HasPosition(Element(program, i))) << i;
    Atom* definition = LeftOf(Element(program, 9));
    EXPECT_EQ(ToText(definition), "[[: a] , print : a ,]");
    EXPECT_EQ(GetPosition(Element(LeftOf(definition), 1)).Offset, 28);
    EXPECT_EQ(GetPosition(Element(definition, 2)).Offset, 31);
}

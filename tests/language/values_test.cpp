#include "core_fixture.h"
#include "errors.h"
#include "number_format.h"

#include <clocale>
#include <cmath>
#include <limits>

using namespace tavro;

using Values = CoreTest;

TEST(NumberFormat, GeneralFormatRules)
{
    EXPECT_EQ(FormatNumber(0), "0");
    EXPECT_EQ(FormatNumber(1e20L), "1E20");
    EXPECT_EQ(FormatNumber(0.0001L), "0.0001");
    EXPECT_EQ(FormatNumber(0.00001L), "1E-5");
    EXPECT_EQ(FormatNumber(1.5e-5L), "1.5E-5");
    EXPECT_EQ(FormatNumber(123456789012345.0L), "123456789012345");
    EXPECT_EQ(FormatNumber(1e15L), "1E15");
    EXPECT_EQ(FormatNumber(-2.5L), "-2.5");
    EXPECT_EQ(FormatNumber(1.0L / 3), "0.333333333333333");
    EXPECT_EQ(FormatNumber(2.0L / 3), "0.666666666666667");
    EXPECT_EQ(FormatNumber(0.1L + 0.2L), "0.3");
    EXPECT_EQ(FormatNumber(100), "100");
    EXPECT_EQ(FormatNumber(6765), "6765");
    EXPECT_EQ(FormatNumber(-1e-7L), "-1E-7");
    EXPECT_EQ(FormatNumber(std::numeric_limits<long double>::infinity()), "INF");
    EXPECT_EQ(FormatNumber(-std::numeric_limits<long double>::infinity()), "-INF");
    EXPECT_EQ(FormatNumber(std::numeric_limits<long double>::quiet_NaN()), "NAN");
    // An exact tie at the 15th digit rounds away from zero.
    EXPECT_EQ(FormatNumber(100000000000000.5L), "100000000000001");
    EXPECT_EQ(FormatNumber(100000000000002.5L), "100000000000003");
    EXPECT_EQ(FormatNumber(-100000000000002.5L), "-100000000000003");
    EXPECT_EQ(FormatNumber(0.5L + 4503599627370496.0L), "4.5035996273705E15");
    EXPECT_EQ(FormatNumber(999999999999999.5L), "1E15");
}

TEST(NumberFormat, ParseRules)
{
    long double v;
    EXPECT_TRUE(ParseNumber("1e3", v));
    EXPECT_EQ(v, 1000);
    EXPECT_TRUE(ParseNumber("1E+3", v));
    EXPECT_EQ(v, 1000);
    EXPECT_TRUE(ParseNumber("-2.5", v));
    EXPECT_EQ(v, -2.5L);
    EXPECT_TRUE(ParseNumber("+5", v));
    EXPECT_TRUE(ParseNumber("INF", v));
    EXPECT_TRUE(std::isinf(v));
    EXPECT_TRUE(ParseNumber("NAN", v));
    EXPECT_FALSE(ParseNumber("+", v));
    EXPECT_FALSE(ParseNumber("-", v));
    EXPECT_FALSE(ParseNumber("", v));
    EXPECT_FALSE(ParseNumber("abc", v));
    EXPECT_FALSE(ParseNumber(".5", v));
    EXPECT_FALSE(ParseNumber("-INF", v));
    EXPECT_FALSE(ParseNumber("inf", v));
    EXPECT_FALSE(ParseNumber("1e", v));
    EXPECT_FALSE(ParseNumber("12a", v));
    EXPECT_FALSE(ParseNumber("1,5", v));
}

TEST(NumberFormat, IgnoresProcessLocale)
{
    const char* previous = setlocale(LC_ALL, nullptr);
    std::string saved = previous ? previous : "C";
    if (!setlocale(LC_ALL, "de_DE.UTF-8") && !setlocale(LC_ALL, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    long double v;
    EXPECT_TRUE(ParseNumber("2.5", v));
    EXPECT_EQ(v, 2.5L);
    EXPECT_EQ(FormatNumber(2.5L), "2.5");
    setlocale(LC_ALL, saved.c_str());
}

TEST_F(Values, PrintedForms)
{
    EXPECT_EQ(ToText(nullptr), "[]");
    EXPECT_EQ(ToText(NoValue), "iNOP");
    Atom* h = nullptr;
    Atom* t = nullptr;
    Append(h, t, NewWord("a"));
    Append(h, t, nullptr);
    Atom* inner = NewCell(NewWord("b"), NewCell(NewWord("c"), nullptr));
    Append(h, t, inner);
    EXPECT_EQ(ToText(h), "[a [] [b c]]");
    // The first cell decides the brackets.
    Atom* g = NewCell(NewNumber(1), NewCell(NewNumber(2), nullptr));
    g->Kind = akGroup;
    EXPECT_EQ(ToText(g), "(1 2)");
    Atom* v = NewVariable("x", NewNumber(5));
    Attach(NewVariable("y", NewWord("w")), v);
    EXPECT_EQ(ToText(v), "{x=5 {y=w}}");
    Atom* m = Allocate();
    m->Kind = akMemoryBlock;
    EXPECT_EQ(ToText(m), "{Memory Block}");
    Atom* odd = Allocate();
    odd->Kind = 9;
    EXPECT_EQ(ToText(odd), "{???}");
}

TEST_F(Values, Conversions)
{
    long double v;
    EXPECT_TRUE(ToNumberTry(NewWord("1e3"), v));
    EXPECT_EQ(v, 1000);
    EXPECT_FALSE(ToNumberTry(nullptr, v));
    EXPECT_FALSE(ToNumberTry(NoValue, v));
    EXPECT_THROW(ToNumber(NewWord("abc")), LanguageError);
    EXPECT_EQ(LastErrorText, "abc is not a number");
    EXPECT_TRUE(ToBoolean(NewWord("true")));
    EXPECT_TRUE(ToBoolean(NewWord("TRUE")));
    EXPECT_FALSE(ToBoolean(NewNumber(1)));
    EXPECT_TRUE(ToBoolean(NoValue));
    EXPECT_FALSE(ToBoolean(nullptr));
    EXPECT_EQ(ToTextStrict(NewNumber(2.5L)), "2.5");
    EXPECT_THROW(ToTextStrict(nullptr), LanguageError);
    EXPECT_EQ(LastErrorText, "[] is not a word");
    EXPECT_THROW(ToTextStrict(NewCell(NewWord("a"), nullptr)), LanguageError);
    EXPECT_EQ(LastErrorText, "[a] is not a word");
    EXPECT_THROW(NameOf(nullptr), LanguageError);
}

TEST_F(Values, ReferenceCountsSaturateAndNeverGoNegative)
{
    Atom* a = NewWord("x");
    Release(a);
    EXPECT_EQ(a->RefCount, 0);
    a->RefCount = INT32_MAX;
    AddRef(a);
    Release(a);
    EXPECT_EQ(a->RefCount, INT32_MAX);
    EXPECT_EQ(AddRef(nullptr), nullptr);
    EXPECT_EQ(Release(NoValue), NoValue);
}

TEST_F(Values, PoolRecyclesAndCounts)
{
    int live = State->LiveCount;
    Atom* a = NewWord("first");
    Atom* b = NewWord("second");
    EXPECT_EQ(State->LiveCount, live + 2);
    ReleaseMostRecent(a);  // not the newest: nothing happens
    EXPECT_EQ(State->LiveCount, live + 2);
    EXPECT_EQ(State->FreeCount, 0);
    CodeAppend(b, 3);
    SetPosition(b, MakePosition("src", 1, 2, 3));
    ReleaseMostRecent(b);
    EXPECT_EQ(State->LiveCount, live + 1);
    EXPECT_EQ(State->FreeCount, 1);
    Atom* c = Allocate();
    EXPECT_EQ(c, b);  // reused, and reset
    EXPECT_EQ(c->Code, nullptr);
    EXPECT_EQ(c->Position, nullptr);
    EXPECT_EQ(c->Text, nullptr);
    EXPECT_EQ(State->FreeCount, 0);
}

namespace {
int gReleased = 0;
intptr_t countRelease(TAtom*) { return ++gReleased; }
}  // namespace

TEST_F(Values, MemoryBlockReleasedOnceWhenSwept)
{
    gReleased = 0;
    Atom* block = Allocate();
    block->Kind = akMemoryBlock;
    block->Right = reinterpret_cast<void*>(&countRelease);
    Atom* node = NewVariable("m", block);
    ReplaceValue(node, nullptr);
    EXPECT_EQ(gReleased, 1);
    ReleaseSuccessor(node);  // the block follows the node in the all-atoms list
    EXPECT_EQ(gReleased, 1);
}

TEST_F(Values, MessageFormats)
{
    EXPECT_EQ(FormatMessage("%s and %d", {"a", "2"}), "a and 2");
    EXPECT_EQ(FormatMessage("%1:s before %0:s", {"a", "b"}), "b before a");
    EXPECT_EQ(FormatMessage("100%% %s", {}), "100% ");
    // A key without text is its own format.
    EXPECT_THROW(RaiseError("NOSUCHKEY", {"x"}), LanguageError);
    EXPECT_EQ(LastErrorText, "NOSUCHKEY");
}

TEST(UpperCase, KeepsMultiByteCharactersIntact)
{
    EXPECT_EQ(UpperCase("abc_1"), "ABC_1");
    EXPECT_EQ(UpperCase("straße"), "STRAßE");
    EXPECT_EQ(UpperCase("éà"), "ÉÀ");
    EXPECT_EQ(UpperCase(std::string("a\xff" "b")), std::string("A\xff" "B"));
}

TEST_F(Values, ATextTooLongIsAnErrorNeverAnEmptyWord)
{
    // Past the largest text the ABI can hold the bytes are never read: the
    // refusal must be an error, not the empty text.
    const char small[] = "abc";
    std::string_view huge(small, size_t(0x80000000u));
    EXPECT_THROW(NewWord(huge), LanguageError);
    EXPECT_THROW(MakeText(huge), LanguageError);
    EXPECT_EQ(MakeText(std::string_view()), nullptr);  // the empty text is fine
}

// The loader against testlib.DLL (tests/libraries/testlib), which the
// build puts beside the test executable: it is found through the
// executable's folder. Messages come from the English error table that
// the test main loads.
#include "core_fixture.h"
#include "errors.h"
#include "expr.h"
#include "native_loader.h"
#include "translate.h"

#include <dlfcn.h>

#include <string>

using namespace tavro;

namespace {

class NativeLoaderTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        ForgetKeepList();
    }
    void TearDown() override
    {
        ReleaseKeepList();
        CoreTest::TearDown();
    }

    // The message ResolveNative raises for `word`, or "" when it resolves.
    static std::string ErrorOf(std::string_view word)
    {
        try {
            ResolveNative(word);
        } catch (const LanguageError& e) {
            return e.what();
        }
        return {};
    }

    static void* Export(const char* name)
    {
        void* handle = dlopen(TAVRO_BUILD_DIR "/bin/testlib.DLL", RTLD_NOW | RTLD_NOLOAD);
        return handle ? dlsym(handle, name) : nullptr;
    }
};

}  // namespace

TEST(NativeWord, PrefixIsDllAndAPointInAnyCase)
{
    EXPECT_TRUE(IsNativeWord("dll.lib.fn"));
    EXPECT_TRUE(IsNativeWord("DLL.lib.fn"));
    EXPECT_TRUE(IsNativeWord("Dll.x"));
    EXPECT_FALSE(IsNativeWord("dll"));
    EXPECT_TRUE(IsNativeWord("dll."));  // malformed, but meant as one
    EXPECT_FALSE(IsNativeWord("dllx.lib.fn"));
    EXPECT_FALSE(IsNativeWord("dl.lib"));
    EXPECT_FALSE(IsNativeWord("xdll.lib.fn"));
}

TEST_F(NativeLoaderTest, FunctionsByUpperCasedName)
{
    TNativeFunction answer = ResolveNative("dll.testlib.answer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(answer), Export("ANSWER"));
    EXPECT_EQ(ResolveNative("DLL.testlib.ANSWER"), answer);
    // FUNCTION keeps its points: dll.testlib.a.b names the export A.B.
    EXPECT_EQ(reinterpret_cast<void*>(ResolveNative("dll.testlib.a.b")), Export("A.B"));
    // Only upper-case exports are reachable by name.
    EXPECT_EQ(ErrorOf("dll.testlib.hidden_third"),
              "There is no function hidden_third in the library testlib");
}

TEST_F(NativeLoaderTest, ResolvedFunctionsRunOnTheHostState)
{
    EXPECT_EQ(ResolveNative("dll.testlib.ANSWER")(&State), NoValue);
    int live = State->LiveCount;
    Atom* two = ResolveNative("dll.testlib.SECOND")(&State);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(ToText(two), "2");
    EXPECT_EQ(State->LiveCount, live + 1);
}

TEST_F(NativeLoaderTest, FunctionsByOrdinal)
{
    EXPECT_EQ(ResolveNative("dll.testlib.1"), ResolveNative("dll.testlib.ANSWER"));
    EXPECT_EQ(ResolveNative("dll.testlib.02"), ResolveNative("dll.testlib.SECOND"));
    // The table names the export exactly; no upper-casing.
    EXPECT_EQ(reinterpret_cast<void*>(ResolveNative("dll.testlib.3")), Export("hidden_third"));
    const std::string none = " in the library testlib";
    EXPECT_EQ(ErrorOf("dll.testlib.0"), "There is no function 0" + none);
    EXPECT_EQ(ErrorOf("dll.testlib.4"), "There is no function 4" + none);  // listed, not exported
    EXPECT_EQ(ErrorOf("dll.testlib.5"), "There is no function 5" + none);
    EXPECT_EQ(ErrorOf("dll.testlib.99999999999999999999"),
              "There is no function 99999999999999999999" + none);
    EXPECT_EQ(ErrorOf("dll.testlib.1x"), "1x is not a valid function ordinal");
    EXPECT_EQ(ErrorOf("dll.testlib.1.5"), "1.5 is not a valid function ordinal");
}

TEST_F(NativeLoaderTest, MissingLibraryNamesTheFileAlone)
{
    EXPECT_EQ(ErrorOf("dll.nosuchlibrary.F"), "Cannot find the library nosuchlibrary.DLL");
}

TEST_F(NativeLoaderTest, MalformedWords)
{
    for (const char* word : {"dll.testlib", "dll..F", "dll.testlib.", "dll.", "dllx.testlib.F"})
        EXPECT_EQ(ErrorOf(word), FormatMessage(ErrorFormat("BADNATIVE"), {word})) << word;
}

TEST_F(NativeLoaderTest, CompilerEmitsTheAddress)
{
    Atom* program = TranslateText("print dll.testlib.SECOND");
    CurrentCell = program;
    CompileStatement();
    EXPECT_EQ(CodeListing(program), "native testlib.DLL:SECOND print 1,0 pop end nil");
    EXPECT_EQ(CodeAt(program, 1), reinterpret_cast<TCodeWord>(ResolveNative("dll.testlib.SECOND")));

    // A failed lookup raises at compile time and leaves no code behind.
    program = TranslateText("print 1 dll.testlib.NOPE");
    CurrentCell = program;
    EXPECT_THROW(CompileStatement(), LanguageError);
    EXPECT_EQ(CodeCount(program), 0);
}

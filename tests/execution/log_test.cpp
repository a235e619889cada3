// The text log: prefixes, category masks, appending, and the lines that
// printing, errors and procedure calls write to it.
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "execution_fixture.h"
#include "log.h"

using namespace tavro;

namespace {

class LogTest : public ExecutionTest {
protected:
    void SetUp() override
    {
        ExecutionTest::SetUp();
        Path = (std::filesystem::temp_directory_path() /
                ("tavro_log_test_" + std::to_string(::getpid()) + ".log"))
                   .string();
        std::remove(Path.c_str());
    }
    void TearDown() override
    {
        CloseLog();
        std::remove(Path.c_str());
        ExecutionTest::TearDown();
    }
    std::string Contents()
    {
        std::ifstream in(Path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string Path;
};

struct tm Moment(int year, int month, int day, int hour, int minute, int second)
{
    struct tm t {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

}  // namespace

TEST_F(LogTest, PrefixesAreDateThenTimeEachWithATrailingBlank)
{
    const struct tm t = Moment(2009, 3, 5, 7, 8, 9);
    EXPECT_EQ(LogPrefix(0, t), "");
    EXPECT_EQ(LogPrefix(logDate, t), "09.03.05 ");
    EXPECT_EQ(LogPrefix(logTime, t), "07:08:09 ");
    EXPECT_EQ(LogPrefix(logDate | logTime | logOutput, t), "09.03.05 07:08:09 ");
    const struct tm late = Moment(2031, 12, 31, 23, 59, 58);
    EXPECT_EQ(LogPrefix(logDate | logTime, late), "31.12.31 23:59:58 ");
}

TEST_F(LogTest, OnlyCategoriesInTheMaskAreWritten)
{
    EXPECT_FALSE(LogIsOpen());
    LogLine(logOutput, "not open");
    ASSERT_TRUE(OpenLog(Path, logOutput | logErrors));
    EXPECT_TRUE(LogIsOpen());
    LogLine(logOutput, "one");
    LogLine(logCommands, "typed");
    LogLine(logTrace, "trace");
    LogLine(logErrors, "two");
    LogLine(logOutput | logTrace, "either");
    EXPECT_EQ(Contents(), "one\ntwo\neither\n");
    EXPECT_EQ(SetLogMask(logTrace), logOutput | logErrors);
    LogLine(logOutput, "masked");
    LogLine(logTrace, "three");
    CloseLog();
    EXPECT_FALSE(LogIsOpen());
    LogLine(logTrace, "closed");
    EXPECT_EQ(Contents(), "one\ntwo\neither\nthree\n");
}

TEST_F(LogTest, OpeningTruncatesUnlessTheAppendBitIsSet)
{
    ASSERT_TRUE(OpenLog(Path, logOutput));
    LogLine(logOutput, "first");
    ASSERT_TRUE(OpenLog(Path, logOutput | logAppend));  // closes the open one
    LogLine(logOutput, "second");
    CloseLog();
    EXPECT_EQ(Contents(), "first\nsecond\n");
    ASSERT_TRUE(OpenLog(Path, logOutput));
    LogLine(logOutput, "third");
    CloseLog();
    EXPECT_EQ(Contents(), "third\n");
    EXPECT_FALSE(OpenLog("/nonexistent-folder/x.log", logOutput));
    EXPECT_FALSE(LogIsOpen());
}

TEST_F(LogTest, LinesCarryTheCurrentDateAndTime)
{
    ASSERT_TRUE(OpenLog(Path, logOutput | logDate | logTime));
    LogLine(logOutput, "stamped");
    CloseLog();
    std::string line = Contents();
    EXPECT_TRUE(std::regex_match(
        line, std::regex(R"(\d\d\.\d\d\.\d\d \d\d:\d\d:\d\d stamped\n)")))
        << line;
}

TEST_F(LogTest, ProgramsWriteOutputErrorsAndProcedureTraces)
{
    ASSERT_TRUE(OpenLog(Path, logOutput | logTrace | logErrors));
    Run("to inner :a\n output :a\nend\n"
        "to outer \"n :v\n print inner :v\nend\n"
        "make \"x 1\nouter \"x 5\nprint :nothing");
    EXPECT_EQ(Contents(),
              "Enter (0) outer \"n=x :v=5\n"
              "Enter (1) inner :a=5\n"
              "Exit  (1) inner with result=5\n"
              "5 \n"
              "Exit  (0) outer with result={[]=[] {v=5} {n=x}}\n"
              "Error: Nothing is named nothing\n");
}

TEST_F(LogTest, TracesNeedTheirOwnBitEvenWithPrefixes)
{
    ASSERT_TRUE(OpenLog(Path, logDate | logTime));
    Run("to f\nend\nf\nprint 1");
    EXPECT_EQ(Contents(), "");
}

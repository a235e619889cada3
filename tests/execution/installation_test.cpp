#include <gtest/gtest.h>

#include "core_fixture.h"
#include "installation.h"

using namespace tavro;

TEST(Installation, ConfigurationFileFromTheCommandLine)
{
    EXPECT_EQ(ChooseConfigurationName({}), "default.ini");
    EXPECT_EQ(ChooseConfigurationName({"prog.tvr", "Other.INI", "x"}), "Other.INI");
    EXPECT_EQ(ChooseConfigurationName({"prog.tvr", "setup"}), "setup.ini");
    // A library list in the first parameter is no configuration name.
    EXPECT_EQ(ChooseConfigurationName({"!a.tvr,b.tvr"}), "default.ini");
}

using LibraryText = CoreTest;

TEST_F(LibraryText, OneRunCommandPerLibraryWithFileNamesKept)
{
    EXPECT_EQ(BuildLibraryCommandText("core.tvr,"), "run \"'core.tvr',");
    EXPECT_EQ(BuildLibraryCommandText(" a.tvr , My Lib.tvr,"),
              "run \"'a.tvr',run \"'My Lib.tvr',");
    EXPECT_EQ(BuildLibraryCommandText("it's.tvr"), "run \"'it''s.tvr',");
    EXPECT_EQ(BuildLibraryCommandText(""), "");
    // Without regard to case only the keyword changes: file names on this
    // platform keep their case.
    SetCaseSensitive(false);
    EXPECT_EQ(BuildLibraryCommandText("core.tvr,"), "RUN \"'core.tvr',");
}

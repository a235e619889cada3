#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "message_table.h"

using namespace tavro;

TEST(NameValueList, FirstLineOfANameCountsWhateverItsCase)
{
    NameValueList list;
    list.LoadText("# a comment line\nKEY=first\r\nkey=second\rEMPTY=\nNUMBER=42\nBAD=4x\nEQ=a=b");
    EXPECT_EQ(list.Find("Key"), "first");
    EXPECT_EQ(list.Find("eq"), "a=b");  // everything after the first "="
    EXPECT_FALSE(list.Find("# a comment line").has_value());
    // An empty or absent value reads as the key itself.
    EXPECT_EQ(list.TextOrKey("EMPTY"), "EMPTY");
    EXPECT_EQ(list.TextOrKey("MISSING"), "MISSING");
    EXPECT_EQ(list.IntOrDefault("NUMBER", 7), 42);
    EXPECT_EQ(list.IntOrDefault("BAD", 7), 7);
    EXPECT_EQ(list.IntOrDefault("EMPTY", 7), 7);
}

TEST(NameValueList, SettingReplacesAppendsAndDeletesInPlace)
{
    NameValueList list;
    list.LoadText("A=1\nkept line\nB=2\nb=3");
    list.Set("b", "20");
    list.Set("C", "30");
    list.Set("A", "");
    ASSERT_EQ(list.Lines().size(), 4u);
    EXPECT_EQ(list.Lines()[0], "kept line");
    EXPECT_EQ(list.Lines()[1], "b=20");
    EXPECT_EQ(list.Lines()[2], "b=3");
    EXPECT_EQ(list.Lines()[3], "C=30");
}

TEST(TextFiles, DecodedToUtf8FromEveryStoredForm)
{
    // UTF-8 stays, its byte-order mark goes.
    EXPECT_EQ(DecodeTextFile("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFK=v"), "K=v");
    // UTF-16LE with its mark, including a pair of surrogates.
    std::string utf16("\xFF\xFE" "K\0=\0\xE9\0\x3D\xD8\x00\xDE", 12);
    EXPECT_EQ(DecodeTextFile(utf16), "K=\xC3\xA9\xF0\x9F\x98\x80");
    // Bytes that are no UTF-8 are read in code page 1252.
    EXPECT_EQ(DecodeTextFile("\xE9t\xE9 \x80"), "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC");
}

TEST(TextFiles, LoadAndSaveKeepUnknownLines)
{
    std::string path = ::testing::TempDir() + "/tavro_list_test.ini";
    {
        std::ofstream out(path, std::ios::binary);
        out << "\xFF\xFE" << std::string("X\0=\0\x31\0\r\0\n\0", 10);
    }
    NameValueList list;
    ASSERT_TRUE(list.LoadFile(path));
    EXPECT_EQ(list.Find("X"), "1");
    list.Set("Y", "2");
    ASSERT_TRUE(list.SaveFile(path));
    NameValueList again;
    ASSERT_TRUE(again.LoadFile(path));
    EXPECT_EQ(again.Find("X"), "1");
    EXPECT_EQ(again.Find("Y"), "2");
    EXPECT_FALSE(again.LoadFile(path + ".missing"));
    std::remove(path.c_str());
}

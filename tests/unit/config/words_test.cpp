#include <gtest/gtest.h>

#include "config/words.h"

TEST(Words, DelimWord) {
    EXPECT_EQ(DelimWord("a,,b", 1, ","), "a");
    EXPECT_EQ(DelimWord("a,,b", 2, ","), "");
    EXPECT_EQ(DelimWord("a,,b", 3, ","), "b");
    EXPECT_EQ(DelimWord("a,,b", 4, ","), "");
    EXPECT_EQ(DelimWord("a,,b", 0, ","), "");
    EXPECT_EQ(DelimWord("a|b", 2, "|"), "b");
    EXPECT_EQ(DelimWord("a,b", 1, ",,"), "a,b");  // a long delimiter never matches
    EXPECT_EQ(DelimWord("a,b", 2, ",,"), "");
    EXPECT_EQ(CommaWord("\"x\",\"y\"", 2), "\"y\"");
}

TEST(Words, DelimWords) {
    EXPECT_EQ(DelimWords("", ","), 0);
    EXPECT_EQ(DelimWords("a", ","), 1);
    EXPECT_EQ(DelimWords("a,b,", ","), 2);
    EXPECT_EQ(DelimWords(",a", ","), 2);
    EXPECT_EQ(DelimWords(",", ","), 1);
    EXPECT_EQ(CommaWords("a,b,c"), 3);
}

TEST(Words, RemoveDoubleQuotes) {
    EXPECT_EQ(RemoveDoubleQuotes("  \"\"  "), "");
    EXPECT_EQ(RemoveDoubleQuotes("\""), "");
    EXPECT_EQ(RemoveDoubleQuotes("\"a"), "a");
    EXPECT_EQ(RemoveDoubleQuotes("a\""), "a");
    EXPECT_EQ(RemoveDoubleQuotes("\"abc\""), "abc");
    EXPECT_EQ(RemoveDoubleQuotes("\"a\"b\""), "a\"b");
    EXPECT_EQ(RemoveDoubleQuotes(""), "");
    EXPECT_EQ(RemoveDoubleQuotes("plain"), "plain");
}

TEST(Words, CSVmod) {
    EXPECT_EQ(CSVmod("plain"), "plain");
    EXPECT_EQ(CSVmod("a,b"), "\"a,b\"");
    EXPECT_EQ(CSVmod("x\"y"), "\"x\"\"y\"");
    EXPECT_EQ(CSVmod(""), "");
}

TEST(Words, IsWholeNumber) {
    EXPECT_TRUE(IsWholeNumber("0"));
    EXPECT_TRUE(IsWholeNumber("-12"));
    EXPECT_FALSE(IsWholeNumber(""));
    EXPECT_FALSE(IsWholeNumber("1-2"));
    EXPECT_FALSE(IsWholeNumber(" 1"));
    EXPECT_FALSE(IsWholeNumber("1.5"));
    EXPECT_EQ(WholeNumberOr("42", 7), 42);
    EXPECT_EQ(WholeNumberOr("abc", 7), 7);
    EXPECT_EQ(WholeNumberOr("99999999999999999999", 7), 7);
}

#include "sign.h"

#include <gtest/gtest.h>

using cast_server::computeSign;
using cast_server::signInput;
using cast_server::utf8ToLatin1;
using nlohmann::json;

// Digests computed independently of this code.
TEST(Sign, KnownAnswers) {
    EXPECT_EQ(computeSign({{"code", "AB12CD"}, {"timestamp", "1700000000000"}}),
              "3bcb51cae0eda15df03ce141d81e9af1");
    EXPECT_EQ(computeSign({{"bitRate", "1300"},
                           {"code", "AB12CD"},
                           {"frameRate", "15"},
                           {"resolution", "1920*1080"},
                           {"timestamp", "1700000000000"},
                           {"type", "1"}}),
              "7ba1abf3761c41dd4f1ce09f5639832d");
}

TEST(Sign, InputIsKeysAndValuesInKeyOrderWithoutSeparators) {
    EXPECT_EQ(signInput({{"timestamp", "17"}, {"code", "AB"}, {"Zeta", "z"}}),
              "ZetazcodeABtimestamp17");
    // A value that is not a string contributes no text, as in the program.
    EXPECT_EQ(signInput({{"a", 5}, {"b", "x"}}), "abx");
    EXPECT_EQ(signInput(json::object()), "");
}

TEST(Sign, TextOutsideLatin1BecomesQuestionMarksPerUtf16Unit) {
    EXPECT_EQ(utf8ToLatin1("abc"), "abc");
    EXPECT_EQ(utf8ToLatin1("\xC3\xA9"), "\xE9");               // é stays one Latin-1 byte
    EXPECT_EQ(utf8ToLatin1("\xE5\xAE\xA2\xE5\x8E\x85"), "??"); // 客厅
    EXPECT_EQ(utf8ToLatin1("\xF0\x9F\x98\x80"), "??");         // one emoji, two UTF-16 units
    EXPECT_EQ(utf8ToLatin1("a\xFF"
                           "b"),
              "a?b");                          // invalid byte
    EXPECT_EQ(utf8ToLatin1("\xE5\xAE"), "??"); // cut sequence

    EXPECT_EQ(computeSign({{"name", "\xE5\xAE\xA2\xE5\x8E\x85"}}), computeSign({{"name", "??"}}));
    EXPECT_NE(computeSign({{"name", "\xC3\xA9"}}), computeSign({{"name", "?"}}));
}

#include "profile/text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "profile/file_helpers.h"

namespace vextar {
namespace {

TEST(SplitIndexedName, TakesTheNumberAfterTheLastUnderscore) {
    struct Case {
        const char* name;
        const char* prefix;
        int number;
        bool found;
    };
    const Case cases[] = {
        {"DPI_slider_3", "DPI_slider_", 3, true},
        {"key_A", "key_", 0, true},  // not a number
        {"light_0_12", "light_0_", 12, true},
        {"option_", "option_", 0, true},
        {"x_12abc", "x_", 12, true},  // leading digits count
        {"x_99999999999", "x_", 2147483647, true},
        {"nounderscore", "", 0, false},
    };
    for (const Case& c : cases) {
        const IndexedName split = SplitIndexedName(c.name);
        EXPECT_EQ(split.prefix, c.prefix) << c.name;
        EXPECT_EQ(split.number, c.number) << c.name;
        EXPECT_EQ(split.found, c.found) << c.name;
    }
}

TEST(TextHelpers, BlankTitlesAndFileNames) {
    EXPECT_TRUE(IsBlankText(""));
    EXPECT_TRUE(IsBlankText(" \t\r\n"));
    EXPECT_FALSE(IsBlankText(" a "));

    EXPECT_EQ(FileTitleOf("/home/u/Fire.mac"), "Fire");
    EXPECT_EQ(FileTitleOf("Work.profile.json"), "Work.profile");
    EXPECT_EQ(FileTitleOf("/a.b/noext"), "noext");

    // Names read from files become file names only when they stay inside
    // their folder.
    for (const char* bad : {"", ".", "..", "a/b", "..\\x", "/etc/passwd"}) {
        EXPECT_FALSE(IsSafeFileName(bad)) << bad;
    }
    EXPECT_FALSE(IsSafeFileName(std::string("a\0b", 3)));
    EXPECT_FALSE(IsSafeFileName(std::string(201, 'a')));
    EXPECT_TRUE(IsSafeFileName("2021_03_04_05_06_07_089"));
    EXPECT_TRUE(IsSafeFileName("..."));
}

TEST(TextHelpers, Utf8AndWideRoundTripAndRepairMalformedInput) {
    const std::string text = "Zoë 中文 \xF0\x9F\x8E\xAE";  // 2-, 3- and 4-byte sequences
    const std::wstring wide = Utf8ToWide(text);
    EXPECT_EQ(wide, L"Zoë 中文 \U0001F3AE");
    EXPECT_EQ(WideToUtf8(wide), text);
    // A stray continuation byte, a cut sequence, an overlong form and an
    // encoded surrogate each become one U+FFFD.
    EXPECT_EQ(Utf8ToWide("a\x80z"), L"a\uFFFDz");
    EXPECT_EQ(Utf8ToWide("a\xE4\xB8"), L"a\uFFFD");
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"\uFFFD");
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"\uFFFD");
}

TEST(TextHelpers, EqualsNoCase) {
    EXPECT_TRUE(EqualsNoCase("MACRO_2", "macro_2"));
    EXPECT_TRUE(EqualsNoCase("Ärger", "äRGER"));
    EXPECT_FALSE(EqualsNoCase("macro_2", "macro_22"));
    EXPECT_FALSE(EqualsNoCase("a", "b"));
}

TEST(TimeStampId, FormatsLocalTimeToTheMillisecond) {
    std::tm t{};
    t.tm_year = 2021 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 4;
    t.tm_hour = 5;
    t.tm_min = 6;
    t.tm_sec = 7;
    EXPECT_EQ(FormatTimeStampId(t, 89), "2021_03_04_05_06_07_089");
}

TEST(TimeStampId, NeverRepeatsAndSkipsTakenNames) {
    // Many calls fall into one millisecond: each still differs, and they
    // grow (the format sorts by time).
    std::string previous = MakeTimeStampId();
    for (int i = 0; i < 500; ++i) {
        const std::string id = MakeTimeStampId();
        ASSERT_GT(id, previous);
        previous = id;
    }
    // Names that already exist are skipped.
    std::set<std::string> taken;
    for (int i = 0; i < 20; ++i) {
        taken.insert(MakeTimeStampId());
    }
    const std::string fresh = MakeTimeStampId([&](const std::string& id) {
        return taken.count(id) != 0 || id.back() != '0';  // only ids ending in 0 are free
    });
    EXPECT_EQ(taken.count(fresh), 0U);
    EXPECT_EQ(fresh.back(), '0');
    EXPECT_EQ(fresh.size(), std::string("2021_03_04_05_06_07_089").size());
}

}  // namespace
}  // namespace vextar

#include "profile/ini_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/settings_files.h"

namespace vextar {
namespace {

using test::ReadText;
using test::TempFolder;
using test::WriteText;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// A hand-edited file: comments of both kinds, blanks around names and
// values, a key before the first header, a section that comes twice.
std::string SampleIni(std::string_view end) {
    std::string text(kBom);
    for (const char* line : {
             "; written by hand",
             "top = level",
             "[Main]",
             "  Language = 2052 ",
             "# Skin=commented",
             "Skin=blue",
             "Empty=",
             "Path=a=b",
             "",
             "[ other ]",
             "language=1033",
             "[MAIN]",
             "Late=yes",
         }) {
        text.append(line).append(end);
    }
    return text;
}

TEST(IniFile, ReadsValuesByNameWhateverTheCaseLineEndsOrMark) {
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"Main", "Language", "2052"},
        {"MAIN", "LANGUAGE", "2052"},
        {"main", "skin", "blue"},  // the commented line does not count
        {"Main", "Empty", ""},
        {"Main", "Path", "a=b"},
        {"other", "Language", "1033"},
        {"", "top", "level"},
        {"main", "late", "yes"},  // the section's second part
        {"Main", "Missing", std::nullopt},
        {"Nowhere", "Language", std::nullopt},
        {"Main", "top", std::nullopt},
    };
    TempFolder folder;
    for (const std::string_view end : {"\n", "\r\n"}) {
        const std::string path = folder / "main.ini";
        WriteText(path, SampleIni(end));
        for (const Case& c : cases) {
            EXPECT_EQ(ReadIniValue(path, c.section, c.key), c.value)
                << c.section << "/" << c.key << (end.size() == 2 ? " CRLF" : " LF");
        }
    }
    EXPECT_EQ(ReadIniValue(folder / "none.ini", "Main", "Language"), std::nullopt);
}

TEST(IniFile, WritingAValueKeepsEveryOtherByte) {
    struct Case {
        const char* name;
        const char* section;
        const char* key;
        const char* value;
        std::string before;  // where the file changes
        std::string after;   // what that becomes
        const char* read;    // the value read back
    };
    const Case cases[] = {
        {"replaces the first key", "MAIN", "language", " 1041 ", "  Language = 2052 \r\n",
         "language=1041\r\n", "1041"},
        {"adds after the last key of the section's first part", "Main", "Volume", "7",
         "\r\n[ other ]", "Volume=7\r\n\r\n[ other ]", "7"},
        {"adds before the first header", "", "Second", "2", "[Main]", "Second=2\r\n[Main]", "2"},
    };
    TempFolder folder;
    const std::string path = folder / "main.ini";
    for (const Case& c : cases) {
        const std::string original = SampleIni("\r\n");
        WriteText(path, original);
        std::string error;
        ASSERT_TRUE(WriteIniValue(path, c.section, c.key, c.value, &error)) << c.name << error;
        std::string expected = original;
        const std::size_t at = expected.find(c.before);
        ASSERT_NE(at, std::string::npos) << c.name;
        expected.replace(at, c.before.size(), c.after);
        EXPECT_EQ(ReadText(path), expected) << c.name;
        EXPECT_EQ(ReadIniValue(path, c.section, c.key), c.read) << c.name;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"main.ini"}) << c.name;
    }
}

TEST(IniFile, ANewSectionGoesAtTheEndAndANewFileIsMadeWithItsFolder) {
    TempFolder folder;
    const std::string path = folder / "main.ini";
    WriteText(path, "[Main]\nA=1");  // no line end at the end
    std::string error;
    ASSERT_TRUE(WriteIniValue(path, "Skin", "Name", "blue", &error)) << error;
    EXPECT_EQ(ReadText(path), "[Main]\nA=1\n\n[Skin]\nName=blue\n");

    const std::string fresh = folder / "new/VEXTAR/main.ini";
    ASSERT_TRUE(WriteIniValue(fresh, "Main", "Language", "2052", &error)) << error;
    EXPECT_EQ(ReadText(fresh), "[Main]\nLanguage=2052\n");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"main.ini", "new"}));
}

TEST(IniFile, RefusesWhatWouldNotReadBackAndLeavesTheFile) {
    struct Case {
        const char* name;
        std::string section;
        std::string key;
        std::string value;
    };
    const Case cases[] = {
        {"line feed in value", "Main", "Language", "20\n52"},
        {"carriage return in value", "Main", "Language", "20\r52"},
        {"NUL in value", "Main", "Language",
         std::string("20\0"
                     "52",
                     5)},
        {"line feed in key", "Main", "Lang\nuage", "1"},
        {"line feed in section", "Ma\nin", "Language", "1"},
        {"empty key", "Main", "  ", "1"},
        {"key with =", "Main", "a=b", "1"},
        {"key like a comment", "Main", ";Language", "1"},
        {"key like a header", "Main", "[Language", "1"},
        {"section with ]", "Ma]in", "Language", "1"},
        {"line too long", "Main", "Language", std::string(kMaxIniLineBytes, 'x')},
    };
    TempFolder folder;
    const std::string path = folder / "main.ini";
    const std::string original = SampleIni("\n");
    WriteText(path, original);
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(WriteIniValue(path, c.section, c.key, c.value, &error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_EQ(ReadText(path), original) << c.name;
    }
}

TEST(IniFile, AFileOverTheLimitsIsRefusedWhole) {
    struct Case {
        const char* name;
        std::string text;
        bool usable;
    };
    const std::string longest(kMaxIniLineBytes - 2, 'x');
    const Case cases[] = {
        {"longest line", "[Main]\nA=" + longest + "\r\n", true},
        {"line one byte too long", "[Main]\nA=" + longest + "x\r\n", false},
        {"file too large", "[Main]\nA=1\n" + std::string(kMaxIniFileBytes, '\n'), false},
    };
    TempFolder folder;
    const std::string path = folder / "main.ini";
    for (const Case& c : cases) {
        WriteText(path, c.text);
        EXPECT_EQ(ReadIniValue(path, "Main", "A").has_value(), c.usable) << c.name;
        std::string error;
        EXPECT_EQ(WriteIniValue(path, "Main", "B", "2", &error), c.usable) << c.name;
        if (!c.usable) {
            EXPECT_EQ(ReadText(path), c.text) << c.name;
        }
    }
}

TEST(IniDocument, TextGivesBackTheBytesItWasParsedFrom) {
    const std::string texts[] = {
        "",
        "\n",
        "\r\n",
        "a",
        "a\r",
        "[x\n=\n;=\r\n",
        std::string(kBom) + "[A]\r\nk=v\nz",
        SampleIni("\r\n"),
    };
    for (const std::string& text : texts) {
        const std::optional<CIniDocument> document = CIniDocument::Parse(text);
        ASSERT_TRUE(document) << text;
        EXPECT_EQ(document->Text(), text);
    }
}

}  // namespace
}  // namespace vextar

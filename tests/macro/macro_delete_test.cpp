#include "macro/macro_delete.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "profile/file_helpers.h"
#include "profile/json_access.h"
#include "profile/notices.h"
#include "support/settings_files.h"

namespace vextar {
namespace {

using test::ReadText;
using test::TempFolder;
using test::WriteText;

uint32_t Code(uint8_t kind, uint8_t a, uint8_t b) {
    return (static_cast<uint32_t>(kind) << 16) | (static_cast<uint32_t>(a) << 8) | b;
}

// Three macros and three profiles: A and B use macros, C uses none.
class ThreeProfiles : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(library_.AddMacro().status, MacroStatus::Ok);
            ASSERT_EQ(library_.SaveMacro(static_cast<std::size_t>(i),
                                         {MakeMacroStep(kMacroStepKey, 4 + i, true, 10)}),
                      MacroStatus::Ok);
        }
        Profile("A", {{Code(0x70, 1, 0), Code(0x10, 1, 0)},    // macro 1
                      {Code(0x71, 2, 5), Code(0x10, 2, 0)},    // macro 2, five times
                      {Code(0x70, 0, 3), Code(0x10, 4, 0)},    // macro 0
                      {Code(0x20, 1, 4), Code(0x20, 0, 4)}});  // Ctrl+A: value 1 is no macro
        Profile("B", {{Code(0x71, 1, 2), Code(0x10, 2, 0)}});
        Profile("C", {{Code(0x13, 1, 0), Code(0x13, 1, 0)}});
    }

    void Profile(const std::string& name, std::vector<std::pair<uint32_t, uint32_t>> keys,
                 const std::string& padding = "") {
        Json::Value document;
        document["profilename"] = name;
        if (!padding.empty()) {
            document["padding"] = padding;
        }
        Json::Value& list = document["Device"][0]["KeyList"];
        for (const auto& [assignment, defaults] : keys) {
            Json::Value key;
            key["Assignment"] = assignment;
            key["DefaultAssignment"] = defaults;
            list.append(key);
        }
        ASSERT_FALSE(WriteJsonFile(Path(name), document));
    }

    [[nodiscard]] std::string Path(const std::string& name) const {
        return folder_ / (name + ".Json");
    }
    [[nodiscard]] std::vector<std::string> Paths() const {
        return {Path("A"), Path("B"), Path("C")};
    }
    uint32_t Assignment(const std::string& name, std::size_t key) const {
        return static_cast<uint32_t>(json::Int(
            ReadJsonFile(Path(name))["Device"][0]["KeyList"][static_cast<int>(key)]["Assignment"]));
    }

    TempFolder folder_;
    MacroLibrary library_{folder_.Path()};
};

TEST_F(ThreeProfiles, DeletingMacro1RenumbersEveryProfile) {
    const std::string file1 = library_.MacroFilePath(1);
    const std::string unchanged = ReadText(Path("C"));
    const std::vector<std::string> paths = Paths();
    const MacroDeleteResult result = DeleteMacroEverywhere(library_, 1, paths);
    ASSERT_EQ(result.status, MacroStatus::Ok);
    EXPECT_EQ(result.name, "macro_2");
    EXPECT_EQ(result.profilesChanged, 2U);
    EXPECT_EQ(result.keys.reset, 2U);
    EXPECT_EQ(result.keys.renumbered, 1U);

    EXPECT_EQ(Assignment("A", 0), Code(0x10, 1, 0));  // back to its factory assignment
    EXPECT_EQ(Assignment("A", 1), Code(0x71, 1, 5));  // macro 2 is now macro 1
    EXPECT_EQ(Assignment("A", 2), Code(0x70, 0, 3));
    EXPECT_EQ(Assignment("A", 3), Code(0x20, 1, 4));
    EXPECT_EQ(Assignment("B", 0), Code(0x10, 2, 0));
    EXPECT_EQ(ReadText(Path("C")), unchanged);  // not rewritten

    EXPECT_FALSE(std::filesystem::exists(file1));
    MacroLibrary after(folder_.Path());
    after.LoadMacroList();
    ASSERT_EQ(after.Entries().size(), 2U);
    EXPECT_EQ(after.Entries()[1].name, "macro_3");
}

TEST_F(ThreeProfiles, AFailedWriteUndoesEverything) {
    // B grows past the file size limit; A is written before it.
    Profile("B", {{Code(0x71, 1, 2), Code(0x10, 2, 0)}}, std::string(64 * 1024, 'x'));
    const std::string a = ReadText(Path("A"));
    const std::string list = ReadText(library_.ListPath());
    MacroDeleteResult result;
    {
        test::NoticeRecorder notices;
        const test::FileSizeLimit limit(16 * 1024);
        const std::vector<std::string> paths = Paths();
        result = DeleteMacroEverywhere(library_, 1, paths);
        EXPECT_EQ(notices.Count(kMessageFileWriteFailed), 1U);
    }
    EXPECT_EQ(result.status, MacroStatus::FileError);
    EXPECT_EQ(result.failedPath, Path("B"));
    EXPECT_EQ(ReadText(Path("A")), a);
    EXPECT_EQ(ReadText(library_.ListPath()), list);
    EXPECT_TRUE(std::filesystem::exists(library_.MacroFilePath(1)));

    // A profile that cannot be read stops the delete before any write.
    std::filesystem::remove(Path("C"));
    std::filesystem::create_directory(Path("C"));
    const std::vector<std::string> paths = Paths();
    EXPECT_EQ(DeleteMacroEverywhere(library_, 1, paths).status, MacroStatus::FileError);
    EXPECT_EQ(ReadText(Path("A")), a);
    EXPECT_EQ(library_.Entries().size(), 3U);
}

TEST(RenumberAfterMacroDelete, AppliesToAnyKeyList) {
    std::vector<KeyListEntry> keys(3);
    keys[0].current.SetPacked(Code(0x70, 0, 1));
    keys[1].current.SetPacked(Code(0x71, 4, 1));
    keys[1].defaults.SetPacked(Code(0x10, 1, 0));
    keys[2].current.SetPacked(Code(0x71, 5, 2));
    EXPECT_TRUE(UsesMacro(keys, 4));
    const RenumberCounts counts = RenumberAfterMacroDelete(keys, 4);
    EXPECT_EQ(counts.reset, 1U);
    EXPECT_EQ(counts.renumbered, 1U);
    EXPECT_EQ(keys[0].current.Packed(), Code(0x70, 0, 1));
    EXPECT_EQ(keys[1].current, keys[1].defaults);
    EXPECT_EQ(keys[2].current.Packed(), Code(0x71, 4, 2));
    EXPECT_FALSE(UsesMacro(keys, 5));
}

}  // namespace
}  // namespace vextar

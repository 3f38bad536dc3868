#include "macro/macro_library.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "profile/file_helpers.h"
#include "profile/json_access.h"
#include "profile/notices.h"
#include "support/settings_files.h"

namespace vextar {
namespace {

using test::ReadText;
using test::TempFolder;
using test::WriteText;

std::vector<std::string> Names(const MacroLibrary& library) {
    std::vector<std::string> names;
    for (const MacroEntry& e : library.Entries()) {
        names.push_back(e.name);
    }
    return names;
}

TEST(MacroLibrary, NamesNewAndImportedMacros) {
    TempFolder folder;
    TempFolder sources;
    WriteText(folder / kMacroListFileName,
              R"({"MacroInfo": [{"MacroName": "macro_1", "Guid": "a"},
                                {"MacroName": "MACRO_2", "Guid": "b"}]})");
    MacroLibrary library(folder.Path());
    const MacroAdded added = library.AddMacro();
    ASSERT_EQ(added.status, MacroStatus::Ok);
    EXPECT_EQ(added.name, "macro_3");
    EXPECT_EQ(added.number, 2U);

    const std::string fire = sources / "Fire.mac";
    WriteText(fire, R"({"Events": [], "MacroName": "Fire", "Guid": "x", "Version": 64})");
    for (const char* expected : {"Fire", "Fire_1", "Fire_1_2"}) {
        const MacroAdded imported = library.ImportMacro(fire);
        ASSERT_EQ(imported.status, MacroStatus::Ok);
        EXPECT_EQ(imported.name, expected);
        // The file is copied unchanged under the new identifier.
        EXPECT_EQ(ReadText(library.MacroFilePath(imported.number)), ReadText(fire));
    }
    EXPECT_EQ(Names(library), (std::vector<std::string>{"macro_1", "MACRO_2", "macro_3", "Fire",
                                                        "Fire_1", "Fire_1_2"}));
    // Identifiers are new and name no file of another macro.
    std::set<std::string> guids;
    for (const MacroEntry& e : library.Entries()) {
        guids.insert(e.guid);
    }
    EXPECT_EQ(guids.size(), 6U);
    EXPECT_EQ(library.Find("fire_1"), 4U);

    // A fresh library reads the same list.
    MacroLibrary again(folder.Path());
    ASSERT_EQ(again.LoadMacroList(), MacroStatus::Ok);
    EXPECT_EQ(Names(again), Names(library));
}

TEST(MacroLibrary, RefusesTheFiftyFirstAndBadImports) {
    TempFolder folder;
    TempFolder sources;
    MacroLibrary library(folder.Path());
    for (std::size_t i = 0; i < kMaxMacros; ++i) {
        ASSERT_EQ(library.AddMacro().status, MacroStatus::Ok);
    }
    const std::string list = ReadText(library.ListPath());
    const std::string good = sources / "ok.mac";
    WriteText(good, R"({"Events": []})");
    EXPECT_EQ(library.AddMacro().status, MacroStatus::LimitReached);
    EXPECT_EQ(library.ImportMacro(good).status, MacroStatus::LimitReached);
    EXPECT_EQ(ReadText(library.ListPath()), list);
    EXPECT_EQ(folder.Names().size(), 1U);  // no macro file was made

    // Missing or invalid sources change nothing.
    TempFolder small;
    MacroLibrary empty(small.Path());
    struct Case {
        const char* name;
        const char* text;
        MacroStatus status;
    };
    const Case cases[] = {
        {"missing.mac", nullptr, MacroStatus::SourceUnreadable},
        {"cut.mac", R"({"Events": [{"Type": 10)", MacroStatus::InvalidFile},
        {"array.mac", "[]", MacroStatus::InvalidFile},
        {"events.mac", R"({"Events": {"0": 1}})", MacroStatus::InvalidFile},
        {"other.json", R"({"profilename": "x"})", MacroStatus::InvalidFile},
    };
    for (const Case& c : cases) {
        if (c.text != nullptr) {
            WriteText(sources / c.name, c.text);
        }
        EXPECT_EQ(empty.ImportMacro(sources / c.name).status, c.status) << c.name;
        EXPECT_TRUE(small.Names().empty()) << c.name;
    }
}

TEST(MacroLibrary, RenameFollowsTheNameRules) {
    TempFolder folder;
    MacroLibrary library(folder.Path());
    library.AddMacro();
    library.AddMacro();
    EXPECT_EQ(library.RenameMacro(0, "Macro_2"), MacroStatus::DuplicateName);
    EXPECT_EQ(library.RenameMacro(0, " \t"), MacroStatus::BlankName);
    EXPECT_EQ(library.RenameMacro(5, "x"), MacroStatus::NotFound);
    EXPECT_EQ(library.RenameMacro(0, "MACRO_1"), MacroStatus::Ok);  // only others count
    MacroLibrary again(folder.Path());
    again.LoadMacroList();
    EXPECT_EQ(Names(again), (std::vector<std::string>{"MACRO_1", "macro_2"}));
}

TEST(MacroLibrary, SavesAndLoadsSteps) {
    TempFolder folder;
    MacroLibrary library(folder.Path());
    library.AddMacro();
    Json::Value custom = MakeMacroStep(2, 7, false, 0);
    custom["Extra"] = "kept";
    custom["Delay"] = "";  // a cleared delay field
    std::vector<Json::Value> steps = {MakeMacroStep(kMacroStepKey, 4, true, 120), custom};
    steps[0]["Delay"] = 999999;      // longer than a device can wait
    steps.push_back(Json::Value());  // an empty row ends the macro
    steps.push_back(MakeMacroStep(kMacroStepKey, 5, true, 1));
    ASSERT_EQ(library.SaveMacro(0, steps), MacroStatus::Ok);

    const Json::Value file = ReadJsonFile(library.MacroFilePath(0));
    EXPECT_EQ(json::String(file["MacroName"]), "macro_1");
    EXPECT_EQ(file["Guid"], Json::Value(library.Entries()[0].guid));
    EXPECT_EQ(json::Int(file["Version"]), 64);
    ASSERT_EQ(file["Events"].size(), 2U);
    EXPECT_EQ(file["Events"][0]["Delay"], Json::Value("65535"));
    EXPECT_EQ(file["Events"][1]["Delay"], Json::Value("0"));
    EXPECT_EQ(file["Events"][1]["Extra"], Json::Value("kept"));

    const std::vector<Json::Value> loaded = library.LoadMacroSteps(0);
    ASSERT_EQ(loaded.size(), 2U);
    EXPECT_EQ(MacroStepDelay(loaded[0]), 65535);
    EXPECT_EQ(library.SaveMacro(3, steps), MacroStatus::NotFound);

    // Export copies the file byte for byte; a macro never saved has none.
    TempFolder out;
    ASSERT_EQ(library.ExportMacro(0, out / "m.mac"), MacroStatus::Ok);
    EXPECT_EQ(ReadText(out / "m.mac"), ReadText(library.MacroFilePath(0)));
    library.AddMacro();
    EXPECT_EQ(library.ExportMacro(1, out / "n.mac"), MacroStatus::FileError);
}

TEST(MacroLibrary, DamagedFilesAreKeptNotRewritten) {
    TempFolder folder;
    test::NoticeRecorder notices;
    const std::string damaged = R"({"MacroInfo": [{"MacroName": "Fire", "Guid": "g1"})";
    WriteText(folder / kMacroListFileName, damaged);
    WriteText(folder / "g1.mac", R"({"Events": [)");
    MacroLibrary library(folder.Path());
    ASSERT_EQ(library.LoadMacroList(), MacroStatus::Ok);
    EXPECT_TRUE(library.Entries().empty());
    ASSERT_EQ(notices.Count(kMessageFileKeptAside), 1U);
    EXPECT_EQ(ReadText(notices.notices[0].detail), damaged);

    // A damaged macro file reads as empty and is kept too.
    EXPECT_TRUE(LoadMacroFile(folder / "g1.mac").empty());
    EXPECT_EQ(notices.Count(kMessageFileKeptAside), 2U);
    EXPECT_FALSE(std::filesystem::exists(folder / "g1.mac"));

    // Identifiers that would leave the folder never name a file.
    WriteText(folder / kMacroListFileName,
              R"({"MacroInfo": [{"MacroName": "a", "Guid": "../escape"}, 5]})");
    ASSERT_EQ(library.LoadMacroList(), MacroStatus::Ok);
    ASSERT_EQ(library.Entries().size(), 2U);  // positions are kept
    EXPECT_EQ(library.MacroFilePath(0), "");
    EXPECT_EQ(library.SaveMacro(0, {}), MacroStatus::FileError);
}

TEST(MacroLibrary, DeleteRemovesTheFileOnlyOnceTheListIsWritten) {
    TempFolder folder;
    MacroLibrary library(folder.Path());
    library.AddMacro();
    library.AddMacro();
    library.SaveMacro(0, {MakeMacroStep(kMacroStepKey, 4, true, 1)});
    library.SaveMacro(1, {});
    const std::string file0 = library.MacroFilePath(0);

    // The list cannot be written: the macro and its file stay.
    const std::string list = ReadText(library.ListPath());
    {
        test::NoticeRecorder notices;
        const test::FileSizeLimit limit(16);
        EXPECT_EQ(library.DeleteMacro(0), MacroStatus::FileError);
        EXPECT_EQ(notices.Count(kMessageFileWriteFailed), 1U);
    }
    EXPECT_TRUE(std::filesystem::exists(file0));
    EXPECT_EQ(ReadText(library.ListPath()), list);
    EXPECT_EQ(library.Entries().size(), 2U);

    ASSERT_EQ(library.DeleteMacro(0), MacroStatus::Ok);
    EXPECT_FALSE(std::filesystem::exists(file0));
    EXPECT_EQ(Names(library), std::vector<std::string>{"macro_2"});
    EXPECT_EQ(library.DeleteMacro(1), MacroStatus::NotFound);
}

}  // namespace
}  // namespace vextar

#include "app/language.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "profile/paths.h"
#include "profile/settings_store.h"
#include "support/settings_files.h"
#include "ui/dialog_builder.h"
#include "ui/resource_manager.h"

namespace vextar::app {
namespace {

using test::TempFolder;
using test::WriteText;

// Settings kept in memory; writes can be made to fail.
class MemoryStore : public ISettingsStore {
  public:
    [[nodiscard]] std::optional<int64_t> GetInt(std::string_view name) const override {
        const auto it = values.find(std::string(name));
        return it != values.end() ? std::optional<int64_t>(it->second) : std::nullopt;
    }
    bool SetInt(std::string_view name, int64_t value, std::string* error) override {
        ++writes;
        if (failWrites) {
            *error = "disk full";
            return false;
        }
        values[std::string(name)] = value;
        return true;
    }

    std::map<std::string, int64_t> values;
    bool failWrites = false;
    int writes = 0;
};

LanguageEntry Entry(int64_t id, std::string name, std::string file, std::string text) {
    return {id, std::move(name), std::move(file), std::move(text)};
}

TEST(LanguageConfig, KeepsTheUsableElementsInOrder) {
    const std::string text = R"({"Language": [
        {"Language_ID": 1033, "Language_name": "en", "Language_file": "lan_en.xml",
         "Language_text": "English"},
        {"Language_ID": "2052", "Language_name": "zh_CN", "Language_file": "a.xml", "Language_text": "x"},
        {"Language_ID": 1.5, "Language_name": "x", "Language_file": "a.xml", "Language_text": "x"},
        {"Language_ID": true, "Language_name": "x", "Language_file": "a.xml", "Language_text": "x"},
        {"Language_ID": 1, "Language_name": 7, "Language_file": "a.xml", "Language_text": "x"},
        {"Language_ID": 1, "Language_name": "x", "Language_file": "a.xml"},
        {"Language_ID": 1, "Language_name": "x", "Language_file": "../lan.xml", "Language_text": "x"},
        {"Language_ID": 1, "Language_name": "x", "Language_file": "/etc/lan.xml", "Language_text": "x"},
        {"Language_ID": 1, "Language_name": "x", "Language_file": "a/./b.xml", "Language_text": "x"},
        {"Language_ID": 1, "Language_name": "x", "Language_file": "a//b.xml", "Language_text": "x"},
        {"Language_ID": 1, "Language_name": "x", "Language_file": "C:lan.xml", "Language_text": "x"},
        {"Language_ID": 1, "Language_name": "x", "Language_file": "lang\\..\\x", "Language_text": "x"},
        {"Language_ID": 1, "Language_name": "x", "Language_file": "", "Language_text": "x"},
        [1033],
        {"Language_ID": 2052, "Language_name": "zh_CN", "Language_file": "lang\\lan_cn.xml",
         "Language_text": "简体中文", "Extra": 1}
    ]})";
    std::string error;
    const auto entries = ParseLanguageConfig(text, &error);
    ASSERT_TRUE(entries) << error;
    EXPECT_EQ(*entries, (std::vector<LanguageEntry>{
                            Entry(1033, "en", "lan_en.xml", "English"),
                            Entry(2052, "zh_CN", "lang/lan_cn.xml", "简体中文"),
                        }));
}

TEST(LanguageConfig, RefusesADocumentWithoutTheList) {
    const char* texts[] = {"", "{\"Language\": [", "[]", R"({"Language": {}})",
                           R"({"language": []})"};
    for (const char* text : texts) {
        std::string error;
        EXPECT_EQ(ParseLanguageConfig(text, &error), std::nullopt) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    std::string error;
    EXPECT_EQ(ReadLanguageConfig("/nonexistent/Language.config", &error), std::nullopt);
    EXPECT_NE(error.find("/nonexistent/Language.config"), std::string::npos) << error;
}

TEST(ReadStoredLanguage, GivesTheFirstEntryWithTheStoredIdAndOtherwiseTheFirst) {
    const std::vector<LanguageEntry> entries = {
        Entry(1033, "en", "lan_en.xml", "English"),
        Entry(2052, "zh_CN", "lan_cn.xml", "简体中文"),
        Entry(2052, "zh_CN", "other.xml", "again"),
    };
    struct Case {
        const char* name;
        std::optional<int64_t> stored;
        bool emptyList;
        int index;
    };
    const Case cases[] = {
        {"nothing stored", std::nullopt, false, 0},
        {"unknown id", 1041, false, 0},
        {"match", 2052, false, 1},
        {"empty list", 2052, true, 0},
    };
    for (const Case& c : cases) {
        MemoryStore store;
        if (c.stored) {
            store.values[std::string(kLanguageSetting)] = *c.stored;
        }
        EXPECT_EQ(ReadStoredLanguage(store, c.emptyList ? std::vector<LanguageEntry>{} : entries),
                  c.index)
            << c.name;
    }
}

TEST(FontFaceForChange, RebuildsOnlyWhenTheScriptChanges) {
    struct Case {
        int current;
        int next;
        std::optional<std::string> face;
    };
    const Case cases[] = {
        {5, 7, std::nullopt}, {5, 2, kThaiFontFace}, {-1, 1, kCjkFontFace},  {0, 1, kCjkFontFace},
        {1, 3, std::nullopt}, {15, 4, kCjkFontFace}, {2, 15, kThaiFontFace}, {-1, 0, kThaiFontFace},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FontFaceForChange(c.current, c.next), c.face) << c.current << " -> " << c.next;
    }
}

TEST(BuildFontTable, ReplacesEveryFontOfTheWindow) {
    ui::CPaintManagerUI manager;
    manager.AddFont(77, ui::FontInfo{.face = "Old", .size = 40}, false);
    BuildFontTable(manager, "Face");
    EXPECT_EQ(manager.GetFont(77).size, 14);  // gone: the default answers
    const ui::FontInfo fallback = manager.GetFont(-1);
    EXPECT_EQ(fallback.face, "Face");
    EXPECT_EQ(fallback.size, 14);
    EXPECT_TRUE(manager.GetFont(1).underline);
    EXPECT_EQ(manager.GetFont(3).size, 30);
    EXPECT_TRUE(manager.GetFont(50).bold);
    EXPECT_EQ(manager.GetFont(50).size, 10);
    EXPECT_EQ(manager.GetFont(51).size, 9);
    EXPECT_FALSE(manager.GetFont(51).bold || manager.GetFont(0).underline);
}

// A skin folder with two usable languages, one whose file is missing and one
// whose file is damaged, and a window showing the text "title".
class LanguageStateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::CResourceManager::Instance().Clear();
        WriteText(skin / "lan_en.xml", R"(<Language><Text id="title" value="Hello"/></Language>)");
        WriteText(skin / "lan_cn.xml", R"(<Language><Text id="title" value="你好"/></Language>)");
        WriteText(skin / "broken.xml", R"(<Language><Text id="title" value="Bro)");
        WriteText(config, R"({"Language": [
            {"Language_ID": 1033, "Language_name": "en", "Language_file": "lan_en.xml", "Language_text": "English"},
            {"Language_ID": 2052, "Language_name": "zh_CN", "Language_file": "lan_cn.xml", "Language_text": "简体中文"},
            {"Language_ID": 1041, "Language_name": "ja", "Language_file": "missing.xml", "Language_text": "日本語"},
            {"Language_ID": 1049, "Language_name": "ru", "Language_file": "broken.xml", "Language_text": "Русский"}
        ]})");
        ui::CDialogBuilder builder;
        std::string error;
        auto root = builder.CreateFromString(
            R"(<VerticalLayout><Label name="title" text="%{title}"/></VerticalLayout>)", nullptr,
            &manager, &error);
        ASSERT_TRUE(root) << error;
        manager.AttachDialog(std::move(root));
    }
    void TearDown() override { ui::CResourceManager::Instance().Clear(); }

    [[nodiscard]] std::string Title() const { return manager.FindControl("title")->GetText(); }

    TempFolder skin;
    TempFolder data;
    const std::string config = data / "Language.config";
    MemoryStore store;
    ui::CPaintManagerUI manager;
    CLanguageState state{store, config, skin.Path()};
};

TEST_F(LanguageStateTest, AppliesTheTextsFontsAndStoresTheChoice) {
    EXPECT_EQ(state.CurrentIndex(), -1);
    EXPECT_EQ(Title(), "title");  // no language yet: the id itself
    std::string error;
    ASSERT_EQ(state.Apply(1, manager, &error), CLanguageState::ApplyResult::Applied) << error;
    EXPECT_EQ(Title(), "你好");
    EXPECT_EQ(state.CurrentIndex(), 1);
    EXPECT_EQ(state.Entries().size(), 4U);
    EXPECT_EQ(ui::CResourceManager::Instance().GetLanguageName(), "zh_CN");
    EXPECT_EQ(manager.GetFont(-1).face, kCjkFontFace);
    EXPECT_EQ(store.GetInt(kLanguageSetting), 2052);

    ASSERT_EQ(state.Apply(0, manager, &error), CLanguageState::ApplyResult::Applied) << error;
    EXPECT_EQ(Title(), "Hello");
    EXPECT_EQ(manager.GetFont(3).face, kThaiFontFace);
    EXPECT_EQ(store.GetInt(kLanguageSetting), 1033);

    EXPECT_EQ(state.Apply(0, manager, &error), CLanguageState::ApplyResult::Unchanged);
    EXPECT_EQ(store.writes, 2);
}

TEST_F(LanguageStateTest, AFailureChangesNothing) {
    struct Case {
        const char* name;
        int index;
        bool removeList;
    };
    const Case cases[] = {
        {"language file missing", 2, false}, {"language file damaged", 3, false},
        {"index past the end", 4, false},    {"negative index", -2, false},
        {"no language list", 1, true},
    };
    const std::string list = test::ReadText(config);
    for (const Case& c : cases) {
        MemoryStore caseStore;
        CLanguageState caseState(caseStore, config, skin.Path());
        std::string error;
        ASSERT_EQ(caseState.Apply(0, manager, &error), CLanguageState::ApplyResult::Applied)
            << error;
        manager.AddFont(9, ui::FontInfo{.face = "Marker", .size = 11}, false);
        if (c.removeList) {
            std::filesystem::remove(config);
        }

        error.clear();
        EXPECT_EQ(caseState.Apply(c.index, manager, &error), CLanguageState::ApplyResult::Failed)
            << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_EQ(Title(), "Hello") << c.name;
        EXPECT_EQ(ui::CResourceManager::Instance().GetText("title"), "Hello") << c.name;
        EXPECT_EQ(ui::CResourceManager::Instance().GetLanguageName(), "en") << c.name;
        EXPECT_EQ(manager.GetFont(9).face, "Marker") << c.name;
        EXPECT_EQ(caseState.CurrentIndex(), 0) << c.name;
        EXPECT_EQ(caseState.Entries().size(), 4U) << c.name;
        EXPECT_EQ(caseStore.GetInt(kLanguageSetting), 1033) << c.name;
        EXPECT_EQ(caseStore.writes, 1) << c.name;
        WriteText(config, list);
    }
}

TEST_F(LanguageStateTest, AStoreThatCannotBeWrittenLeavesTheLanguageApplied) {
    store.failWrites = true;
    std::string error;
    EXPECT_EQ(state.Apply(1, manager, &error), CLanguageState::ApplyResult::Applied);
    EXPECT_EQ(error, "disk full");
    EXPECT_EQ(Title(), "你好");
    EXPECT_EQ(state.CurrentIndex(), 1);
}

TEST_F(LanguageStateTest, AFreshAccountKeepsItsChoiceAcrossRuns) {
    const TempFolder home;
    const std::string folder = home / "config/VEXTAR";
    std::string error;
    {
        CFileSettingsStore fileStore(folder);
        CLanguageState first(fileStore, config, skin.Path());
        ASSERT_EQ(first.ApplyStored(manager, &error), CLanguageState::ApplyResult::Applied)
            << error;
        EXPECT_EQ(first.CurrentIndex(), 0);
        ASSERT_EQ(first.Apply(1, manager, &error), CLanguageState::ApplyResult::Applied) << error;
    }
    ui::CResourceManager::Instance().Clear();
    CFileSettingsStore fileStore(folder);
    CLanguageState next(fileStore, config, skin.Path());
    ASSERT_EQ(next.ApplyStored(manager, &error), CLanguageState::ApplyResult::Applied) << error;
    EXPECT_EQ(next.CurrentIndex(), 1);
    EXPECT_EQ(Title(), "你好");
}

}  // namespace
}  // namespace vextar::app

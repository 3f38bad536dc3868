#include "profile/settings_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "profile/notices.h"
#include "profile/paths.h"
#include "support/settings_files.h"

namespace vextar {
namespace {

using test::ReadText;
using test::TempFolder;
using test::WriteText;

// Sets or removes an environment variable while it lives.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class SettingsStoreTest : public ::testing::Test {
  protected:
    void TearDown() override { paths::SetConfigRoot({}); }

    TempFolder temp;
};

TEST_F(SettingsStoreTest, ConfigRootFollowsTheOverrideThenTheEnvironment) {
    struct Case {
        const char* name;
        const char* override;
        const char* vextarHome;
        const char* xdgHome;
        std::string expected;
    };
    const Case cases[] = {
        {"override wins", "/o", "/v", "/x", "/o/"},
        {"VEXTAR_CONFIG_HOME names the folder", nullptr, "/v/", "/x", "/v/"},
        {"XDG_CONFIG_HOME", nullptr, nullptr, "/x", "/x/VEXTAR/"},
        {"relative XDG_CONFIG_HOME is ignored", nullptr, nullptr, "rel", "/home/u/.config/VEXTAR/"},
        {"default", nullptr, nullptr, nullptr, "/home/u/.config/VEXTAR/"},
    };
    const ScopedEnv home("HOME", "/home/u");
    for (const Case& c : cases) {
        const ScopedEnv vextar("VEXTAR_CONFIG_HOME", c.vextarHome);
        const ScopedEnv xdg("XDG_CONFIG_HOME", c.xdgHome);
        paths::SetConfigRoot(c.override != nullptr ? c.override : "");
        EXPECT_EQ(paths::ConfigRoot(), c.expected) << c.name;
    }
}

TEST_F(SettingsStoreTest, AFreshAccountKeepsItsValuesInAFolderMadeOnFirstWrite) {
    const std::string folder = temp / "config/VEXTAR";
    paths::SetConfigRoot(folder);
    {
        CFileSettingsStore store;
        EXPECT_EQ(store.FilePath(), folder + "/settings.json");
        EXPECT_EQ(store.GetInt(kLanguageSetting), std::nullopt);
        EXPECT_FALSE(std::filesystem::exists(folder));  // reading makes nothing
        std::string error;
        ASSERT_TRUE(store.SetInt(kLanguageSetting, 2052, &error)) << error;
        ASSERT_TRUE(store.SetInt("Big", int64_t{1} << 40, &error)) << error;
        EXPECT_EQ(store.GetInt(kLanguageSetting), 2052);
    }
    CFileSettingsStore again;
    EXPECT_EQ(again.GetInt(kLanguageSetting), 2052);
    EXPECT_EQ(again.GetInt("Big"), int64_t{1} << 40);
    EXPECT_EQ(again.GetInt("language"), std::nullopt);  // names keep their case
    EXPECT_EQ(temp.Names(), std::vector<std::string>{"config"});
}

TEST_F(SettingsStoreTest, OtherMembersSurviveAWriteAndOnlyNumbersReadAsIntegers) {
    WriteText(temp / "settings.json",
              R"({"Skin": "blue", "LANGUAGE": "2052", "Flag": true, "Depth": 3.9})");
    CFileSettingsStore store(temp.Path());
    EXPECT_EQ(store.GetInt(kLanguageSetting), std::nullopt);
    EXPECT_EQ(store.GetInt("Flag"), std::nullopt);
    EXPECT_EQ(store.GetInt("Depth"), 3);
    std::string error;
    ASSERT_TRUE(store.SetInt(kLanguageSetting, 1033, &error)) << error;
    const std::string text = ReadText(temp / "settings.json");
    EXPECT_NE(text.find("\"Skin\" : \"blue\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"LANGUAGE\" : 1033"), std::string::npos) << text;
}

TEST_F(SettingsStoreTest, ADamagedFileIsKeptAsideAndTheStoreStartsEmpty) {
    const std::string cases[] = {"{\"LANGUAGE\": 20", "[2052]", ""};
    for (const std::string& damaged : cases) {
        TempFolder folder;
        WriteText(folder / "settings.json", damaged);
        test::NoticeRecorder notices;
        CFileSettingsStore store(folder.Path());
        EXPECT_EQ(store.GetInt(kLanguageSetting), std::nullopt) << damaged;
        EXPECT_EQ(notices.Count(kMessageFileKeptAside), 1U) << damaged;
        std::string error;
        ASSERT_TRUE(store.SetInt(kLanguageSetting, 1033, &error)) << error;

        const std::vector<std::string> names = folder.Names();
        ASSERT_EQ(names.size(), 2U) << damaged;
        EXPECT_EQ(names[0], "settings.json");
        EXPECT_EQ(names[1].rfind("settings.json.bad-", 0), 0U) << names[1];
        EXPECT_EQ(ReadText(folder / names[1]), damaged);
        EXPECT_EQ(CFileSettingsStore(folder.Path()).GetInt(kLanguageSetting), 1033);
    }
}

TEST_F(SettingsStoreTest, AFileThatCannotBeReadIsNeverWrittenOver) {
    std::filesystem::create_directories(temp / "settings.json/inside");
    test::NoticeRecorder notices;
    CFileSettingsStore store(temp.Path());
    EXPECT_EQ(store.GetInt(kLanguageSetting), std::nullopt);
    EXPECT_EQ(notices.Count(kMessageFileUnreadable), 1U);
    std::string error;
    EXPECT_FALSE(store.SetInt(kLanguageSetting, 1033, &error));
    EXPECT_NE(error.find("settings.json"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_directory(temp / "settings.json/inside"));
}

TEST_F(SettingsStoreTest, AFailedWriteKeepsTheOldValueAndTellsTheUser) {
    CFileSettingsStore store(temp.Path());
    std::string error;
    ASSERT_TRUE(store.SetInt(kLanguageSetting, 1033, &error)) << error;
    test::NoticeRecorder notices;
    {
        const test::FileSizeLimit limit(8);
        EXPECT_FALSE(store.SetInt(kLanguageSetting, 2052, &error));
    }
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(notices.Count(kMessageFileWriteFailed), 1U);
    EXPECT_EQ(store.GetInt(kLanguageSetting), 1033);
    EXPECT_EQ(CFileSettingsStore(temp.Path()).GetInt(kLanguageSetting), 1033);
}

}  // namespace
}  // namespace vextar

#include "profile/profile_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "profile/file_helpers.h"
#include "profile/json_access.h"
#include "profile/notices.h"
#include "support/settings_files.h"

namespace vextar {
namespace {

using test::ReadText;
using test::TempFolder;
using test::WriteText;

class ProfileListFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteText(factory_ / "mouse.Json",
                  R"({"Device": [{"LightInfo": {"Red": 5}}], "profilename": "factory"})");
    }
    ProfileListFile List() { return ProfileListFile(folder_.Path(), factory_ / "mouse.Json"); }

    TempFolder folder_;
    TempFolder factory_;
};

TEST_F(ProfileListFiles, FirstUseMakesProfile1FromTheFactoryProfile) {
    ProfileListFile list = List();
    ASSERT_EQ(list.Init(), ProfileListFile::Status::Created);
    ASSERT_EQ(list.Entries().size(), 1U);
    EXPECT_EQ(list.Entries()[0].name, "profile1");
    EXPECT_EQ(list.Selected(), 0);
    const std::string id = list.Entries()[0].id;
    EXPECT_EQ(list.ProfilePathAt(0), folder_ / (id + ".Json"));

    const Json::Value profile = ReadJsonFile(list.ProfilePathAt(0));
    EXPECT_EQ(json::String(profile["profilename"]), "profile1");
    EXPECT_EQ(json::String(profile["profileUUID"]), id);
    EXPECT_EQ(json::Int(profile["Device"][0]["LightInfo"]["Red"]), 5);

    const Json::Value stored = ReadJsonFile(list.ListPath());
    EXPECT_EQ(stored["profilelist"][0], ([&] {
                  Json::Value e;
                  e["profilename"] = "profile1";
                  e["profileUUID"] = id;
                  e["profileislink"] = 0;
                  e["profilelinkmame"] = "";
                  return e;
              }()));
    EXPECT_EQ(json::Int(stored["profileselect"]), 0);

    // Later uses read what is there.
    const std::vector<std::string> before = folder_.Names();
    ProfileListFile again = List();
    EXPECT_EQ(again.Init(), ProfileListFile::Status::Ok);
    EXPECT_EQ(again.Entries()[0].id, id);
    EXPECT_EQ(folder_.Names(), before);
}

TEST_F(ProfileListFiles, DamagedListIsKeptAsideAndOddEntriesAreNotUsed) {
    test::NoticeRecorder notices;
    WriteText(folder_ / kProfileListFileName, R"({"profilelist": [{"profilename": "A", )");
    WriteText(folder_ / "old.Json", "{}");
    ProfileListFile list = List();
    ASSERT_EQ(list.Init(), ProfileListFile::Status::Created);
    EXPECT_EQ(notices.Count(kMessageFileKeptAside), 1U);
    EXPECT_EQ(ReadText(notices.notices[0].detail), R"({"profilelist": [{"profilename": "A", )");
    EXPECT_EQ(ReadText(folder_ / "old.Json"), "{}");

    WriteText(folder_ / kProfileListFileName, R"({"profileselect": 7, "keep": 1, "profilelist": [
        {"profilename": "A", "profileUUID": "../../etc/passwd"},
        {"profilename": "B", "profileUUID": "2021_01_01_00_00_00_000"}, 3]})");
    ProfileListFile odd = List();
    ASSERT_EQ(odd.Read(), ProfileListFile::Status::Ok);
    ASSERT_EQ(odd.Entries().size(), 3U);
    EXPECT_EQ(odd.Selected(), 0);  // 7 is no profile
    EXPECT_EQ(odd.ProfilePathAt(0), "");
    EXPECT_EQ(odd.ProfilePaths(),
              std::vector<std::string>{folder_ / "2021_01_01_00_00_00_000.Json"});

    // A list without profiles gets its first one; its other members stay.
    WriteText(folder_ / kProfileListFileName, R"({"profilelist": [], "keep": 1})");
    ASSERT_EQ(List().Init(), ProfileListFile::Status::Created);
    EXPECT_EQ(json::Int(ReadJsonFile(folder_ / kProfileListFileName)["keep"]), 1);
}

TEST_F(ProfileListFiles, WithoutAFactoryProfileNothingIsWritten) {
    ProfileListFile list(folder_.Path(), factory_ / "none.Json");
    EXPECT_EQ(list.Init(), ProfileListFile::Status::NoFactoryProfile);
    EXPECT_TRUE(folder_.Names().empty());
    EXPECT_EQ(list.Selected(), -1);
}

}  // namespace
}  // namespace vextar

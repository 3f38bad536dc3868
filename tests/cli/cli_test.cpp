#include "cli/cli.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "profile/file_helpers.h"
#include "profile/json_access.h"
#include "profile/paths.h"
#include "support/settings_files.h"

namespace vextar::cli {
namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome RunCli(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = Run(args, out, err);
    return {status, out.str(), err.str()};
}

std::string DataFile(const std::string& name) {
    return std::string(VEXTAR_TEST_DATA) + "/hid/" + name;
}

TEST(VextarctlHidDescribe, PrintsOneLinePerCollection) {
    const Outcome r = RunCli({"hid-describe", DataFile("command_interface.bin")});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(
        r.out,
        "collection 1 usage_page=0x0001 usage=0x0006 report_ids=1 input=9 output=0 feature=0\n"
        "collection 2 usage_page=0x0001 usage=0x0080 report_ids=2 input=2 output=0 feature=0\n"
        "collection 3 usage_page=0x000c usage=0x0001 report_ids=3 input=3 output=0 feature=0\n"
        "collection 4 usage_page=0xff1c usage=0x0092 report_ids=4 input=64 output=64 "
        "feature=0\n");
    const Outcome mouse = RunCli({"hid-describe", DataFile("boot_mouse.bin")});
    EXPECT_EQ(mouse.out,
              "collection 1 usage_page=0x0001 usage=0x0002 report_ids=none input=5 output=0 "
              "feature=0\n");
    const Outcome headset = RunCli({"hid-describe", DataFile("headset.bin")});
    EXPECT_NE(headset.out.find("report_ids=1,4,255 input=64 output=64"), std::string::npos);
}

TEST(VextarctlHidDescribe, RejectsMalformedAndMissingFiles) {
    const std::filesystem::path bad = std::filesystem::temp_directory_path() /
                                      ("vextar_bad_descriptor_" + std::to_string(::getpid()));
    {
        std::ofstream f(bad, std::ios::binary);
        const char bytes[] = {0x05, 0x01, 0x09, 0x02, static_cast<char>(0xA1), 0x01};
        f.write(bytes, sizeof bytes);
    }
    const Outcome malformed = RunCli({"hid-describe", bad.string()});
    std::filesystem::remove(bad);
    EXPECT_EQ(malformed.status, kExitUsage);
    EXPECT_TRUE(malformed.out.empty());
    EXPECT_NE(malformed.err.find("malformed report descriptor: "), std::string::npos);
    EXPECT_NE(malformed.err.find("never closed"), std::string::npos);

    EXPECT_EQ(RunCli({"hid-describe", "/nonexistent/descriptor.bin"}).status, kExitDeviceOrFile);
}

TEST(VextarctlHidList, ListsSimulatedDevices) {
    const Outcome r = RunCli({"--simulate", "all", "hid-list"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> all;
    for (std::string line; std::getline(lines, line);) {
        all.push_back(line);
    }
    // mouse 5 (boot mouse + 4 collections), keyboard 5, mouse pad 4, headset 1
    ASSERT_EQ(all.size(), 15U);
    EXPECT_EQ(all[4].substr(0, all[4].find(' ')).find("sim#vid_320f&pid_7074&mi_01&col04#"), 0U);
    EXPECT_NE(all[4].find(" 320f:7074 ff1c:0092 in=64 out=64 feat=0"), std::string::npos);

    const Outcome receiver = RunCli({"--simulate=mouse-receiver", "hid-list"});
    EXPECT_NE(receiver.out.find("320f:221d ff1c:0092"), std::string::npos);
}

TEST(VextarctlUsage, ReportsUsageErrorsWithStatus2) {
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{}, "no command"},
        {{"frobnicate"}, "unknown command"},
        {{"--bogus", "hid-list"}, "unknown option"},
        {{"--simulate"}, "needs a LIST"},
        {{"--simulate", "toaster", "hid-list"}, "unknown simulated device 'toaster'"},
        {{"hid-describe"}, "one FILE"},
        {{"hid-list", "extra"}, "no arguments"},
    };
    for (const Case& c : cases) {
        const Outcome r = RunCli(c.args);
        EXPECT_EQ(r.status, kExitUsage) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_EQ(RunCli({"--help"}).status, kExitOk);
    EXPECT_EQ(RunCli({"--version"}).out.rfind("vextarctl ", 0), 0U);
}

// A fresh per-user folder with the shipped factory data.
class VextarctlSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        paths::SetDataRoot(home_.Path());
        paths::SetDefaultDataFolder(VEXTAR_SOURCE_DEFAULT_DATA);
    }
    void TearDown() override {
        paths::SetDataRoot("");
        paths::SetDefaultDataFolder("");
    }
    test::TempFolder home_;
};

TEST_F(VextarctlSettings, ProfileShowPrintsTheFactoryProfileOnFirstUse) {
    const Outcome first = RunCli({"profile", "show", "mouse"});
    ASSERT_EQ(first.status, kExitOk) << first.err;
    Json::Value shown;
    ASSERT_TRUE(ParseJsonText(first.out, shown));
    const Json::Value factory =
        ReadJsonFile(std::string(VEXTAR_SOURCE_DEFAULT_DATA) + "/mouse.Json");
    EXPECT_EQ(shown["Device"], factory["Device"]);
    EXPECT_EQ(json::String(shown["profilename"]), "profile1");
    EXPECT_EQ(RunCli({"profile", "show", "MOUSE"}).out, first.out);
    EXPECT_EQ(RunCli({"profile", "show", "headset"}).status, kExitOk);

    // A damaged profile is kept aside, reported, and replaced by the factory
    // section.
    const std::string id = json::String(shown["profileUUID"]);
    const std::string path = home_.Path() + "mouse/" + id + ".Json";
    test::WriteText(path, "{\"Device\": [{\"LightInfo\": ");
    const Outcome damaged = RunCli({"profile", "show", "mouse"});
    EXPECT_EQ(damaged.status, kExitOk);
    EXPECT_NE(damaged.err.find("[message_file_kept_aside]"), std::string::npos) << damaged.err;
    EXPECT_NE(damaged.err.find(path + ".bad-"), std::string::npos);
    Json::Value again;
    ASSERT_TRUE(ParseJsonText(damaged.out, again));
    EXPECT_EQ(again["Device"], factory["Device"]);

    paths::SetDefaultDataFolder(home_.Path() + "nowhere");
    const Outcome noFactory = RunCli({"profile", "show", "keyboard"});
    EXPECT_EQ(noFactory.status, kExitDeviceOrFile);
    EXPECT_NE(noFactory.err.find("no factory profile"), std::string::npos);
}

TEST_F(VextarctlSettings, MacroCommandsKeepALibrary) {
    const std::string source = home_.Path() + "Fire.mac";
    test::WriteText(source, R"({"Events": [
        {"Type": 10, "Button": 4, "Action": "down", "Delay": "300"},
        {"Type": 10, "Button": 4, "Action": "up", "Delay": "70000"}], "Version": 64})");
    EXPECT_EQ(RunCli({"macro", "import", "keyboard", source}).out,
              "imported " + source + " as macro 0 'Fire'\n");
    EXPECT_EQ(RunCli({"macro", "import", "keyboard", source}).status, kExitOk);

    const Outcome list = RunCli({"macro", "list", "keyboard"});
    EXPECT_EQ(list.out.substr(0, 9), "0\tFire\t2\t");
    EXPECT_NE(list.out.find("\n1\tFire_1\t2\t"), std::string::npos);

    const Outcome show = RunCli({"macro", "show", "keyboard", "fire"});
    EXPECT_NE(show.out.find("0 type=10 button=4 action=down delay=300 device=2c 01 8a 04\n"),
              std::string::npos)
        << show.out;
    EXPECT_NE(show.out.find("1 type=10 button=4 action=up delay=65535 device=ff ff 0a 04\n"),
              std::string::npos);

    const std::string exported = home_.Path() + "out.mac";
    EXPECT_EQ(RunCli({"macro", "export", "keyboard", "Fire_1", exported}).status, kExitOk);
    EXPECT_EQ(test::ReadText(exported), test::ReadText(source));

    // A key of the profile plays Fire_1 (macro 1): deleting Fire renumbers it.
    ASSERT_EQ(RunCli({"profile", "show", "keyboard"}).status, kExitOk);
    const std::string folder = home_.Path() + "keyboard/";
    std::string profilePath;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".Json") {
            profilePath = entry.path().string();
        }
    }
    Json::Value profile = ReadJsonFile(profilePath);
    profile["Device"][0]["KeyList"][5]["Assignment"] = 0x700100;
    ASSERT_FALSE(WriteJsonFile(profilePath, profile));
    // A profile file the list does not name is renumbered too.
    profile["Device"][0]["KeyList"][6]["Assignment"] = 0x710003;
    ASSERT_FALSE(WriteJsonFile(folder + "unlisted.Json", profile));
    const Outcome deleted = RunCli({"macro", "delete", "keyboard", "Fire"});
    EXPECT_EQ(deleted.status, kExitOk) << deleted.err;
    EXPECT_EQ(deleted.out,
              "deleted macro 0 'Fire'; 2 of 2 profiles changed: 1 keys back to their factory "
              "assignment, 2 renumbered\n");
    EXPECT_EQ(json::Int(ReadJsonFile(profilePath)["Device"][0]["KeyList"][5]["Assignment"]),
              0x700000);
    const Json::Value unlisted = ReadJsonFile(folder + "unlisted.Json")["Device"][0]["KeyList"];
    EXPECT_EQ(json::Int(unlisted[5]["Assignment"]), 0x700000);
    EXPECT_EQ(unlisted[6]["Assignment"], unlisted[6]["DefaultAssignment"]);
    EXPECT_EQ(RunCli({"macro", "list", "keyboard"}).out.substr(0, 11), "0\tFire_1\t2\t");
}

TEST_F(VextarctlSettings, SettingsCommandsReportErrors) {
    test::WriteText(home_.Path() + "bad.mac", "{\"Events\": 3}");
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"profile"}, kExitUsage, "profile show TYPE"},
        {{"profile", "show", "toaster"}, kExitUsage, "unknown device type 'toaster'"},
        {{"macro", "list"}, kExitUsage, "macro list TYPE"},
        {{"macro", "list", "headset"}, kExitUsage, "keeps no macros"},
        {{"macro", "show", "mouse", "nothing"}, kExitUsage, "no such macro"},
        {{"macro", "delete", "mouse", "nothing"}, kExitUsage, "no such macro"},
        {{"macro", "import", "mouse", home_.Path() + "bad.mac"}, kExitUsage, "not a macro file"},
        {{"macro", "import", "mouse", home_.Path() + "none.mac"},
         kExitDeviceOrFile,
         "cannot be read"},
    };
    for (const Case& c : cases) {
        const Outcome r = RunCli(c.args);
        EXPECT_EQ(r.status, c.status) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace vextar::cli

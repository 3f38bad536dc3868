#include "profile/profile_data.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
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

Json::Value Parse(const std::string& text) {
    Json::Value value;
    EXPECT_TRUE(ParseJsonText(text, value)) << text;
    return value;
}

// A profile folder with a small factory profile.
class ProfileFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        factorySection_ = Parse(R"({
            "LightInfo": {"SelectItem": 2, "Light": 4, "Speed": 1, "Red": 255},
            "KeyList": [{"Assignment": 1048832, "DefaultAssignment": 1048832}],
            "DPIStages": {"StageActive": 1, "StageDPIs": [{"StageActive": 1, "StageDPIX": 7}]}
        })");
        Json::Value factory;
        factory["Device"][0] = factorySection_;
        factory["profilename"] = "factory";
        WriteText(FactoryPath(), StyledJsonText(factory));
    }

    [[nodiscard]] std::string FactoryPath() const { return folder_ / "factory.Json"; }
    [[nodiscard]] std::string ProfilePath() const { return folder_ / "p.Json"; }

    template <typename Profile>
    Profile Loaded(const std::string& text) {
        WriteText(ProfilePath(), text);
        Profile profile;
        profile.SetDefaultPath(FactoryPath());
        profile.SetProfilePath(ProfilePath());
        profile.LoadActiveSection(ProfilePath());
        return profile;
    }

    TempFolder folder_;
    Json::Value factorySection_;
};

TEST_F(ProfileFiles, FirstLoadWritesExactlyTheStyledFactorySection) {
    CBasicProfiledata profile;
    profile.SetDefaultPath(FactoryPath());
    profile.SetProfilePath(ProfilePath());
    EXPECT_EQ(profile.LoadActiveSection(ProfilePath()), factorySection_);
    Json::Value expected;
    expected["Device"][0] = factorySection_;
    EXPECT_EQ(ReadText(ProfilePath()), StyledJsonText(expected));

    // A file without a section is completed; what it held stays.
    WriteText(ProfilePath(), R"({"profilename": "Game", "Device": [null]})");
    profile.LoadActiveSection(ProfilePath());
    Json::Value completed = Parse(R"({"profilename": "Game"})");
    completed["Device"][0] = factorySection_;
    EXPECT_EQ(ReadText(ProfilePath()), StyledJsonText(completed));

    // With no factory profile either, nothing is written and getters give
    // their defaults.
    CMouseProfiledata bare;
    bare.SetDefaultPath(folder_ / "none.Json");
    EXPECT_TRUE(bare.LoadActiveSection(folder_ / "q.Json").isNull());
    EXPECT_FALSE(std::filesystem::exists(folder_ / "q.Json"));
    EXPECT_EQ(bare.GetLightInfo(), LightSetting{});
    EXPECT_TRUE(bare.GetKeyList().empty());
    EXPECT_FALSE(bare.Save());
}

TEST_F(ProfileFiles, SaveKeepsUnknownMembersAndOtherElements) {
    const std::string original = R"({
        "profilename": "Game", "profileUUID": "2021_03_04_05_06_07_089", "extra": [1, {"a": 2}],
        "Device": [
            {"LightInfo": {"Red": 1}, "Future": {"x": 1},
             "KeyList": [{"Assignment": 1, "DefaultAssignment": 1048832, "Note": "keep"}]},
            {"second": true}
        ]
    })";
    auto profile = Loaded<CMouseProfiledata>(original);
    LightSetting light;
    light.red = 9;
    profile.SetLightInfo(light);
    std::vector<KeyListEntry> keys = profile.GetKeyList();
    keys[0].current.SetPacked(0x130100);
    keys[0].defaults.SetPacked(0x200004);  // never written
    keys.push_back(keys[0]);               // a new element gets "Assignment" only
    profile.SetKeyList(keys);
    ASSERT_TRUE(profile.Save());

    Json::Value expected = Parse(original);
    Json::Value& section = expected["Device"][0];
    section["LightInfo"] = Parse(R"({"SelectItem": 0, "Light": 0, "Speed": 0, "Fx": 0,
        "MultiColor": 0, "Red": 9, "Green": 0, "Blue": 0, "ZZCCLedMode": 0, "CustomGroup": 0,
        "OldLedmode": 0})");
    section["KeyList"][0]["Assignment"] = 0x130100;
    section["KeyList"][1]["Assignment"] = 0x130100;
    EXPECT_EQ(ReadJsonFile(ProfilePath()), expected);

    // The other section goes to its own file and leaves the active one alone.
    const std::string otherPath = folder_ / "other.Json";
    WriteText(otherPath, original);
    profile.LoadOtherSection(otherPath);
    std::vector<KeyListEntry> other = profile.GetOtherKeyList();
    other[0].current = other[0].defaults;
    profile.SetOtherKeyList(other);
    ASSERT_TRUE(profile.SaveOtherSectionTo(otherPath));
    EXPECT_EQ(json::Int(ReadJsonFile(otherPath)["Device"][0]["KeyList"][0]["Assignment"]), 1048832);
    EXPECT_EQ(ReadJsonFile(ProfilePath()), expected);
}

TEST_F(ProfileFiles, ReadsNarrowBoolReadAndDefaultValues) {
    auto profile = Loaded<CMouseProfiledata>(R"({"Device": [{
        "LightInfo": {"SelectItem": 300, "Light": 2.9, "Speed": "3", "Fx": true,
                      "MultiColor": 7, "Red": -1, "Green": null, "Blue": 5000000000,
                      "CustomGroup": [1], "OldLedmode": 1e300},
        "LightList": [null, {"LEDDirection": 2, "LEDMultiColor": 0.5, "red": 10}, 5],
        "KeyList": [{"Assignment": 1048832, "DefaultAssignment": 1049088},
                    {"Assignment": "x"}, 7],
        "SystemStages": {"DoubleClickTime": 70000, "MouseSpeed": 10, "ScorllPage": 1,
                         "WheelScorlllinse": {}},
        "CorrectInfo": [{"CorrectPixThresh": 3, "CorrectSelect": 1, "CorrectName": 5},
                        {"CorrectName": "Ä"}]
    }]})");

    const LightSetting light = profile.GetLightInfo();
    EXPECT_EQ(light.mode, 44);       // 300 cut to a byte
    EXPECT_EQ(light.brightness, 2);  // cut toward zero
    EXPECT_EQ(light.speed, 0);       // a text is not a number
    EXPECT_EQ(light.direction, 1);
    EXPECT_EQ(light.multiColor, 1);  // bool-read
    EXPECT_EQ(light.red, 255);
    EXPECT_EQ(light.green, 0);
    EXPECT_EQ(light.blue, 0x00);  // 5000000000 = 0x12A05F200
    EXPECT_EQ(light.zzccLedMode, 0);
    EXPECT_EQ(light.customGroup, 0);
    EXPECT_EQ(light.previousMode, 0);

    const std::vector<LightSetting> list = profile.GetLightList();
    ASSERT_EQ(list.size(), 3U);
    EXPECT_EQ(list[0], LightSetting{});
    EXPECT_EQ(list[1].direction, 1);  // bool-read here
    EXPECT_EQ(list[1].multiColor, 1);
    EXPECT_EQ(list[1].red, 10);
    EXPECT_EQ(list[1].present, 1);
    EXPECT_EQ(list[2], LightSetting{});

    const std::vector<KeyListEntry> keys = profile.GetKeyList();
    ASSERT_EQ(keys.size(), 3U);
    EXPECT_EQ(keys[0].current.Packed(), 0x100100U);
    EXPECT_EQ(keys[0].defaults.Packed(), 0x100200U);
    EXPECT_EQ(keys[2].current.entry.Get(), 2);
    EXPECT_EQ(keys[2].defaults.entry.Get(), 2);
    EXPECT_EQ(keys[1].current.Packed(), 0U);

    const MouseSystemSettings system = profile.GetMouseSystemSettings();
    EXPECT_EQ(system, (MouseSystemSettings{70000 & 0xFFFF, 10, 0, 1, 0, 0}));

    const std::vector<CorrectionEntry> corrections = profile.GetCorrectionList();
    ASSERT_EQ(corrections.size(), 2U);
    EXPECT_EQ(corrections[0], (CorrectionEntry{3, 0, 1, ""}));
    EXPECT_EQ(corrections[1].name, "Ä");

    // Whole members of the wrong type read as defaults too.
    auto wrong = Loaded<CKeyboardProfiledata>(
        R"({"Device": [{"LightInfo": "abc", "KeyList": {"0": 1}, "AudioLightInfo": [1],
                        "SystemStages": 5, "CustomLightMode": "x"}]})");
    EXPECT_EQ(wrong.GetLightInfo(), LightSetting{});
    EXPECT_TRUE(wrong.GetKeyList().empty());
    EXPECT_EQ(wrong.GetAudioLightInfo(), AudioLightSetting{});
    EXPECT_EQ(wrong.GetKeyboardSystemSettings(), KeyboardSystemSettings{});
    EXPECT_EQ(wrong.GetCustomLightGroup(), 0);
}

// Damaged files give the factory profile, throw nothing and are kept aside
// byte for byte; files that only hold odd values are used as they are.
TEST_F(ProfileFiles, HostileFilesGiveDefaultsAndAreKeptAside) {
    struct Case {
        const char* name;
        std::string text;
        bool keptAside;
    };
    const std::string deep = std::string(5000, '[') + std::string(5000, ']');
    const Case cases[] = {
        {"truncated", R"({"Device": [{"LightInfo": {"Red": 1)", true},
        {"empty", "", true},
        {"Device not an array", R"({"Device": {"0": {}}})", true},
        {"section not an object", R"({"Device": ["text"]})", true},
        {"root an array", R"([{"Device": []}])", true},
        {"nesting 5000 deep", R"({"Device": [{"LightInfo": )" + deep + "}]}", true},
        {"byte-order mark", "\xEF\xBB\xBF{\"Device\": [{\"LightInfo\": {\"Red\": 7}}]}", false},
        {"wrong member types", R"({"Device": [{"LightInfo": 5, "KeyList": "x"}]})", false},
    };
    for (const Case& c : cases) {
        test::NoticeRecorder notices;
        for (const std::string& name : folder_.Names()) {
            if (name.find(".bad-") != std::string::npos) {
                std::filesystem::remove(folder_ / name);
            }
        }
        CKeyboardProfiledata profile;
        Json::Value section;
        EXPECT_NO_THROW({
            profile = Loaded<CKeyboardProfiledata>(c.text);
            section = profile.ActiveSection();
            profile.GetLightInfo();
            profile.GetKeyList();
            profile.GetCustomLightColors(0, 4);
        }) << c.name;
        std::vector<std::string> aside;
        for (const std::string& name : folder_.Names()) {
            if (name.rfind("p.Json.bad-", 0) == 0) {
                aside.push_back(name);
            }
        }
        if (c.keptAside) {
            EXPECT_EQ(section, factorySection_) << c.name;
            ASSERT_EQ(aside.size(), 1U) << c.name;
            EXPECT_EQ(ReadText(folder_ / aside[0]), c.text) << c.name;
            EXPECT_EQ(notices.Count(kMessageFileKeptAside), 1U) << c.name;
            EXPECT_EQ(ReadJsonFile(ProfilePath())["Device"][0], factorySection_) << c.name;
        } else {
            EXPECT_TRUE(aside.empty()) << c.name;
            EXPECT_TRUE(notices.notices.empty()) << c.name;
        }
    }
    auto bom = Loaded<CBasicProfiledata>(cases[6].text);
    EXPECT_EQ(bom.GetLightInfo().red, 7);

    // A 100 MB file is refused unread (it is sparse here).
    WriteText(ProfilePath(), "{}");
    ASSERT_EQ(::truncate(ProfilePath().c_str(), 100L * 1024 * 1024), 0);
    CBasicProfiledata huge;
    huge.SetDefaultPath(FactoryPath());
    EXPECT_EQ(huge.LoadActiveSection(ProfilePath()), factorySection_);
}

TEST_F(ProfileFiles, HugeIndexesSizeNothing) {
    auto profile = Loaded<CKeyboardProfiledata>(R"({"Device": [{"CustomLightMode": {
        "CustomLightModeGroupIndex": 4294967296000,
        "LightColorInfo": [[{"Red": 1, "Green": 2, "Blue": 3, "Alpha": 4}]]}}]})");
    EXPECT_EQ(profile.GetCustomLightGroup(), 0);
    const Json::Value before = profile.ActiveSection();
    EXPECT_EQ(profile.GetCustomLightColors(INT_MAX, 1000000), std::vector<LightColour>(170));
    EXPECT_FALSE(profile.SetCustomLightColors(std::vector<LightColour>(3), 16));
    EXPECT_FALSE(profile.SetCustomLightGroup(-1));
    EXPECT_EQ(profile.ActiveSection(), before);
    EXPECT_EQ(profile.GetCustomLightColors(0, 1)[0], (LightColour{1, 2, 3, 4}));
}

TEST_F(ProfileFiles, DpiStagesReadOverTheCache) {
    auto mouse = Loaded<CMouseProfiledata>(R"({"Device": [{"DPIStages": {"StageActive": 3,
        "StageDPIs": [{"StageDPIX": 1}, {"StageDPIX": 2}, {"StageDPIX": 3}, {"StageDPIX": 4},
                      {"StageDPIX": 5}, {"StageDPIX": 6}]}}]})");
    std::vector<DpiStage> five = mouse.GetDpiStages();
    ASSERT_EQ(five.size(), kMaxDpiStages);  // the sixth is beyond the device's stages
    EXPECT_EQ(mouse.GetActiveDpiStage(), 3);

    // Three stages from the file over five cached: five, the first three new.
    WriteText(ProfilePath(), R"({"Device": [{"DPIStages": {"StageActive": 9,
        "StageDPIs": [{"StageDPIX": 70000, "StageDPIY": 9, "StageXY": 1,
                       "StageColorR": 255}, {}, {}]}}]})");
    mouse.LoadActiveSection(ProfilePath());
    const std::vector<DpiStage> read = mouse.GetDpiStages();
    ASSERT_EQ(read.size(), 5U);
    EXPECT_EQ(read[0].dpiX.Get(), 70000 & 0xFFFF);
    EXPECT_EQ(read[0].dpiY.Get(), 9);
    EXPECT_EQ(read[0].xy, 1);
    EXPECT_EQ(read[0].red, 255);
    EXPECT_EQ(read[1].dpiX.Get(), 0);
    EXPECT_EQ(read[3].dpiX.Get(), 4);
    EXPECT_EQ(read[4].dpiX.Get(), 5);
    EXPECT_EQ(mouse.GetActiveDpiStage(), 0);  // 9 is no stage

    // Without "DPIStages" the cache stays.
    WriteText(ProfilePath(), R"({"Device": [{"LightInfo": {}}]})");
    mouse.LoadActiveSection(ProfilePath());
    EXPECT_EQ(mouse.GetDpiStages(), read);

    // Writing sets all seven members of every cached stage.
    mouse.SetDpiStages(read);
    EXPECT_TRUE(mouse.SetActiveDpiStage(4));
    EXPECT_FALSE(mouse.SetActiveDpiStage(5));
    const Json::Value& stage = mouse.ActiveSection()["DPIStages"]["StageDPIs"][4];
    EXPECT_EQ(stage.getMemberNames().size(), 7U);
    EXPECT_EQ(json::Int(stage["StageDPIX"]), 5);
    EXPECT_EQ(json::Int(mouse.ActiveSection()["DPIStages"]["StageActive"]), 4);
}

TEST_F(ProfileFiles, CustomColoursNeverStoredAreWrittenAsZeros) {
    auto keyboard = Loaded<CKeyboardProfiledata>(R"({"Device": [{"CustomLightMode": {
        "LightColorInfo": [[{"Red": 1, "Green": 2, "Blue": 3, "Alpha": 4}, null, 7]]}}]})");
    EXPECT_EQ(keyboard.GetCustomLightColors(2, 3), std::vector<LightColour>(3));
    const Json::Value& stored = keyboard.ActiveSection()["CustomLightMode"]["LightColorInfo"];
    ASSERT_EQ(stored[2].size(), 3U);
    EXPECT_EQ(stored[2][1], Parse(R"({"Red": 0, "Green": 0, "Blue": 0, "Alpha": 0})"));

    // Position by position within a stored group.
    const std::vector<LightColour> group0 = keyboard.GetCustomLightColors(0, 4);
    EXPECT_EQ(group0[0], (LightColour{1, 2, 3, 4}));
    EXPECT_EQ(group0[1], LightColour{});
    EXPECT_TRUE(stored[0][1].isObject());
    EXPECT_TRUE(stored[0][2].isObject());  // a wrong-typed element is replaced
    EXPECT_EQ(stored[0].size(), 4U);

    ASSERT_TRUE(keyboard.Save());
    EXPECT_EQ(ReadJsonFile(ProfilePath())["Device"][0]["CustomLightMode"]["LightColorInfo"][2],
              stored[2]);
}

TEST_F(ProfileFiles, HeadsetEqualiserSlots) {
    auto headset = Loaded<CHs6533Profiledata>(R"({"Device": [{
        "EQHzValueInfo": [null, [{"value": 1}, {"value": -2}], null, "x"],
        "CustomEQNameInfo": [{"Name": "Bass"}, {"Name": 3}],
        "SystemSetStages": {"CustomEqSeletIndex": -1, "EqType": 13, "MicInValue": 3000000000}
    }]})");
    const Json::Value before = headset.ActiveSection();
    EXPECT_TRUE(headset.GetEqValues(13).empty());
    headset.SetEqValues(13, std::vector<int>(10, 5));
    EXPECT_EQ(headset.ActiveSection(), before);

    const std::vector<int> slot1 = {1, -2, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(headset.GetEqValues(0), slot1);
    EXPECT_EQ(headset.GetEqValues(20), slot1);
    EXPECT_EQ(headset.GetEqValues(-4), slot1);
    EXPECT_EQ(headset.ActiveSection(), before);  // read where stored

    EXPECT_EQ(headset.GetEqValues(3), std::vector<int>(10, 0));  // "x" is replaced
    EXPECT_EQ(headset.ActiveSection()["EQHzValueInfo"][3].size(), 10U);
    headset.SetEqValues(12, std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    EXPECT_EQ(headset.GetEqValues(12), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));

    EXPECT_TRUE(headset.GetCustomEqValues(kMaxCustomEqualisers).empty());
    EXPECT_EQ(headset.GetCustomEqNames(), (std::vector<std::string>{"Bass", ""}));
    headset.SetCustomEqNames(std::vector<std::string>{"Voice"});
    EXPECT_EQ(headset.GetCustomEqNames(), std::vector<std::string>{"Voice"});

    const HeadsetSettings settings = headset.GetHeadsetSettings();
    EXPECT_EQ(settings[2], 13);
    EXPECT_EQ(settings[3], -1);
    EXPECT_EQ(settings[5], static_cast<int32_t>(3000000000U));
}

TEST_F(ProfileFiles, EffectStepsComeFromTheProfileFolderOnly) {
    auto profile = Loaded<CBasicProfiledata>(R"({"Device": [{"LightInfo": {"SelectItem": 1}}]})");
    const std::string config = folder_ / "zentor_light.config";
    WriteText(config, R"({"LightInfo": [[{"LightName": "a", "Guid": "../a"},
                                         {"LightName": "b", "Guid": "fx"}]]})");
    WriteText(folder_ / "fx.light", R"({"LEDEffectList": [
        {"LEDREGMode": 3, "LEDDirection": 2, "LEDMultiColor": 2, "red": 300, "Time": 1500,
         "Cyle": -1}]})");
    profile.SetLightConfigPath(config);
    profile.LoadLightConfig(config);
    EXPECT_TRUE(profile.GetEffectSteps().empty());  // no mode read yet: entry 0, "../a"

    profile.GetLightInfo();  // mode 1
    const std::vector<EffectStep> steps = profile.GetEffectSteps();
    ASSERT_EQ(steps.size(), 1U);
    EXPECT_EQ(steps[0].mode, 3);
    EXPECT_EQ(steps[0].direction, 2);  // not bool-read in effect files
    EXPECT_EQ(steps[0].multiColor, 2);
    EXPECT_EQ(steps[0].red, 44);
    EXPECT_EQ(steps[0].time, 1500);
    EXPECT_EQ(steps[0].cycle, -1);

    // A relative configuration path never reaches the current folder.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(folder_.Path());
    CBasicProfiledata relative;
    relative.SetLightConfigPath("zentor_light.config");
    relative.LoadLightConfig("zentor_light.config");
    relative.SetLightInfo(LightSetting{1});
    EXPECT_TRUE(relative.GetEffectSteps().empty());
    std::filesystem::current_path(cwd);
}

TEST_F(ProfileFiles, FailedAndUnsafeSavesChangeNothing) {
    test::NoticeRecorder notices;
    // Never loaded: refused.
    WriteText(ProfilePath(), R"({"Device": [{"LightInfo": {"Red": 1}}]})");
    CBasicProfiledata unloaded;
    unloaded.SetProfilePath(ProfilePath());
    unloaded.SetLightInfo(LightSetting{});
    EXPECT_FALSE(unloaded.Save());
    EXPECT_EQ(json::Int(ReadJsonFile(ProfilePath())["Device"][0]["LightInfo"]["Red"]), 1);

    // The folder is gone when the write happens: reported, false.
    auto profile = Loaded<CBasicProfiledata>(R"({"Device": [{}]})");
    const std::string moved = folder_ / "moved";
    std::filesystem::create_directory(moved);
    const std::string elsewhere = moved + "/sub/p.Json";
    profile.SetProfilePath(elsewhere);
    EXPECT_FALSE(profile.Save());
    EXPECT_EQ(notices.Count(kMessageFileWriteFailed), 1U);
    EXPECT_EQ(notices.notices.back().path, elsewhere);

    // A profile path that cannot be read is left alone: the factory section
    // is used in memory and nothing is written.
    std::filesystem::create_directory(folder_ / "dir.Json");
    CBasicProfiledata blocked;
    blocked.SetDefaultPath(FactoryPath());
    EXPECT_EQ(blocked.LoadActiveSection(folder_ / "dir.Json"), factorySection_);
    EXPECT_EQ(notices.Count(kMessageFileUnreadable), 1U);
    blocked.SetProfilePath(folder_ / "dir.Json");
    EXPECT_FALSE(blocked.Save());
    EXPECT_TRUE(std::filesystem::is_directory(folder_ / "dir.Json"));
}

}  // namespace
}  // namespace vextar

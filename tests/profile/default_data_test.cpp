// The factory data shipped in DefaultData/: every device's profile loads
// through its profile object with the values the device code expects.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "profile/default_light.h"
#include "profile/file_helpers.h"
#include "profile/json_access.h"
#include "profile/profile_data.h"
#include "support/settings_files.h"

namespace vextar {
namespace {

const std::string kDefaultData = VEXTAR_SOURCE_DEFAULT_DATA;

template <typename Profile>
Profile Factory(const std::string& typeName, test::TempFolder& folder) {
    Profile profile;
    profile.SetDefaultPath(kDefaultData + "/" + typeName + ".Json");
    profile.SetProfilePath(folder / (typeName + ".Json"));
    EXPECT_TRUE(profile.LoadActiveSection(folder / (typeName + ".Json")).isObject()) << typeName;
    return profile;
}

TEST(DefaultData, FactoryProfilesLoadWithTheDeviceValues) {
    test::TempFolder folder;
    auto mouse = Factory<CMouseProfiledata>("mouse", folder);
    const std::vector<KeyListEntry> mouseKeys = mouse.GetKeyList();
    ASSERT_EQ(mouseKeys.size(), 11U);
    EXPECT_EQ(mouseKeys[0].current.Packed(), 0x100100U);   // left button
    EXPECT_EQ(mouseKeys[1].defaults.Packed(), 0x100200U);  // right button
    EXPECT_EQ(mouseKeys[7].current.Packed(), 0x130300U);   // DPI loop
    const std::vector<DpiStage> stages = mouse.GetDpiStages();
    ASSERT_EQ(stages.size(), 5U);
    for (const DpiStage& stage : stages) {
        EXPECT_EQ(stage.active, 1);
        EXPECT_EQ(stage.dpiX, stage.dpiY);
    }
    EXPECT_EQ(mouse.GetActiveDpiStage(), 1);
    EXPECT_EQ(mouse.GetMouseSystemSettings()[4], 3);  // wheel scroll lines

    auto keyboard = Factory<CKeyboardProfiledata>("keyboard", folder);
    const std::vector<KeyListEntry> keys = keyboard.GetKeyList();
    ASSERT_EQ(keys.size(), 170U);
    EXPECT_EQ(keys[0].defaults.Packed(), 0x200029U);    // Esc
    EXPECT_EQ(keys[64].defaults.Packed(), 0x200004U);   // A
    EXPECT_EQ(keys[110].defaults.Packed(), 0xA00100U);  // Fn
    EXPECT_EQ(keys[124].defaults.Packed(), 0xD0A205U);  // M5
    EXPECT_EQ(keys[169].defaults.Packed(), 0x200000U);  // no key
    EXPECT_EQ(keyboard.GetKeyboardSystemSettings()[1], 1);

    auto headset = Factory<CHs6533Profiledata>("HD", folder);
    EXPECT_EQ(headset.GetEqValues(1), (std::vector<int>{7, 11, 2, -3, -1, 4, 9, 12, 9, 5}));
    EXPECT_EQ(headset.GetEqValues(12), (std::vector<int>{2, 1, -2, -4, -8, 4, 12, 16, 18, 15}));
    EXPECT_EQ(headset.GetHeadsetSettings()[3], -1);

    auto pad = Factory<CBasicProfiledata>("MousePad", folder);
    EXPECT_EQ(pad.GetLightInfo().brightness, 4);
}

TEST(DefaultData, LightModeListsMatchTheDevices) {
    const Json::Value light = ReadJsonFile(kDefaultData + "/" + kDefaultLightFileName);
    struct Model {
        int index;
        std::size_t modes;
        const char* profile;
    };
    for (const Model m :
         {Model{kLightModelKeyboard, 31, "keyboard"}, Model{kLightModelMouse, 12, "mouse"},
          Model{kLightModelMousePad, 9, "MousePad"}, Model{kLightModelHeadset, 9, "HD"}}) {
        const std::vector<LightModeName> modes = ReadDefaultLightNames(light, m.index);
        ASSERT_EQ(modes.size(), m.modes) << m.profile;
        std::set<int> codes;
        for (const LightModeName& mode : modes) {
            EXPECT_EQ(mode.name.rfind("light_mode_", 0), 0U);
            codes.insert(mode.value);
        }
        EXPECT_EQ(codes.size(), modes.size()) << m.profile << ": one code per mode";
        // The factory profile starts in a mode the device offers.
        const Json::Value profile = ReadJsonFile(kDefaultData + "/" + m.profile + ".Json");
        const int64_t selected = json::Int(profile["Device"][0]["LightInfo"]["SelectItem"]);
        ASSERT_LT(selected, static_cast<int64_t>(modes.size()));
        EXPECT_TRUE(modes[static_cast<std::size_t>(selected)].visible) << m.profile;
    }
    EXPECT_EQ(ReadAreaLightNames(light, kLightModelKeyboard).size(), 4U);
}

}  // namespace
}  // namespace vextar

// Profile files come from disk, hand edits and other installations: load
// any bytes as a profile (and as a light configuration), read every setting
// through the profile objects, save, and check the result is a whole
// profile document again.

#include <cstdint>
#include <string>

#include "fuzz_settings.h"
#include "profile/file_helpers.h"
#include "profile/json_access.h"
#include "profile/profile_data.h"

namespace {

using namespace vextar;

const fuzz::ScratchFolder& Folder() {
    static const fuzz::ScratchFolder folder;
    static const bool factory = [] {
        const std::string text =
            R"({"Device": [{"LightInfo": {"SelectItem": 1}, "KeyList": [{"Assignment": 1}]}]})";
        folder.Write("factory.Json", reinterpret_cast<const uint8_t*>(text.data()), text.size());
        return true;
    }();
    (void)factory;
    return folder;
}

void ReadEverything(CBasicProfiledata& profile) {
    profile.GetLightInfo();
    profile.GetAudioLightInfo();
    profile.GetLightList();
    profile.GetKeyList();
    profile.GetEffectSteps();
}

template <typename Profile>
void Exercise(Profile& profile);

template <>
void Exercise(CBasicProfiledata& profile) {
    ReadEverything(profile);
}

template <>
void Exercise(CMouseProfiledata& profile) {
    ReadEverything(profile);
    const std::vector<DpiStage> stages = profile.GetDpiStages();
    fuzz::Check(stages.size() <= kMaxDpiStages);
    fuzz::Check(profile.GetActiveDpiStage() >= 0 &&
                profile.GetActiveDpiStage() < static_cast<int>(kMaxDpiStages));
    profile.SetDpiStages(stages);
    profile.GetMouseSystemSettings();
    profile.GetCorrectionList();
}

template <>
void Exercise(CKeyboardProfiledata& profile) {
    ReadEverything(profile);
    profile.GetKeyboardSystemSettings();
    const int group = profile.GetCustomLightGroup();
    fuzz::Check(group >= 0 && group < kMaxCustomLightGroups);
    profile.SetCustomLightColors(profile.GetCustomLightColors(group, 8), group);
    profile.GetCustomLightColors(profile.GetLightInfo().customGroup, 3);
}

template <>
void Exercise(CHs6533Profiledata& profile) {
    ReadEverything(profile);
    const HeadsetSettings settings = profile.GetHeadsetSettings();
    profile.GetEqValues(settings[2]);
    profile.GetCustomEqValues(settings[3]);
    profile.SetCustomEqNames(profile.GetCustomEqNames());
}

template <typename Profile>
void Run(const uint8_t* data, std::size_t size) {
    const fuzz::ScratchFolder& folder = Folder();
    const std::string path = folder.Write("p.Json", data, size);
    const std::string config = folder.Write("zentor_light.config", data, size);
    Profile profile;
    profile.SetDefaultPath(folder.Path() + "factory.Json");
    profile.SetProfilePath(path);
    profile.SetLightConfigPath(config);
    profile.LoadActiveSection(path);
    profile.LoadLightConfig(config);
    Exercise(profile);
    LightSetting light = profile.GetLightInfo();
    profile.SetLightInfo(light);
    profile.SetKeyList(profile.GetKeyList());
    if (profile.Save()) {
        Json::Value saved;
        fuzz::Check(ParseJsonText(ReadTextFile(path), saved));
        fuzz::Check(IsProfileDocument(saved, 0));
        fuzz::Check(json::Element(json::Member(saved, "Device"), 0).isObject());
    }
    folder.Clear("factory.Json");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    switch (size % 4) {
        case 0:
            Run<CBasicProfiledata>(data, size);
            break;
        case 1:
            Run<CMouseProfiledata>(data, size);
            break;
        case 2:
            Run<CKeyboardProfiledata>(data, size);
            break;
        default:
            Run<CHs6533Profiledata>(data, size);
            break;
    }
    return 0;
}

#pragma once

// The profile objects. A profile object holds two sections of a profile
// document in memory, the active section (the profile in use) and the other
// section (a second profile edited in the background), converts between
// them and the fixed records of profile_records.h, and writes sections back
// into their files. Setters change only the section in memory; nothing
// reaches the disk before Save, SaveSectionTo or SaveOtherSectionTo.
//
// A profile document is a JSON object whose "Device"[device index] is the
// section; other members and other elements stay when a section is written
// back. Getters never fail: a missing member, or one of the wrong type,
// reads as its default.
//
// One thread at a time per object; the objects hold no locks.

#include <json/json.h>

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "profile/profile_records.h"

namespace vextar {

// A document this program can use as a profile: an object whose "Device" is
// absent or an array, with "Device"[index] absent, null or an object.
// Anything else is damaged and kept aside rather than overwritten.
bool IsProfileDocument(const Json::Value& document, int deviceIndex);

// The "KeyList" of a section, at most kMaxKeyListEntries entries, and its
// write-back ("Assignment" only; "DefaultAssignment" stays as it is).
std::vector<KeyListEntry> ReadKeyList(const Json::Value& section);
void WriteKeyList(Json::Value& section, std::span<const KeyListEntry> keys);

class CBasicProfiledata {
  public:
    CBasicProfiledata() = default;
    virtual ~CBasicProfiledata() = default;
    CBasicProfiledata(const CBasicProfiledata&) = default;
    CBasicProfiledata& operator=(const CBasicProfiledata&) = default;

    // Writing. Each returns true when the file was written. A failure is
    // told to the user (kMessageFileWriteFailed) and leaves the file as it
    // was. Save refuses before a section was loaded, and a null section is
    // never written over a stored one.
    virtual bool Save();
    virtual bool SaveSectionTo(const Json::Value& section, const std::string& path);
    virtual bool SaveOtherSectionTo(const std::string& path);
    virtual bool WriteDocumentTo(const Json::Value& document, const std::string& path);

    // An empty path leaves the profile and default paths unchanged.
    void SetProfilePath(const std::string& path);
    [[nodiscard]] const std::string& GetProfilePath() const { return profilePath_; }
    void SetDefaultPath(const std::string& path);
    [[nodiscard]] const std::string& GetDefaultPath() const { return defaultPath_; }
    void SetLightConfigPath(const std::string& path) { lightConfigPath_ = path; }
    [[nodiscard]] const std::string& GetLightConfigPath() const { return lightConfigPath_; }
    // 0..kMaxDeviceIndex; false (and nothing changed) otherwise.
    bool SetDeviceIndex(int index);
    [[nodiscard]] int GetDeviceIndex() const { return deviceIndex_; }

    // Loads "Device"[index] of the file. A missing section (no file, or the
    // file has none) is taken from the factory default file and the file is
    // written with it at once. A damaged file is kept aside first; a file
    // that cannot be read is left alone and the defaults stay in memory.
    Json::Value LoadActiveSection(const std::string& path);
    Json::Value LoadOtherSection(const std::string& path);
    // The light configuration document (read only); null when unreadable.
    Json::Value LoadLightConfig(const std::string& path);

    [[nodiscard]] const Json::Value& ActiveSection() const { return active_; }
    [[nodiscard]] const Json::Value& OtherSection() const { return other_; }

    LightSetting GetLightInfo();
    void SetLightInfo(const LightSetting& light);
    AudioLightSetting GetAudioLightInfo();
    void SetAudioLightInfo(const AudioLightSetting& audio);
    // At most kMaxLightZones records; a null element reads as zeros with
    // present flag 0.
    std::vector<LightSetting> GetLightList();
    // The steps of the custom effect at the light configuration's position
    // equal to the mode of the last LightSetting read or written. The effect
    // file ("<Guid>.light") is looked up in the folder of the light
    // configuration file, never in the current folder.
    std::vector<EffectStep> GetEffectSteps();
    std::vector<KeyListEntry> GetKeyList();
    std::vector<KeyListEntry> GetOtherKeyList();
    void SetKeyList(std::span<const KeyListEntry> keys);
    void SetOtherKeyList(std::span<const KeyListEntry> keys);

  protected:
    Json::Value active_;
    Json::Value other_;
    int deviceIndex_ = 0;

  private:
    Json::Value LoadSection(const std::string& path);
    bool SaveRefused(const Json::Value& section, const char* what) const;

    std::string profilePath_;
    std::string defaultPath_;
    std::string lightConfigPath_;
    bool activeLoaded_ = false;
    Json::Value lightConfig_;

    LightSetting lastLight_{};
    AudioLightSetting audioLight_{};
    std::vector<LightSetting> lightList_;
    std::vector<EffectStep> effectSteps_;
    std::vector<KeyListEntry> keyList_;
    std::vector<KeyListEntry> otherKeyList_;
};

class CMouseProfiledata : public CBasicProfiledata {
  public:
    // Records read overwrite the cached stages position by position (at most
    // kMaxDpiStages); cached stages beyond them stay. With no "DPIStages"
    // the cache is left as it is.
    std::vector<DpiStage> GetDpiStages();
    void SetDpiStages(std::span<const DpiStage> stages);
    // The cached index (0..kMaxDpiStages-1).
    [[nodiscard]] int GetActiveDpiStage() const { return activeDpiStage_; }
    // Out of range: false, nothing changed.
    bool SetActiveDpiStage(int index);
    MouseSystemSettings GetMouseSystemSettings();
    void SetMouseSystemSettings(const MouseSystemSettings& settings);
    std::vector<CorrectionEntry> GetCorrectionList();

  private:
    std::vector<DpiStage> dpiStages_;
    int activeDpiStage_ = 0;
    MouseSystemSettings systemSettings_{};
    std::vector<CorrectionEntry> corrections_;
};

class CKeyboardProfiledata : public CBasicProfiledata {
  public:
    KeyboardSystemSettings GetKeyboardSystemSettings();
    void SetKeyboardSystemSettings(const KeyboardSystemSettings& settings);
    // `count` colours of a custom light group (at most kMaxLightZones);
    // positions never stored are written into the section as zeros. A group
    // outside 0..kMaxCustomLightGroups-1 gives zeros and writes nothing.
    std::vector<LightColour> GetCustomLightColors(int group, std::size_t count);
    bool SetCustomLightColors(std::span<const LightColour> colours, int group);
    // 0 when absent or out of range.
    int GetCustomLightGroup();
    bool SetCustomLightGroup(int group);

  private:
    KeyboardSystemSettings systemSettings_{};
    std::vector<LightColour> customColours_;
    int customGroup_ = 0;
};

class CHs6533Profiledata : public CBasicProfiledata {
  public:
    HeadsetSettings GetHeadsetSettings();
    void SetHeadsetSettings(const HeadsetSettings& settings);
    // Equaliser type → slot of "EQHzValueInfo": 1..12 their own slot, 13
    // (custom) none (empty result, nothing written), any other value slot 1.
    std::vector<int> GetEqValues(int type);
    void SetEqValues(int type, std::span<const int> values);
    std::vector<std::string> GetCustomEqNames();
    void SetCustomEqNames(std::span<const std::string> names);
    // User equaliser 0..kMaxCustomEqualisers-1; others give an empty list
    // and write nothing.
    std::vector<int> GetCustomEqValues(int number);
    void SetCustomEqValues(int number, std::span<const int> values);

  private:
    HeadsetSettings settings_{};
};

}  // namespace vextar

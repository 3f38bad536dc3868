#pragma once

// Named settings of the user that belong to no device: the interface
// language and the like. CFileSettingsStore keeps them in one JSON document,
// "settings.json", in the per-user settings folder (paths::ConfigRoot()).

#include <json/json.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vextar {

inline constexpr const char* kSettingsFileName = "settings.json";

// The interface language: the "Language_ID" of the chosen language.
inline constexpr std::string_view kLanguageSetting = "LANGUAGE";

class ISettingsStore {
  public:
    virtual ~ISettingsStore() = default;
    // The stored integer, or nothing when there is none or it is not an
    // integer.
    [[nodiscard]] virtual std::optional<int64_t> GetInt(std::string_view name) const = 0;
    // Stores a value. False, with the reason in `error` when given, when it
    // could not be kept; the stored values are then as they were.
    virtual bool SetInt(std::string_view name, int64_t value, std::string* error) = 0;
};

class CFileSettingsStore final : public ISettingsStore {
  public:
    // `folder` holds "settings.json"; empty means paths::ConfigRoot().
    explicit CFileSettingsStore(std::string folder = {});

    [[nodiscard]] std::optional<int64_t> GetInt(std::string_view name) const override;
    // Writes the whole document atomically, making the folder when missing.
    // A failure is also told to the user (kMessageFileWriteFailed).
    bool SetInt(std::string_view name, int64_t value, std::string* error) override;

    [[nodiscard]] std::string FilePath() const { return folder_ + kSettingsFileName; }

  private:
    // Reads the file on first use. A damaged file is kept aside and the
    // store starts empty; a file that cannot be read makes the store
    // read-only (`unusable_`), so that it is never written over.
    void LoadLocked() const;

    std::string folder_;
    mutable std::mutex mutex_;
    mutable bool loaded_ = false;
    mutable bool unusable_ = false;
    mutable Json::Value document_;
};

}  // namespace vextar

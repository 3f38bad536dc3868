#pragma once

// The host light effects: the shared tables and the steps that compute a
// device's zone frame. Every step is a function of (parameters, state,
// time, random source) and writes only the frame it is given, so tests run
// any number of steps without a thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <random>
#include <span>
#include <vector>

#include "profile/profile_records.h"

namespace vextar::light {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// ---- tables ----
// 256 entries; 0..191 one turn, 192..255 repeat 0..63.
const std::array<Rgb, 256>& ColourWheel();
inline constexpr std::array<Rgb, 4> kFourColour = {
    {{0, 255, 180}, {0, 255, 0}, {255, 255, 255}, {255, 0, 0}}};
const std::array<uint8_t, 128>& BreathingCurve();
const std::array<uint8_t, 96>& ShortBreathingCurve();
inline constexpr std::array<uint8_t, 5> kBrightnessLevels = {0, 80, 135, 195, 255};
inline constexpr std::array<uint8_t, 5> kFlashPeriods = {8, 6, 4, 2, 1};  // × 200 ms
inline constexpr std::array<uint8_t, 5> kStepIntervals = {8, 6, 4, 2, 1};
inline constexpr std::array<uint8_t, 5> kStreakIntervals = {16, 12, 8, 4, 2};  // mode 5
inline constexpr int64_t kFlashUnitMs = 200;

// Levels come from device bytes and files: anything above 4 counts as 4.
inline constexpr uint8_t Level4(uint8_t v) {
    return v > 4 ? 4 : v;
}
inline constexpr uint8_t BrightnessLevel(uint8_t level) {
    return kBrightnessLevels[Level4(level)];
}

// Groups of zones lit alike, in order.
using ZoneGroup = std::vector<int>;
const std::vector<ZoneGroup>& MouseZoneGroups();

// The effect modes of the mouse and the mouse pad.
enum Mode : uint8_t {
    kModeWave = 0,
    kModeSpectrum = 1,
    kModeBreathing = 2,
    kModeStatic = 3,
    kModeFlash = 4,
    kModeStreak = 5,
    kModeReactive = 6,
    kModeBreathingFourColour = 7,
    kModeFlashFourColour = 8,
    kModeOff = 10,
};

// Phase counting: 0 … limit−1, wrapping in either direction.
uint8_t Ring(uint8_t direction, uint8_t limit, uint8_t position, uint8_t step);

// ---- frame ----
// The zone frame: one atomic entry per zone, red | green << 8 | blue << 16 |
// alpha << 24, so a reader never sees half an entry.
class FrameView {
  public:
    FrameView() = default;
    FrameView(std::atomic<uint32_t>* entries, int count) : entries_(entries), count_(count) {}
    [[nodiscard]] int Count() const { return count_; }
    void Set(int zone, Rgb colour, uint8_t alpha) const;
    void SetAll(Rgb colour, uint8_t alpha) const;
    [[nodiscard]] uint32_t Get(int zone) const;
    [[nodiscard]] Rgb ColourOf(int zone) const;

    static uint32_t Pack(Rgb c, uint8_t alpha) {
        return c.r | (static_cast<uint32_t>(c.g) << 8) | (static_cast<uint32_t>(c.b) << 16) |
               (static_cast<uint32_t>(alpha) << 24);
    }

  private:
    std::atomic<uint32_t>* entries_ = nullptr;
    int count_ = 0;
};

// ---- state ----
struct EffectState {
    uint8_t phase = 0;
    uint8_t colourIndex = 0;
    uint8_t flashToggle = 0;
    int64_t lastToggleMs = 0;
    std::array<uint8_t, 170> fade{};
    std::array<uint8_t, 170> randomIndex{};
    std::array<uint8_t, 170> burst{};  // 0 idle, 1 rising, 2 falling
    std::array<uint8_t, 23> ring{};
};

// ---- steps of every device ----
void StepBreathing(const LightSetting& p, EffectState& s, const FrameView& f);
void StepBreathingFourColour(const LightSetting& p, EffectState& s, const FrameView& f);
void StepStatic(const LightSetting& p, const FrameView& f);
void StepSpectrum(const LightSetting& p, EffectState& s, const FrameView& f);
void StepFlash(const LightSetting& p, EffectState& s, const FrameView& f, int64_t nowMs);
void StepFlashFourColour(const LightSetting& p, EffectState& s, const FrameView& f, int64_t nowMs);
void StepOff(const FrameView& f);

// ---- steps of the mouse and the mouse pad ----
void StepWave(const LightSetting& p, EffectState& s, const FrameView& f,
              std::span<const ZoneGroup> groups);
void StepStreak(const LightSetting& p, EffectState& s, const FrameView& f,
                std::span<const ZoneGroup> groups);
void StepReactive(const LightSetting& p, EffectState& s, const FrameView& f);
// Only in mode 6: the zone lights up in a random colour and fades.
void TriggerBurst(const LightSetting& p, EffectState& s, int zone, std::minstd_rand& random);

// ---- helpers ----
// One fade step of a fade byte.
uint8_t FadeStep(uint8_t v, int mode);
void FadeZone(EffectState& s, int zone, int mode);
void ArmFirstZones(EffectState& s);
void RotateRing(EffectState& s, int direction);
void ResetEffectBuffers(EffectState& s);

// ---- per-zone effect list ----
// Entry i of a profile's light list drives zone i; the rules write only the
// zones whose entry has their effect.
class ZoneEffectList {
  public:
    enum Effect : uint8_t { kBreathing = 0, kStatic = 1, kBlink = 2, kHueCycle = 3, kOff = 4 };

    void Breathing(std::span<const LightSetting> list, bool initialise, const FrameView& f);
    void Static(std::span<const LightSetting> list, const FrameView& f);
    void Blink(std::span<const LightSetting> list, bool initialise, const FrameView& f,
               int64_t nowMs);
    void HueCycle(std::span<const LightSetting> list, bool initialise, const FrameView& f);
    void Off(std::span<const LightSetting> list, const FrameView& f);
    // All five in order.
    void RunAll(std::span<const LightSetting> list, bool initialise, const FrameView& f,
                int64_t nowMs);

  private:
    struct Zone {
        uint8_t phase = 0;
        uint8_t colourIndex = 0;
        uint8_t toggle = 0;
        int64_t toggleMs = 0;
        int64_t blinkPeriodMs = 0;
        uint8_t counter = 0;
        uint8_t interval = 8;
        uint8_t hue = 0;
    };
    std::array<Zone, 170> zones_{};
};

// ---- custom sequences ----
// Plays a custom light mode: each entry for its duration, then the next.
class CustomSequencePlayer {
  public:
    // Under the player's lock (also taken when a profile is applied).
    void SetEntries(std::vector<EffectStep> entries);
    [[nodiscard]] std::size_t EntryCount() const;
    [[nodiscard]] std::size_t CurrentIndex() const;
    // One pass. `device` gives the device's own speed level, which the flash
    // kind uses.
    void Pass(const LightSetting& device, const FrameView& f, int64_t nowMs);

  private:
    mutable std::mutex lock_;
    std::vector<EffectStep> entries_;
    std::size_t index_ = 0;
    bool started_ = false;
    int64_t switchMs_ = 0;
    uint8_t counter_ = 0;
    uint8_t phase_ = 0;
    uint8_t toggle_ = 0;
    int64_t toggleMs_ = 0;
    uint8_t flashIndex_ = 0;
    uint8_t breathColour_ = 0;
};

}  // namespace vextar::light

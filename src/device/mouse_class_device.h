#pragma once

// What the mouse and the mouse pad share: their own effect steps (wave,
// streak, reactive) over their zone groups, the per-zone effect list, the
// custom sequence player, and the effect engine thread that steps the
// current mode into the zone frame.

#include <chrono>
#include <mutex>
#include <random>
#include <span>
#include <vector>

#include "device/light_effects.h"
#include "device/varnic_usb_device.h"

namespace vextar {

class CMouseClassDevice : public CVarnicUSBDevice {
  public:
    // The engine's time step: the timer granularity the effect speeds were
    // tuned on (64 ticks a second).
    static constexpr std::chrono::microseconds kEngineQuantum{15625};
    static constexpr std::chrono::milliseconds kIdleWait{100};

    explicit CMouseClassDevice(std::shared_ptr<platform::IHidBackend> backend = nullptr);
    ~CMouseClassDevice() override;

    // Their own steps, after the base's operations.
    virtual void StepWave();
    virtual void StepStreak();
    virtual void StepReactive();
    // Mode 6: every zone lights up in a random colour.
    void TriggerBurst(int zone);
    void TriggerBurstAll();
    // Seeds the random colours of the reactive mode (tests).
    void SeedRandom(uint32_t seed);

    // The zone groups of this device (the mouse's seven by default).
    void SetZoneGroups(std::vector<light::ZoneGroup> groups);
    [[nodiscard]] std::span<const light::ZoneGroup> ZoneGroups() const { return groups_; }

    // The effect engine.
    void StartEffectThread();
    void StopEffectThread();
    [[nodiscard]] bool EffectThreadRunning() const { return effectThread_.Running(); }
    // One pass of the engine at a time: counts a tick when the clock moved,
    // and runs the current mode's step when its interval is reached. False
    // when the engine has nothing to do (link closed).
    bool EffectPass(int64_t nowMs);
    [[nodiscard]] uint32_t TickCount() const { return ticks_; }
    [[nodiscard]] uint64_t StepsRun() const { return stepsRun_.load(); }

    // The per-zone effect list and the custom sequence.
    void SetZoneEffects(std::vector<LightSetting> list);
    void RunZoneEffects(bool initialise);
    [[nodiscard]] light::CustomSequencePlayer& Player() { return player_; }

  protected:
    // The step interval of a mode at a speed level, in counted ticks.
    [[nodiscard]] static uint8_t StepInterval(uint8_t mode, uint8_t speed);

    std::vector<light::ZoneGroup> groups_;
    light::ZoneEffectList zoneEffects_;
    std::vector<LightSetting> zoneList_;
    light::CustomSequencePlayer player_;
    std::minstd_rand random_{0x5EED};
    int64_t lastCountedUs_ = 0;
    uint32_t wakeQuanta_ = 1;  // the engine thread's next sleep
    bool counting_ = false;
    uint32_t ticks_ = 0;
    std::atomic<uint64_t> stepsRun_{0};
};

}  // namespace vextar

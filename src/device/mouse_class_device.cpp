#include "device/mouse_class_device.h"

#include <algorithm>

#include "platform/log.h"

namespace vextar {

CMouseClassDevice::CMouseClassDevice(std::shared_ptr<platform::IHidBackend> backend)
    : CVarnicUSBDevice(std::move(backend)), groups_(light::MouseZoneGroups()) {}

CMouseClassDevice::~CMouseClassDevice() {
    StopEffectThread();
}

void CMouseClassDevice::SetZoneGroups(std::vector<light::ZoneGroup> groups) {
    groups_ = std::move(groups);
}

void CMouseClassDevice::StepWave() {
    std::lock_guard lock(effectMutex_);
    light::StepWave(effect_, effectState_, Frame(), groups_);
}
void CMouseClassDevice::StepStreak() {
    std::lock_guard lock(effectMutex_);
    light::StepStreak(effect_, effectState_, Frame(), groups_);
}
void CMouseClassDevice::StepReactive() {
    std::lock_guard lock(effectMutex_);
    light::StepReactive(effect_, effectState_, Frame());
}

void CMouseClassDevice::TriggerBurst(int zone) {
    std::lock_guard lock(effectMutex_);
    light::TriggerBurst(effect_, effectState_, zone, random_);
}

void CMouseClassDevice::TriggerBurstAll() {
    for (int z = 0; z < zoneCount_; ++z) {
        TriggerBurst(z);
    }
}

void CMouseClassDevice::SeedRandom(uint32_t seed) {
    std::lock_guard lock(effectMutex_);
    random_.seed(seed);
}

uint8_t CMouseClassDevice::StepInterval(uint8_t mode, uint8_t speed) {
    const uint8_t s = light::Level4(speed);
    return mode == light::kModeStreak ? light::kStreakIntervals[s] : light::kStepIntervals[s];
}

bool CMouseClassDevice::EffectPass(int64_t nowMs) {
    if (!commandLink_.open.load()) {
        return false;
    }
    if (commandLink_.effectsPaused.load()) {
        return true;
    }
    // Ticks are quanta of elapsed time: one whenever the clock moved on by
    // more than a millisecond, and one per whole quantum after a longer
    // sleep, so an engine that sleeps until its next step counts the same
    // ticks as one that wakes every quantum.
    const int64_t nowUs = nowMs * 1000;
    const int64_t quantumUs = kEngineQuantum.count();
    if (!counting_) {
        counting_ = true;
        lastCountedUs_ = nowUs;
    } else if (const int64_t elapsed = nowUs - lastCountedUs_; elapsed > 1000) {
        if (elapsed < quantumUs) {
            ++ticks_;
            lastCountedUs_ = nowUs;
        } else {
            const int64_t quanta = elapsed / quantumUs;
            ticks_ += static_cast<uint32_t>(std::min<int64_t>(quanta, 1 << 20));
            lastCountedUs_ += quanta * quantumUs;
        }
    }
    const LightSetting params = EffectParameters();
    const uint8_t mode = params.mode;
    const bool custom = mode > light::kModeFlashFourColour && mode != light::kModeOff;
    const uint8_t interval = StepInterval(mode, params.speed);
    auto step = [&](auto&& run) {
        if (ticks_ >= interval) {
            ticks_ = 0;
            run();
            stepsRun_.fetch_add(1);
        }
    };
    switch (mode) {
        case light::kModeWave:
            step([&] { StepWave(); });
            break;
        case light::kModeSpectrum:
            step([&] { StepSpectrum(); });
            break;
        case light::kModeBreathing:
            step([&] { StepBreathing(); });
            break;
        case light::kModeStatic:
            step([&] { StepStatic(); });
            break;
        case light::kModeFlash:
            step([&] { StepFlash(); });
            break;
        case light::kModeStreak:
            step([&] { StepStreak(); });
            break;
        case light::kModeReactive:
            step([&] { StepReactive(); });
            break;
        case light::kModeBreathingFourColour:
            step([&] { StepBreathingFourColour(); });
            break;
        case light::kModeFlashFourColour:
            step([&] { StepFlashFourColour(); });
            break;
        case light::kModeOff:
            step([&] { StepOff(); });
            break;
        default:
            // Custom modes: the sequence player, on every pass.
            player_.Pass(params, Frame(), nowMs);
            stepsRun_.fetch_add(1);
            break;
    }
    // Sleep until the next step is due; the player runs on every quantum.
    wakeQuanta_ = custom || ticks_ >= interval ? 1U : interval - ticks_;
    return true;
}

void CMouseClassDevice::StartEffectThread() {
    effectThread_.Start(typeName_ + " effects", [this](CDeviceThread& self) {
        for (;;) {
            const bool busy = EffectPass(clock_->NowMs());
            // Running: asleep until the next step is due; idle: a long nap.
            const std::chrono::nanoseconds wait =
                busy ? std::chrono::duration_cast<std::chrono::nanoseconds>(kEngineQuantum) *
                           wakeQuanta_
                     : std::chrono::duration_cast<std::chrono::nanoseconds>(kIdleWait);
            if (!self.Sleep(wait)) {
                break;
            }
        }
        VEXTAR_LOG_DEBUG("MS灯光线程设定退出");
    });
}

void CMouseClassDevice::StopEffectThread() {
    effectThread_.Stop(CDeviceThread::kEffectStopBound);
}

void CMouseClassDevice::SetZoneEffects(std::vector<LightSetting> list) {
    zoneList_ = std::move(list);
}

void CMouseClassDevice::RunZoneEffects(bool initialise) {
    zoneEffects_.RunAll(zoneList_, initialise, Frame(), clock_->NowMs());
}

}  // namespace vextar

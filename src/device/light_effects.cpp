#include "device/light_effects.h"

#include <algorithm>

namespace vextar::light {

namespace {

constexpr std::array<uint8_t, 32> kRise = {1,   3,   5,   7,   10,  14,  18,  22,  26,  32,  38,
                                           44,  50,  57,  65,  73,  81,  89,  99,  109, 119, 129,
                                           140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
constexpr std::array<uint8_t, 32> kFall = {248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124,
                                           114, 104, 94,  85,  77,  69,  61,  53,  47,  41,  35,
                                           29,  24,  20,  16,  12,  8,   6,   4,   2,   0};
constexpr std::array<uint8_t, 64> kBreathRise = {
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  12,  14,  16,  18,  20,
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
    77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
    158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};

uint8_t Scale(uint8_t value, uint8_t level) {
    return static_cast<uint8_t>(static_cast<unsigned>(value) * level / 256U);
}

Rgb ColourOf(const LightSetting& p) {
    return {p.red, p.green, p.blue};
}

}  // namespace

const std::array<Rgb, 256>& ColourWheel() {
    static const std::array<Rgb, 256> wheel = [] {
        std::array<Rgb, 256> w{};
        for (std::size_t k = 0; k < 32; ++k) {
            const uint8_t r = kRise[k];
            const uint8_t f = kFall[k];
            w[k] = {255, r, 0};
            w[32 + k] = {f, 255, 0};
            w[64 + k] = {0, 255, r};
            w[96 + k] = {0, f, 255};
            w[128 + k] = {r, 0, 255};
            w[160 + k] = {255, 0, f};
        }
        for (std::size_t i = 192; i < 256; ++i) {
            w[i] = w[i - 192];
        }
        return w;
    }();
    return wheel;
}

const std::array<uint8_t, 128>& BreathingCurve() {
    static const std::array<uint8_t, 128> curve = [] {
        std::array<uint8_t, 128> c{};
        for (std::size_t i = 0; i < 64; ++i) {
            c[i] = kBreathRise[i];
            c[127 - i] = kBreathRise[i];
        }
        return c;
    }();
    return curve;
}

const std::array<uint8_t, 96>& ShortBreathingCurve() {
    static const std::array<uint8_t, 96> curve = [] {
        std::array<uint8_t, 96> c{};
        for (std::size_t i = 0; i < 48; ++i) {
            c[i] = kBreathRise[16 + i];
            c[95 - i] = kBreathRise[16 + i];
        }
        return c;
    }();
    return curve;
}

const std::vector<ZoneGroup>& MouseZoneGroups() {
    static const std::vector<ZoneGroup> groups = {{0, 13}, {1, 12}, {2, 11},   {3, 10},
                                                  {4, 9},  {5, 8},  {6, 14, 7}};
    return groups;
}

uint8_t Ring(uint8_t direction, uint8_t limit, uint8_t position, uint8_t step) {
    if (direction != 0) {
        const auto next = static_cast<uint8_t>(position + step);
        return next >= limit ? 0 : next;
    }
    const auto next = static_cast<uint8_t>(position - step);
    return next >= limit ? static_cast<uint8_t>(limit - step) : next;
}

void FrameView::Set(int zone, Rgb c, uint8_t alpha) const {
    if (zone >= 0 && zone < count_) {
        entries_[zone].store(Pack(c, alpha), std::memory_order_relaxed);
    }
}

void FrameView::SetAll(Rgb c, uint8_t alpha) const {
    const uint32_t v = Pack(c, alpha);
    for (int z = 0; z < count_; ++z) {
        entries_[z].store(v, std::memory_order_relaxed);
    }
}

uint32_t FrameView::Get(int zone) const {
    return zone >= 0 && zone < count_ ? entries_[zone].load(std::memory_order_relaxed) : 0U;
}

Rgb FrameView::ColourOf(int zone) const {
    const uint32_t v = Get(zone);
    return {static_cast<uint8_t>(v & 0xFFU), static_cast<uint8_t>((v >> 8) & 0xFFU),
            static_cast<uint8_t>((v >> 16) & 0xFFU)};
}

// ---- steps of every device ----

void StepBreathing(const LightSetting& p, EffectState& s, const FrameView& f) {
    s.phase = Ring(p.direction, 128, s.phase, 1);
    if (s.phase == 0) {
        s.colourIndex = static_cast<uint8_t>(s.colourIndex + 16);
        if (s.colourIndex > 192) {
            s.colourIndex = 0;
        }
    }
    const Rgb colour = p.multiColor != 0 ? ColourWheel()[s.colourIndex] : ColourOf(p);
    f.SetAll(colour, Scale(BreathingCurve()[s.phase], BrightnessLevel(p.brightness)));
}

void StepBreathingFourColour(const LightSetting& p, EffectState& s, const FrameView& f) {
    s.phase = Ring(p.direction, 128, s.phase, 1);
    if (s.phase == 0) {
        s.colourIndex = static_cast<uint8_t>(s.colourIndex + 1);
    }
    if (s.colourIndex >= kFourColour.size()) {
        s.colourIndex = 0;
    }
    f.SetAll(kFourColour[s.colourIndex],
             Scale(BreathingCurve()[s.phase], BrightnessLevel(p.brightness)));
}

void StepStatic(const LightSetting& p, const FrameView& f) {
    f.SetAll(ColourOf(p), BrightnessLevel(p.brightness));
}

void StepSpectrum(const LightSetting& p, EffectState& s, const FrameView& f) {
    s.phase = Ring(p.direction, 192, s.phase, 1);
    f.SetAll(ColourWheel()[s.phase], BrightnessLevel(p.brightness));
}

namespace {

// The flash of both flash steps; `advance` moves the colour on a toggle.
template <typename Advance, typename Colour>
void Flash(const LightSetting& p, EffectState& s, const FrameView& f, int64_t nowMs,
           Advance advance, Colour colour) {
    const int64_t period = kFlashPeriods[Level4(p.speed)] * kFlashUnitMs;
    if (nowMs - s.lastToggleMs >= period) {
        s.flashToggle ^= 1U;
        s.lastToggleMs = nowMs;
        advance();
    }
    if (s.flashToggle != 0) {
        f.SetAll(colour(), BrightnessLevel(p.brightness));
    } else {
        f.SetAll({}, 0);
    }
}

}  // namespace

void StepFlash(const LightSetting& p, EffectState& s, const FrameView& f, int64_t nowMs) {
    Flash(
        p, s, f, nowMs,
        [&] {
            s.phase = static_cast<uint8_t>(s.phase + 16);
            if (s.phase >= 192) {
                s.phase = 0;
            }
        },
        [&] { return p.multiColor != 0 ? ColourWheel()[s.phase] : ColourOf(p); });
}

void StepFlashFourColour(const LightSetting& p, EffectState& s, const FrameView& f, int64_t nowMs) {
    Flash(
        p, s, f, nowMs,
        [&] {
            s.phase = static_cast<uint8_t>(s.phase + 1);
            if (s.phase > 3) {
                s.phase = 0;
            }
        },
        [&] { return kFourColour[s.phase > 3 ? 0 : s.phase]; });
}

void StepOff(const FrameView& f) {
    f.SetAll({}, 0);
}

// ---- steps of the mouse and the mouse pad ----

void StepWave(const LightSetting& p, EffectState& s, const FrameView& f,
              std::span<const ZoneGroup> groups) {
    const uint8_t level = BrightnessLevel(p.brightness);
    if (p.multiColor != 0) {
        s.phase = Ring(p.direction, 192, s.phase, 1);
        unsigned index = s.phase + 1U;
        if (index >= 192) {
            index = 0;
        }
        for (const ZoneGroup& g : groups) {
            for (int zone : g) {
                f.Set(zone, ColourWheel()[index], level);
            }
            index = (index + 7) % 192;
        }
        return;
    }
    s.phase = Ring(p.direction, 96, s.phase, 1);
    unsigned index = s.phase + 1U;
    if (index >= 96) {
        index = 0;
    }
    for (const ZoneGroup& g : groups) {
        for (int zone : g) {
            f.Set(zone, ColourOf(p), Scale(ShortBreathingCurve()[index], level));
        }
        index = (index + 7) % 96;
    }
}

void StepStreak(const LightSetting& p, EffectState& s, const FrameView& f,
                std::span<const ZoneGroup> groups) {
    const uint8_t level = BrightnessLevel(p.brightness);
    s.phase = Ring(p.direction, 192, s.phase, 1);
    ArmFirstZones(s);
    RotateRing(s, p.direction != 0 ? 1 : 0);
    for (std::size_t g = 0; g < groups.size() && g < s.fade.size(); ++g) {
        FadeZone(s, static_cast<int>(g), p.mode);
        Rgb colour = ColourOf(p);
        if (p.multiColor != 0) {
            s.phase = static_cast<uint8_t>((s.phase + 12U) % 192U);
            colour = ColourWheel()[s.phase];
            // While the streak's head is still lit, the groups keep their
            // colours.
            const std::size_t head =
                p.direction != 0 ? 0 : std::min<std::size_t>(6, groups.size() - 1);
            if (s.fade[head] != 0 && !groups[g].empty()) {
                colour = f.ColourOf(groups[g].front());
            }
        }
        const uint8_t alpha = Scale(s.fade[g], level);
        for (int zone : groups[g]) {
            f.Set(zone, colour, alpha);
        }
    }
}

void StepReactive(const LightSetting& p, EffectState& s, const FrameView& f) {
    const uint8_t level = BrightnessLevel(p.brightness);
    const int zones = std::min<int>(f.Count(), static_cast<int>(s.fade.size()));
    for (int z = 0; z < zones; ++z) {
        const auto i = static_cast<std::size_t>(z);
        if (s.burst[i] == 1) {
            s.fade[i] = static_cast<uint8_t>(std::min(s.fade[i] + 15, 255));
            if (s.fade[i] == 255) {
                s.burst[i] = 2;
            }
        } else if (s.burst[i] == 2) {
            s.fade[i] = static_cast<uint8_t>(std::max(s.fade[i] - 15, 0));
        }
        const Rgb colour = p.multiColor != 0 ? ColourWheel()[s.randomIndex[i] % 192U] : ColourOf(p);
        f.Set(z, colour, Scale(s.fade[i], level));
    }
}

void TriggerBurst(const LightSetting& p, EffectState& s, int zone, std::minstd_rand& random) {
    if (p.mode != kModeReactive || zone < 0 || zone >= static_cast<int>(s.fade.size())) {
        return;
    }
    const auto i = static_cast<std::size_t>(zone);
    s.burst[i] = 1;
    s.fade[i] = 255;
    s.randomIndex[i] = static_cast<uint8_t>(random() % 192U);
}

// ---- helpers ----

uint8_t FadeStep(uint8_t v, int mode) {
    int delta = 0;
    if (mode == 0) {
        if ((v & 0x80U) != 0) {
            delta = 40;
        } else if ((v & 0x40U) != 0) {
            delta = 30;
        } else if ((v & 0x20U) != 0) {
            delta = 15;
        } else if (v > 16) {
            delta = 8;
        } else if (v != 0) {
            delta = 1;
        }
    } else if (mode == 29) {
        if ((v & 0x90U) != 0) {
            delta = 45;
        } else if ((v & 0x80U) != 0) {
            delta = 40;
        } else if ((v & 0x70U) != 0) {
            delta = 35;
        } else if ((v & 0x60U) != 0) {
            delta = 30;
        } else if ((v & 0x50U) != 0) {
            delta = 25;
        } else if ((v & 0x40U) != 0) {
            delta = 20;
        } else if ((v & 0x20U) != 0) {
            delta = 10;
        } else if (v > 16) {
            delta = 5;
        } else if (v != 0) {
            delta = 1;
        }
    } else {
        if ((v & 0x80U) != 0) {
            delta = 40;
        } else if ((v & 0x40U) != 0) {
            delta = 30;
        } else if ((v & 0x20U) != 0) {
            delta = 10;
        } else if (v > 16) {
            delta = 8;
        } else if (v != 0) {
            delta = 1;
        }
    }
    // A fade never wraps round to bright: it stops at 0.
    return static_cast<uint8_t>(std::max(static_cast<int>(v) - delta, 0));
}

void FadeZone(EffectState& s, int zone, int mode) {
    if (zone >= 0 && zone < static_cast<int>(s.fade.size())) {
        s.fade[static_cast<std::size_t>(zone)] =
            FadeStep(s.fade[static_cast<std::size_t>(zone)], mode);
    }
}

void ArmFirstZones(EffectState& s) {
    for (std::size_t z = 0; z <= 8; ++z) {
        if (s.ring[z] != 0) {
            s.fade[z] = 255;
        }
    }
}

void RotateRing(EffectState& s, int direction) {
    if (direction != 0) {
        std::rotate(s.ring.rbegin(), s.ring.rbegin() + 1, s.ring.rend());
    } else {
        std::rotate(s.ring.begin(), s.ring.begin() + 1, s.ring.end());
    }
}

void ResetEffectBuffers(EffectState& s) {
    s.fade.fill(0);
    s.ring.fill(0);
}

// ---- per-zone effect list ----

namespace {

bool Enabled(const LightSetting& e) {
    return e.present != 0;
}

std::size_t ZonesOf(std::span<const LightSetting> list, const FrameView& f) {
    return std::min<std::size_t>({list.size(), static_cast<std::size_t>(f.Count()), 170});
}

}  // namespace

void ZoneEffectList::Breathing(std::span<const LightSetting> list, bool initialise,
                               const FrameView& f) {
    if (initialise) {
        for (Zone& z : zones_) {
            z.phase = 0;
            z.colourIndex = 0;
        }
    }
    for (std::size_t i = 0; i < ZonesOf(list, f); ++i) {
        const LightSetting& e = list[i];
        if (e.mode != kBreathing || !Enabled(e)) {
            continue;
        }
        Zone& z = zones_[i];
        z.phase = static_cast<uint8_t>(z.phase + Level4(e.speed) + 4);
        if ((z.phase & 0x80U) != 0) {
            z.phase = 0;
            // Round the wheel: after its last colour the first comes again.
            // (Stopping at 191 would leave the zone flickering between two
            // colours for ever.)
            z.colourIndex = static_cast<uint8_t>(z.colourIndex + 1);
            if (z.colourIndex > 191) {
                z.colourIndex = 0;
            }
        }
        const Rgb colour =
            e.multiColor != 0 ? ColourWheel()[z.colourIndex] : Rgb{e.red, e.green, e.blue};
        f.Set(static_cast<int>(i), colour,
              Scale(BreathingCurve()[z.phase & 0x7FU], BrightnessLevel(e.brightness)));
    }
}

void ZoneEffectList::Static(std::span<const LightSetting> list, const FrameView& f) {
    for (std::size_t i = 0; i < ZonesOf(list, f); ++i) {
        const LightSetting& e = list[i];
        if (e.mode == kStatic) {
            f.Set(static_cast<int>(i), {e.red, e.green, e.blue}, BrightnessLevel(e.brightness));
        }
    }
}

void ZoneEffectList::Blink(std::span<const LightSetting> list, bool initialise, const FrameView& f,
                           int64_t nowMs) {
    const std::size_t n = ZonesOf(list, f);
    if (initialise) {
        for (std::size_t i = 0; i < zones_.size(); ++i) {
            Zone& z = zones_[i];
            z.toggle = 0;
            z.toggleMs = 0;
            z.colourIndex = 0;
            const uint8_t speed = i < list.size() ? Level4(list[i].speed) : 0;
            z.blinkPeriodMs = kFlashPeriods[speed] * kFlashUnitMs;
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        const LightSetting& e = list[i];
        Zone& z = zones_[i];
        if (nowMs - z.toggleMs >= z.blinkPeriodMs) {
            z.toggle ^= 1U;
            z.toggleMs = nowMs;
            z.colourIndex = static_cast<uint8_t>(z.colourIndex + 14);
            if (z.colourIndex > 191) {
                z.colourIndex = 0;
            }
        }
        if (e.mode != kBlink) {
            continue;
        }
        if (z.toggle == 0) {
            f.Set(static_cast<int>(i), {}, 0);
        } else {
            const Rgb colour =
                e.multiColor != 0 ? ColourWheel()[z.colourIndex] : Rgb{e.red, e.green, e.blue};
            f.Set(static_cast<int>(i), colour, BrightnessLevel(e.brightness));
        }
    }
}

void ZoneEffectList::HueCycle(std::span<const LightSetting> list, bool initialise,
                              const FrameView& f) {
    if (initialise) {
        for (std::size_t i = 0; i < zones_.size(); ++i) {
            Zone& z = zones_[i];
            z.counter = 0;
            z.hue = 0;
            z.interval = kStepIntervals[i < list.size() ? Level4(list[i].speed) : 0];
        }
    }
    for (std::size_t i = 0; i < ZonesOf(list, f); ++i) {
        const LightSetting& e = list[i];
        if (e.mode != kHueCycle || !Enabled(e)) {
            continue;
        }
        Zone& z = zones_[i];
        z.counter = static_cast<uint8_t>(z.counter + 1);
        if (z.counter >= z.interval) {
            z.counter = 0;
            z.hue = static_cast<uint8_t>(z.hue + 1);
            if (z.hue > 191) {
                z.hue = 0;
            }
        }
        f.Set(static_cast<int>(i), ColourWheel()[z.hue], BrightnessLevel(e.brightness));
    }
}

void ZoneEffectList::Off(std::span<const LightSetting> list, const FrameView& f) {
    for (std::size_t i = 0; i < ZonesOf(list, f); ++i) {
        if (list[i].mode == kOff) {
            f.Set(static_cast<int>(i), {}, 0);
        }
    }
}

void ZoneEffectList::RunAll(std::span<const LightSetting> list, bool initialise, const FrameView& f,
                            int64_t nowMs) {
    Breathing(list, initialise, f);
    Static(list, f);
    Blink(list, initialise, f, nowMs);
    HueCycle(list, initialise, f);
    Off(list, f);
}

// ---- custom sequences ----

void CustomSequencePlayer::SetEntries(std::vector<EffectStep> entries) {
    std::lock_guard lock(lock_);
    entries_ = std::move(entries);
    index_ = 0;
}

std::size_t CustomSequencePlayer::EntryCount() const {
    std::lock_guard lock(lock_);
    return entries_.size();
}

std::size_t CustomSequencePlayer::CurrentIndex() const {
    std::lock_guard lock(lock_);
    return index_;
}

void CustomSequencePlayer::Pass(const LightSetting& device, const FrameView& f, int64_t nowMs) {
    EffectStep e;
    {
        std::lock_guard lock(lock_);
        if (index_ >= entries_.size()) {
            index_ = 0;
        }
        if (entries_.empty()) {
            StepOff(f);
            return;
        }
        e = entries_[index_];
    }
    if (!started_) {
        started_ = true;
        switchMs_ = nowMs;
    }
    counter_ = static_cast<uint8_t>(counter_ + 1);
    const uint8_t s = Level4(e.speed);
    const uint8_t level = BrightnessLevel(e.brightness);
    const Rgb colour{e.red, e.green, e.blue};
    const bool multi = e.multiColor != 0;
    switch (e.mode) {
        case 0: {  // breathing
            if (counter_ >= kStepIntervals[s]) {
                counter_ = 0;
                phase_ = static_cast<uint8_t>((phase_ + 1) % 128);
                // Multicolour breathing walks the wheel one sixteenth a
                // breath, as the device's own breathing does.
                if (multi && phase_ == 0) {
                    breathColour_ = static_cast<uint8_t>(breathColour_ + 16);
                    if (breathColour_ > 192) {
                        breathColour_ = 0;
                    }
                }
            }
            const Rgb c = multi ? ColourWheel()[breathColour_] : colour;
            f.SetAll(c, Scale(BreathingCurve()[phase_ % 128], level));
            break;
        }
        case 1:  // static
            if (counter_ >= kStepIntervals[s]) {
                counter_ = 0;
                phase_ = static_cast<uint8_t>((phase_ + 1) % 9);
            }
            f.SetAll(colour, level);
            break;
        case 2: {  // flash, at the device's own speed
            phase_ = static_cast<uint8_t>((phase_ + 1) % 128);
            if (counter_ >= kStepIntervals[s]) {
                counter_ = 0;
            }
            const int64_t period = kFlashPeriods[Level4(device.speed)] * kFlashUnitMs;
            if (nowMs - toggleMs_ >= period) {
                toggle_ ^= 1U;
                toggleMs_ = nowMs;
                flashIndex_ = static_cast<uint8_t>(phase_ + 14 >= 192 ? 0 : phase_ + 14);
            }
            if (toggle_ != 0) {
                f.SetAll(multi ? ColourWheel()[flashIndex_] : colour, level);
            } else {
                f.SetAll({}, 0);
            }
            break;
        }
        case 4: {  // wave
            if (counter_ >= kStepIntervals[s]) {
                counter_ = 0;
                phase_ = static_cast<uint8_t>((phase_ + 1) % 192);
            }
            const unsigned p = phase_ % 192U;
            unsigned d =
                e.direction == 0 ? (p + 1 == 192 ? 0 : p + 1) : (192 - p == 192 ? 191 : 192 - p);
            for (int z = 0; z < f.Count(); ++z) {
                if (multi) {
                    f.Set(z, ColourWheel()[d], level);
                    d = (d + 12) % 192;
                } else {
                    // The start index may lie beyond the short curve (the
                    // phase runs to 191): the first advance folds it in.
                    d = (d + 12) % 96;
                    f.Set(z, colour, Scale(ShortBreathingCurve()[d], level));
                }
            }
            break;
        }
        case 5: {  // spectrum
            static constexpr std::array<uint8_t, 5> kSpectrumIntervals = {8, 5, 3, 1, 0};
            if (kSpectrumIntervals[s] == 0 || counter_ >= kSpectrumIntervals[s]) {
                counter_ = 0;
                phase_ = static_cast<uint8_t>((phase_ + 1) % 192);
            }
            f.SetAll(ColourWheel()[phase_ % 192U], level);
            break;
        }
        default:
            break;  // kinds the player does not know draw nothing
    }
    if (counter_ >= 255) {
        counter_ = 0;
    }
    if (nowMs - switchMs_ > e.time) {
        std::lock_guard lock(lock_);
        index_ = entries_.empty() ? 0 : (index_ + 1) % entries_.size();
        switchMs_ = nowMs;
    }
}

}  // namespace vextar::light

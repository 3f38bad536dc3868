#include "device/light_effects.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "device/mouse_class_device.h"
#include "platform/clock.h"

namespace vextar::light {
namespace {

using namespace std::chrono_literals;

// A frame of its own for steps run without a device.
struct TestFrame {
    explicit TestFrame(int zones)
        : entries(static_cast<std::size_t>(zones)), view(entries.data(), zones) {}
    std::vector<uint32_t> Snapshot() const {
        std::vector<uint32_t> out;
        for (const auto& e : entries) {
            out.push_back(e.load());
        }
        return out;
    }
    std::vector<std::atomic<uint32_t>> entries;
    FrameView view;
};

uint8_t AlphaOf(uint32_t entry) {
    return static_cast<uint8_t>(entry >> 24);
}

LightSetting Params(uint8_t mode, uint8_t brightness, uint8_t speed, uint8_t direction,
                    uint8_t multi = 0) {
    LightSetting p;
    p.mode = mode;
    p.brightness = brightness;
    p.speed = speed;
    p.direction = direction;
    p.multiColor = multi;
    p.red = 10;
    p.green = 200;
    p.blue = 30;
    return p;
}

TEST(LightTables, HoldTheListedValues) {
    const auto& w = ColourWheel();
    EXPECT_EQ(w[0], (Rgb{255, 1, 0}));
    EXPECT_EQ(w[31], (Rgb{255, 255, 0}));
    EXPECT_EQ(w[32], (Rgb{248, 255, 0}));
    EXPECT_EQ(w[95], (Rgb{0, 255, 255}));
    EXPECT_EQ(w[127], (Rgb{0, 0, 255}));
    EXPECT_EQ(w[160], (Rgb{255, 0, 248}));
    EXPECT_EQ(w[191], (Rgb{255, 0, 0}));
    for (int i = 192; i < 256; ++i) {
        EXPECT_EQ(w[static_cast<std::size_t>(i)], w[static_cast<std::size_t>(i - 192)]);
    }
    const auto& b = BreathingCurve();
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[17], 24);
    EXPECT_EQ(b[63], 255);
    EXPECT_EQ(b[64], 255);
    EXPECT_EQ(b[127], 0);
    const auto& s = ShortBreathingCurve();
    EXPECT_EQ(s[0], 22);
    EXPECT_EQ(s[47], 255);
    EXPECT_EQ(s[48], 255);
    EXPECT_EQ(s[95], 22);
    EXPECT_EQ(BrightnessLevel(9), 255);  // levels above 4 count as 4
    EXPECT_EQ(MouseZoneGroups().size(), 7U);
}

TEST(LightSteps, RingWrapsBothWays) {
    struct Case {
        uint8_t direction, limit, position, step, expected;
    };
    const Case cases[] = {{1, 128, 127, 1, 0}, {0, 128, 0, 1, 127}, {1, 192, 5, 1, 6},
                          {0, 192, 5, 1, 4},   {0, 96, 0, 1, 95},   {1, 96, 200, 1, 0},
                          {0, 96, 200, 1, 95}};
    for (const Case& c : cases) {
        EXPECT_EQ(Ring(c.direction, c.limit, c.position, c.step), c.expected)
            << int(c.direction) << " " << int(c.limit) << " " << int(c.position);
    }
}

TEST(LightSteps, MulticolourBreathingWalksThirteenColours) {
    TestFrame f(15);
    EffectState s;
    const LightSetting p = Params(kModeBreathing, 4, 2, 1, 1);
    std::vector<uint8_t> indexes;
    for (int i = 0; i < 128 * 14; ++i) {
        StepBreathing(p, s, f.view);
        if (s.phase == 0) {
            indexes.push_back(s.colourIndex);
        }
    }
    const std::vector<uint8_t> expected = {16,  32,  48,  64,  80,  96, 112,
                                           128, 144, 160, 176, 192, 0,  16};
    EXPECT_EQ(indexes, expected);
    EXPECT_EQ(ColourWheel()[192], ColourWheel()[0]);
}

TEST(LightSteps, FlashTogglesByItsPeriod) {
    for (const auto& [speed, period] : {std::pair{4, 200}, {0, 1600}}) {
        TestFrame f(15);
        EffectState s;
        const LightSetting p = Params(kModeFlash, 4, static_cast<uint8_t>(speed), 1);
        std::vector<int64_t> toggles;
        for (int64_t now = 1000; now < 1000 + 4 * period; now += 10) {
            const uint8_t before = s.flashToggle;
            StepFlash(p, s, f.view, now);
            if (s.flashToggle != before) {
                toggles.push_back(now);
            }
        }
        ASSERT_GE(toggles.size(), 3U) << speed;
        for (std::size_t i = 1; i < toggles.size(); ++i) {
            EXPECT_EQ(toggles[i] - toggles[i - 1], period) << speed;
        }
    }
}

TEST(LightSteps, FadeZoneSequence) {
    std::vector<int> seen = {255};
    uint8_t v = 255;
    while (v != 0) {
        v = FadeStep(v, 0);
        seen.push_back(v);
    }
    const std::vector<int> expected = {255, 215, 175, 135, 95, 65, 35, 20, 12, 11, 10,
                                       9,   8,   7,   6,   5,  4,  3,  2,  1,  0};
    EXPECT_EQ(seen, expected);
    // A fade never wraps round to bright.
    for (int mode : {0, 5, 29}) {
        for (int start = 0; start < 256; ++start) {
            EXPECT_LE(FadeStep(static_cast<uint8_t>(start), mode), start) << mode << " " << start;
        }
    }
}

// Every mode of the engine, run as steps.
void RunMode(uint8_t mode, const LightSetting& p, EffectState& s, const FrameView& f, int64_t now) {
    switch (mode) {
        case kModeWave:
            StepWave(p, s, f, MouseZoneGroups());
            break;
        case kModeSpectrum:
            StepSpectrum(p, s, f);
            break;
        case kModeBreathing:
            StepBreathing(p, s, f);
            break;
        case kModeStatic:
            StepStatic(p, f);
            break;
        case kModeFlash:
            StepFlash(p, s, f, now);
            break;
        case kModeStreak:
            StepStreak(p, s, f, MouseZoneGroups());
            break;
        case kModeReactive:
            StepReactive(p, s, f);
            break;
        case kModeBreathingFourColour:
            StepBreathingFourColour(p, s, f);
            break;
        case kModeFlashFourColour:
            StepFlashFourColour(p, s, f, now);
            break;
        default:
            StepOff(f);
            break;
    }
}

TEST(LightSteps, AlphaNeverExceedsTheBrightnessLevel) {
    std::minstd_rand random(7);
    for (uint8_t mode : {0, 1, 2, 3, 4, 5, 6, 7, 8, 10}) {
        for (uint8_t speed = 0; speed < 5; ++speed) {
            for (uint8_t brightness = 0; brightness < 5; ++brightness) {
                for (uint8_t direction = 0; direction < 2; ++direction) {
                    for (uint8_t multi = 0; multi < 2; ++multi) {
                        TestFrame f(15);
                        EffectState s;
                        s.ring[0] = 1;
                        const LightSetting p = Params(mode, brightness, speed, direction, multi);
                        for (int i = 0; i < 300; ++i) {
                            if (i % 50 == 0) {
                                TriggerBurst(p, s, i % 15, random);
                            }
                            RunMode(mode, p, s, f.view, i * 50);
                            for (uint32_t e : f.Snapshot()) {
                                ASSERT_LE(AlphaOf(e), BrightnessLevel(brightness))
                                    << "mode " << int(mode) << " brightness " << int(brightness);
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST(LightSteps, PhasedModesRepeatAndRunBackwardsInReverse) {
    struct Case {
        uint8_t mode;
        uint8_t multi;
        int period;
    };
    const Case cases[] = {
        {kModeSpectrum, 0, 192}, {kModeWave, 1, 192}, {kModeWave, 0, 96}, {kModeBreathing, 0, 128}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.mode));
        TestFrame f(15);
        EffectState forward;
        std::vector<std::vector<uint32_t>> frames;
        const LightSetting up = Params(c.mode, 3, 2, 1, c.multi);
        for (int i = 0; i < 2 * c.period; ++i) {
            RunMode(c.mode, up, forward, f.view, 0);
            frames.push_back(f.Snapshot());
        }
        for (int i = 0; i < c.period; ++i) {
            ASSERT_EQ(frames[static_cast<std::size_t>(i)],
                      frames[static_cast<std::size_t>(i + c.period)]);
        }
        // Backwards from the same phase: the frames come in reverse order.
        EffectState backward = forward;
        const LightSetting down = Params(c.mode, 3, 2, 0, c.multi);
        for (int i = 2 * c.period - 2; i >= c.period; --i) {
            RunMode(c.mode, down, backward, f.view, 0);
            ASSERT_EQ(f.Snapshot(), frames[static_cast<std::size_t>(i)]) << i;
        }
    }
}

TEST(ZoneEffects, RulesWriteOnlyTheirZones) {
    TestFrame f(6);
    std::vector<LightSetting> list(6);
    for (auto& e : list) {
        e.present = 1;
        e.brightness = 4;
        e.red = 100;
    }
    list[0].mode = ZoneEffectList::kBreathing;
    list[1].mode = ZoneEffectList::kStatic;
    list[2].mode = ZoneEffectList::kBlink;
    list[3].mode = ZoneEffectList::kHueCycle;
    list[4].mode = ZoneEffectList::kOff;
    list[5].mode = 77;  // unknown: nothing is drawn
    list[5].speed = 200;
    f.view.Set(5, {1, 2, 3}, 9);
    f.view.Set(4, {1, 2, 3}, 9);
    ZoneEffectList effects;
    effects.RunAll(list, true, f.view, 1000);
    EXPECT_EQ(f.view.Get(1), FrameView::Pack({100, 0, 0}, 255));
    EXPECT_EQ(f.view.Get(4), 0U);
    EXPECT_EQ(f.view.Get(5), FrameView::Pack({1, 2, 3}, 9));

    // Multicolour breathing goes round the whole wheel and starts again.
    list[0].multiColor = 1;
    list[0].speed = 4;
    std::set<uint32_t> colours;
    for (int i = 0; i < 16 * 200; ++i) {
        effects.Breathing(list, false, f.view);
        colours.insert(f.view.Get(0) & 0xFFFFFFU);
    }
    EXPECT_EQ(colours.size(), 192U);
}

TEST(CustomSequence, EmptyListIsOffAndEntriesFollowTheirDurations) {
    TestFrame f(15);
    f.view.SetAll({9, 9, 9}, 255);
    CustomSequencePlayer player;
    LightSetting device = Params(9, 4, 4, 1);
    player.Pass(device, f.view, 0);
    for (uint32_t e : f.Snapshot()) {
        EXPECT_EQ(e, 0U);
    }
    EffectStep wave;
    wave.mode = 4;  // wave without multicolour: its start index is folded in
    wave.brightness = 4;
    wave.speed = 4;
    wave.red = 255;
    wave.time = 100;
    EffectStep breath = wave;
    breath.mode = 0;
    breath.multiColor = 1;
    breath.time = 100;
    player.SetEntries({wave, breath});
    for (int64_t now = 0; now <= 150; now += 10) {
        player.Pass(device, f.view, now);
    }
    EXPECT_EQ(player.CurrentIndex(), 1U);
    for (int64_t now = 160; now <= 260; now += 10) {
        player.Pass(device, f.view, now);
    }
    EXPECT_EQ(player.CurrentIndex(), 0U);
    // Multicolour breathing walks the wheel over many breaths.
    player.SetEntries({breath});
    std::set<uint32_t> colours;
    for (int i = 0; i < 128 * 30; ++i) {
        player.Pass(device, f.view, 0);
        colours.insert(f.view.Get(0) & 0xFFFFFFU);
    }
    EXPECT_EQ(colours.size(), 12U);  // indexes 0, 16 … 192, and 192 shows 0's colour
}

TEST(EffectEngine, StepsOnCountedTicksAndStopsWithinItsBound) {
    platform::FakeClock clock(1000);
    CMouseClassDevice device;
    device.SetZoneCount(15);
    device.SetClock(clock);
    // Mode 1, brightness 4, speed 0, direction 1.
    device.SetLightParameters(1U | (4U << 8) | (0U << 16) | (1U << 24), 0, 0, 0);
    EXPECT_EQ(device.EffectParameters().mode, kModeSpectrum);
    EXPECT_FALSE(device.EffectPass(clock.NowMs()));  // the link is closed
    device.CommandLink().open = true;
    // Spectrum at speed 0 steps every 8 counted ticks; the first pass only
    // starts the count.
    for (int i = 0; i < 81; ++i) {
        const uint64_t before = device.StepsRun();
        const uint32_t frame = device.GetZoneColour(0);
        clock.Advance(16);
        ASSERT_TRUE(device.EffectPass(clock.NowMs()));
        if (device.StepsRun() == before) {
            EXPECT_EQ(device.GetZoneColour(0), frame);  // no step, no change
        }
    }
    EXPECT_EQ(device.StepsRun(), 10U);
    // Time that does not move counts no tick.
    for (int i = 0; i < 20; ++i) {
        device.EffectPass(clock.NowMs());
    }
    EXPECT_EQ(device.StepsRun(), 10U);

    // The thread, on the fake clock that this test moves.
    device.StartEffectThread();
    const auto start = std::chrono::steady_clock::now();
    while (device.StepsRun() < 20 && std::chrono::steady_clock::now() - start < 5s) {
        clock.Advance(16);
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_GE(device.StepsRun(), 20U);
    const auto stopStart = std::chrono::steady_clock::now();
    device.StopEffectThread();
    EXPECT_LT(std::chrono::steady_clock::now() - stopStart, 1s);
    EXPECT_FALSE(device.EffectThreadRunning());
}

TEST(EffectEngine, ReactiveBurstsAreDeterministicWithASeed) {
    auto run = [](uint32_t seed) {
        CMouseClassDevice device;
        device.SetZoneCount(15);
        device.SetLightParameters(6U | (4U << 8), 1U, 0, 0);  // mode 6, brightness 4, multicolour
        device.SeedRandom(seed);
        device.TriggerBurstAll();
        device.StepReactive();
        std::vector<uint32_t> frame;
        for (int z = 0; z < 15; ++z) {
            frame.push_back(device.GetZoneColour(z));
        }
        return frame;
    };
    EXPECT_EQ(run(42), run(42));
    EXPECT_NE(run(42), run(43));
}

TEST(EffectEngine, CustomModeWithAnEmptyListShowsEveryZoneOff) {
    platform::FakeClock clock;
    CMouseClassDevice device;
    device.SetZoneCount(15);
    device.SetClock(clock);
    for (int z = 0; z < 15; ++z) {
        device.SetZoneColour(z, 0xFFFFFFFFU);
    }
    device.SetLightParameters(9U | (4U << 8), 0, 0, 0);
    device.CommandLink().open = true;
    device.EffectPass(clock.NowMs());
    for (int z = 0; z < 15; ++z) {
        EXPECT_EQ(device.GetZoneColour(z), 0U);
    }
}

}  // namespace
}  // namespace vextar::light

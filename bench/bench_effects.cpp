// Host light effects: one step of every mode for the 15-zone mouse and for
// 170 zones; the CPU an effect engine costs, idle and running, over 10 s.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "device/light_effects.h"
#include "device/mouse_class_device.h"

namespace {

using namespace vextar;
using namespace vextar::light;

std::vector<ZoneGroup> SingleZoneGroups(int zones) {
    std::vector<ZoneGroup> groups;
    for (int z = 0; z < zones; ++z) {
        groups.push_back({z});
    }
    return groups;
}

void BM_Step(benchmark::State& state) {
    const auto mode = static_cast<uint8_t>(state.range(0));
    const int zones = static_cast<int>(state.range(1));
    std::vector<std::atomic<uint32_t>> entries(static_cast<std::size_t>(zones));
    const FrameView f(entries.data(), zones);
    const std::vector<ZoneGroup> groups = zones == 15 ? MouseZoneGroups() : SingleZoneGroups(zones);
    LightSetting p;
    p.mode = mode;
    p.brightness = 3;
    p.speed = 2;
    p.direction = 1;
    p.multiColor = 1;
    EffectState s;
    s.ring[0] = 1;
    std::minstd_rand random(1);
    int64_t now = 0;
    for (auto _ : state) {
        now += 16;
        switch (mode) {
            case kModeWave:
                StepWave(p, s, f, groups);
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
                StepStreak(p, s, f, groups);
                break;
            case kModeReactive:
                if ((now & 1023) == 0) {
                    TriggerBurst(p, s, static_cast<int>(now % zones), random);
                }
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
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Step)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6, 7, 8, 10}, {15, 170}})
    ->ArgNames({"mode", "zones"});

// Run time of every thread of this process, in seconds, as the scheduler
// counts it (exact, where getrusage may charge whole ticks).
double ThreadsRunSeconds() {
    double total = 0;
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream in(task.path() / "schedstat");
        unsigned long long ns = 0;
        if (in >> ns) {
            total += static_cast<double>(ns) / 1e9;
        }
    }
    return total;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One engine thread for 10 s of real time; the counter is its share of one
// core in percent.
void BM_EngineCpu(benchmark::State& state) {
    const bool running = state.range(0) != 0;
    const auto speed = static_cast<uint32_t>(state.range(1));
    for (auto _ : state) {
        CMouseClassDevice device;
        device.SetZoneCount(15);
        device.SetLightParameters(1U | (4U << 8) | (speed << 16), 0, 0, 0);  // spectrum
        device.CommandLink().open = running;
        const double before = ProcessCpuSeconds();
        device.StartEffectThread();
        const double runBefore = ThreadsRunSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const double run = ThreadsRunSeconds() - runBefore;
        device.StopEffectThread();
        const double used = ProcessCpuSeconds() - before;
        state.counters["cpu_percent"] = used / 10.0 * 100.0;
        state.counters["sched_percent"] = run / 10.0 * 100.0;
        state.counters["steps"] = static_cast<double>(device.StepsRun());
    }
}
BENCHMARK(BM_EngineCpu)
    ->Args({0, 2})
    ->Args({1, 2})
    ->Args({1, 4})
    ->ArgNames({"running", "speed"})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace

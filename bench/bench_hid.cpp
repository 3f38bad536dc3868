// HID transport: descriptor parsing, one command frame's round trip through
// the node I/O (simulated device, same code as hidraw), report decoding.

#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "devicelink/hid_interface.h"
#include "platform/hid_descriptor.h"
#include "sim/sim_catalog.h"

namespace {

using namespace vextar;

void BM_ParseCommandInterfaceDescriptor(benchmark::State& state) {
    hid::ReportDescriptor d;
    std::string error;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            hid::ParseReportDescriptor(sim::descriptors::CommandInterface(), d, error));
    }
}
BENCHMARK(BM_ParseCommandInterfaceDescriptor);

struct SimMouse {
    SimMouse() {
        std::string error;
        sim::AddSimulatedDevices(*backend, "mouse", error);
        backend->Enumerate(paths);
    }
    std::shared_ptr<sim::SimHidBackend> backend = std::make_shared<sim::SimHidBackend>();
    std::vector<std::string> paths;
};

void BM_CommandFrameRoundTrip(benchmark::State& state) {
    SimMouse mouse;
    CHidInterface hid(mouse.backend);
    if (!hid.Open(mouse.paths[4], true, true, true, false)) {
        state.SkipWithError("cannot open the simulated mouse");
        return;
    }
    std::array<uint8_t, 64> frame{};
    frame[0] = 4;
    frame[3] = 0x1A;
    std::array<uint8_t, 64> reply{};
    for (auto _ : state) {
        uint32_t n = 0;
        hid.WriteReport(frame, n, 1000);
        hid.ReadReport(reply, n, 1000);
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_CommandFrameRoundTrip)->UseRealTime();

void BM_UnpackConsumerReport(benchmark::State& state) {
    SimMouse mouse;
    CHidInterface hid(mouse.backend);
    if (!hid.Open(mouse.paths[3], true, false, true, false)) {
        state.SkipWithError("cannot open the simulated mouse");
        return;
    }
    const std::array<uint8_t, 3> report = {0x03, 0xE9, 0x00};
    for (auto _ : state) {
        benchmark::DoNotOptimize(hid.UnpackInputReport(report));
    }
}
BENCHMARK(BM_UnpackConsumerReport);

}  // namespace

// The command link: host cost of one exchange with a device that answers
// inline and with the simulated device on its own thread over a socketpair;
// a 510-byte key table write by cable and through the receiver.

#include <benchmark/benchmark.h>

#include "device/device_link.h"
#include "devicelink/device_tables.h"
#include "sim/inline_backend.h"
#include "sim/sim_catalog.h"

namespace {

using namespace vextar;

void BM_ExchangeInline(benchmark::State& state) {
    auto model = std::make_shared<sim::PeripheralModel>("mouse", sim::MouseConfig());
    auto backend = std::make_shared<sim::InlineHidBackend>(model, 0x320F, 0x7074);
    CDeviceLink link(backend);
    link.cableInterface.Open(sim::InlineHidBackend::kPath, true, true, true, false);
    link.SetMode(CDeviceLink::kModeCable);
    link.open = true;
    const Frame request = BuildFrame(CMD_READ_RECORD, 6, 0);
    Frame reply{};
    for (auto _ : state) {
        uint32_t n = 0;
        benchmark::DoNotOptimize(link.ExchangeQuiet(request, reply, n));
    }
}
BENCHMARK(BM_ExchangeInline);

struct SimLink {
    explicit SimLink(const std::string& device, bool receiver) {
        std::string error;
        sim::AddSimulatedDevices(*backend, device, error);
        InterfaceWorkingCopy rows;
        BindPresentInterfaces(rows, backend);
        for (const HidInterfaceRow& r : rows.Snapshot()) {
            if (r.connected != 0 && r.channel == kChannelCommand) {
                (receiver ? link.receiverInterface : link.cableInterface)
                    .Open(r.path, true, true, true, false);
            }
        }
        link.SetMode(receiver ? CDeviceLink::kModeReceiver : CDeviceLink::kModeCable);
        link.open = true;
    }
    std::shared_ptr<sim::SimHidBackend> backend = std::make_shared<sim::SimHidBackend>();
    CDeviceLink link{backend};
};

void BM_ExchangeOverSocketpair(benchmark::State& state) {
    SimLink s("mouse", false);
    const Frame request = BuildFrame(CMD_READ_RECORD, 6, 0);
    Frame reply{};
    for (auto _ : state) {
        uint32_t n = 0;
        benchmark::DoNotOptimize(s.link.ExchangeQuiet(request, reply, n));
    }
}
BENCHMARK(BM_ExchangeOverSocketpair)->UseRealTime();

void BM_KeyTableWrite(benchmark::State& state) {
    const bool receiver = state.range(0) != 0;
    SimLink s(receiver ? "keyboard-receiver" : "keyboard", receiver);
    s.link.SetBlockSize(510);
    const std::vector<uint8_t> keys(510, 0x20);
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.link.WriteKeys(keys, 0));
    }
    state.counters["frames"] =
        static_cast<double>((510 + s.link.ChunkSize() - 1) / s.link.ChunkSize());
}
BENCHMARK(BM_KeyTableWrite)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"receiver"})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

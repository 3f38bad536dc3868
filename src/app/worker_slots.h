#pragma once

// The main window's worker slots: each runs one thread with a stop token.
// Stopping asks the thread to end and waits a bounded time; every wait in
// a worker can be woken by its stop token, so the thread always ends, and it
// is joined in every case (a thread that overruns its bound is logged).

#include <array>
#include <chrono>
#include <functional>
#include <future>
#include <stop_token>
#include <thread>

namespace vextar::app {

class CWorkerSlots {
  public:
    static constexpr int kSlotCount = 20;
    static constexpr int kDiscoverySlot = 0;
    static constexpr int kLightSyncSlot = 8;
    static constexpr std::chrono::milliseconds kStopBound{1000};

    CWorkerSlots() = default;
    ~CWorkerSlots() { StopAll(); }
    CWorkerSlots(const CWorkerSlots&) = delete;
    CWorkerSlots& operator=(const CWorkerSlots&) = delete;

    // False when the slot is out of range or already running.
    bool Start(int slot, std::function<void(std::stop_token)> body);
    [[nodiscard]] bool Running(int slot) const;
    // True when the thread ended within the bound (it is joined either way,
    // and a slot that runs nothing counts as ended).
    bool Stop(int slot, std::chrono::milliseconds bound = kStopBound);
    // Every slot, last first.
    void StopAll();

  private:
    struct Slot {
        std::jthread thread;
        std::future<void> done;
    };
    std::array<Slot, kSlotCount> slots_;
};

}  // namespace vextar::app

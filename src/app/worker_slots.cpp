#include "app/worker_slots.h"

#include "platform/log.h"

namespace vextar::app {

bool CWorkerSlots::Start(int slot, std::function<void(std::stop_token)> body) {
    if (slot < 0 || slot >= kSlotCount || !body || Running(slot)) {
        return false;
    }
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    std::promise<void> finished;
    s.done = finished.get_future();
    s.thread = std::jthread(
        [work = std::move(body), finished = std::move(finished)](std::stop_token token) mutable {
            work(token);
            finished.set_value();
        });
    return true;
}

bool CWorkerSlots::Running(int slot) const {
    if (slot < 0 || slot >= kSlotCount) {
        return false;
    }
    return slots_[static_cast<std::size_t>(slot)].thread.joinable();
}

bool CWorkerSlots::Stop(int slot, std::chrono::milliseconds bound) {
    if (!Running(slot)) {
        return true;
    }
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    s.thread.request_stop();
    const bool inTime = s.done.wait_for(bound) == std::future_status::ready;
    if (!inTime) {
        VEXTAR_LOG_ERROR("worker %d did not stop within %lld ms; waiting for it", slot,
                         static_cast<long long>(bound.count()));
    }
    s.thread.join();
    s.thread = std::jthread();
    return inTime;
}

void CWorkerSlots::StopAll() {
    for (int slot = kSlotCount - 1; slot >= 0; --slot) {
        Stop(slot);
    }
}

}  // namespace vextar::app

#pragma once

// Time as the program sees it: a steady millisecond count. Timers, effect
// engines and polls read this seam, so tests can drive time by hand.

#include <atomic>
#include <chrono>
#include <cstdint>

namespace vextar::platform {

class IClock {
  public:
    virtual ~IClock() = default;
    // Milliseconds on a steady clock; only differences mean anything.
    [[nodiscard]] virtual int64_t NowMs() const = 0;
};

class SteadyClock final : public IClock {
  public:
    [[nodiscard]] int64_t NowMs() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

// A clock that only moves when told to. Safe to read from any thread.
class FakeClock final : public IClock {
  public:
    explicit FakeClock(int64_t startMs = 0) : now_(startMs) {}
    [[nodiscard]] int64_t NowMs() const override { return now_.load(); }
    void Advance(int64_t ms) { now_.fetch_add(ms); }
    void Set(int64_t ms) { now_.store(ms); }

  private:
    std::atomic<int64_t> now_;
};

// The process's steady clock.
inline IClock& SystemClock() {
    static SteadyClock clock;
    return clock;
}

}  // namespace vextar::platform

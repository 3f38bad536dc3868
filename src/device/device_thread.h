#pragma once

// A worker thread of a device (its effect engine, its notification reader)
// with a cooperative stop: Stop asks the thread to end, wakes every wait it
// may be in, and joins it. A thread that takes longer than its bound is
// logged; it is still joined, never killed.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vextar {

class CDeviceThread {
  public:
    // Bounds of the stop wait.
    static constexpr std::chrono::milliseconds kEffectStopBound{1000};
    static constexpr std::chrono::milliseconds kReaderStopBound{500};

    CDeviceThread() = default;
    ~CDeviceThread();
    CDeviceThread(const CDeviceThread&) = delete;
    CDeviceThread& operator=(const CDeviceThread&) = delete;

    // Starts `body` on a new thread; false when one is running already.
    bool Start(std::string name, std::function<void(CDeviceThread&)> body);
    // Asks the thread to stop, calls the wake functions, joins it.
    void Stop(std::chrono::milliseconds bound = kEffectStopBound);
    [[nodiscard]] bool Running() const;

    // For the thread's body.
    [[nodiscard]] bool StopRequested() const;
    // Sleeps for `duration` or until stop is asked; false when stopping.
    bool Sleep(std::chrono::nanoseconds duration);
    // A function that ends a blocking wait of the body (closing the
    // interface it reads, for example); called by Stop.
    void AddWake(std::function<void()> wake);

  private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::thread thread_;
    std::string name_;
    bool stop_ = false;
    bool running_ = false;
    std::vector<std::function<void()>> wakes_;
};

}  // namespace vextar

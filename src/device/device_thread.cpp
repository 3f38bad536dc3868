#include "device/device_thread.h"

#include "platform/log.h"

namespace vextar {

CDeviceThread::~CDeviceThread() {
    Stop();
}

bool CDeviceThread::Start(std::string name, std::function<void(CDeviceThread&)> body) {
    std::unique_lock lock(mutex_);
    if (thread_.joinable()) {
        return false;
    }
    name_ = std::move(name);
    stop_ = false;
    running_ = true;
    wakes_.clear();
    thread_ = std::thread([this, body = std::move(body)] {
        body(*this);
        std::lock_guard inner(mutex_);
        running_ = false;
        cv_.notify_all();
    });
    return true;
}

void CDeviceThread::Stop(std::chrono::milliseconds bound) {
    std::vector<std::function<void()>> wakes;
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) {
            return;
        }
        stop_ = true;
        wakes = wakes_;
        cv_.notify_all();
    }
    for (const auto& wake : wakes) {
        wake();
    }
    {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, bound, [this] { return !running_; })) {
            VEXTAR_LOG_WARNING("thread %s did not stop within %lld ms; waiting for it",
                               name_.c_str(), static_cast<long long>(bound.count()));
        }
    }
    thread_.join();
    std::lock_guard lock(mutex_);
    wakes_.clear();
}

bool CDeviceThread::Running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

bool CDeviceThread::StopRequested() const {
    std::lock_guard lock(mutex_);
    return stop_;
}

bool CDeviceThread::Sleep(std::chrono::nanoseconds duration) {
    std::unique_lock lock(mutex_);
    return !cv_.wait_for(lock, duration, [this] { return stop_; });
}

void CDeviceThread::AddWake(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    wakes_.push_back(std::move(wake));
}

}  // namespace vextar

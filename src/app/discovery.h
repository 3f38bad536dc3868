#pragma once

// Discovery: finds the supported devices by polling. Each pass lists the
// HID interfaces while a row of the working copy is free, binds those that
// are ours, and checks that bound interfaces are still present. Every change
// is reported to the window and waits until the window has handled it, so
// the window sees the rows change in order.

#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>

#include "devicelink/device_tables.h"
#include "platform/hid_backend.h"

namespace vextar::app {

class CDiscovery {
  public:
    struct Reports {
        // A row was bound to a present interface.
        std::function<void(int row)> arrived;
        // The row's interface is gone; the row is already unbound.
        std::function<void(int row)> removed;
        // Once, after the first pass (even one whose listing failed, so the
        // window always appears).
        std::function<void()> firstPassDone;
    };

    static constexpr std::chrono::milliseconds kPeriod{100};

    CDiscovery(InterfaceWorkingCopy& rows, std::shared_ptr<platform::IHidBackend> backend,
               Reports reports);

    // One pass. False when the listing failed; the next pass lists again.
    bool Pass();
    // Passes every `period` until the stop is asked for; the wait between
    // passes ends at once on a stop.
    void Run(std::stop_token token, std::chrono::milliseconds period = kPeriod);

    [[nodiscard]] int FailedListings() const { return failedListings_; }

  private:
    InterfaceWorkingCopy& rows_;
    std::shared_ptr<platform::IHidBackend> backend_;
    Reports reports_;
    bool firstPassDone_ = false;
    int failedListings_ = 0;
};

}  // namespace vextar::app

#include "app/discovery.h"

#include <condition_variable>
#include <mutex>

#include "platform/log.h"

namespace vextar::app {

CDiscovery::CDiscovery(InterfaceWorkingCopy& rows, std::shared_ptr<platform::IHidBackend> backend,
                       Reports reports)
    : rows_(rows), backend_(std::move(backend)), reports_(std::move(reports)) {}

bool CDiscovery::Pass() {
    bool listed = true;
    if (!rows_.AllBound()) {
        const std::vector<int> bound = BindPresentInterfaces(rows_, backend_, &listed);
        if (!listed) {
            // A listing can fail for a moment (the system is busy, a node
            // vanishes while it is read): the next pass tries again.
            if (failedListings_++ == 0) {
                VEXTAR_LOG_WARNING("the HID interfaces cannot be listed; trying again");
            }
        } else {
            failedListings_ = 0;
        }
        for (const int row : bound) {
            if (reports_.arrived) {
                reports_.arrived(row);
            }
        }
    }
    if (!firstPassDone_) {
        firstPassDone_ = true;
        if (reports_.firstPassDone) {
            reports_.firstPassDone();
        }
    }
    const std::vector<int> lost = rows_.CheckPresence(
        [this](const std::string& path) { return HidPathPresent(backend_, path); });
    for (const int row : lost) {
        if (reports_.removed) {
            reports_.removed(row);
        }
    }
    return listed;
}

void CDiscovery::Run(std::stop_token token, std::chrono::milliseconds period) {
    std::mutex mutex;
    std::condition_variable_any wake;
    while (!token.stop_requested()) {
        Pass();
        std::unique_lock lock(mutex);
        wake.wait_for(lock, token, period, [] { return false; });
    }
    VEXTAR_LOG_DEBUG("抓取设备线程设定退出");
}

}  // namespace vextar::app

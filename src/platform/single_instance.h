#pragma once

// One running application per user: an exclusive flock on "instance.lock" in
// the runtime folder. The holder may replace a socket file left by a run
// that crashed; a second instance finds the lock taken, sends the activation
// message over the bus and exits.

#include <optional>
#include <string>

#include "platform/unique_fd.h"

namespace vextar::platform {

class CSingleInstance {
  public:
    // Takes the lock in `folder` (which ends with "/"). Nothing when another
    // holder has it (then alreadyRunning is true) or when the lock file
    // cannot be used (alreadyRunning false, the reason in `error`).
    static std::optional<CSingleInstance> Acquire(const std::string& folder, bool& alreadyRunning,
                                                  std::string* error);

    CSingleInstance(CSingleInstance&&) noexcept = default;
    CSingleInstance& operator=(CSingleInstance&&) noexcept = default;
    // Released when destroyed (closing the descriptor drops the lock).
    ~CSingleInstance() = default;

    [[nodiscard]] const std::string& LockPath() const { return path_; }

  private:
    CSingleInstance(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

    UniqueFd fd_;
    std::string path_;
};

}  // namespace vextar::platform

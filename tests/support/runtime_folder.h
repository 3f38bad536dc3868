#pragma once

// A temporary XDG_RUNTIME_DIR for tests of the message bus: a fresh folder,
// set in the environment while the object lives, then removed and the
// previous value restored.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace vextar::test {

class ScopedRuntimeDir {
  public:
    ScopedRuntimeDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vextar_run_XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) {
            previous_ = old;
        }
        ::setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
    }
    ~ScopedRuntimeDir() {
        if (previous_) {
            ::setenv("XDG_RUNTIME_DIR", previous_->c_str(), 1);
        } else {
            ::unsetenv("XDG_RUNTIME_DIR");
        }
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScopedRuntimeDir(const ScopedRuntimeDir&) = delete;
    ScopedRuntimeDir& operator=(const ScopedRuntimeDir&) = delete;

    // Without a trailing "/".
    [[nodiscard]] const std::string& Path() const { return path_; }

  private:
    std::string path_;
    std::optional<std::string> previous_;
};

// Waits up to five seconds for `done`, which another thread makes true.
inline bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace vextar::test

#pragma once

// Shared by the settings file fuzzers: a scratch folder (in memory where the
// system has one) that each input starts from empty, and quiet notices.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/log.h"
#include "profile/notices.h"

namespace vextar::fuzz {

class ScratchFolder {
  public:
    ScratchFolder() {
        vextar::log::SetLevel(vextar::log::Level::Off);
        SetFileNoticeSink([](const FileNotice&) {});
        std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/vextar_fuzz_XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern + "/";
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }

    // Empties the folder but for the names kept.
    void Clear(const std::string& keep = {}) const {
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            if (entry.path().filename() != keep) {
                std::error_code ec;
                std::filesystem::remove_all(entry.path(), ec);
            }
        }
    }

    std::string Write(const std::string& name, const uint8_t* data, std::size_t size) const {
        const std::string path = path_ + name;
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return path;
    }

    [[nodiscard]] const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// Stops the run on a broken invariant.
inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace vextar::fuzz

#pragma once

// Temporary folders and files for the settings tests, and a recorder of the
// file notices a test provokes.

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "profile/notices.h"

namespace vextar::test {

// A fresh folder under the system's temporary folder, removed with its
// content at the end. Path() ends with "/".
class TempFolder {
  public:
    TempFolder() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("vextar_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    [[nodiscard]] std::string Path() const { return path_.string() + "/"; }
    [[nodiscard]] std::string operator/(const std::string& name) const { return Path() + name; }

    // Names of the entries, sorted.
    [[nodiscard]] std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::filesystem::path path_;
};

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Lowers the file size limit of the process while it lives, so that writes
// past `bytes` fail (EFBIG) whatever the permissions: tests run as root too.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &previousAction_);
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::sigaction(SIGXFSZ, &previousAction_, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
    struct sigaction previousAction_ {};
};

// Records the notices posted while it lives.
class NoticeRecorder {
  public:
    NoticeRecorder()
        : previous_(SetFileNoticeSink([this](const FileNotice& n) { notices.push_back(n); })) {}
    ~NoticeRecorder() { SetFileNoticeSink(std::move(previous_)); }
    NoticeRecorder(const NoticeRecorder&) = delete;
    NoticeRecorder& operator=(const NoticeRecorder&) = delete;

    [[nodiscard]] std::size_t Count(const std::string& messageId) const {
        std::size_t n = 0;
        for (const FileNotice& notice : notices) {
            n += notice.messageId == messageId ? 1 : 0;
        }
        return n;
    }

    std::vector<FileNotice> notices;

  private:
    FileNoticeSink previous_;
};

}  // namespace vextar::test

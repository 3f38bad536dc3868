#include "profile/file_helpers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/log.h"
#include "platform/unique_fd.h"
#include "profile/notices.h"
#include "profile/text.h"

namespace vextar {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::error_code LastError() {
    return {errno, std::generic_category()};
}

std::string NameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The folder to open for a path's entry: its folder part, or "." for a bare
// name.
std::string DirectoryFor(std::string_view path) {
    const std::string folder = FolderOf(path);
    return folder.empty() ? std::string(".") : folder;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void SyncDirectory(const std::string& folder) {
    platform::UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid()) {
        ::fsync(dir.Get());  // some file systems cannot; the rename stands
    }
}

// Follows a symbolic link so that the link stays and its target is replaced.
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                         &std::free);
        if (real) {
            return real.get();
        }
    }
    return path;
}

std::atomic<unsigned>& TempCounter() {
    static std::atomic<unsigned> counter{0};
    return counter;
}

// A new file that only gets a name once its content is complete: an unnamed
// file in the folder (O_TMPFILE), linked under a hidden temporary name when
// written. File systems without unnamed files get a hidden named one.
struct TempFile {
    platform::UniqueFd fd;
    std::string name;  // set for a named file
};

// Naming an unnamed file goes through /proc.
bool CanNameUnnamedFiles() {
    static const bool can = ::access("/proc/self/fd", F_OK) == 0;
    return can;
}

std::error_code OpenTemp(const std::string& folder, const std::string& target, TempFile& temp) {
    if (CanNameUnnamedFiles()) {
        temp.fd.Reset(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (temp.fd.Valid()) {
            return {};
        }
    }
    temp.name = folder + "/." + NameOf(target) + ".tmp-" + std::to_string(::getpid()) + "-" +
                std::to_string(TempCounter().fetch_add(1));
    temp.fd.Reset(::open(temp.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!temp.fd.Valid()) {
        const std::error_code error = LastError();
        temp.name.clear();
        return error;
    }
    return {};
}

// Gives an unnamed file its hidden temporary name.
std::error_code NameTemp(const std::string& folder, const std::string& target, TempFile& temp) {
    if (!temp.name.empty()) {
        return {};
    }
    const std::string self = "/proc/self/fd/" + std::to_string(temp.fd.Get());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = folder + "/." + NameOf(target) + ".tmp-" +
                                 std::to_string(::getpid()) + "-" +
                                 std::to_string(TempCounter().fetch_add(1));
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temp.name = name;
            return {};
        }
        if (errno != EEXIST) {
            return LastError();
        }
    }
    return std::make_error_code(std::errc::file_exists);
}

// Renames without replacing an existing file.
bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // The file system cannot refuse to replace: check first.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// Makes a parsed document safe to write back with jsoncpp's styled writer.
// The writer cuts a member name at a NUL character and re-encodes names that
// are not UTF-8, so such a name could be written as the name of another
// member: the document is refused (false) as damaged. A comment that ends in
// a space makes the writer put what follows on the comment's line, inside
// the comment: trailing white space is trimmed from every comment.
bool TidyForWriting(Json::Value& value) {
    for (const Json::CommentPlacement placement :
         {Json::commentBefore, Json::commentAfterOnSameLine, Json::commentAfter}) {
        if (value.hasComment(placement)) {
            std::string comment = value.getComment(placement);
            const std::size_t end = comment.find_last_not_of(" \t\r\n");
            if (end != std::string::npos && end + 1 != comment.size()) {
                comment.erase(end + 1);
                value.setComment(comment, placement);
            }
        }
    }
    if (value.isObject()) {
        for (auto it = value.begin(); it != value.end(); ++it) {
            const std::string name = it.name();
            if (name.find('\0') != std::string::npos || WideToUtf8(Utf8ToWide(name)) != name ||
                !TidyForWriting(*it)) {
                return false;
            }
        }
    } else if (value.isArray()) {
        for (Json::Value& element : value) {
            if (!TidyForWriting(element)) {
                return false;
            }
        }
    }
    return true;
}

struct IdClock {
    std::mutex mutex;
    int64_t lastMillis = 0;
};

IdClock& TheIdClock() {
    static IdClock clock;
    return clock;
}

std::string FormatMillis(int64_t millis) {
    const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    return FormatTimeStampId(local, static_cast<int>(millis % 1000));
}

}  // namespace

FileText ReadFileChecked(const std::string& path, std::size_t maxBytes) {
    FileText result;
    // Non-blocking, so that a FIFO in the file's place cannot hang the read.
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid()) {
        result.error = LastError();
        result.status = errno == ENOENT ? FileReadStatus::Missing : FileReadStatus::Unreadable;
        VEXTAR_LOG_DEBUG("read %s: %s", path.c_str(), result.error.message().c_str());
        return result;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        result.error = LastError();
        result.status = FileReadStatus::Unreadable;
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.error = std::make_error_code(S_ISDIR(st.st_mode) ? std::errc::is_a_directory
                                                                : std::errc::invalid_argument);
        result.status = FileReadStatus::Unreadable;
        return result;
    }
    if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        result.status = FileReadStatus::TooLarge;
        return result;
    }
    // Read to the end, whatever the size said, but never past the cap.
    std::string text;
    text.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == text.size()) {
            if (text.size() > maxBytes) {
                result.status = FileReadStatus::TooLarge;
                return result;
            }
            text.resize(std::min(text.size() * 2 + 4096, maxBytes + 1));
        }
        const ssize_t n = ::read(fd.Get(), text.data() + used, text.size() - used);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.error = LastError();
            result.status = FileReadStatus::Unreadable;
            return result;
        }
        if (n == 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    if (used > maxBytes) {
        result.status = FileReadStatus::TooLarge;
        return result;
    }
    text.resize(used);
    result.text = std::move(text);
    result.status = FileReadStatus::Ok;
    return result;
}

std::string ReadTextFile(const std::string& path) {
    FileText file = ReadFileChecked(path);
    return file.status == FileReadStatus::Ok ? std::move(file.text) : std::string();
}

bool ParseJsonText(std::string_view text, Json::Value& out) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.remove_prefix(kByteOrderMark.size());
    }
    if (text.empty()) {
        return false;
    }
    Json::Value parsed;
    try {
        Json::Reader reader;
        if (!reader.parse(text.data(), text.data() + text.size(), parsed, true) ||
            !TidyForWriting(parsed)) {
            return false;
        }
    } catch (...) {
        // Nesting deeper than the reader allows, or memory.
        return false;
    }
    out = std::move(parsed);
    return true;
}

Json::Value ReadJsonFile(const std::string& path) {
    const std::string text = ReadTextFile(path);
    if (text.empty()) {
        VEXTAR_LOG_DEBUG("no JSON text in %s", path.c_str());
        return {};
    }
    Json::Value value;
    if (!ParseJsonText(text, value)) {
        VEXTAR_LOG_DEBUG("%s does not parse as JSON", path.c_str());
        return {};
    }
    return value;
}

std::string StyledJsonText(const Json::Value& value) {
    Json::StyledWriter writer;
    return writer.write(value) + "\n";
}

std::error_code WriteFileAtomic(const std::string& path, std::string_view bytes) {
    if (path.empty() || path.back() == '/') {
        return std::make_error_code(std::errc::invalid_argument);
    }
    const std::string target = ResolveTarget(path);
    const std::string folder = DirectoryFor(target);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        return std::make_error_code(std::errc::is_a_directory);
    }

    TempFile temp;
    std::error_code error = OpenTemp(folder, target, temp);
    if (error) {
        return error;
    }
    const auto fail = [&](std::error_code e) {
        if (!temp.name.empty()) {
            ::unlink(temp.name.c_str());
        }
        return e;
    };
    if (!WriteAll(temp.fd.Get(), bytes)) {
        return fail(LastError());
    }
    if (exists && ::fchmod(temp.fd.Get(), existing.st_mode & 07777) != 0) {
        return fail(LastError());
    }
    if (::fsync(temp.fd.Get()) != 0) {
        return fail(LastError());
    }
    error = NameTemp(folder, target, temp);
    if (error) {
        return fail(error);
    }
    if (::close(temp.fd.Release()) != 0) {
        return fail(LastError());
    }
    if (::rename(temp.name.c_str(), target.c_str()) != 0) {
        return fail(LastError());
    }
    SyncDirectory(folder);
    return {};
}

std::error_code WriteJsonFile(const std::string& path, const Json::Value& value) {
    const std::error_code error = WriteFileAtomic(path, StyledJsonText(value));
    if (error) {
        VEXTAR_LOG_DEBUG("write %s: %s", path.c_str(), error.message().c_str());
    }
    return error;
}

JsonFileLoad LoadJsonFile(const std::string& path,
                          const std::function<bool(const Json::Value&)>& valid) {
    JsonFileLoad result;
    FileText file = ReadFileChecked(path);
    if (file.status == FileReadStatus::Missing) {
        return result;
    }
    if (file.status == FileReadStatus::Unreadable) {
        result.state = JsonFileState::Unusable;
        PostFileNotice({kMessageFileUnreadable, path, file.error.message()});
        return result;
    }
    if (file.status == FileReadStatus::Ok) {
        Json::Value value;
        if (ParseJsonText(file.text, value) && (!valid || valid(value))) {
            result.state = JsonFileState::Loaded;
            result.value = std::move(value);
            return result;
        }
    }
    result.asidePath = KeepAside(path);
    if (result.asidePath.empty()) {
        result.state = JsonFileState::Unusable;
        PostFileNotice({kMessageFileUnreadable, path,
                        "damaged, and it could not be moved aside: " + LastError().message()});
        return result;
    }
    result.state = JsonFileState::KeptAside;
    PostFileNotice({kMessageFileKeptAside, path, result.asidePath});
    return result;
}

std::string KeepAside(const std::string& path) {
    const std::string id = MakeTimeStampId([&](const std::string& candidate) {
        struct stat st {};
        return ::lstat((path + ".bad-" + candidate).c_str(), &st) == 0;
    });
    const std::string aside = path + ".bad-" + id;
    if (!RenameNoReplace(path, aside)) {
        return {};
    }
    SyncDirectory(DirectoryFor(path));
    return aside;
}

std::string FormatTimeStampId(const std::tm& localTime, int millisecond) {
    char text[64];
    std::snprintf(text, sizeof text, "%d_%02d_%02d_%02d_%02d_%02d_%03d", localTime.tm_year + 1900,
                  localTime.tm_mon + 1, localTime.tm_mday, localTime.tm_hour, localTime.tm_min,
                  localTime.tm_sec, millisecond);
    return text;
}

std::string MakeTimeStampId(const std::function<bool(const std::string&)>& taken) {
    IdClock& clock = TheIdClock();
    std::lock_guard lock(clock.mutex);
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    int64_t millis = std::max(now, clock.lastMillis + 1);
    std::string id = FormatMillis(millis);
    // Each step moves one millisecond on; a folder holds few names.
    for (int step = 0; taken && taken(id) && step < 100000; ++step) {
        id = FormatMillis(++millis);
    }
    clock.lastMillis = millis;
    return id;
}

bool FolderHasStem(const std::string& folder, std::string_view stem) {
    struct CloseDir {
        void operator()(DIR* d) const { ::closedir(d); }
    };
    std::unique_ptr<DIR, CloseDir> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) {
        return false;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name.substr(0, stem.size()) == stem &&
            (name.size() == stem.size() || name[stem.size()] == '.')) {
            return true;
        }
    }
    return false;
}

std::string FolderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

}  // namespace vextar

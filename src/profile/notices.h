#pragma once

// Notices about settings files that the user must hear of: a damaged file
// kept aside, a file that could not be read or written. The window shows
// them in its message box, vextarctl prints them; without a sink they are
// logged as warnings.

#include <functional>
#include <string>

namespace vextar {

// Language keys of the notices.
inline constexpr const char* kMessageFileKeptAside = "message_file_kept_aside";
inline constexpr const char* kMessageFileUnreadable = "message_file_unreadable";
inline constexpr const char* kMessageFileWriteFailed = "message_file_write_failed";

struct FileNotice {
    std::string messageId;  // one of the language keys above
    std::string path;       // the file concerned
    std::string detail;     // where the file was kept, or the system's reason
};

using FileNoticeSink = std::function<void(const FileNotice&)>;

// Installs the sink of the process and returns the one it replaces. The
// sink is called on the thread that met the problem.
FileNoticeSink SetFileNoticeSink(FileNoticeSink sink);

void PostFileNotice(const FileNotice& notice);

// One line of English for logs and the command line.
std::string DescribeFileNotice(const FileNotice& notice);

}  // namespace vextar

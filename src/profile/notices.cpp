#include "profile/notices.h"

#include <mutex>
#include <string_view>
#include <utility>

#include "platform/log.h"

namespace vextar {
namespace {

std::mutex& SinkMutex() {
    static std::mutex m;
    return m;
}

FileNoticeSink& Sink() {
    static FileNoticeSink sink;
    return sink;
}

}  // namespace

FileNoticeSink SetFileNoticeSink(FileNoticeSink sink) {
    std::lock_guard lock(SinkMutex());
    return std::exchange(Sink(), std::move(sink));
}

void PostFileNotice(const FileNotice& notice) {
    FileNoticeSink sink;
    {
        std::lock_guard lock(SinkMutex());
        sink = Sink();
    }
    if (sink) {
        sink(notice);
    } else {
        VEXTAR_LOG_WARNING("%s", DescribeFileNotice(notice).c_str());
    }
}

std::string DescribeFileNotice(const FileNotice& notice) {
    const std::string_view id = notice.messageId;
    std::string text;
    if (id == kMessageFileKeptAside) {
        text = notice.path + " could not be read as a settings file; it was kept as " +
               notice.detail + " and defaults are used";
    } else if (id == kMessageFileUnreadable) {
        text = notice.path + " cannot be read (" + notice.detail + "); it is left untouched";
    } else if (id == kMessageFileWriteFailed) {
        text = notice.path + " could not be written (" + notice.detail +
               "); the previous file is kept";
    } else {
        text = notice.path + ": " + notice.detail;
    }
    return text + " [" + notice.messageId + "]";
}

}  // namespace vextar

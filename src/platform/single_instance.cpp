#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstring>

namespace vextar::platform {

std::optional<CSingleInstance> CSingleInstance::Acquire(const std::string& folder,
                                                        bool& alreadyRunning, std::string* error) {
    alreadyRunning = false;
    std::string path = folder;
    path.append("instance.lock");
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.Valid()) {
        if (error != nullptr) {
            *error = path;
            error->append(" cannot be opened: ").append(std::strerror(errno));
        }
        return std::nullopt;
    }
    int result = 0;
    do {
        result = ::flock(fd.Get(), LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int e = errno;
        if (error != nullptr) {
            *error = path;
            error->append(e == EWOULDBLOCK ? " is held by another instance"
                                           : " cannot be locked: ");
            if (e != EWOULDBLOCK) {
                error->append(std::strerror(e));
            }
        }
        alreadyRunning = e == EWOULDBLOCK;
        return std::nullopt;
    }
    return CSingleInstance(std::move(fd), std::move(path));
}

}  // namespace vextar::platform

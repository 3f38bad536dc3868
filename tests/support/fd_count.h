#pragma once

#include <dirent.h>

#include <cstddef>

namespace vextar::test {

// File descriptors this process has open, to catch leaks.
inline std::size_t OpenDescriptors() {
    std::size_t n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d) != nullptr) {
            ++n;
        }
        ::closedir(d);
    }
    return n;
}

}  // namespace vextar::test

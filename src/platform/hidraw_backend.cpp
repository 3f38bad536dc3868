#include "platform/hidraw_backend.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/log.h"

namespace vextar::platform {

namespace fs = std::filesystem;

namespace {

bool ReadSmallFile(const fs::path& path, std::string& out, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    out.assign(limit + 1, '\0');
    in.read(out.data(), static_cast<std::streamsize>(out.size()));
    const std::streamsize n = in.gcount();
    if (n < 0 || static_cast<std::size_t>(n) > limit || in.bad()) {
        return false;
    }
    out.resize(static_cast<std::size_t>(n));
    return true;
}

bool ParseHex(std::string_view text, uint32_t& value) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.remove_suffix(1);
    }
    if (text.empty() || text.size() > 8) {
        return false;
    }
    value = 0;
    for (char c : text) {
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return false;
        }
        value = value * 16 + digit;
    }
    return true;
}

// "hidraw" followed by digits only: a path part we may join to a folder.
bool IsNodeName(std::string_view name) {
    constexpr std::string_view kPrefix = "hidraw";
    if (name.size() <= kPrefix.size() || name.size() > kPrefix.size() + 6 ||
        name.substr(0, kPrefix.size()) != kPrefix) {
        return false;
    }
    return std::all_of(name.begin() + kPrefix.size(), name.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

unsigned long NodeNumber(const std::string& name) {
    return std::strtoul(name.c_str() + 6, nullptr, 10);
}

std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, sep)) {
        parts.push_back(part);
    }
    return parts;
}

}  // namespace

HidrawBackend::HidrawBackend(std::string sysRoot, std::string devRoot)
    : sysRoot_(std::move(sysRoot)), devRoot_(std::move(devRoot)) {}

bool HidrawBackend::ReadNodeInfo(const std::string& node, HidrawNodeInfo& info,
                                 std::string& error) const {
    info = HidrawNodeInfo{};
    info.node = node;
    std::error_code ec;
    const fs::path classDir = fs::path(sysRoot_) / "class" / "hidraw" / node;
    const fs::path device = fs::canonical(classDir / "device", ec);
    if (ec) {
        error = "no HID device behind " + node;
        return false;
    }
    info.instance = device.filename().string();

    std::string uevent;
    if (!ReadSmallFile(device / "uevent", uevent, 64 * 1024)) {
        error = "cannot read the uevent of " + node;
        return false;
    }
    bool haveId = false;
    for (const std::string& line : Split(uevent, '\n')) {
        if (line.rfind("HID_ID=", 0) != 0) {
            continue;
        }
        const std::vector<std::string> ids = Split(line.substr(7), ':');
        uint32_t bus = 0;
        uint32_t vendor = 0;
        uint32_t product = 0;
        if (ids.size() == 3 && ParseHex(ids[0], bus) && ParseHex(ids[1], vendor) &&
            ParseHex(ids[2], product)) {
            info.bus = static_cast<uint16_t>(bus);
            info.vendorId = static_cast<uint16_t>(vendor);
            info.productId = static_cast<uint16_t>(product);
            haveId = true;
        }
    }
    if (!haveId) {
        error = "no HID_ID in the uevent of " + node;
        return false;
    }

    std::string descriptor;
    if (!ReadSmallFile(device / "report_descriptor", descriptor, hid::kMaxDescriptorBytes)) {
        error = "cannot read the report descriptor of " + node;
        return false;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(descriptor.data());
    if (!hid::ParseReportDescriptor(std::span(bytes, descriptor.size()), info.descriptor, error)) {
        error = "report descriptor of " + node + ": " + error;
        return false;
    }

    // The USB interface above the HID device, and the USB device above it.
    const fs::path usbInterface = device.parent_path();
    std::string text;
    uint32_t value = 0;
    if (ReadSmallFile(usbInterface / "bInterfaceNumber", text, 64) && ParseHex(text, value)) {
        info.interfaceNumber = static_cast<int>(value & 0xFFU);
        if (ReadSmallFile(usbInterface.parent_path() / "bcdDevice", text, 64) &&
            ParseHex(text, value)) {
            info.version = static_cast<uint16_t>(value);
        }
    }
    return true;
}

std::string HidrawBackend::MakePath(const HidrawNodeInfo& info, std::size_t collection) {
    char ids[64];
    int n = std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", info.vendorId, info.productId);
    if (info.interfaceNumber >= 0) {
        n += std::snprintf(ids + n, sizeof ids - static_cast<std::size_t>(n), "&mi_%02x",
                           static_cast<unsigned>(info.interfaceNumber));
    }
    if (info.descriptor.collections.size() > 1) {
        std::snprintf(ids + n, sizeof ids - static_cast<std::size_t>(n), "&col%02zx",
                      collection + 1);
    }
    return "hidraw#" + std::string(ids) + "#" + info.node + "#" + info.instance;
}

bool HidrawBackend::Enumerate(std::vector<std::string>& paths) {
    paths.clear();
    const fs::path classDir = fs::path(sysRoot_) / "class" / "hidraw";
    std::error_code ec;
    if (!fs::exists(classDir, ec)) {
        return !ec;  // no hidraw at all: nothing present
    }
    std::vector<std::string> nodes;
    for (fs::directory_iterator it(classDir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (IsNodeName(name)) {
            nodes.push_back(std::move(name));
        }
    }
    if (ec) {
        VEXTAR_LOG_WARNING("cannot list %s: %s", classDir.c_str(), ec.message().c_str());
        return false;
    }
    std::sort(nodes.begin(), nodes.end(), [](const std::string& a, const std::string& b) {
        return NodeNumber(a) < NodeNumber(b);
    });
    for (const std::string& node : nodes) {
        HidrawNodeInfo info;
        std::string error;
        if (!ReadNodeInfo(node, info, error)) {
            VEXTAR_LOG_DEBUG("skipping %s: %s", node.c_str(), error.c_str());
            continue;
        }
        for (std::size_t c = 0; c < info.descriptor.collections.size(); ++c) {
            paths.push_back(MakePath(info, c));
        }
    }
    return true;
}

HidOpenResult HidrawBackend::Open(const std::string& path, HidAccess access) {
    HidOpenResult result;
    const std::vector<std::string> parts = Split(path, '#');
    if (path.size() > kMaxHidPathLength || parts.size() != 4 || parts[0] != "hidraw" ||
        !IsNodeName(parts[2])) {
        result.error = HidOpenError::InvalidPath;
        result.message = "not a hidraw device path: " + path;
        return result;
    }
    HidrawNodeInfo info;
    std::string error;
    if (!ReadNodeInfo(parts[2], info, error) || info.instance != parts[3]) {
        result.error = HidOpenError::NotFound;
        result.message = "device is not present: " + path;
        return result;
    }
    // Find the collection the path names.
    std::size_t collection = info.descriptor.collections.size();
    for (std::size_t c = 0; c < info.descriptor.collections.size(); ++c) {
        if (MakePath(info, c) == path) {
            collection = c;
            break;
        }
    }
    if (collection == info.descriptor.collections.size()) {
        result.error = HidOpenError::NotFound;
        result.message = "device is not present: " + path;
        return result;
    }
    HidIdentity identity{info.vendorId, info.productId, info.version,
                         info.descriptor.collections[collection]};
    if (access == HidAccess::None) {
        result.handle = MakeIdentityHandle(std::move(identity));
        return result;
    }

    const std::string devicePath = (fs::path(devRoot_) / info.node).string();
    const bool writable = HasWrite(access);
    auto open = [&](HidOpenResult& failure) -> std::shared_ptr<HidNode> {
        const int flags = (writable ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC;
        UniqueFd fd(::open(devicePath.c_str(), flags));
        if (!fd.Valid()) {
            const int err = errno;
            if (err == EACCES || err == EPERM) {
                failure.error = HidOpenError::PermissionDenied;
                failure.message = "permission denied opening " + devicePath +
                                  ": install the udev rule packaging/udev/" + kUdevRuleName +
                                  " (see README) and plug the device in again";
            } else if (err == ENOENT || err == ENODEV || err == ENXIO) {
                failure.error = HidOpenError::NotFound;
                failure.message = "device is not present: " + devicePath;
            } else {
                failure.error = HidOpenError::Failed;
                failure.message = "cannot open " + devicePath + ": " + std::strerror(err);
            }
            return nullptr;
        }
        return std::make_shared<HidNode>(std::move(fd), info.descriptor, info.vendorId,
                                         info.productId, info.version);
    };
    // Readers and writers share one read-write descriptor; a read-only open
    // gets a descriptor of its own so that it needs no write permission.
    const std::string key = info.node + "#" + info.instance + (writable ? "#rw" : "#r");
    std::shared_ptr<HidNode> node = registry_.Acquire(key, open, result);
    if (!node) {
        return result;
    }
    result.handle = HidNode::MakeHandle(node, collection, access);
    return result;
}

namespace {

std::mutex& DefaultBackendMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<IHidBackend>& DefaultBackendSlot() {
    static std::shared_ptr<IHidBackend> backend;
    return backend;
}

}  // namespace

std::shared_ptr<IHidBackend> DefaultHidBackend() {
    std::lock_guard lock(DefaultBackendMutex());
    std::shared_ptr<IHidBackend>& slot = DefaultBackendSlot();
    if (!slot) {
        slot = std::make_shared<HidrawBackend>();
    }
    return slot;
}

void SetDefaultHidBackend(std::shared_ptr<IHidBackend> backend) {
    std::lock_guard lock(DefaultBackendMutex());
    DefaultBackendSlot() = std::move(backend);
}

}  // namespace vextar::platform

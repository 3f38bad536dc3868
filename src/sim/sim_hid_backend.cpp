#include "sim/sim_hid_backend.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sstream>
#include <thread>

#include "platform/log.h"

namespace vextar::sim {

using platform::HidAccess;
using platform::HidOpenError;
using platform::HidOpenResult;
using platform::UniqueFd;

// The device end of one open interface, served by its own thread until the
// host closes its end or the endpoint is destroyed.
struct SimHidBackend::Endpoint final : SimReportSink {
    Endpoint(UniqueFd device, std::shared_ptr<SimFirmware> fw)
        : fd(std::move(device)), firmware(std::move(fw)) {
        stop.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        thread = std::thread([this] { Serve(); });
    }
    ~Endpoint() override {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(stop.Get(), &one, sizeof one);
        thread.join();
    }
    Endpoint(const Endpoint&) = delete;
    Endpoint& operator=(const Endpoint&) = delete;

    void Disconnect() { ::shutdown(fd.Get(), SHUT_RDWR); }

    bool SendInputReport(std::span<const uint8_t> report) override {
        const ssize_t n =
            ::send(fd.Get(), report.data(), report.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        return n == static_cast<ssize_t>(report.size());
    }

    void Serve() {
        std::vector<uint8_t> buffer(16384 + 1);
        for (;;) {
            pollfd fds[2] = {{fd.Get(), POLLIN, 0}, {stop.Get(), POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (fds[1].revents != 0) {
                return;
            }
            if ((fds[0].revents & POLLIN) != 0) {
                const ssize_t n = ::recv(fd.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
                if (n > 0) {
                    if (firmware) {
                        firmware->OnOutputReport(
                            std::span<const uint8_t>(buffer.data(), static_cast<std::size_t>(n)),
                            *this);
                    }
                    continue;
                }
                if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                    continue;
                }
                return;  // the host closed its end
            }
            if ((fds[0].revents & (POLLHUP | POLLERR)) != 0) {
                return;
            }
        }
    }

    UniqueFd fd;
    UniqueFd stop;
    std::shared_ptr<SimFirmware> firmware;
    std::thread thread;
};

struct SimHidBackend::Interface {
    SimInterfaceSpec spec;
    hid::ReportDescriptor descriptor;
    std::unique_ptr<Endpoint> endpoint;
};

struct SimHidBackend::Device {
    SimDeviceSpec spec;
    std::vector<Interface> interfaces;
    bool plugged = true;
    unsigned instance = 0;
};

SimHidBackend::SimHidBackend() = default;

SimHidBackend::~SimHidBackend() {
    std::vector<std::unique_ptr<Endpoint>> endpoints;
    {
        std::lock_guard lock(mutex_);
        for (auto& d : devices_) {
            for (Interface& i : d->interfaces) {
                if (i.endpoint) {
                    endpoints.push_back(std::move(i.endpoint));
                }
            }
        }
    }
}

SimHidBackend::Device* SimHidBackend::FindLocked(const std::string& name) {
    for (auto& d : devices_) {
        if (d->spec.name == name) {
            return d.get();
        }
    }
    return nullptr;
}

const SimHidBackend::Device* SimHidBackend::FindLocked(const std::string& name) const {
    return const_cast<SimHidBackend*>(this)->FindLocked(name);
}

bool SimHidBackend::AddDevice(SimDeviceSpec spec, std::string& error) {
    const bool goodName =
        !spec.name.empty() && std::all_of(spec.name.begin(), spec.name.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '-' || c == '_';
        });
    if (!goodName) {
        error = "bad simulated device name '" + spec.name + "'";
        return false;
    }
    auto device = std::make_unique<Device>();
    for (const SimInterfaceSpec& is : spec.interfaces) {
        Interface i;
        i.spec = is;
        std::string why;
        if (!hid::ParseReportDescriptor(is.descriptor, i.descriptor, why)) {
            error = spec.name + ": interface " + std::to_string(is.number) + ": " + why;
            return false;
        }
        device->interfaces.push_back(std::move(i));
    }
    std::lock_guard lock(mutex_);
    if (FindLocked(spec.name) != nullptr) {
        error = "simulated device '" + spec.name + "' exists already";
        return false;
    }
    device->spec = std::move(spec);
    device->instance = nextInstance_++;
    devices_.push_back(std::move(device));
    return true;
}

bool SimHidBackend::Plug(const std::string& name) {
    std::lock_guard lock(mutex_);
    Device* d = FindLocked(name);
    if (d == nullptr) {
        return false;
    }
    if (!d->plugged) {
        d->plugged = true;
        d->instance = nextInstance_++;  // a new plug is a new device instance
    }
    return true;
}

bool SimHidBackend::Unplug(const std::string& name) {
    // Safe from a firmware thread: the device ends are shut, not destroyed,
    // so every open host end reads end-of-file and no thread is joined here.
    std::lock_guard lock(mutex_);
    Device* d = FindLocked(name);
    if (d == nullptr) {
        return false;
    }
    d->plugged = false;
    for (Interface& i : d->interfaces) {
        if (i.endpoint) {
            i.endpoint->Disconnect();
        }
    }
    return true;
}

bool SimHidBackend::IsPlugged(const std::string& name) const {
    std::lock_guard lock(mutex_);
    const Device* d = FindLocked(name);
    return d != nullptr && d->plugged;
}

std::vector<std::string> SimHidBackend::DeviceNames() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const auto& d : devices_) {
        names.push_back(d->spec.name);
    }
    return names;
}

bool SimHidBackend::SendInputReport(const std::string& name, uint8_t interfaceNumber,
                                    std::span<const uint8_t> report) {
    std::lock_guard lock(mutex_);
    Device* d = FindLocked(name);
    if (d == nullptr || !d->plugged) {
        return false;
    }
    for (Interface& i : d->interfaces) {
        if (i.spec.number == interfaceNumber && i.endpoint) {
            return i.endpoint->SendInputReport(report);
        }
    }
    return false;
}

std::string SimHidBackend::MakePath(const Device& d, const Interface& i, std::size_t collection) {
    char ids[64];
    int n = std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x&mi_%02x", d.spec.vendorId,
                          d.spec.productId, i.spec.number);
    if (i.descriptor.collections.size() > 1) {
        std::snprintf(ids + n, sizeof ids - static_cast<std::size_t>(n), "&col%02zx",
                      collection + 1);
    }
    return "sim#" + std::string(ids) + "#" + d.spec.name + "." + std::to_string(i.spec.number) +
           "#" + std::to_string(d.instance);
}

bool SimHidBackend::Enumerate(std::vector<std::string>& paths) {
    paths.clear();
    std::lock_guard lock(mutex_);
    for (const auto& d : devices_) {
        if (!d->plugged) {
            continue;
        }
        for (const Interface& i : d->interfaces) {
            for (std::size_t c = 0; c < i.descriptor.collections.size(); ++c) {
                paths.push_back(MakePath(*d, i, c));
            }
        }
    }
    return true;
}

HidOpenResult SimHidBackend::Open(const std::string& path, HidAccess access) {
    HidOpenResult result;
    std::vector<std::unique_ptr<Endpoint>> retired;  // destroyed after the lock
    std::lock_guard lock(mutex_);
    // Find the device interface and collection whose path this is.
    for (auto& d : devices_) {
        if (!d->plugged) {
            continue;
        }
        for (Interface& i : d->interfaces) {
            for (std::size_t c = 0; c < i.descriptor.collections.size(); ++c) {
                if (MakePath(*d, i, c) != path) {
                    continue;
                }
                platform::HidIdentity identity{d->spec.vendorId, d->spec.productId, d->spec.version,
                                               i.descriptor.collections[c]};
                if (access == HidAccess::None) {
                    result.handle = platform::MakeIdentityHandle(std::move(identity));
                    return result;
                }
                const std::string key = d->spec.name + "." + std::to_string(i.spec.number) + "#" +
                                        std::to_string(d->instance);
                auto open = [&](HidOpenResult& failure) -> std::shared_ptr<platform::HidNode> {
                    int fds[2];
                    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0,
                                     fds) != 0) {
                        failure.error = HidOpenError::Failed;
                        failure.message = "cannot create the simulated device's channel";
                        return nullptr;
                    }
                    UniqueFd host(fds[0]);
                    UniqueFd device(fds[1]);
                    if (i.endpoint) {
                        retired.push_back(std::move(i.endpoint));
                    }
                    i.endpoint = std::make_unique<Endpoint>(std::move(device), i.spec.firmware);
                    return std::make_shared<platform::HidNode>(std::move(host), i.descriptor,
                                                               d->spec.vendorId, d->spec.productId,
                                                               d->spec.version);
                };
                std::shared_ptr<platform::HidNode> node = registry_.Acquire(key, open, result);
                if (node) {
                    result.handle = platform::HidNode::MakeHandle(node, c, access);
                }
                return result;
            }
        }
    }
    result.error = HidOpenError::NotFound;
    result.message = "device is not present: " + path;
    return result;
}

}  // namespace vextar::sim

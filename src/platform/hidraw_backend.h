#pragma once

// The real HID backend: hidraw. Interfaces are found by walking
// <sys>/class/hidraw; each node is described by its HID device's uevent
// (HID_ID), the USB interface above it (bInterfaceNumber), the USB device
// above that (bcdDevice) and its report descriptor, which we parse ourselves.
//
// One path per top-level collection:
//   hidraw#vid_320f&pid_7074&mi_01&col04#hidraw3#0003:320F:7074.0005
// The last part is the kernel's name of the HID device. The kernel numbers
// HID devices anew on every plug, so a hidraw node number that another device
// took over no longer matches the path, and the old path reads as absent.

#include <string>

#include "platform/hid_backend.h"
#include "platform/hid_node.h"

namespace vextar::platform {

// Where the rule that grants access to our devices' nodes is installed from.
inline constexpr const char* kUdevRuleName = "70-vextar.rules";

struct HidrawNodeInfo {
    std::string node;      // "hidraw3"
    std::string instance;  // "0003:320F:7074.0005"
    uint16_t bus = 0;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0;
    int interfaceNumber = -1;  // -1 when the node is not on a USB interface
    hid::ReportDescriptor descriptor;
};

class HidrawBackend final : public IHidBackend {
  public:
    explicit HidrawBackend(std::string sysRoot = "/sys", std::string devRoot = "/dev");

    bool Enumerate(std::vector<std::string>& paths) override;
    HidOpenResult Open(const std::string& path, HidAccess access) override;

    // Reads what sysfs says of one node; false (with a reason) when it cannot
    // be read or its descriptor is malformed.
    bool ReadNodeInfo(const std::string& node, HidrawNodeInfo& info, std::string& error) const;
    // The path of collection `collection` (0-based) of a node.
    static std::string MakePath(const HidrawNodeInfo& info, std::size_t collection);

  private:
    std::string sysRoot_;
    std::string devRoot_;
    HidNodeRegistry registry_;
};

}  // namespace vextar::platform

#include "sim/sim_catalog.h"

#include <algorithm>
#include <array>
#include <sstream>

namespace vextar::sim {

namespace descriptors {
namespace {

constexpr uint8_t kBootMouse[] = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,              // Generic Desktop, Mouse, Application
    0x09, 0x01, 0xA1, 0x00,                          // Pointer, Physical
    0x05, 0x09, 0x19, 0x01, 0x29, 0x05,              // Buttons 1..5
    0x15, 0x00, 0x25, 0x01, 0x95, 0x05, 0x75, 0x01,  //
    0x81, 0x02,                                      // Input (Data, Var, Abs)
    0x95, 0x01, 0x75, 0x03, 0x81, 0x01,              // padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x38,  // X, Y, Wheel
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03,  //
    0x81, 0x06,                                      // Input (Data, Var, Rel)
    0xC0, 0xC0,
};

constexpr uint8_t kBootKeyboard[] = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,              // Generic Desktop, Keyboard
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,              // modifiers
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08,  //
    0x81, 0x02,                                      //
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,              // reserved byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01,  // LEDs
    0x29, 0x05, 0x91, 0x02,                          //
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,              // LED padding
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65,  // six keys
    0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00,  //
    0xC0,
};

constexpr uint8_t kCommandInterface[] = {
    // Collection 1: keyboard keys, report 1.
    0x05,
    0x01,
    0x09,
    0x06,
    0xA1,
    0x01,
    0x85,
    0x01,  //
    0x05,
    0x07,
    0x19,
    0xE0,
    0x29,
    0xE7,
    0x15,
    0x00,  //
    0x25,
    0x01,
    0x75,
    0x01,
    0x95,
    0x08,
    0x81,
    0x02,  //
    0x95,
    0x01,
    0x75,
    0x08,
    0x81,
    0x01,  //
    0x95,
    0x06,
    0x75,
    0x08,
    0x15,
    0x00,
    0x25,
    0x65,  //
    0x19,
    0x00,
    0x29,
    0x65,
    0x81,
    0x00,
    0xC0,  //
    // Collection 2: system control, report 2.
    0x05,
    0x01,
    0x09,
    0x80,
    0xA1,
    0x01,
    0x85,
    0x02,  //
    0x19,
    0x81,
    0x29,
    0x83,
    0x15,
    0x00,
    0x25,
    0x01,  //
    0x75,
    0x01,
    0x95,
    0x03,
    0x81,
    0x02,  //
    0x95,
    0x05,
    0x81,
    0x01,
    0xC0,  //
    // Collection 3: consumer control, report 3. Its usages reach 0x1FFF: the
    // mouse tells of profile and DPI changes with codes 0x0401..0x11FF.
    0x05,
    0x0C,
    0x09,
    0x01,
    0xA1,
    0x01,
    0x85,
    0x03,  //
    0x15,
    0x00,
    0x26,
    0xFF,
    0x1F,
    0x19,
    0x00,
    0x2A,  //
    0xFF,
    0x1F,
    0x75,
    0x10,
    0x95,
    0x01,
    0x81,
    0x00,  //
    0xC0,  //
    // Collection 4: command frames, report 4, 63 bytes each way.
    0x06,
    0x1C,
    0xFF,
    0x09,
    0x92,
    0xA1,
    0x01,
    0x85,  //
    0x04,
    0x09,
    0x01,
    0x15,
    0x00,
    0x26,
    0xFF,
    0x00,  //
    0x75,
    0x08,
    0x95,
    0x3F,
    0x81,
    0x02,
    0x09,
    0x02,  //
    0x95,
    0x3F,
    0x91,
    0x02,
    0xC0,
};

constexpr uint8_t kHeadset[] = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,              // Consumer Control
    0x85, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x02,        // report 1: consumer keys
    0x19, 0x00, 0x2A, 0xFF, 0x02, 0x75, 0x10, 0x95,  //
    0x01, 0x81, 0x00,                                //
    0x85, 0x04, 0x06, 0x1C, 0xFF, 0x09, 0x01,        // report 4: command frames
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95,  //
    0x3F, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02,        //
    0x85, 0xFF, 0x09, 0x03, 0x95, 0x10, 0x91, 0x02,  // report 0xFF: LED output
    0xC0,
};

}  // namespace

std::span<const uint8_t> BootMouse() {
    return kBootMouse;
}
std::span<const uint8_t> BootKeyboard() {
    return kBootKeyboard;
}
std::span<const uint8_t> CommandInterface() {
    return kCommandInterface;
}
std::span<const uint8_t> Headset() {
    return kHeadset;
}

}  // namespace descriptors

namespace {

std::vector<uint8_t> Copy(std::span<const uint8_t> s) {
    return {s.begin(), s.end()};
}

struct CatalogEntry {
    const char* name;
    const char* model;
    uint16_t vendor;
    uint16_t product;
    bool receiver;
    int kind;  // 0 mouse, 1 keyboard, 2 mouse pad, 3 headset
};

constexpr CatalogEntry kCatalog[] = {
    {"mouse", "mouse", 0x320F, 0x7074, false, 0},
    {"mouse-receiver", "mouse", 0x320F, 0x221D, true, 0},
    {"keyboard", "keyboard", 0x320F, 0x505B, false, 1},
    {"keyboard-receiver", "keyboard", 0x320F, 0x50EC, true, 1},
    {"mousepad", "mousepad", 0x320F, 0x1004, false, 2},
    {"headset", "headset", 0x0C76, 0x1630, false, 3},
};

// The headset's consumer keys are report 1 of its only interface, 3; the
// other devices' are report 3 of their command interface, 1.
NotificationRoute RouteOf(const CatalogEntry& e) {
    return e.kind == 3 ? NotificationRoute{3, 1} : NotificationRoute{1, 3};
}

PeripheralConfig ConfigOf(int kind) {
    switch (kind) {
        case 0:
            return MouseConfig();
        case 1:
            return KeyboardConfig();
        case 2:
            return MousePadConfig();
        default:
            return HeadsetConfig();
    }
}

}  // namespace

const std::vector<std::string>& CatalogNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const CatalogEntry& e : kCatalog) {
            n.emplace_back(e.name);
        }
        return n;
    }();
    return names;
}

std::optional<NotificationRoute> NotificationRouteOf(std::string_view name) {
    for (const CatalogEntry& e : kCatalog) {
        if (name == e.name) {
            return RouteOf(e);
        }
    }
    return std::nullopt;
}

bool AddSimulatedDevices(SimHidBackend& backend, const std::string& list, std::string& error,
                         const SimOptions& options, SimDevices* devices) {
    std::vector<std::string> names;
    std::istringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        if (item == "all") {
            for (const char* n : {"mouse", "keyboard", "mousepad", "headset"}) {
                names.emplace_back(n);
            }
        } else {
            names.push_back(item);
        }
    }
    if (names.empty()) {
        error = "the --simulate list is empty";
        return false;
    }
    std::vector<const CatalogEntry*> entries;
    for (const std::string& name : names) {
        const CatalogEntry* found = nullptr;
        for (const CatalogEntry& e : kCatalog) {
            if (name == e.name) {
                found = &e;
            }
        }
        if (found == nullptr) {
            error = "unknown simulated device '" + name +
                    "' (known: mouse, mouse-receiver, keyboard, keyboard-receiver, mousepad, "
                    "headset, all)";
            return false;
        }
        if (std::find(entries.begin(), entries.end(), found) != entries.end()) {
            error = "simulated device '" + name + "' is listed twice";
            return false;
        }
        entries.push_back(found);
    }
    for (const FaultSpec& f : options.faults) {
        if (std::none_of(entries.begin(), entries.end(),
                         [&](const CatalogEntry* e) { return f.device == e->name; })) {
            error = "fault for '" + f.device + "', which is not simulated";
            return false;
        }
    }
    SimDevices local;
    SimDevices& out = devices != nullptr ? *devices : local;
    for (const CatalogEntry* e : entries) {
        std::shared_ptr<PeripheralModel>& model = out.models[e->model];
        if (!model) {
            model =
                std::make_shared<PeripheralModel>(e->model, ConfigOf(e->kind), options.stateDir);
        }
        std::vector<FaultSpec> faults;
        for (const FaultSpec& f : options.faults) {
            if (f.device == e->name) {
                faults.push_back(f);
            }
        }
        const NotificationRoute route = RouteOf(*e);
        std::shared_ptr<CommandFirmware> firmware =
            e->receiver ? std::make_shared<ReceiverFirmware>(model, faults, &backend, e->name,
                                                             route.reportId)
                        : std::make_shared<CommandFirmware>(model, faults, &backend, e->name,
                                                            route.reportId);
        out.firmware[e->name] = firmware;
        SimDeviceSpec spec;
        spec.name = e->name;
        spec.vendorId = e->vendor;
        spec.productId = e->product;
        if (e->kind == 3) {
            spec.interfaces.push_back(
                {route.interfaceNumber, Copy(descriptors::Headset()), firmware});
        } else {
            if (e->kind == 0) {
                spec.interfaces.push_back({0, Copy(descriptors::BootMouse()), nullptr});
            } else if (e->kind == 1) {
                spec.interfaces.push_back({0, Copy(descriptors::BootKeyboard()), nullptr});
            }
            spec.interfaces.push_back(
                {route.interfaceNumber, Copy(descriptors::CommandInterface()), firmware});
        }
        if (!backend.AddDevice(std::move(spec), error)) {
            return false;
        }
    }
    return true;
}

}  // namespace vextar::sim

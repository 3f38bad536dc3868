// vextarctl's device commands: they bind the devices present the way the
// application's discovery does, then run the same command sequences.

#include <cctype>
#include <cstdio>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_common.h"
#include "device/device_link.h"
#include "devicelink/device_tables.h"
#include "platform/hidraw_backend.h"

namespace vextar::cli {

int UsageError(std::ostream& err, const std::string& message) {
    err << "vextarctl: " << message << "\n"
        << "Try 'vextarctl --help'.\n";
    return kExitUsage;
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFFU);
    return text;
}

std::optional<uint32_t> ParseNumber(const std::string& text, uint32_t max) {
    // ParseInt64's digits, without a sign and at most ten of them.
    std::string_view digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
    }
    if (text.empty() || text[0] == '-' || digits.size() > 10) {
        return std::nullopt;
    }
    const std::optional<int64_t> value = ParseInt64(text);
    if (!value || *value > static_cast<int64_t>(max)) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(*value);
}

std::optional<Backend> MakeBackend(const Options& options, std::ostream& err) {
    Backend b;
    if (options.simulate.empty()) {
        if (!options.simState.empty() || !options.simFault.empty()) {
            UsageError(err, "--sim-state and --sim-fault need --simulate");
            return std::nullopt;
        }
        b.hid = platform::DefaultHidBackend();
        return b;
    }
    sim::SimOptions simOptions;
    simOptions.stateDir = options.simState;
    std::string error;
    if (!options.simFault.empty() &&
        !sim::ParseFaults(options.simFault, simOptions.faults, error)) {
        UsageError(err, "--sim-fault: " + error);
        return std::nullopt;
    }
    b.sim = std::make_shared<sim::SimHidBackend>();
    if (!sim::AddSimulatedDevices(*b.sim, options.simulate, error, simOptions, &b.devices)) {
        UsageError(err, error);
        return std::nullopt;
    }
    b.hid = b.sim;
    return b;
}

namespace {

// A device page bound to a present command interface.
struct BoundDevice {
    std::string typeName;
    bool receiver = false;
    HidInterfaceRow row;
};

std::vector<BoundDevice> BindDevices(const std::shared_ptr<platform::IHidBackend>& backend,
                                     bool& listed) {
    InterfaceWorkingCopy rows;
    BindPresentInterfaces(rows, backend, &listed);
    std::vector<BoundDevice> devices;
    for (const DeviceTypeRow& type : kDeviceTypeTable) {
        const int r = FindInterfaceRow(static_cast<uint16_t>(type.vendorId),
                                       static_cast<uint16_t>(type.productId),
                                       static_cast<uint16_t>(type.kind), kChannelCommand);
        if (r < 0) {
            continue;
        }
        const HidInterfaceRow cable = rows.Row(static_cast<std::size_t>(r));
        if (cable.connected != 0) {
            devices.push_back({type.typeName, false, cable});  // the cable has priority
            continue;
        }
        if (cable.hasPartner != 0) {
            const HidInterfaceRow receiver = rows.Row(cable.partnerRow);
            if (receiver.connected != 0) {
                devices.push_back({type.typeName, true, receiver});
            }
        }
    }
    return devices;
}

bool SameLetters(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// A device type as typed: its type name in any letter case, or "headset"
// for "HD" and "mousepad" for "MousePad".
bool SameNoCase(const std::string& typed, const std::string& typeName) {
    if (SameLetters(typed, typeName)) {
        return true;
    }
    return (typeName == "HD" && SameLetters(typed, "headset"));
}

std::string HexBytes(std::span<const uint8_t> bytes, std::size_t perLine) {
    std::string out;
    char two[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        out += two;
        out += (i + 1) % perLine == 0 || i + 1 == bytes.size() ? '\n' : ' ';
    }
    return out;
}

std::optional<std::vector<uint8_t>> ParseHexBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == '-') {
            if (high >= 0) {
                return std::nullopt;  // half a byte before a separator
            }
            continue;
        }
        int d = -1;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        }
        if (d < 0) {
            return std::nullopt;
        }
        if (high < 0) {
            high = d;
        } else {
            bytes.push_back(static_cast<uint8_t>(high * 16 + d));
            high = -1;
        }
    }
    if (high >= 0 || bytes.empty()) {
        return std::nullopt;
    }
    return bytes;
}

int Failed(std::ostream& err, const std::string& what, int32_t result) {
    err << "vextarctl: " << what << ": " << ResultText(result) << "\n";
    return kExitDeviceOrFile;
}

uint16_t Little16(std::span<const uint8_t> b, std::size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

}  // namespace

int RunDeviceCommand(const Options& options, const std::string& command,
                     std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    struct Shape {
        const char* name;
        std::size_t args;
        const char* usage;
    };
    static constexpr Shape kShapes[] = {{"list", 0, "list takes no arguments"},
                                        {"info", 1, "info takes one TYPE"},
                                        {"read", 3, "read takes TYPE OFFSET LENGTH"},
                                        {"write", 3, "write takes TYPE OFFSET HEX"},
                                        {"keys", 1, "keys takes one TYPE"}};
    const Shape* shape = nullptr;
    for (const Shape& s : kShapes) {
        if (command == s.name) {
            shape = &s;
        }
    }
    if (shape == nullptr) {
        return -1;
    }
    if (args.size() != shape->args) {
        return UsageError(err, shape->usage);
    }
    // Check the arguments before touching any device.
    std::optional<uint32_t> offset;
    std::optional<uint32_t> length;
    std::optional<std::vector<uint8_t>> bytes;
    if (command == "read" || command == "write") {
        offset = ParseNumber(args[1], 0xFFFF);
        if (!offset) {
            return UsageError(err, "OFFSET must be a number from 0 to 65535");
        }
    }
    if (command == "read") {
        length = ParseNumber(args[2], 4096);
        if (!length || *length == 0) {
            return UsageError(err, "LENGTH must be a number from 1 to 4096");
        }
    }
    if (command == "write") {
        bytes = ParseHexBytes(args[2]);
        if (!bytes || bytes->size() > 4096) {
            return UsageError(err, "HEX must be whole bytes in hexadecimal, at most 4096");
        }
    }
    if (!args.empty()) {
        bool known = false;
        for (const DeviceTypeRow& type : kDeviceTypeTable) {
            known |= SameNoCase(args[0], type.typeName);
        }
        if (!known) {
            return UsageError(
                err, "unknown device type '" + args[0] + "' (mouse, keyboard, MousePad or HD)");
        }
    }

    std::optional<Backend> backend = MakeBackend(options, err);
    if (!backend) {
        return kExitUsage;
    }
    bool listed = true;
    const std::vector<BoundDevice> devices = BindDevices(backend->hid, listed);
    if (!listed) {
        err << "vextarctl: cannot list the HID interfaces of this machine\n";
        return kExitDeviceOrFile;
    }
    if (command == "list") {
        for (const BoundDevice& d : devices) {
            out << d.typeName << " " << (d.receiver ? "receiver" : "cable") << " "
                << Hex4(d.row.vendorId) << ":" << Hex4(d.row.productId) << "\n";
        }
        return kExitOk;
    }

    const BoundDevice* device = nullptr;
    for (const BoundDevice& d : devices) {
        if (SameNoCase(d.typeName, args[0])) {
            device = &d;
        }
    }
    if (device == nullptr) {
        err << "vextarctl: no " << args[0] << " is connected\n";
        return kExitDeviceOrFile;
    }
    CDeviceLink link(backend->hid);
    CHidInterface& hid = device->receiver ? link.receiverInterface : link.cableInterface;
    if (!hid.Open(device->row.path, true, true, true, false)) {
        err << "vextarctl: cannot open the " << device->typeName << ": " << hid.LastError() << "\n";
        return kExitDeviceOrFile;
    }
    link.SetMode(device->receiver ? CDeviceLink::kModeReceiver : CDeviceLink::kModeCable);
    link.open.store(true);
    const std::string what = command + " " + device->typeName;

    if (command == "info") {
        std::array<uint8_t, kInfoBlockSize> info{};
        const int32_t r = link.RunSequence([&] { return link.ReadInfo(info); });
        if (r != kResultOk) {
            return Failed(err, what, r);
        }
        out << "key_count=" << static_cast<unsigned>(info[5]) << "\n"
            << "macro_memory=" << static_cast<unsigned>(info[6]) * 128U << "\n"
            << "sensor=0x" << Hex4(Little16(info, 9)) << "\n"
            << "dpi_step=" << static_cast<unsigned>(info[11]) << "\n"
            << "highest_dpi_step=" << Little16(info, 12) << "\n"
            << "lowest_dpi=" << Little16(info, 14) << "\n"
            << "raw=" << HexBytes(info, info.size());
        return kExitOk;
    }
    if (command == "read") {
        std::vector<uint8_t> buffer(*length);
        const int32_t r = link.RunSequence([&] { return link.ReadMemory(buffer, *offset); });
        if (r != kResultOk) {
            return Failed(err, what, r);
        }
        out << HexBytes(buffer, 16);
        return kExitOk;
    }
    if (command == "write") {
        const int32_t r = link.RunSequence([&] { return link.WriteMemory(*bytes, *offset); });
        if (r != kResultOk) {
            return Failed(err, what, r);
        }
        return kExitOk;
    }
    // keys: the information block says how many keys the table holds.
    std::vector<uint8_t> keys;
    const int32_t r = link.RunSequence([&] {
        std::array<uint8_t, kInfoBlockSize> info{};
        if (const int32_t got = link.ReadInfo(info); got != kResultOk) {
            return got;
        }
        const auto size = static_cast<uint16_t>(std::min<unsigned>(info[5] * 3U, kMaxBlockSize));
        link.SetBlockSize(size);
        keys.assign(size, 0);
        return link.ReadKeys(keys);
    });
    if (r != kResultOk) {
        return Failed(err, what, r);
    }
    for (std::size_t k = 0; k + 2 < keys.size(); k += 3) {
        char line[32];
        std::snprintf(line, sizeof line, "%zu: %02x %02x %02x\n", k / 3, keys[k], keys[k + 1],
                      keys[k + 2]);
        out << line;
    }
    return kExitOk;
}

}  // namespace vextar::cli

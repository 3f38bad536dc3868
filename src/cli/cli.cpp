#include "cli/cli.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "devicelink/hid_interface.h"
#include "platform/hid_descriptor.h"
#include "platform/log.h"
#include "sim/sim_catalog.h"
#include "vextar_version.h"

namespace vextar::cli {
namespace {

constexpr const char* kUsage =
    "usage: vextarctl [--simulate LIST] COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  hid-list             list the HID interfaces present, one line each:\n"
    "                       PATH VID:PID PAGE:USAGE in=N out=N feat=N\n"
    "  hid-describe FILE    parse a binary HID report descriptor and print its\n"
    "                       top-level collections\n"
    "\n"
    "Options:\n"
    "  --simulate LIST      use simulated devices instead of hidraw; LIST is a\n"
    "                       comma-separated list of mouse, mouse-receiver, keyboard,\n"
    "                       keyboard-receiver, mousepad, headset, or all\n"
    "  --help               show this help\n"
    "  --version            show the version\n"
    "\n"
    "Exit status: 0 success, 1 device or file error, 2 usage or input error.\n";

struct Options {
    std::string simulate;
};

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

int HidList(const Options& options, std::span<const std::string> args, std::ostream& out,
            std::ostream& err) {
    if (!args.empty()) {
        return UsageError(err, "hid-list takes no arguments");
    }
    std::shared_ptr<platform::IHidBackend> backend;
    if (!options.simulate.empty()) {
        auto sim = std::make_shared<sim::SimHidBackend>();
        std::string error;
        if (!sim::AddSimulatedDevices(*sim, options.simulate, error)) {
            return UsageError(err, error);
        }
        backend = sim;
    }
    CHidInterface lister(backend);
    if (!lister.EnumeratePaths()) {
        err << "vextarctl: cannot list the HID interfaces of this machine\n";
        return kExitDeviceOrFile;
    }
    while (std::optional<std::string> path = lister.NextPath()) {
        CHidInterface probe(backend);
        if (!probe.Open(*path, false, false, true, false)) {
            continue;  // gone since the listing
        }
        const HidCaps& c = probe.capabilities;
        out << *path << " " << Hex4(probe.attributes.VendorID) << ":"
            << Hex4(probe.attributes.ProductID) << " " << Hex4(c.UsagePage) << ":" << Hex4(c.Usage)
            << " in=" << c.InputReportByteLength << " out=" << c.OutputReportByteLength
            << " feat=" << c.FeatureReportByteLength << "\n";
    }
    return kExitOk;
}

int HidDescribe(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1) {
        return UsageError(err, "hid-describe takes one FILE");
    }
    const std::string& file = args[0];
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        err << "vextarctl: cannot read " << file << "\n";
        return kExitDeviceOrFile;
    }
    // Read a little more than any descriptor may hold, so that the parser
    // can say a file is too long rather than see it cut.
    std::vector<uint8_t> bytes(hid::kMaxDescriptorBytes + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        err << "vextarctl: cannot read " << file << "\n";
        return kExitDeviceOrFile;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));

    hid::ReportDescriptor descriptor;
    std::string error;
    if (!hid::ParseReportDescriptor(bytes, descriptor, error)) {
        err << "vextarctl: " << file << ": malformed report descriptor: " << error << "\n";
        return kExitUsage;
    }
    for (std::size_t i = 0; i < descriptor.collections.size(); ++i) {
        const hid::TopLevelCollection& c = descriptor.collections[i];
        std::string ids;
        for (uint8_t id : c.reportIds) {
            if (!ids.empty()) {
                ids += ',';
            }
            ids += std::to_string(id);
        }
        out << "collection " << i + 1 << " usage_page=0x" << Hex4(c.usagePage) << " usage=0x"
            << Hex4(c.usage) << " report_ids=" << (ids.empty() ? "none" : ids)
            << " input=" << c.ReportByteLength(hid::ReportType::Input)
            << " output=" << c.ReportByteLength(hid::ReportType::Output)
            << " feature=" << c.ReportByteLength(hid::ReportType::Feature) << "\n";
    }
    return kExitOk;
}

}  // namespace

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    Options options;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            out << kUsage;
            return kExitOk;
        }
        if (a == "--version") {
            out << "vextarctl " << VEXTAR_VERSION_STRING << "\n";
            return kExitOk;
        }
        if (a == "--simulate") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return UsageError(err, "--simulate needs a LIST");
            }
            options.simulate = args[++i];
        } else if (a.rfind("--simulate=", 0) == 0) {
            options.simulate = a.substr(11);
            if (options.simulate.empty()) {
                return UsageError(err, "--simulate needs a LIST");
            }
        } else if (!a.empty() && a[0] == '-') {
            return UsageError(err, "unknown option '" + a + "'");
        } else {
            break;
        }
    }
    if (i >= args.size()) {
        return UsageError(err, "no command given");
    }
    const std::string& command = args[i];
    const std::span<const std::string> rest = args.subspan(i + 1);
    if (command == "hid-list") {
        return HidList(options, rest, out, err);
    }
    if (command == "hid-describe") {
        return HidDescribe(rest, out, err);
    }
    return UsageError(err, "unknown command '" + command + "'");
}

}  // namespace vextar::cli

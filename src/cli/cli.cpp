#include "cli/cli.h"

#include <cstdlib>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "cli/cli_common.h"
#include "device/device_link.h"
#include "devicelink/hid_interface.h"
#include "platform/hid_descriptor.h"
#include "platform/log.h"
#include "sim/sim_catalog.h"
#include "vextar_version.h"

namespace vextar::cli {
namespace {

constexpr const char* kUsage =
    "usage: vextarctl [OPTIONS] COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  hid-list             list the HID interfaces present, one line each:\n"
    "                       PATH VID:PID PAGE:USAGE in=N out=N feat=N\n"
    "  hid-describe FILE    parse a binary HID report descriptor and print its\n"
    "                       top-level collections\n"
    "  list                 the connected devices: TYPE cable|receiver VID:PID\n"
    "  info TYPE            the device's information block\n"
    "  read TYPE OFFSET LENGTH\n"
    "                       read settings memory (hex out)\n"
    "  write TYPE OFFSET HEX\n"
    "                       write settings memory (HEX: bytes such as 0a1b or 0a 1b)\n"
    "  keys TYPE            the key table, one key (3 bytes) a line\n"
    "TYPE is mouse, keyboard, MousePad or HD (letter case ignored); numbers are\n"
    "decimal or 0x hexadecimal.\n"
    "\n"
    "Options (before the command):\n"
    "  --simulate LIST      use simulated devices instead of hidraw; LIST is a\n"
    "                       comma-separated list of mouse, mouse-receiver, keyboard,\n"
    "                       keyboard-receiver, mousepad, headset, or all\n"
    "  --sim-state DIR      keep the simulated devices' memory in DIR between runs\n"
    "  --sim-fault SPEC     make simulated devices misbehave; SPEC is a comma-\n"
    "                       separated list of DEVICE:FAULT, FAULT one of drop@N,\n"
    "                       late@N, foreign@N, echo@N, fe@N, ff@N, unplug@N,\n"
    "                       notify@N (at the device's Nth command frame),\n"
    "                       delay=MS (every reply) or unlinked (a receiver)\n"
    "  --trace              write every command frame and reply to stderr\n"
    "                       (also VEXTAR_TRACE=1)\n"
    "  --help               show this help\n"
    "  --version            show the version\n"
    "\n"
    "Exit status: 0 success, 1 device or file error, 2 usage or input error.\n";

int HidList(const Options& options, std::span<const std::string> args, std::ostream& out,
            std::ostream& err) {
    if (!args.empty()) {
        return UsageError(err, "hid-list takes no arguments");
    }
    std::optional<Backend> chosen = MakeBackend(options, err);
    if (!chosen) {
        return kExitUsage;
    }
    const std::shared_ptr<platform::IHidBackend>& backend = chosen->hid;
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
        struct Valued {
            const char* name;
            const char* what;
            std::string* into;
        };
        const Valued valued[] = {{"--simulate", "a LIST", &options.simulate},
                                 {"--sim-state", "a DIR", &options.simState},
                                 {"--sim-fault", "a SPEC", &options.simFault}};
        bool matched = false;
        for (const Valued& v : valued) {
            const std::string prefix = std::string(v.name) + "=";
            if (a == v.name || a.rfind(prefix, 0) == 0) {
                std::string value;
                if (a == v.name) {
                    if (i + 1 >= args.size()) {
                        return UsageError(err, std::string(v.name) + " needs " + v.what);
                    }
                    value = args[++i];
                } else {
                    value = a.substr(prefix.size());
                }
                if (value.empty()) {
                    return UsageError(err, std::string(v.name) + " needs " + v.what);
                }
                *v.into = value;
                matched = true;
            }
        }
        if (matched) {
            continue;
        }
        if (a == "--trace") {
            options.trace = true;
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
    if (options.trace) {
        SetTraceEnabled(true);
    }
    if (const int status = RunDeviceCommand(options, command, rest, out, err); status >= 0) {
        return status;
    }
    return UsageError(err, "unknown command '" + command + "'");
}

}  // namespace vextar::cli

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
#include "macro/macro_delete.h"
#include "macro/macro_library.h"
#include "platform/hid_descriptor.h"
#include "platform/log.h"
#include "profile/file_helpers.h"
#include "profile/json_access.h"
#include "profile/notices.h"
#include "profile/paths.h"
#include "profile/profile_data.h"
#include "profile/profile_list.h"
#include "profile/text.h"
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
    "  dpi mouse            the five DPI stages: enabled, DPI, colour, active\n"
    "  dpi mouse --stage N [--dpi VALUE] [--enable on|off] [--colour RRGGBB]\n"
    "            [--activate]\n"
    "                       change DPI stage N (0-4); VALUE within the mouse's range\n"
    "  polling mouse [INDEX]\n"
    "                       show or set the polling-rate index (0-4)\n"
    "  light mouse [--mode 0-11] [--brightness 0-4] [--speed 0-4] [--direction 0|1]\n"
    "            [--multicolour on|off] [--colour RRGGBB]\n"
    "                       show or set the mouse's on-board lighting\n"
    "  apply mouse          write the active profile's settings, keys, macros and\n"
    "                       recoil patterns to the mouse\n"
    "                       (dpi, polling and light save the active profile, then\n"
    "                       write its settings record, record 0, to the mouse)\n"
    "  profile show TYPE    print the active profile of a device, made from the\n"
    "                       factory profile on first use\n"
    "  macro list TYPE      one line per macro: NUMBER<tab>NAME<tab>STEPS<tab>ID\n"
    "  macro show TYPE NAME the steps of a macro with their 4-byte device form\n"
    "  macro import TYPE FILE       add a macro file (.mac) to the list\n"
    "  macro export TYPE NAME FILE  copy a macro's file\n"
    "  macro delete TYPE NAME       delete a macro; keys that used it return to\n"
    "                       their factory assignment in every profile, keys of\n"
    "                       later macros follow the new numbering\n"
    "  send NAME [WPARAM [LPARAM]]\n"
    "                       send the named message NAME to the running vextar\n"
    "                       (WPARAM and LPARAM: 64-bit integers, default 0)\n"
    "  tool-query           ask the running vextar what it tells the work tool;\n"
    "                       prints dwData=N, then the answer's 32-bit values\n"
    "                       (little-endian) up to the last one that is not zero\n"
    "  sim plug|unplug DEVICE\n"
    "  sim link|unlink DEVICE\n"
    "  sim battery DEVICE PERCENT [charging]\n"
    "  sim notify DEVICE CODE\n"
    "                       change a simulated device of the running vextar (started\n"
    "                       with --simulate): plug it in or pull it; let a receiver\n"
    "                       reach its device or not; set the battery level (0-255)\n"
    "                       and charging; send the consumer-control notification\n"
    "                       CODE (0-0xFFFF) from its notification interface. DEVICE\n"
    "                       is a --simulate name (not all). Prints nothing on success\n"
    "  status               what the running vextar's window shows, one line per\n"
    "                       device page, as the window tells it:\n"
    "                       TYPE connected|absent cable|receiver selected|- battery=N|-\n"
    "\n"
    "TYPE is mouse, keyboard, MousePad (or mousepad) or HD (or headset), letter\n"
    "case ignored; macros: mouse and keyboard. Numbers are decimal or 0x hex.\n"
    "Settings live in $VEXTAR_DATA_HOME, else $XDG_DATA_HOME/VEXTAR, else\n"
    "~/.local/share/VEXTAR; factory data in $VEXTAR_DEFAULT_DATA, else the\n"
    "DefaultData folder beside the program or under the install prefix.\n"
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
    "Exit status: 0 success, 1 device or file error (also: vextar is not running,\n"
    "or gave no answer), 2 usage or input error.\n";

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

// The device types of the command line: their name there, their folder
// name, and whether they keep macros.
struct DeviceTypeName {
    const char* name;
    const char* folder;
    bool macros;
};

constexpr DeviceTypeName kDeviceTypes[] = {
    {"mouse", "mouse", true},
    {"keyboard", "keyboard", true},
    {"mousepad", "MousePad", false},
    {"headset", "HD", false},
};

const DeviceTypeName* FindDeviceType(const std::string& text) {
    for (const DeviceTypeName& t : kDeviceTypes) {
        if (EqualsNoCase(text, t.name) || EqualsNoCase(text, t.folder)) {
            return &t;
        }
    }
    return nullptr;
}

// Prints the file notices of one command to stderr while it runs.
class NoticePrinter {
  public:
    explicit NoticePrinter(std::ostream& err)
        : previous_(SetFileNoticeSink([&err](const FileNotice& notice) {
              err << "vextarctl: " << DescribeFileNotice(notice) << "\n";
          })) {}
    ~NoticePrinter() { SetFileNoticeSink(std::move(previous_)); }
    NoticePrinter(const NoticePrinter&) = delete;
    NoticePrinter& operator=(const NoticePrinter&) = delete;

  private:
    FileNoticeSink previous_;
};

// The device folder of a type, or an error on `err`.
bool OpenDeviceFolder(const DeviceTypeName& type, std::string& folder, std::ostream& err) {
    std::error_code error;
    folder = paths::DeviceFolder(type.folder, error);
    if (folder.empty()) {
        err << "vextarctl: cannot use the settings folder " << paths::DataRoot() << type.folder
            << ": " << error.message() << "\n";
        return false;
    }
    return true;
}

int ProfileShow(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2 || args[0] != "show") {
        return UsageError(err, "usage: profile show TYPE");
    }
    const DeviceTypeName* type = FindDeviceType(args[1]);
    if (type == nullptr) {
        return UsageError(err, "unknown device type '" + args[1] + "'");
    }
    std::string folder;
    if (!OpenDeviceFolder(*type, folder, err)) {
        return kExitDeviceOrFile;
    }
    const std::string factory = paths::FactoryProfilePath(type->folder);
    ProfileListFile list(folder, factory);
    switch (list.Init()) {
        case ProfileListFile::Status::Ok:
        case ProfileListFile::Status::Created:
            break;
        case ProfileListFile::Status::NoFactoryProfile:
            err << "vextarctl: no factory profile"
                << (factory.empty() ? std::string(" (no DefaultData folder found)")
                                    : " at " + factory)
                << "\n";
            return kExitDeviceOrFile;
        default:
            err << "vextarctl: the profile list " << list.ListPath() << " cannot be used\n";
            return kExitDeviceOrFile;
    }
    const std::string path = list.ProfilePathAt(static_cast<std::size_t>(list.Selected()));
    if (path.empty()) {
        err << "vextarctl: the selected profile of " << list.ListPath()
            << " has an identifier that cannot name a file\n";
        return kExitDeviceOrFile;
    }
    CBasicProfiledata profile;
    profile.SetDefaultPath(factory);
    profile.SetProfilePath(path);
    profile.LoadActiveSection(path);
    const Json::Value document = ReadJsonFile(path);
    if (!json::Element(json::Member(document, "Device"), 0).isObject()) {
        err << "vextarctl: no profile could be made at " << path << "\n";
        return kExitDeviceOrFile;
    }
    out << Json::StyledWriter().write(document);
    return kExitOk;
}

std::string HexBytes(const DeviceMacroStep& step) {
    char text[16];
    std::snprintf(text, sizeof text, "%02x %02x %02x %02x", step.delayLow, step.delayHigh,
                  step.typeAndAction, step.button);
    return text;
}

int MacroStatusExit(MacroStatus status, const std::string& what, std::ostream& err) {
    if (status == MacroStatus::Ok) {
        return kExitOk;
    }
    err << "vextarctl: " << what << ": " << MacroStatusText(status);
    if (status == MacroStatus::LimitReached) {
        err << " [" << kMessageMacroLimit << "]";
    }
    err << "\n";
    return status == MacroStatus::NotFound || status == MacroStatus::InvalidFile ||
                   status == MacroStatus::BlankName || status == MacroStatus::DuplicateName
               ? kExitUsage
               : kExitDeviceOrFile;
}

int MacroCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    struct Form {
        const char* verb;
        std::size_t arguments;  // after TYPE
        const char* usage;
    };
    static constexpr Form kForms[] = {
        {"list", 0, "macro list TYPE"},          {"show", 1, "macro show TYPE NAME"},
        {"import", 1, "macro import TYPE FILE"}, {"export", 2, "macro export TYPE NAME FILE"},
        {"delete", 1, "macro delete TYPE NAME"},
    };
    const Form* form = nullptr;
    for (const Form& f : kForms) {
        if (!args.empty() && args[0] == f.verb) {
            form = &f;
        }
    }
    if (form == nullptr) {
        return UsageError(err, "usage: macro list|show|import|export|delete TYPE ...");
    }
    if (args.size() != form->arguments + 2) {
        return UsageError(err, std::string("usage: ") + form->usage);
    }
    const std::string& verb = args[0];
    const DeviceTypeName* type = FindDeviceType(args[1]);
    if (type == nullptr) {
        return UsageError(err, "unknown device type '" + args[1] + "'");
    }
    if (!type->macros) {
        return UsageError(err, std::string("the ") + type->name + " keeps no macros");
    }
    std::string folder;
    if (!OpenDeviceFolder(*type, folder, err)) {
        return kExitDeviceOrFile;
    }
    MacroLibrary library(folder);
    if (const MacroStatus status = library.LoadMacroList(); status != MacroStatus::Ok) {
        return MacroStatusExit(status, library.ListPath(), err);
    }

    if (verb == "list") {
        const std::vector<MacroEntry>& entries = library.Entries();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            out << i << "\t" << entries[i].name << "\t" << library.LoadMacroSteps(i).size() << "\t"
                << entries[i].guid << "\n";
        }
        return kExitOk;
    }
    if (verb == "import") {
        const MacroAdded added = library.ImportMacro(args[2]);
        if (added.status != MacroStatus::Ok) {
            return MacroStatusExit(added.status, "cannot import " + args[2], err);
        }
        out << "imported " << args[2] << " as macro " << added.number << " '" << added.name
            << "'\n";
        return kExitOk;
    }
    const std::optional<std::size_t> number = library.Find(args[2]);
    if (!number) {
        return MacroStatusExit(MacroStatus::NotFound, "'" + args[2] + "'", err);
    }
    if (verb == "show") {
        const std::vector<Json::Value> steps = library.LoadMacroSteps(*number);
        out << "macro " << *number << " '" << library.Entries()[*number].name << "' ("
            << library.Entries()[*number].guid << "): " << steps.size() << " steps\n";
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const Json::Value& step = steps[i];
            out << i << " type=" << json::Int(json::Member(step, "Type"))
                << " button=" << json::Int(json::Member(step, "Button"))
                << " action=" << json::String(json::Member(step, "Action"))
                << " delay=" << MacroStepDelay(step)
                << " device=" << HexBytes(ToDeviceMacroStep(step)) << "\n";
        }
        return kExitOk;
    }
    if (verb == "export") {
        return MacroStatusExit(library.ExportMacro(*number, args[3]),
                               "cannot export '" + args[2] + "' to " + args[3], err);
    }
    // delete: renumber the key assignments of every profile file of the
    // device, listed or not (a damaged profile list must not leave some out).
    std::error_code error;
    const std::vector<std::string> profiles = ProfileFilesIn(folder, error);
    if (error) {
        err << "vextarctl: cannot list " << folder << ": " << error.message()
            << "; nothing was deleted\n";
        return kExitDeviceOrFile;
    }
    const MacroDeleteResult result = DeleteMacroEverywhere(library, *number, profiles);
    if (result.status != MacroStatus::Ok) {
        return MacroStatusExit(
            result.status,
            "'" + args[2] + "' was not deleted" +
                (result.failedPath.empty() ? "" : " (" + result.failedPath + ")"),
            err);
    }
    out << "deleted macro " << *number << " '" << result.name << "'; " << result.profilesChanged
        << " of " << profiles.size() << " profiles changed: " << result.keys.reset
        << " keys back to their factory assignment, " << result.keys.renumbered << " renumbered\n";
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
    if (const int status = RunBusCommand(command, rest, out, err); status >= 0) {
        return status;
    }
    if (command == "profile" || command == "macro") {
        const NoticePrinter notices(err);
        return command == "profile" ? ProfileShow(rest, out, err) : MacroCommand(rest, out, err);
    }
    if (options.trace) {
        SetTraceEnabled(true);
    }
    {
        const NoticePrinter notices(err);
        if (const int status = RunMouseCommand(options, command, rest, out, err); status >= 0) {
            return status;
        }
    }
    if (const int status = RunDeviceCommand(options, command, rest, out, err); status >= 0) {
        return status;
    }
    return UsageError(err, "unknown command '" + command + "'");
}

}  // namespace vextar::cli

// vextarctl's mouse commands: the mouse page's operations without the page.
// Each change is saved into the active profile first, then the settings
// record goes to the device, as the page does it.

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_common.h"
#include "device/mouse/varnic_mouse_device.h"
#include "devicelink/device_tables.h"

namespace vextar::cli {
namespace {

// The screen size written into the record; vextarctl has no screen.
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;

struct MouseSession {
    std::optional<Backend> backend;
    std::unique_ptr<CVarnicMouseDevice> device;
};

// Finds the mouse (cable first), opens its command link, reads its
// information block and key table and loads the active profile.
int OpenMouse(const Options& options, MouseSession& s, std::ostream& err) {
    s.backend = MakeBackend(options, err);
    if (!s.backend) {
        return kExitUsage;
    }
    InterfaceWorkingCopy rows;
    bool listed = true;
    BindPresentInterfaces(rows, s.backend->hid, &listed);
    std::optional<HidInterfaceRow> found;
    for (const HidInterfaceRow& r : rows.Snapshot()) {
        if (r.connected == 0 || r.channel != kChannelCommand) {
            continue;
        }
        if (r.kind == kKindMouse || (r.kind == kKindMouseReceiver && !found)) {
            found = r;
        }
    }
    if (!found) {
        err << "vextarctl: no mouse is connected\n";
        return kExitDeviceOrFile;
    }
    s.device = std::make_unique<CVarnicMouseDevice>(s.backend->hid);
    CDeviceLink& link = s.device->CommandLink();
    const bool receiver = found->kind == kKindMouseReceiver;
    CHidInterface& hid = receiver ? link.receiverInterface : link.cableInterface;
    if (!hid.Open(found->path, true, true, true, false)) {
        err << "vextarctl: cannot open the mouse: " << hid.LastError() << "\n";
        return kExitDeviceOrFile;
    }
    link.SetMode(receiver ? CDeviceLink::kModeReceiver : CDeviceLink::kModeCable);
    link.open = true;
    if (const int32_t r = s.device->ReadDeviceSetup(); r != kResultOk) {
        err << "vextarctl: mouse: " << ResultText(r) << "\n";
        return kExitDeviceOrFile;
    }
    if (s.device->LoadProfile() != 1) {
        err << "vextarctl: the mouse's active profile cannot be found or made\n";
        return kExitDeviceOrFile;
    }
    return kExitOk;
}

int WriteRecord(MouseSession& s, std::ostream& err) {
    s.device->SaveProfile();
    const int32_t r = s.device->WriteSettings(0, 0, 1, kScreenWidth, kScreenHeight);
    if (r != kResultOk) {
        err << "vextarctl: mouse settings: " << ResultText(r) << "\n";
        return kExitDeviceOrFile;
    }
    return kExitOk;
}

std::string Colour(uint32_t rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "%06x", rgb & 0xFFFFFFU);
    return text;
}

std::optional<uint32_t> ParseColour(const std::string& text) {
    if (text.size() != 6) {
        return std::nullopt;
    }
    return ParseNumber("0x" + text, 0xFFFFFF);
}

std::optional<bool> ParseOnOff(const std::string& text) {
    if (text == "on") {
        return true;
    }
    if (text == "off") {
        return false;
    }
    return std::nullopt;
}

// "--name VALUE" pairs; false with a usage error for anything else.
bool Pairs(std::span<const std::string> args, std::vector<std::pair<std::string, std::string>>& out,
           const std::vector<std::string>& flags, std::ostream& err, int& status) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
            out.emplace_back(a, "");
            continue;
        }
        if (a.rfind("--", 0) != 0 || i + 1 >= args.size()) {
            status = UsageError(err, "unexpected argument '" + a + "'");
            return false;
        }
        out.emplace_back(a, args[++i]);
    }
    return true;
}

int Dpi(const Options& options, std::span<const std::string> args, std::ostream& out,
        std::ostream& err) {
    std::vector<std::pair<std::string, std::string>> given;
    int status = kExitOk;
    if (!Pairs(args, given, {"--activate"}, err, status)) {
        return status;
    }
    std::optional<int> stage;
    std::optional<std::string> dpiText;
    std::optional<bool> enable;
    std::optional<uint32_t> colour;
    bool activate = false;
    for (const auto& [name, value] : given) {
        if (name == "--stage") {
            const auto n = ParseNumber(value, 4);
            if (!n) {
                return UsageError(err, "--stage must be a number from 0 to 4");
            }
            stage = static_cast<int>(*n);
        } else if (name == "--dpi") {
            dpiText = value;
        } else if (name == "--enable") {
            enable = ParseOnOff(value);
            if (!enable) {
                return UsageError(err, "--enable takes on or off");
            }
        } else if (name == "--colour" || name == "--color") {
            colour = ParseColour(value);
            if (!colour) {
                return UsageError(err, "--colour takes RRGGBB in hexadecimal");
            }
        } else if (name == "--activate") {
            activate = true;
        } else {
            return UsageError(err, "unknown option '" + name + "' for dpi");
        }
    }
    if (!stage && (dpiText || enable || colour || activate)) {
        return UsageError(err, "dpi: name the stage with --stage N (0 to 4)");
    }
    MouseSession s;
    if (const int opened = OpenMouse(options, s, err); opened != kExitOk) {
        return opened;
    }
    CVarnicMouseDevice& m = *s.device;
    if (!stage) {
        for (int i = 0; i < mouse::kStageCount; ++i) {
            out << "stage " << i << ": enabled=" << (m.IsStageEnabled(i) ? "on" : "off")
                << " dpi=" << m.GetStageEditValue(i) << " colour=" << Colour(m.GetStageColour(i))
                << (m.ActiveStage() == i ? " active" : "") << "\n";
        }
        return kExitOk;
    }
    const mouse::DpiScale scale = m.Scale();
    std::optional<uint32_t> position;
    if (dpiText) {
        const uint32_t lowest = mouse::PositionToDpi(scale, 0);
        const uint32_t highest = mouse::PositionToDpi(scale, scale.highestStep);
        const auto value = ParseNumber(*dpiText, highest);
        if (!value || *value < lowest) {
            return UsageError(err, "--dpi must be a number from " + std::to_string(lowest) +
                                       " to " + std::to_string(highest));
        }
        position = mouse::DpiToPosition(scale, *value);
    }
    if (enable && !*enable && (activate || m.ActiveStage() == *stage)) {
        return UsageError(err, "the active stage cannot be switched off");
    }
    if (position) {
        m.SetStageSlider(*stage, *position);
    }
    if (colour) {
        m.SetStageColour(*stage, 0xFF000000U | *colour);
    }
    if (enable && !m.SetStageEnabled(*stage, *enable)) {
        return UsageError(err, "the last enabled stage cannot be switched off");
    }
    if (activate) {
        if (!m.IsStageEnabled(*stage)) {
            return UsageError(err, "stage " + std::to_string(*stage) + " is switched off");
        }
        m.SelectDpiStage(*stage);
    }
    return WriteRecord(s, err);
}

int Polling(const Options& options, std::span<const std::string> args, std::ostream& out,
            std::ostream& err) {
    if (args.size() > 1) {
        return UsageError(err, "polling takes mouse and an optional INDEX");
    }
    std::optional<uint32_t> index;
    if (!args.empty()) {
        index = ParseNumber(args[0], mouse::kPollingRates - 1);
        if (!index) {
            return UsageError(err, "INDEX must be a number from 0 to 4");
        }
    }
    MouseSession s;
    if (const int opened = OpenMouse(options, s, err); opened != kExitOk) {
        return opened;
    }
    if (!index) {
        out << "polling=" << s.device->GetPollingRate() << "\n";
        return kExitOk;
    }
    s.device->SetPollingRate(static_cast<int>(*index));
    return WriteRecord(s, err);
}

int Light(const Options& options, std::span<const std::string> args, std::ostream& out,
          std::ostream& err) {
    std::vector<std::pair<std::string, std::string>> given;
    int status = kExitOk;
    if (!Pairs(args, given, {}, err, status)) {
        return status;
    }
    struct Field {
        const char* name;
        uint32_t max;
        const char* range;
    };
    static constexpr Field kFields[] = {{"--mode", mouse::kBuiltInModes - 1, "0 to 11"},
                                        {"--brightness", 4, "0 to 4"},
                                        {"--speed", 4, "0 to 4"},
                                        {"--direction", 1, "0 or 1"}};
    std::optional<uint32_t> values[4];
    std::optional<bool> multi;
    std::optional<uint32_t> colour;
    for (const auto& [name, value] : given) {
        bool known = false;
        for (std::size_t f = 0; f < 4; ++f) {
            if (name == kFields[f].name) {
                known = true;
                values[f] = ParseNumber(value, kFields[f].max);
                if (!values[f]) {
                    return UsageError(
                        err, std::string(kFields[f].name) + " must be " + kFields[f].range);
                }
            }
        }
        if (name == "--multicolour" || name == "--multicolor") {
            known = true;
            multi = ParseOnOff(value);
            if (!multi) {
                return UsageError(err, "--multicolour takes on or off");
            }
        } else if (name == "--colour" || name == "--color") {
            known = true;
            colour = ParseColour(value);
            if (!colour) {
                return UsageError(err, "--colour takes RRGGBB in hexadecimal");
            }
        }
        if (!known) {
            return UsageError(err, "unknown option '" + name + "' for light");
        }
    }
    MouseSession s;
    if (const int opened = OpenMouse(options, s, err); opened != kExitOk) {
        return opened;
    }
    LightSetting light = s.device->EffectParameters();
    if (given.empty()) {
        out << "mode=" << int{light.mode} << " brightness=" << int{light.brightness}
            << " speed=" << int{light.speed} << " direction=" << int{light.direction}
            << " multicolour=" << (light.multiColor != 0 ? "on" : "off")
            << " colour=" << Colour((light.red << 16) | (light.green << 8) | light.blue) << "\n";
        return kExitOk;
    }
    uint8_t* fields[4] = {&light.mode, &light.brightness, &light.speed, &light.direction};
    for (std::size_t f = 0; f < 4; ++f) {
        if (values[f]) {
            *fields[f] = static_cast<uint8_t>(*values[f]);
        }
    }
    if (multi) {
        light.multiColor = *multi ? 1 : 0;
    }
    if (colour) {
        light.red = static_cast<uint8_t>(*colour >> 16);
        light.green = static_cast<uint8_t>(*colour >> 8);
        light.blue = static_cast<uint8_t>(*colour);
    }
    s.device->Profile().SetLightInfo(light);
    s.device->ApplyLighting();
    return WriteRecord(s, err);
}

int Apply(const Options& options, std::ostream& err) {
    MouseSession s;
    if (const int opened = OpenMouse(options, s, err); opened != kExitOk) {
        return opened;
    }
    CVarnicMouseDevice& m = *s.device;
    if (const int written = WriteRecord(s, err); written != kExitOk) {
        return written;
    }
    if (const int32_t r = m.WriteKeyAssignments(0); r != kResultOk) {
        err << "vextarctl: mouse keys: " << ResultText(r) << "\n";
        return kExitDeviceOrFile;
    }
    const std::vector<int> macros = m.CollectMacros();
    if (const int32_t r = m.WriteMacros(macros); r != 0) {
        err << "vextarctl: mouse macros: "
            << (r > 0 ? std::to_string(r) + " events too many for the mouse's macro memory"
                      : ResultText(r))
            << "\n";
        return kExitDeviceOrFile;
    }
    if (const int32_t r = m.WritePatterns(); r != 0) {
        err << "vextarctl: mouse recoil patterns: "
            << (r > 0 ? std::to_string(r) + " events too many for the pattern memory"
                      : ResultText(r))
            << "\n";
        return kExitDeviceOrFile;
    }
    return kExitOk;
}

}  // namespace

int RunMouseCommand(const Options& options, const std::string& command,
                    std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    if (command != "dpi" && command != "polling" && command != "light" && command != "apply") {
        return -1;
    }
    if (args.empty() || args[0] != "mouse") {
        return UsageError(err, command + " works on the mouse: " + command + " mouse ...");
    }
    const std::span<const std::string> rest = args.subspan(1);
    if (command == "dpi") {
        return Dpi(options, rest, out, err);
    }
    if (command == "polling") {
        return Polling(options, rest, out, err);
    }
    if (command == "light") {
        return Light(options, rest, out, err);
    }
    if (!rest.empty()) {
        return UsageError(err, "apply takes mouse only");
    }
    return Apply(options, err);
}

}  // namespace vextar::cli

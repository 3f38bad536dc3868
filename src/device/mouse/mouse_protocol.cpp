#include "device/mouse/mouse_protocol.h"

#include <algorithm>
#include <cctype>

namespace vextar::mouse {

DpiScale ScaleFromInfo(std::span<const uint8_t, kInfoBlockSize> info) {
    DpiScale s;
    s.sensor = static_cast<uint16_t>(info[9] | (info[10] << 8));
    s.step = info[11];
    s.highestStep = static_cast<uint16_t>(info[12] | (info[13] << 8));
    s.lowest = static_cast<uint16_t>(info[14] | (info[15] << 8));
    return s;
}

namespace {
bool WideSteps(const DpiScale& s) {
    return s.sensor == kSensorWideSteps;
}
}  // namespace

uint32_t PositionToDpi(const DpiScale& s, uint32_t position) {
    if (WideSteps(s) && position > static_cast<uint32_t>(kWideStepsFrom)) {
        return kWideStepsFrom * s.step + s.lowest + kWideStep * (position - kWideStepsFrom);
    }
    return position * s.step + s.lowest;
}

uint32_t DpiToPosition(const DpiScale& s, uint32_t dpi) {
    dpi = std::max<uint32_t>(dpi, s.lowest);
    uint32_t position = 0;
    const uint32_t wideStart = kWideStepsFrom * s.step + s.lowest;
    if (WideSteps(s) && dpi > wideStart) {
        position = kWideStepsFrom + (dpi - wideStart) / kWideStep;
    } else if (s.step != 0) {
        position = (dpi - s.lowest) / s.step;
    }
    return std::min<uint32_t>(position, s.highestStep);
}

uint32_t EditTextToPosition(const DpiScale& s, std::string_view text) {
    uint32_t value = 0;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
            break;
        }
        value = std::min<uint32_t>(value * 10 + static_cast<uint32_t>(c - '0'), 10'000'000);
    }
    return DpiToPosition(s, value);
}

uint8_t SpeedToRecord(uint8_t level) {
    return static_cast<uint8_t>(4 - std::min<uint8_t>(level, 4));
}

uint8_t SpeedFromRecord(uint8_t byte) {
    return static_cast<uint8_t>(4 - std::min<uint8_t>(byte, 4));
}

uint8_t ModeToDeviceCode(int mode, std::span<const int> codes) {
    if (mode < 0 || mode >= kBuiltInModes || static_cast<std::size_t>(mode) >= codes.size()) {
        mode = 0;
    }
    return codes.empty() ? 0 : static_cast<uint8_t>(codes[static_cast<std::size_t>(mode)]);
}

std::optional<int> ModeFromDeviceCode(uint8_t code, std::span<const int> codes) {
    const std::size_t n = std::min<std::size_t>(codes.size(), kBuiltInModes);
    for (std::size_t i = 0; i < n; ++i) {
        if (codes[i] == code) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

Record BuildRecord(const RecordInputs& in) {
    Record r{};
    auto put16 = [&r](std::size_t at, int value) {
        const auto v = static_cast<uint16_t>(std::clamp(value, 0, 0xFFFF));
        r[at] = static_cast<uint8_t>(v & 0xFF);
        r[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    r[0] = static_cast<uint8_t>(in.profileNumber);
    r[1] = ModeToDeviceCode(in.light.mode, in.modeCodes);
    r[2] = in.light.brightness;
    r[3] = SpeedToRecord(in.light.speed);
    r[4] = in.light.direction;
    r[5] = in.light.multiColor;
    r[6] = in.light.red;
    r[7] = in.light.green;
    r[8] = in.light.blue;
    r[11] = in.pollingIndex;
    r[12] = in.activeStage;
    const std::size_t stages = std::min<std::size_t>(in.stages.size(), kStageCount);
    for (std::size_t i = 0; i < stages; ++i) {
        const DpiStage& st = in.stages[i];
        uint8_t* at = &r[14 + 9 * i];
        at[0] = st.active;
        at[1] = st.xy;
        at[2] = st.dpiX.low;
        at[3] = st.dpiX.high;
        at[4] = st.dpiY.low;
        at[5] = st.dpiY.high;
        at[6] = st.red;
        at[7] = st.green;
        at[8] = st.blue;
    }
    r[59] = static_cast<uint8_t>(in.flag);
    put16(60, in.screenWidth);
    put16(62, in.screenHeight);
    const auto chosen = std::find_if(in.corrections.begin(), in.corrections.end(),
                                     [](const CorrectionEntry& e) { return e.select != 0; });
    if (chosen != in.corrections.end()) {
        r[64] = chosen->minSq;
        r[65] = chosen->pixThresh;
    }
    return r;
}

std::vector<uint8_t> BuildBlob(std::span<const std::vector<DeviceMacroStep>> entries,
                               std::size_t& length) {
    std::size_t events = 0;
    for (const auto& e : entries) {
        events += e.size();
    }
    length = kBlobHeader + 6 * entries.size() + 4 * events;
    if (length > 0xFFFF || entries.size() > 0xFFFF) {
        return {};
    }
    std::vector<uint8_t> blob(length, 0);
    auto put16 = [&blob](std::size_t at, std::size_t value) {
        blob[at] = static_cast<uint8_t>(value & 0xFF);
        blob[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
    };
    put16(0, kBlobMark);
    put16(2, length);
    put16(4, entries.size());
    std::size_t at = kBlobHeader + 2 * entries.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        put16(kBlobHeader + 2 * i, at);
        put16(at, entries[i].size());
        at += 4;
        for (const DeviceMacroStep& step : entries[i]) {
            blob[at] = step.delayLow;
            blob[at + 1] = step.delayHigh;
            blob[at + 2] = step.typeAndAction;
            blob[at + 3] = step.button;
            at += 4;
        }
    }
    return blob;
}

int32_t BlobOverflow(std::size_t length, std::size_t capacity) {
    if (length <= capacity) {
        return 0;
    }
    return static_cast<int32_t>(std::min<std::size_t>((length - capacity) / 4 + 1, 0x7FFFFFFF));
}

NotifyAction DecodeNotification(uint16_t usage, bool receiver, bool linkOpen) {
    NotifyAction a;
    if (usage == 0x0401 || usage == 0x0402) {
        a.resync = true;
        return a;
    }
    if (usage == 0x0403) {
        a.burst = !receiver;
        return a;
    }
    if (usage < 0x0403) {
        return a;
    }
    const int high = usage >> 8;
    if (linkOpen && (high == 0x10 || high == 0x11)) {
        a.profileNumber = usage & 0xF;
        if (high == 0x11) {
            const int stage = (usage >> 4) & 0xF;
            if (stage < kStageCount) {
                a.dpiStage = stage;
            }
        }
    }
    a.redraw = true;
    return a;
}

}  // namespace vextar::mouse

#include "sim/firmware.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/log.h"

namespace vextar::sim {

namespace {

constexpr uint8_t kStart = 0x01;
constexpr uint8_t kEnd = 0x02;
constexpr uint8_t kReadInfo = 0x03;
constexpr uint8_t kReadMemory = 0x05;
constexpr uint8_t kWriteMemory = 0x06;
constexpr uint8_t kReadKeys = 0x07;
constexpr uint8_t kWriteKeys = 0x09;
constexpr uint8_t kReadBank = 0x0A;
constexpr uint8_t kWriteBank = 0x0B;
constexpr uint8_t kLightFrame = 0x12;
constexpr uint8_t kWriteMacros = 0x15;
constexpr uint8_t kWritePatterns = 0x17;
constexpr uint8_t kReadRecord = 0x1A;
constexpr uint8_t kReadLightTable = 0x1B;
constexpr uint8_t kSoftwareLight = 0x1C;
constexpr uint8_t kWriteKeys2 = 0x27;
constexpr uint8_t kReceiverState = 0xAA;

constexpr uint8_t kOk = 0x00;
constexpr uint8_t kRange = 0xFE;
constexpr uint8_t kError = 0xFF;

bool ChecksumOk(std::span<const uint8_t> f) {
    uint32_t sum = 0;
    for (std::size_t i = 3; i < 64; ++i) {
        sum += f[i];
    }
    return (sum & 0xFFFFU) == (static_cast<uint32_t>(f[1]) | (static_cast<uint32_t>(f[2]) << 8));
}

void Put16(std::array<uint8_t, 34>& b, std::size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v & 0xFFU);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

const char kStateMagic[8] = {'V', 'X', 'S', 'I', 'M', '1', '\n', '\0'};

}  // namespace

PeripheralConfig MouseConfig() {
    PeripheralConfig c;
    c.keyCount = 11;
    c.macroUnits = 16;
    c.sensor = 0x3395;
    c.dpiStep = 50;
    c.highestStep = 520;
    c.lowestDpi = 50;
    return c;
}

PeripheralConfig KeyboardConfig() {
    PeripheralConfig c;
    c.keyCount = 170;
    c.macroUnits = 32;
    return c;
}

PeripheralConfig MousePadConfig() {
    return PeripheralConfig{};
}

PeripheralConfig HeadsetConfig() {
    PeripheralConfig c;
    c.memorySize = 512;
    return c;
}

bool ValidMacroBlob(std::span<const uint8_t> b) {
    auto u16 = [&](std::size_t at) {
        return static_cast<std::size_t>(b[at]) | (static_cast<std::size_t>(b[at + 1]) << 8);
    };
    if (b.size() < 16 || b[0] != 0xAA || b[1] != 0x55) {
        return false;
    }
    const std::size_t total = u16(2);
    const std::size_t n = u16(4);
    if (total > b.size() || total < 16 + 2 * n) {
        return false;
    }
    std::size_t events = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t at = u16(16 + 2 * i);
        if (at + 4 > total) {
            return false;
        }
        const std::size_t e = u16(at);
        if (at + 4 + 4 * e > total) {
            return false;
        }
        events += e;
    }
    return total == 16 + 6 * n + 4 * events;
}

PeripheralModel::PeripheralModel(std::string name, PeripheralConfig config, std::string stateDir)
    : name_(std::move(name)), config_(config) {
    info_[0] = 0x01;  // firmware 1.2
    info_[1] = 0x02;
    info_[5] = config_.keyCount;
    info_[6] = config_.macroUnits;
    Put16(info_, 9, config_.sensor);
    info_[11] = config_.dpiStep;
    Put16(info_, 12, config_.highestStep);
    Put16(info_, 14, config_.lowestDpi);
    memory_.assign(config_.memorySize, 0);
    keys_.assign(static_cast<std::size_t>(config_.keyCount) * 3, 0);
    // Factory keys: key k sends mouse function k+1 (type 0x10).
    for (std::size_t k = 0; k < config_.keyCount; ++k) {
        keys_[k * 3] = 0x10;
        keys_[k * 3 + 1] = static_cast<uint8_t>(k + 1);
    }
    keys2_ = keys_;
    macros_.assign(static_cast<std::size_t>(config_.macroUnits) * 128, 0);
    patterns_.assign(config_.patternSize, 0);
    banks_.assign(config_.bankAreaSize, 0);
    lightTable_.assign(config_.lightTableSize, 0);
    record_.assign(config_.recordSize, 0);
    // The power record: battery percentage, charge state (2: on battery),
    // spare, the receiver's byte, the level handed on, the phone type.
    record_[0] = 100;
    record_[1] = 2;
    record_[4] = 100;
    if (!stateDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(stateDir, ec);
        stateFile_ = (std::filesystem::path(stateDir) / (name_ + ".state")).string();
        Load();
    }
}

PeripheralModel::~PeripheralModel() {
    if (!stateFile_.empty()) {
        Save();
    }
}

bool PeripheralModel::Load() {
    std::ifstream in(stateFile_, std::ios::binary);
    if (!in) {
        return false;
    }
    char magic[8] = {};
    in.read(magic, sizeof magic);
    if (!in || !std::equal(std::begin(magic), std::end(magic), std::begin(kStateMagic))) {
        VEXTAR_LOG_WARNING("simulated %s: %s is not a state file; starting fresh", name_.c_str(),
                           stateFile_.c_str());
        return false;
    }
    // Each area as a 32-bit length and its bytes; an area must have the size
    // this model gives it, or the whole file is ignored.
    std::vector<uint8_t>* areas[] = {&memory_,   &keys_,  &keys2_,      &macros_,
                                     &patterns_, &banks_, &lightTable_, &record_};
    std::vector<std::vector<uint8_t>> loaded;
    for (std::vector<uint8_t>* area : areas) {
        uint32_t n = 0;
        in.read(reinterpret_cast<char*>(&n), sizeof n);
        if (!in || n != area->size()) {
            VEXTAR_LOG_WARNING("simulated %s: %s does not fit this device; starting fresh",
                               name_.c_str(), stateFile_.c_str());
            return false;
        }
        std::vector<uint8_t> bytes(n);
        in.read(reinterpret_cast<char*>(bytes.data()), n);
        if (!in) {
            return false;
        }
        loaded.push_back(std::move(bytes));
    }
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        *areas[i] = std::move(loaded[i]);
    }
    return true;
}

bool PeripheralModel::Save() const {
    if (stateFile_.empty()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    const std::string temp = stateFile_ + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(kStateMagic, sizeof kStateMagic);
        for (const std::vector<uint8_t>* area :
             {&memory_, &keys_, &keys2_, &macros_, &patterns_, &banks_, &lightTable_, &record_}) {
            const auto n = static_cast<uint32_t>(area->size());
            out.write(reinterpret_cast<const char*>(&n), sizeof n);
            out.write(reinterpret_cast<const char*>(area->data()), n);
        }
        if (!out) {
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, stateFile_, ec);
    return !ec;
}

SimFrame PeripheralModel::Reply(std::span<const uint8_t> request, uint8_t status) const {
    SimFrame r{};
    r[0] = 4;
    r[3] = request[3];
    r[4] = request[4];
    r[5] = request[5];
    r[6] = request[6];
    r[7] = status;
    return r;
}

SimFrame PeripheralModel::Handle(std::span<const uint8_t> request) {
    if (request.size() < 64 || request[0] != 4 || !ChecksumOk(request)) {
        SimFrame r{};
        r[0] = 4;
        r[3] = request.size() > 3 ? request[3] : 0;
        r[7] = kError;
        return r;
    }
    const uint8_t command = request[3];
    const std::size_t length = request[4];
    const std::size_t offset =
        static_cast<std::size_t>(request[5]) | (static_cast<std::size_t>(request[6]) << 8);
    std::lock_guard lock(mutex_);
    if (length > 56) {
        return Reply(request, kRange);
    }
    auto readFrom = [&](const auto& area) {
        if (offset + length > area.size()) {
            return Reply(request, kRange);
        }
        SimFrame r = Reply(request, kOk);
        std::copy_n(area.begin() + static_cast<std::ptrdiff_t>(offset), length, r.begin() + 8);
        return r;
    };
    auto writeTo = [&](std::vector<uint8_t>& area) {
        if (offset + length > area.size()) {
            return Reply(request, kRange);
        }
        std::copy_n(request.begin() + 8, length,
                    area.begin() + static_cast<std::ptrdiff_t>(offset));
        return Reply(request, kOk);
    };
    switch (command) {
        case kStart:
            inSequence_ = true;
            return Reply(request, kOk);
        case kEnd:
            inSequence_ = false;
            ++sequencesEnded_;
            if (macroBytesWritten_ > 0) {
                macroBlobValid_ = ValidMacroBlob(std::span(macros_).first(macroBytesWritten_));
                macroBytesWritten_ = 0;
            }
            return Reply(request, kOk);
        case kReadInfo:
            return readFrom(info_);
        case kReadMemory:
            return readFrom(memory_);
        case kWriteMemory:
            return writeTo(memory_);
        case kReadKeys:
            return readFrom(keys_);
        case kWriteKeys:
            return writeTo(keys_);
        case kWriteKeys2:
            return writeTo(keys2_);
        case kReadBank:
            return readFrom(banks_);
        case kWriteBank:
            return writeTo(banks_);
        case kLightFrame: {
            if (offset + length > 3 * 170 + 56) {
                return Reply(request, kRange);
            }
            if (offset == 0) {
                ++lightFrames_;
                lastLightFrame_.clear();
            }
            lastLightFrame_.insert(lastLightFrame_.end(), request.begin() + 8,
                                   request.begin() + 8 + static_cast<std::ptrdiff_t>(length));
            return Reply(request, kOk);
        }
        case kWriteMacros: {
            SimFrame r = writeTo(macros_);
            if (r[7] == kOk) {
                macroBytesWritten_ = std::max(macroBytesWritten_, offset + length);
            }
            return r;
        }
        case kWritePatterns:
            return writeTo(patterns_);
        case kReadRecord:
            return readFrom(record_);
        case kReadLightTable:
            return readFrom(lightTable_);
        case kSoftwareLight:
            softwareLight_ = true;
            return Reply(request, kOk);
        default:
            return Reply(request, kRange);
    }
}

std::array<uint8_t, 34> PeripheralModel::Info() const {
    std::lock_guard lock(mutex_);
    return info_;
}

std::vector<uint8_t> PeripheralModel::Memory(std::size_t offset, std::size_t length) const {
    std::lock_guard lock(mutex_);
    if (offset >= memory_.size()) {
        return {};
    }
    length = std::min(length, memory_.size() - offset);
    return {memory_.begin() + static_cast<std::ptrdiff_t>(offset),
            memory_.begin() + static_cast<std::ptrdiff_t>(offset + length)};
}

void PeripheralModel::SetMemory(std::size_t offset, std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < bytes.size() && offset + i < memory_.size(); ++i) {
        memory_[offset + i] = bytes[i];
    }
}

std::vector<uint8_t> PeripheralModel::Keys() const {
    std::lock_guard lock(mutex_);
    return keys_;
}

std::vector<uint8_t> PeripheralModel::MacroArea() const {
    std::lock_guard lock(mutex_);
    return macros_;
}

std::vector<uint8_t> PeripheralModel::PatternArea() const {
    std::lock_guard lock(mutex_);
    return patterns_;
}

bool PeripheralModel::MacroBlobValid() const {
    std::lock_guard lock(mutex_);
    return macroBlobValid_;
}

uint64_t PeripheralModel::LightFrames() const {
    std::lock_guard lock(mutex_);
    return lightFrames_;
}

bool PeripheralModel::InSequence() const {
    std::lock_guard lock(mutex_);
    return inSequence_;
}

uint64_t PeripheralModel::SequencesEnded() const {
    std::lock_guard lock(mutex_);
    return sequencesEnded_;
}

void PeripheralModel::SetPower(uint8_t percent, bool charging) {
    std::lock_guard lock(mutex_);
    record_[0] = percent;
    record_[1] = charging ? 1 : 2;
    record_[4] = percent;
}

bool ParseFaults(std::string_view text, std::vector<FaultSpec>& faults, std::string& error) {
    struct Name {
        std::string_view name;
        FaultSpec::Kind kind;
        bool needsFrame;
    };
    static constexpr Name kNames[] = {
        {"drop", FaultSpec::Kind::Drop, true},       {"late", FaultSpec::Kind::Late, true},
        {"foreign", FaultSpec::Kind::Foreign, true}, {"echo", FaultSpec::Kind::WrongEcho, true},
        {"fe", FaultSpec::Kind::StatusFE, true},     {"ff", FaultSpec::Kind::StatusFF, true},
        {"unplug", FaultSpec::Kind::Unplug, true},   {"notify", FaultSpec::Kind::Notify, true},
        {"delay", FaultSpec::Kind::Delay, false},    {"unlinked", FaultSpec::Kind::Unlinked, false},
    };
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            error = "fault '" + std::string(item) + "' needs DEVICE:FAULT";
            return false;
        }
        FaultSpec f;
        f.device = std::string(item.substr(0, colon));
        std::string_view what = item.substr(colon + 1);
        std::string_view argument;
        char separator = 0;
        if (const std::size_t at = what.find_first_of("@="); at != std::string_view::npos) {
            separator = what[at];
            argument = what.substr(at + 1);
            what = what.substr(0, at);
        }
        const Name* found = nullptr;
        for (const Name& n : kNames) {
            if (n.name == what) {
                found = &n;
            }
        }
        if (found == nullptr) {
            error = "unknown fault '" + std::string(what) + "'";
            return false;
        }
        f.kind = found->kind;
        uint32_t number = 0;
        bool haveNumber = false;
        for (char c : argument) {
            if (c < '0' || c > '9' || number > 100000000U) {
                error = "fault '" + std::string(item) + "': not a number";
                return false;
            }
            number = number * 10 + static_cast<uint32_t>(c - '0');
            haveNumber = true;
        }
        if (found->needsFrame && (separator != '@' || !haveNumber || number == 0)) {
            error = "fault '" + std::string(item) + "' needs @FRAME (1 or more)";
            return false;
        }
        if (f.kind == FaultSpec::Kind::Delay && (separator != '=' || !haveNumber)) {
            error = "fault '" + std::string(item) + "' needs =MS";
            return false;
        }
        if (f.kind == FaultSpec::Kind::Delay) {
            f.value = std::min<uint32_t>(number, 60000);
        } else {
            f.frame = number;
        }
        faults.push_back(f);
    }
    return true;
}

CommandFirmware::CommandFirmware(std::shared_ptr<PeripheralModel> model,
                                 std::vector<FaultSpec> faults, SimHidBackend* backend,
                                 std::string deviceName, uint8_t consumerReportId)
    : model_(std::move(model)),
      faults_(std::move(faults)),
      backend_(backend),
      deviceName_(std::move(deviceName)),
      consumerReportId_(consumerReportId) {}

std::vector<SimFrame> CommandFirmware::Requests() const {
    std::lock_guard lock(requestsMutex_);
    return requests_;
}

void CommandFirmware::ClearRequests() {
    std::lock_guard lock(requestsMutex_);
    requests_.clear();
}

void CommandFirmware::Answer(std::span<const uint8_t> request, SimReportSink& host,
                             const std::function<SimFrame()>& reply) {
    const uint32_t frame = frames_.fetch_add(1) + 1;
    {
        std::lock_guard lock(requestsMutex_);
        if (requests_.size() == 1024) {
            requests_.erase(requests_.begin());
        }
        SimFrame copy{};
        std::copy_n(request.begin(), std::min<std::size_t>(request.size(), copy.size()),
                    copy.begin());
        requests_.push_back(copy);
    }
    uint32_t delayMs = 0;
    const FaultSpec* fault = nullptr;
    for (const FaultSpec& f : faults_) {
        if (f.kind == FaultSpec::Kind::Delay) {
            delayMs = f.value;
        } else if (f.frame == frame) {
            fault = &f;
        }
    }
    if (delayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    }
    if (fault == nullptr) {
        host.SendInputReport(reply());
        return;
    }
    switch (fault->kind) {
        case FaultSpec::Kind::Drop:
            return;
        case FaultSpec::Kind::Late: {
            const SimFrame r = reply();
            // Past the longest wait of the host's cable timeout.
            std::this_thread::sleep_for(std::chrono::milliseconds(1100));
            host.SendInputReport(r);
            return;
        }
        case FaultSpec::Kind::Foreign: {
            SimFrame other{};
            other[0] = 4;
            other[3] = static_cast<uint8_t>(request[3] ^ 0x40);
            host.SendInputReport(other);
            host.SendInputReport(reply());
            return;
        }
        case FaultSpec::Kind::WrongEcho: {
            SimFrame r = reply();
            r[3] = static_cast<uint8_t>(r[3] + 1);
            host.SendInputReport(r);
            return;
        }
        case FaultSpec::Kind::StatusFE:
        case FaultSpec::Kind::StatusFF: {
            SimFrame r = reply();
            r[7] = fault->kind == FaultSpec::Kind::StatusFE ? kRange : kError;
            host.SendInputReport(r);
            return;
        }
        case FaultSpec::Kind::Unplug:
            if (backend_ != nullptr) {
                backend_->Unplug(deviceName_);
            }
            return;
        case FaultSpec::Kind::Notify: {
            const uint8_t key[3] = {consumerReportId_, 0xE9, 0x00};
            host.SendInputReport(key);
            host.SendInputReport(reply());
            return;
        }
        default:
            host.SendInputReport(reply());
            return;
    }
}

void CommandFirmware::OnOutputReport(std::span<const uint8_t> report, SimReportSink& host) {
    if (report.empty() || report[0] != 4) {
        return;  // not a command frame (the headset's LED reports)
    }
    Answer(report, host, [&] { return model_->Handle(report); });
}

bool ReceiverFirmware::IsLinked() const {
    if (!linked_.load()) {
        return false;
    }
    return std::none_of(faults_.begin(), faults_.end(),
                        [](const FaultSpec& f) { return f.kind == FaultSpec::Kind::Unlinked; });
}

void ReceiverFirmware::OnOutputReport(std::span<const uint8_t> report, SimReportSink& host) {
    if (report.size() < 8 || report[0] != 4) {
        return;
    }
    const bool linked = IsLinked();
    Answer(report, host, [&]() -> SimFrame {
        if (report[3] == kReceiverState) {
            SimFrame r{};
            r[0] = 4;
            r[3] = kReceiverState;
            r[7] = kOk;
            r[8] = linked ? 0xFF : 0x00;
            return r;
        }
        if (!linked) {
            SimFrame r{};
            r[0] = 4;
            r[3] = 0xAA;
            return r;
        }
        return model_->Handle(report);
    });
}

}  // namespace vextar::sim

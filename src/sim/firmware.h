#pragma once

// Firmware models of the simulated devices: what a mouse, keyboard, mouse
// pad or headset answers to command frames, what its receiver does, and the
// faults a test can ask for.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "sim/sim_hid_backend.h"

namespace vextar::sim {

using SimFrame = std::array<uint8_t, 64>;

struct PeripheralConfig {
    uint8_t keyCount = 0;
    uint8_t macroUnits = 0;  // macro memory in units of 128 bytes
    uint16_t sensor = 0;
    uint8_t dpiStep = 0;
    uint16_t highestStep = 0;
    uint16_t lowestDpi = 0;
    std::size_t memorySize = 2048;     // settings memory
    std::size_t patternSize = 4096;    // recoil pattern area
    std::size_t bankAreaSize = 8192;   // colour banks
    std::size_t lightTableSize = 170;  // block ÷ 3
    std::size_t recordSize = 64;       // records read one frame at a time
};

PeripheralConfig MouseConfig();
PeripheralConfig KeyboardConfig();
PeripheralConfig MousePadConfig();
PeripheralConfig HeadsetConfig();

// The memory and command handling of one physical device, shared by its
// cable and receiver connections. Thread-safe.
class PeripheralModel {
  public:
    // With a state folder the memory is loaded from and saved to
    // "<folder>/<name>.state", so separate runs see the same device.
    PeripheralModel(std::string name, PeripheralConfig config, std::string stateDir = {});
    ~PeripheralModel();
    PeripheralModel(const PeripheralModel&) = delete;
    PeripheralModel& operator=(const PeripheralModel&) = delete;

    // The reply to one request frame.
    SimFrame Handle(std::span<const uint8_t> request);

    [[nodiscard]] const std::string& Name() const { return name_; }
    [[nodiscard]] std::array<uint8_t, 34> Info() const;
    [[nodiscard]] std::vector<uint8_t> Memory(std::size_t offset, std::size_t length) const;
    void SetMemory(std::size_t offset, std::span<const uint8_t> bytes);
    [[nodiscard]] std::vector<uint8_t> Keys() const;
    [[nodiscard]] std::vector<uint8_t> MacroArea() const;
    [[nodiscard]] std::vector<uint8_t> PatternArea() const;
    // Whether the last macro upload, checked when its sequence ended, was a
    // well-formed blob.
    [[nodiscard]] bool MacroBlobValid() const;
    [[nodiscard]] uint64_t LightFrames() const;
    [[nodiscard]] bool InSequence() const;
    [[nodiscard]] uint64_t SequencesEnded() const;
    // The battery level and charging flag of the power record (record 0,
    // bytes 4 and 5). The level is stored as given, 0 to 255: a device may
    // report more than 100, and the host has to cope with it.
    void SetPower(uint8_t percent, bool charging);
    // Writes the state folder's file now (it is also written at each END).
    bool Save() const;

  private:
    bool Load();
    SimFrame Reply(std::span<const uint8_t> request, uint8_t status) const;

    std::string name_;
    PeripheralConfig config_;
    std::string stateFile_;
    mutable std::mutex mutex_;
    std::array<uint8_t, 34> info_{};
    std::vector<uint8_t> memory_;
    std::vector<uint8_t> keys_;
    std::vector<uint8_t> keys2_;
    std::vector<uint8_t> macros_;
    std::vector<uint8_t> patterns_;
    std::vector<uint8_t> banks_;
    std::vector<uint8_t> lightTable_;
    std::vector<uint8_t> record_;
    std::vector<uint8_t> lastLightFrame_;
    std::size_t macroBytesWritten_ = 0;
    bool macroBlobValid_ = false;
    bool inSequence_ = false;
    bool softwareLight_ = false;
    uint64_t sequencesEnded_ = 0;
    uint64_t lightFrames_ = 0;
};

// Whether a macro or pattern blob is well formed: the 0x55AA mark, its
// length, its entry table and every entry inside it.
bool ValidMacroBlob(std::span<const uint8_t> blob);

// Faults a test or a user asks for, per device, by frame number (1-based,
// counting the command frames the device's interface received).
struct FaultSpec {
    enum class Kind : uint8_t {
        Drop,       // no reply
        Late,       // the reply comes after the host stopped waiting
        Foreign,    // a reply to another command first, then the right one
        WrongEcho,  // only a reply with the wrong command
        StatusFE,
        StatusFF,
        Unlinked,  // the receiver does not reach its device
        Unplug,    // the device goes away instead of answering
        Delay,     // every reply waits `value` ms
        Notify,    // a consumer-control report arrives just before the reply
    };
    std::string device;
    Kind kind = Kind::Drop;
    uint32_t frame = 0;  // 0: every frame (Delay, Unlinked)
    uint32_t value = 0;
};

// Parses "DEVICE:FAULT[@FRAME][,…]": drop@N, late@N, foreign@N, echo@N,
// fe@N, ff@N, unplug@N, notify@N, delay=MS, unlinked.
bool ParseFaults(std::string_view text, std::vector<FaultSpec>& faults, std::string& error);

// The firmware of a device's command interface (cable, or the device part
// of a receiver). Report id 4 frames go to the model; other reports (LED
// reports of the headset) are taken silently.
class CommandFirmware : public SimFirmware {
  public:
    CommandFirmware(std::shared_ptr<PeripheralModel> model, std::vector<FaultSpec> faults,
                    SimHidBackend* backend, std::string deviceName, uint8_t consumerReportId);
    void OnOutputReport(std::span<const uint8_t> report, SimReportSink& host) override;
    [[nodiscard]] uint32_t FramesSeen() const { return frames_.load(); }
    // The physical device behind this interface.
    [[nodiscard]] const std::shared_ptr<PeripheralModel>& Model() const { return model_; }
    // The last 1024 command frames received, oldest first.
    [[nodiscard]] std::vector<SimFrame> Requests() const;
    void ClearRequests();

  protected:
    // The model's reply, or what the faults make of it.
    void Answer(std::span<const uint8_t> request, SimReportSink& host,
                const std::function<SimFrame()>& reply);

    std::shared_ptr<PeripheralModel> model_;
    std::vector<FaultSpec> faults_;
    SimHidBackend* backend_;
    std::string deviceName_;
    uint8_t consumerReportId_;
    std::atomic<uint32_t> frames_{0};
    mutable std::mutex requestsMutex_;
    std::vector<SimFrame> requests_;
};

// A receiver: forwards frames while its device is linked, answers 0xAA when
// it is not, and answers command 0xAA itself (byte 8 = 0xFF when linked).
class ReceiverFirmware final : public CommandFirmware {
  public:
    using CommandFirmware::CommandFirmware;
    void OnOutputReport(std::span<const uint8_t> report, SimReportSink& host) override;
    void SetLinked(bool linked) { linked_.store(linked); }
    [[nodiscard]] bool IsLinked() const;

  private:
    std::atomic<bool> linked_{true};
};

}  // namespace vextar::sim

#pragma once

// CDeviceLink: the command channel of one device, reached by cable or
// through its 2.4 GHz receiver. It exchanges 64-byte command frames and
// moves blocks of device memory in chunks (56 bytes a frame by cable, 24
// through the receiver).
//
// Locks: command lock, then transfer lock; stream lock, then transfer lock.
// The transfer lock is held around each request and its replies.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>

#include "device/command_frame.h"
#include "devicelink/hid_interface.h"

namespace vextar {

class CDeviceLink {
  public:
    static constexpr int kModeCable = 1;
    static constexpr int kModeReceiver = 2;
    // Waits for one frame's write and for each of its replies.
    static constexpr uint32_t kCableTimeoutMs = 1000;
    static constexpr uint32_t kReceiverTimeoutMs = 5000;
    static constexpr uint32_t kQuietReceiverTimeoutMs = 500;
    static constexpr std::chrono::milliseconds kEndPause{10};

    explicit CDeviceLink(std::shared_ptr<platform::IHidBackend> backend = nullptr);
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    // 2: receiver mode (24-byte chunks); anything else: cable (56).
    void SetMode(int mode);
    [[nodiscard]] bool IsReceiverMode() const { return receiverMode.load(); }
    [[nodiscard]] uint8_t ChunkSize() const { return chunkSize.load(); }
    // Total length of key-table transfers; sizes above 512 are refused.
    bool SetBlockSize(uint16_t size);
    [[nodiscard]] uint16_t BlockSize() const { return blockSize.load(); }
    [[nodiscard]] bool IsBusy() const { return busy.load() > 0; }
    // The interface of the current mode.
    CHidInterface& CurrentInterface();

    // One request and its reply. The reply is copied out only when it
    // echoes the request's command.
    int32_t Exchange(std::span<const uint8_t> request, std::span<uint8_t> reply,
                     uint32_t& transferred);
    // The same without the trace and with shorter receiver waits.
    int32_t ExchangeQuiet(std::span<const uint8_t> request, std::span<uint8_t> reply,
                          uint32_t& transferred);

    int32_t SendStart();
    int32_t SendEnd();
    int32_t SendSoftwareLight();
    int32_t ReadInfo(std::span<uint8_t, kInfoBlockSize> info);
    int32_t ReadMemory(std::span<uint8_t> buffer, uint32_t offset);
    int32_t WriteMemory(std::span<const uint8_t> buffer, uint32_t offset);
    // The key table: the block size in bytes.
    int32_t ReadKeys(std::span<uint8_t> buffer);
    int32_t WriteKeys(std::span<const uint8_t> buffer, int bank);
    int32_t WriteKeys2(std::span<const uint8_t> buffer, int bank);
    int32_t ReadBank(std::span<uint8_t> buffer, int bank, uint32_t bankSize);
    int32_t WriteBank(std::span<const uint8_t> buffer, int bank, uint32_t bankSize);
    int32_t WriteMacros(std::span<const uint8_t> blob);
    int32_t WritePatterns(std::span<const uint8_t> blob);
    // At most 56 bytes from one frame.
    int32_t ReadRecord(std::span<uint8_t> buffer, uint32_t offset);
    // Block size ÷ 3 bytes.
    int32_t ReadLightTable(std::span<uint8_t> buffer);
    // A frame of host lighting; dropped (and counted as sent) while the link
    // is busy with another exchange.
    int32_t StreamLightFrame(std::span<const uint8_t> frame);
    // Cable: true without asking. Receiver: whether it reaches its device.
    bool QueryReceiverState();

    // START, the body, END, as every read or write of device memory goes.
    // Through the receiver the device must be reachable first (else
    // kResultUnreachable, with nothing sent). END goes out whenever START
    // did, also after a failed body; the first failure is the result.
    int32_t RunSequence(const std::function<int32_t()>& body);

    // Frames dropped by StreamLightFrame since the link was made.
    [[nodiscard]] uint64_t DroppedLightFrames() const { return droppedFrames_.load(); }

    // State shared with the threads that use the link.
    std::atomic<uint16_t> blockSize{kMaxBlockSize};
    uint16_t spareSize = kMaxBlockSize;
    std::atomic<int> busy{0};  // exchanges in progress
    std::atomic<bool> suspended{false};
    std::atomic<bool> open{false};
    std::atomic<bool> effectsPaused{false};
    std::atomic<bool> receiverMode{false};
    std::atomic<uint8_t> chunkSize{kReceiverChunk};

    CHidInterface cableInterface;
    CHidInterface receiverInterface;
    std::mutex transferLock;
    std::mutex receiverLock;
    std::mutex commandLock;
    std::mutex streamLock;

  private:
    enum class Lock : uint8_t { Command, Stream, None };

    int32_t ExchangeImpl(std::span<const uint8_t> request, std::span<uint8_t> reply,
                         uint32_t& transferred, bool quiet);
    int32_t Plain(uint8_t command);
    // Walks a block in chunks: reads into `in` or writes from `out`.
    int32_t Chunked(uint8_t command, std::span<uint8_t> in, std::span<const uint8_t> out,
                    uint32_t baseOffset, std::size_t chunk, Lock lock, bool quiet);

    std::atomic<uint64_t> droppedFrames_{0};
};

// Frame traces ("命令" and "返回" with the 64 bytes) go to stderr while
// enabled: by VEXTAR_TRACE=1, or by the program.
void SetTraceEnabled(bool enabled);
bool TraceEnabled();
// The two trace lines of a frame.
std::string FormatTraceFrame(std::span<const uint8_t, kFrameSize> frame);

}  // namespace vextar

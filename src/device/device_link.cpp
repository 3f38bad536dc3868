#include "device/device_link.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/log.h"

namespace vextar {

namespace {

std::atomic<int>& TraceState() {
    // -1: not decided yet; then 0 or 1.
    static std::atomic<int> state{-1};
    return state;
}

std::mutex& TraceMutex() {
    static std::mutex m;
    return m;
}

void Trace(const char* word, std::span<const uint8_t, kFrameSize> frame) {
    if (!TraceEnabled()) {
        return;
    }
    const std::string lines = FormatTraceFrame(frame);
    std::lock_guard lock(TraceMutex());
    std::fprintf(stderr, "%s\n%s", word, lines.c_str());
}

// Counts an exchange in progress for as long as it lives.
class BusyScope {
  public:
    explicit BusyScope(std::atomic<int>& busy) : busy_(busy) { busy_.fetch_add(1); }
    ~BusyScope() { busy_.fetch_sub(1); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    std::atomic<int>& busy_;
};

int32_t StatusResult(const Frame& reply) {
    if (reply[7] == kStatusError) {
        return kResultStatusFF;
    }
    if (reply[7] == kStatusRange) {
        return kResultStatusFE;
    }
    return kResultOk;
}

}  // namespace

void SetTraceEnabled(bool enabled) {
    TraceState().store(enabled ? 1 : 0);
}

bool TraceEnabled() {
    int state = TraceState().load();
    if (state < 0) {
        const char* env = std::getenv("VEXTAR_TRACE");
        state = env != nullptr && std::strcmp(env, "1") == 0 ? 1 : 0;
        int expected = -1;
        TraceState().compare_exchange_strong(expected, state);
        state = TraceState().load();
    }
    return state == 1;
}

std::string FormatTraceFrame(std::span<const uint8_t, kFrameSize> f) {
    static constexpr const char* kLine =
        "%02x %02x %02x %02x   %02x %02x %02x %02x   %02x %02x %02x %02x   %02x %02x %02x %02x  "
        "%02x %02x %02x %02x  %02x %02x %02x %02x  %02x %02x %02x %02x  %02x %02x %02x %02x\n";
    std::string out;
    for (std::size_t half = 0; half < 2; ++half) {
        const uint8_t* b = f.data() + half * 32;
        char line[160];
        std::snprintf(line, sizeof line, kLine, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7],
                      b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15], b[16], b[17], b[18],
                      b[19], b[20], b[21], b[22], b[23], b[24], b[25], b[26], b[27], b[28], b[29],
                      b[30], b[31]);
        out += line;
    }
    return out;
}

CDeviceLink::CDeviceLink(std::shared_ptr<platform::IHidBackend> backend)
    : cableInterface(backend), receiverInterface(backend) {}

void CDeviceLink::SetMode(int mode) {
    const bool receiver = mode == kModeReceiver;
    receiverMode.store(receiver);
    chunkSize.store(receiver ? kReceiverChunk : kCableChunk);
}

bool CDeviceLink::SetBlockSize(uint16_t size) {
    if (size > kMaxBlockSize) {
        return false;
    }
    blockSize.store(size);
    return true;
}

CHidInterface& CDeviceLink::CurrentInterface() {
    return receiverMode.load() ? receiverInterface : cableInterface;
}

int32_t CDeviceLink::Exchange(std::span<const uint8_t> request, std::span<uint8_t> reply,
                              uint32_t& transferred) {
    return ExchangeImpl(request, reply, transferred, false);
}

int32_t CDeviceLink::ExchangeQuiet(std::span<const uint8_t> request, std::span<uint8_t> reply,
                                   uint32_t& transferred) {
    return ExchangeImpl(request, reply, transferred, true);
}

int32_t CDeviceLink::ExchangeImpl(std::span<const uint8_t> request, std::span<uint8_t> reply,
                                  uint32_t& transferred, bool quiet) {
    BusyScope busyScope(busy);
    transferred = 0;
    if (!open.load() || suspended.load()) {
        return kResultNoReply;
    }
    Frame req{};
    std::copy_n(request.begin(), std::min(request.size(), kFrameSize), req.begin());
    if (!quiet) {
        Trace("命令", req);
    }
    const bool receiver = receiverMode.load();
    CHidInterface& hid = receiver ? receiverInterface : cableInterface;
    const uint32_t timeout =
        receiver ? (quiet ? kQuietReceiverTimeoutMs : kReceiverTimeoutMs) : kCableTimeoutMs;

    std::lock_guard lock(transferLock);
    // Whatever came in before this request (a reply that arrived too late
    // for the previous one) is not its reply.
    Frame stale{};
    uint32_t n = 0;
    for (int i = 0; i < 64 && hid.ReadReport(stale, n, 0); ++i) {
        VEXTAR_LOG_DEBUG("dropped a stale reply to command 0x%02x", stale[3]);
    }
    if (!hid.WriteReport(req, n, timeout)) {
        return kResultWriteFailed;
    }
    int32_t result = kResultNoReply;
    Frame got{};
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!hid.ReadReport(got, n, timeout)) {
            result = kResultNoReply;
            break;
        }
        if (n >= 8 && got[3] == req[3]) {
            result = kResultOk;
            transferred = n;
            std::copy_n(got.begin(), std::min<std::size_t>(reply.size(), n), reply.begin());
            break;
        }
        if (receiver && n >= 4 && got[3] == kReceiverUnreachable) {
            result = kResultUnreachable;
            break;
        }
        // A reply to something else: read once more. Two of them mean this
        // request went unanswered.
        result = kResultNoReply;
    }
    if (!quiet && result == kResultOk) {
        Trace("返回", got);
    }
    return result;
}

int32_t CDeviceLink::Plain(uint8_t command) {
    const Frame f = BuildFrame(command, 0, 0);
    Frame reply{};
    uint32_t n = 0;
    std::lock_guard lock(commandLock);
    const int32_t r = Exchange(f, reply, n);
    return r == kResultOk ? StatusResult(reply) : r;
}

int32_t CDeviceLink::SendStart() {
    return Plain(CMD_START);
}

int32_t CDeviceLink::SendEnd() {
    std::this_thread::sleep_for(kEndPause);
    return Plain(CMD_END);
}

int32_t CDeviceLink::SendSoftwareLight() {
    return Plain(CMD_SOFTWARE_LIGHT);
}

int32_t CDeviceLink::Chunked(uint8_t command, std::span<uint8_t> in, std::span<const uint8_t> out,
                             uint32_t baseOffset, std::size_t chunk, Lock lock, bool quiet) {
    const bool reading = !in.empty();
    const std::size_t total = reading ? in.size() : out.size();
    chunk = std::clamp<std::size_t>(chunk, 1, kFramePayloadMax);
    // Every frame's offset must fit the frame's 16-bit field.
    if (total > 0 && baseOffset + (total - 1) / chunk * chunk > 0xFFFFU) {
        VEXTAR_LOG_ERROR("command 0x%02x: offset %u + %zu does not fit a frame", command,
                         baseOffset, total);
        return kResultBadRequest;
    }
    for (std::size_t o = 0; o < total; o += chunk) {
        const std::size_t len = std::min(chunk, total - o);
        const auto offset = static_cast<uint16_t>(baseOffset + o);
        const Frame f = BuildFrame(command, static_cast<uint8_t>(len), offset,
                                   reading ? std::span<const uint8_t>{} : out.subspan(o, len));
        Frame reply{};
        uint32_t n = 0;
        int32_t r = kResultNoReply;
        {
            std::optional<std::lock_guard<std::mutex>> held;
            if (lock == Lock::Command) {
                held.emplace(commandLock);
            } else if (lock == Lock::Stream) {
                held.emplace(streamLock);
            }
            r = quiet ? ExchangeQuiet(f, reply, n) : Exchange(f, reply, n);
        }
        if (r != kResultOk) {
            return r;
        }
        if (const int32_t status = StatusResult(reply); status != kResultOk) {
            return status;
        }
        if (reading) {
            if (n < kFramePayloadOffset + len) {
                return kResultNoReply;  // a short reply carries no data
            }
            std::copy_n(reply.begin() + kFramePayloadOffset, len,
                        in.begin() + static_cast<std::ptrdiff_t>(o));
        }
    }
    return kResultOk;
}

int32_t CDeviceLink::ReadInfo(std::span<uint8_t, kInfoBlockSize> info) {
    return Chunked(CMD_READ_INFO, info, {}, 0, chunkSize.load(), Lock::Command, false);
}

int32_t CDeviceLink::ReadMemory(std::span<uint8_t> buffer, uint32_t offset) {
    if (buffer.empty()) {
        return kResultOk;
    }
    return Chunked(CMD_READ_MEMORY, buffer, {}, offset, chunkSize.load(), Lock::Command, false);
}

int32_t CDeviceLink::WriteMemory(std::span<const uint8_t> buffer, uint32_t offset) {
    if (buffer.empty()) {
        return kResultOk;
    }
    return Chunked(CMD_WRITE_MEMORY, {}, buffer, offset, chunkSize.load(), Lock::Command, false);
}

int32_t CDeviceLink::ReadKeys(std::span<uint8_t> buffer) {
    const std::size_t n = std::min<std::size_t>(buffer.size(), blockSize.load());
    if (n == 0) {
        return kResultOk;
    }
    return Chunked(CMD_READ_KEYS, buffer.first(n), {}, 0, chunkSize.load(), Lock::Command, false);
}

int32_t CDeviceLink::WriteKeys(std::span<const uint8_t> buffer, int bank) {
    if (bank != 0) {
        return kResultWrongBank;
    }
    const std::size_t n = std::min<std::size_t>(buffer.size(), blockSize.load());
    if (n == 0) {
        return kResultOk;
    }
    return Chunked(CMD_WRITE_KEYS, {}, buffer.first(n), 0, chunkSize.load(), Lock::Command, false);
}

int32_t CDeviceLink::WriteKeys2(std::span<const uint8_t> buffer, int bank) {
    if (bank != 0) {
        return kResultWrongBank;
    }
    const std::size_t n = std::min<std::size_t>(buffer.size(), blockSize.load());
    if (n == 0) {
        return kResultOk;
    }
    return Chunked(CMD_WRITE_KEYS_2, {}, buffer.first(n), 0, chunkSize.load(), Lock::Command,
                   false);
}

int32_t CDeviceLink::ReadBank(std::span<uint8_t> buffer, int bank, uint32_t bankSize) {
    if (bank < 0 || buffer.empty()) {
        return bank < 0 ? kResultBadRequest : kResultOk;
    }
    const uint64_t base = static_cast<uint64_t>(bank) * bankSize;
    if (base > 0xFFFFU) {
        return kResultBadRequest;
    }
    return Chunked(CMD_READ_BANK, buffer, {}, static_cast<uint32_t>(base), chunkSize.load(),
                   Lock::Command, false);
}

int32_t CDeviceLink::WriteBank(std::span<const uint8_t> buffer, int bank, uint32_t bankSize) {
    if (bank < 0 || buffer.empty()) {
        return bank < 0 ? kResultBadRequest : kResultOk;
    }
    const uint64_t base = static_cast<uint64_t>(bank) * bankSize;
    if (base > 0xFFFFU) {
        return kResultBadRequest;
    }
    return Chunked(CMD_WRITE_BANK, {}, buffer, static_cast<uint32_t>(base), chunkSize.load(),
                   Lock::Stream, false);
}

int32_t CDeviceLink::WriteMacros(std::span<const uint8_t> blob) {
    if (blob.empty()) {
        return kResultOk;
    }
    return Chunked(CMD_WRITE_MACROS, {}, blob, 0, chunkSize.load(), Lock::Command, false);
}

int32_t CDeviceLink::WritePatterns(std::span<const uint8_t> blob) {
    if (blob.empty()) {
        return kResultOk;
    }
    return Chunked(CMD_WRITE_PATTERNS, {}, blob, 0, kFramePayloadMax, Lock::None, false);
}

int32_t CDeviceLink::ReadRecord(std::span<uint8_t> buffer, uint32_t offset) {
    if (buffer.size() > kFramePayloadMax || offset > 0xFFFFU) {
        return kResultBadRequest;
    }
    if (buffer.empty()) {
        return kResultOk;
    }
    return Chunked(CMD_READ_RECORD, buffer, {}, offset, kFramePayloadMax, Lock::Command, false);
}

int32_t CDeviceLink::ReadLightTable(std::span<uint8_t> buffer) {
    const std::size_t n = std::min<std::size_t>(buffer.size(), blockSize.load() / 3);
    if (n == 0) {
        return kResultOk;
    }
    return Chunked(CMD_READ_LIGHT_TABLE, buffer.first(n), {}, 0, chunkSize.load(), Lock::Command,
                   false);
}

int32_t CDeviceLink::StreamLightFrame(std::span<const uint8_t> frame) {
    if (IsBusy()) {
        droppedFrames_.fetch_add(1);
        VEXTAR_LOG_DEBUG("放弃灯光数据");
        return kResultOk;
    }
    if (frame.empty()) {
        return kResultOk;
    }
    return Chunked(CMD_LIGHT_FRAME, {}, frame, 0, chunkSize.load(), Lock::Stream, true);
}

bool CDeviceLink::QueryReceiverState() {
    if (!receiverMode.load()) {
        return true;
    }
    const Frame f = BuildFrame(CMD_RECEIVER_STATE, 0, 0);
    Frame reply{};
    uint32_t n = 0;
    std::lock_guard lock(commandLock);
    const int32_t r = Exchange(f, reply, n);
    return r == kResultOk && StatusResult(reply) == kResultOk && n > kFramePayloadOffset &&
           reply[kFramePayloadOffset] == 0xFF;
}

int32_t CDeviceLink::RunSequence(const std::function<int32_t()>& body) {
    if (!QueryReceiverState()) {
        return open.load() ? kResultUnreachable : kResultNoReply;
    }
    const int32_t started = SendStart();
    if (started != kResultOk) {
        return started;
    }
    int32_t result = QueryReceiverState() ? body() : kResultUnreachable;
    const int32_t ended = SendEnd();
    if (result == kResultOk) {
        result = ended;
    }
    return result;
}

}  // namespace vextar

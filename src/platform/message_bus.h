#pragma once

// The message bus: how other programs (a game integration, a tool, scripts)
// reach the running application, and how it answers them. It carries named
// messages with two integer parameters, copy-data payloads (a 32-bit kind
// plus bytes) and window registrations (a client names the window title it
// answers to), one frame per packet over a Unix-domain SOCK_SEQPACKET socket
// in the user's runtime folder. docs/message-bus.md describes the frames for
// authors of other programs.

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

#include "platform/unique_fd.h"

namespace vextar::platform {

// ---- Frames ----------------------------------------------------------------

inline constexpr uint8_t kBusMagic[4] = {'V', 'X', 'B', 'F'};
inline constexpr uint8_t kBusVersion = 1;
// magic, version, kind, two reserved bytes, body length (uint32)
inline constexpr std::size_t kBusHeaderBytes = 12;
inline constexpr std::size_t kBusMaxNameBytes = 255;
inline constexpr std::size_t kBusMaxPayloadBytes = 64 * 1024;
// The largest frame: a copy-data frame with the largest payload.
inline constexpr std::size_t kBusMaxFrameBytes = kBusHeaderBytes + 16 + kBusMaxPayloadBytes;

enum class BusFrameKind : uint8_t { Message = 1, CopyData = 2, RegisterWindow = 3 };

// A named message: what a registered window message carried.
struct BusMessage {
    std::string name;
    int64_t wParam = 0;
    int64_t lParam = 0;
    bool operator==(const BusMessage&) const = default;
};

// A copy-data payload: its kind (dwData), the sender's wParam and the bytes.
struct BusCopyData {
    uint32_t dwData = 0;
    int64_t wParam = 0;
    std::vector<uint8_t> payload;
    bool operator==(const BusCopyData&) const = default;
};

// A client answers to the window `title` from now on (one title a client).
struct BusRegisterWindow {
    std::string title;
    bool operator==(const BusRegisterWindow&) const = default;
};

using BusFrame = std::variant<BusMessage, BusCopyData, BusRegisterWindow>;

// Whether `name` may be a message name or window title: 1 to 255 bytes of
// UTF-8 without NUL. False with the reason in `error` otherwise.
bool ValidBusName(std::string_view name, std::string* error);

// One frame from the bytes of one packet; nothing (with the reason) when the
// bytes are not exactly one well-formed frame.
std::optional<BusFrame> ParseBusFrame(std::span<const uint8_t> bytes, std::string* error);
// The packet of a frame; empty when the frame breaks a limit (name, title or
// payload), so that every packet made here parses back to its frame.
std::vector<uint8_t> EncodeBusFrame(const BusFrame& frame);

// ---- Where the bus lives -----------------------------------------------------

// The folder of the bus and the instance lock, with a trailing "/":
// $XDG_RUNTIME_DIR/vextar/, or /tmp/vextar-<uid>/ when XDG_RUNTIME_DIR is unset
// or not absolute. Created 0700 when missing. Empty (with the reason) when it
// cannot be made, or when it is a symbolic link, not a folder, owned by
// another user or open to group or others.
std::string RuntimeFolder(std::string* error);
std::string BusSocketPath(const std::string& folder);

// ---- The application's side ------------------------------------------------

// What the application needs of the bus; tests use a fake.
class IMessageBus {
  public:
    virtual ~IMessageBus() = default;
    // A named message to every connected client.
    virtual void Broadcast(std::string_view name, int64_t w, int64_t l) = 0;
    // A copy-data payload to the client registered as `title`; false when
    // there is none or the frame could not be sent.
    virtual bool SendCopyData(std::string_view title, uint32_t dwData,
                              std::span<const uint8_t> payload, int64_t wParam) = 0;
    virtual bool HasWindow(std::string_view title) const = 0;
};

// The bus server: one thread polls the listening socket, the clients and a
// stop event. Frames from clients go to the handlers on that thread; a
// malformed frame is dropped (and logged) and the connection stays open.
// Clients of another user are refused, as are clients beyond kMaxClients.
// Sends never block: a client whose socket buffer is full misses that frame.
class CMessageBusServer final : public IMessageBus {
  public:
    static constexpr std::size_t kMaxClients = 32;

    struct Handlers {
        std::function<void(const BusMessage&)> onMessage;
        std::function<void(const BusCopyData&)> onCopyData;
    };

    // Binds `socketPath` (replacing a socket file left there; the caller holds
    // the instance lock) and starts the thread. Null with the reason on
    // failure.
    static std::unique_ptr<CMessageBusServer> Start(const std::string& socketPath,
                                                    Handlers handlers, std::string* error);
    ~CMessageBusServer() override;
    CMessageBusServer(const CMessageBusServer&) = delete;
    CMessageBusServer& operator=(const CMessageBusServer&) = delete;

    // These may be called from any thread, handlers included.
    void Broadcast(std::string_view name, int64_t w, int64_t l) override;
    bool SendCopyData(std::string_view title, uint32_t dwData, std::span<const uint8_t> payload,
                      int64_t wParam) override;
    bool HasWindow(std::string_view title) const override;
    // Clients connected now.
    [[nodiscard]] std::size_t ClientCount() const;

    // Wakes and joins the thread, closes every connection and removes the
    // socket file. Idempotent; not from a handler.
    void Stop();

  private:
    struct Client;

    CMessageBusServer(std::string socketPath, Handlers handlers);
    void Run();
    void AcceptClients();
    // Reads what `client` has sent; false when the connection is over.
    bool ReadClient(Client& client, short revents, std::vector<uint8_t>& buffer);
    void Dispatch(Client& client, BusFrame frame);
    void RemoveClient(const Client* client);
    // Sends one packet to `client` without blocking. Called with mutex_ held.
    bool SendLocked(const Client& client, std::span<const uint8_t> packet);

    std::string socketPath_;
    Handlers handlers_;
    UniqueFd listen_;
    UniqueFd wake_;
    dev_t socketDevice_ = 0;
    ino_t socketInode_ = 0;
    std::thread thread_;
    std::atomic<bool> stopped_{false};

    mutable std::mutex mutex_;  // guards clients_ and their titles
    std::vector<std::unique_ptr<Client>> clients_;
    uint64_t registrations_ = 0;
};

// ---- Another program's side ------------------------------------------------

// One connection to the bus. Sends wait at most kSendTimeoutMs for room.
class CMessageBusClient {
  public:
    static constexpr int kSendTimeoutMs = 2000;

    enum class ConnectStatus {
        Connected,
        NotRunning,  // no socket file, or nobody listening on it
        Failed,
    };

    CMessageBusClient() = default;
    CMessageBusClient(CMessageBusClient&&) noexcept = default;
    CMessageBusClient& operator=(CMessageBusClient&&) noexcept = default;

    ConnectStatus Connect(const std::string& socketPath, std::string* error);
    [[nodiscard]] bool Connected() const { return fd_.Valid(); }
    void Close() { fd_.Reset(); }

    bool SendMessage(std::string_view name, int64_t w, int64_t l, std::string* error = nullptr);
    bool SendCopyData(uint32_t dwData, std::span<const uint8_t> payload, int64_t wParam,
                      std::string* error = nullptr);
    bool RegisterWindow(std::string_view title, std::string* error = nullptr);
    // Sends raw bytes as one packet (for tests of the server's checks).
    bool SendPacket(std::span<const uint8_t> packet, std::string* error = nullptr);

    // The next well-formed frame within `timeoutMs` (-1: no limit). Nothing
    // on timeout, or when the bus closed the connection (then Connected()
    // is false); malformed frames are skipped.
    std::optional<BusFrame> Receive(int timeoutMs, std::string* error = nullptr);

  private:
    bool SendFrame(const BusFrame& frame, std::string* error);

    UniqueFd fd_;
};

}  // namespace vextar::platform

#include "platform/message_bus.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/log.h"

namespace vextar::platform {

namespace {

// Frames read from one client before the others get their turn.
constexpr int kFramesPerWake = 64;
// Connections taken from the listening socket in one turn.
constexpr int kAcceptsPerWake = 16;
constexpr int kListenBacklog = 16;

using Clock = std::chrono::steady_clock;

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// Joins text pieces (GCC 12 warns falsely on "literal" + std::string).
template <typename... Parts>
std::string Concat(const Parts&... parts) {
    std::string out;
    (out.append(std::string_view(parts)), ...);
    return out;
}

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

// ---- Little-endian fields ----

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void PutI64(std::vector<uint8_t>& out, int64_t value) {
    const auto bits = static_cast<uint64_t>(value);
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    }
}

uint32_t GetU32(std::span<const uint8_t> bytes, std::size_t at) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
    }
    return value;
}

int64_t GetI64(std::span<const uint8_t> bytes, std::size_t at) {
    uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        value |= static_cast<uint64_t>(bytes[at + i]) << (8 * i);
    }
    return static_cast<int64_t>(value);
}

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        std::size_t length = 0;
        uint32_t code = 0;
        uint32_t lowest = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1FU;
            lowest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0FU;
            lowest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07U;
            lowest = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3FU);
        }
        if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

void PutHeader(std::vector<uint8_t>& out, BusFrameKind kind, std::size_t bodyBytes) {
    out.reserve(kBusHeaderBytes + bodyBytes);
    out.insert(out.end(), std::begin(kBusMagic), std::end(kBusMagic));
    out.push_back(kBusVersion);
    out.push_back(static_cast<uint8_t>(kind));
    out.push_back(0);
    out.push_back(0);
    PutU32(out, static_cast<uint32_t>(bodyBytes));
}

std::string NameOf(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Milliseconds left until `deadline` for poll(); -1 waits without limit.
int PollTimeout(bool infinite, Clock::time_point deadline) {
    if (infinite) {
        return -1;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
        return 0;
    }
    return static_cast<int>(std::min<long long>(left + 1, 1 << 30));
}

bool FillAddress(const std::string& path, sockaddr_un& address, std::string* error) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        std::string text = "the socket path '";
        text.append(path).append("' is empty or too long");
        SetError(error, std::move(text));
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

std::string PathError(const std::string& path, const char* what) {
    std::string text = path;
    text.append(": ").append(what);
    return text;
}

}  // namespace

// ---- Frames ----------------------------------------------------------------

bool ValidBusName(std::string_view name, std::string* error) {
    if (name.empty()) {
        SetError(error, "the name is empty");
        return false;
    }
    if (name.size() > kBusMaxNameBytes) {
        SetError(error, "the name is longer than 255 bytes");
        return false;
    }
    if (name.find('\0') != std::string_view::npos) {
        SetError(error, "the name contains a NUL byte");
        return false;
    }
    if (!IsUtf8(name)) {
        SetError(error, "the name is not UTF-8");
        return false;
    }
    return true;
}

std::optional<BusFrame> ParseBusFrame(std::span<const uint8_t> bytes, std::string* error) {
    if (bytes.size() < kBusHeaderBytes) {
        SetError(error, "shorter than a frame header");
        return std::nullopt;
    }
    if (!std::equal(std::begin(kBusMagic), std::end(kBusMagic), bytes.begin())) {
        SetError(error, "not a bus frame (bad magic)");
        return std::nullopt;
    }
    if (bytes[4] != kBusVersion) {
        SetError(error, Concat("frame version ", std::to_string(bytes[4]), " is not supported"));
        return std::nullopt;
    }
    if (bytes[6] != 0 || bytes[7] != 0) {
        SetError(error, "reserved header bytes are not zero");
        return std::nullopt;
    }
    const std::span<const uint8_t> body = bytes.subspan(kBusHeaderBytes);
    if (GetU32(bytes, 8) != body.size()) {
        SetError(error, Concat("the frame carries ", std::to_string(body.size()),
                               " body bytes, its header says ", std::to_string(GetU32(bytes, 8))));
        return std::nullopt;
    }
    // Each kind: its fixed fields, then a length field that must account
    // for the rest of the body exactly.
    std::string why;
    switch (static_cast<BusFrameKind>(bytes[5])) {
        case BusFrameKind::Message: {
            if (body.size() < 17 || body.size() != 17U + body[16]) {
                SetError(error, "named message of the wrong size");
                return std::nullopt;
            }
            BusMessage m{NameOf(body.subspan(17)), GetI64(body, 0), GetI64(body, 8)};
            if (!ValidBusName(m.name, &why)) {
                SetError(error, Concat("message name: ", why));
                return std::nullopt;
            }
            return m;
        }
        case BusFrameKind::CopyData: {
            if (body.size() < 16 || body.size() - 16 != GetU32(body, 12)) {
                SetError(error, "copy-data frame of the wrong size");
                return std::nullopt;
            }
            if (body.size() - 16 > kBusMaxPayloadBytes) {
                SetError(error, "copy-data payload over 64 KiB");
                return std::nullopt;
            }
            const std::span<const uint8_t> payload = body.subspan(16);
            return BusCopyData{GetU32(body, 0), GetI64(body, 4), {payload.begin(), payload.end()}};
        }
        case BusFrameKind::RegisterWindow: {
            if (body.empty() || body.size() != 1U + body[0]) {
                SetError(error, "window registration of the wrong size");
                return std::nullopt;
            }
            BusRegisterWindow r{NameOf(body.subspan(1))};
            if (!ValidBusName(r.title, &why)) {
                SetError(error, Concat("window title: ", why));
                return std::nullopt;
            }
            return r;
        }
    }
    SetError(error, Concat("unknown frame kind ", std::to_string(bytes[5])));
    return std::nullopt;
}

std::vector<uint8_t> EncodeBusFrame(const BusFrame& frame) {
    std::vector<uint8_t> out;
    if (const auto* m = std::get_if<BusMessage>(&frame)) {
        if (!ValidBusName(m->name, nullptr)) {
            return {};
        }
        PutHeader(out, BusFrameKind::Message, 17 + m->name.size());
        PutI64(out, m->wParam);
        PutI64(out, m->lParam);
        out.push_back(static_cast<uint8_t>(m->name.size()));
        out.insert(out.end(), m->name.begin(), m->name.end());
    } else if (const auto* c = std::get_if<BusCopyData>(&frame)) {
        if (c->payload.size() > kBusMaxPayloadBytes) {
            return {};
        }
        PutHeader(out, BusFrameKind::CopyData, 16 + c->payload.size());
        PutU32(out, c->dwData);
        PutI64(out, c->wParam);
        PutU32(out, static_cast<uint32_t>(c->payload.size()));
        out.insert(out.end(), c->payload.begin(), c->payload.end());
    } else {
        const auto& r = std::get<BusRegisterWindow>(frame);
        if (!ValidBusName(r.title, nullptr)) {
            return {};
        }
        PutHeader(out, BusFrameKind::RegisterWindow, 1 + r.title.size());
        out.push_back(static_cast<uint8_t>(r.title.size()));
        out.insert(out.end(), r.title.begin(), r.title.end());
    }
    return out;
}

// ---- Where the bus lives -----------------------------------------------------

std::string RuntimeFolder(std::string* error) {
    // Without the trailing "/": a path ending in "/" would follow a symbolic
    // link even with O_NOFOLLOW.
    std::string folder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        folder = runtime;
        while (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
        folder.append(folder == "/" ? "vextar" : "/vextar");
    } else {
        folder = Concat("/tmp/vextar-", std::to_string(::geteuid()));
    }

    const bool created = ::mkdir(folder.c_str(), 0700) == 0;
    if (!created && errno != EEXIST) {
        SetError(error, PathError(folder, "cannot be created: ").append(ErrnoText(errno)));
        return {};
    }
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.Valid()) {
        // A link gives ELOOP or ENOTDIR, depending on which flag is checked first.
        const int e = errno;
        struct stat st {};
        if (::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            SetError(error, PathError(folder, "is a symbolic link"));
        } else if (e == ENOTDIR) {
            SetError(error, PathError(folder, "is not a folder"));
        } else {
            SetError(error, PathError(folder, "cannot be opened: ").append(ErrnoText(e)));
        }
        return {};
    }
    // The umask may have taken bits from a folder made here.
    if (created && ::fchmod(fd.Get(), 0700) != 0) {
        SetError(error, PathError(folder, "cannot be made private: ").append(ErrnoText(errno)));
        return {};
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        SetError(error, PathError(folder, "cannot be examined: ").append(ErrnoText(errno)));
        return {};
    }
    if (!S_ISDIR(st.st_mode)) {
        SetError(error, PathError(folder, "is not a folder"));
        return {};
    }
    if (st.st_uid != ::geteuid()) {
        SetError(error, PathError(folder, "belongs to another user"));
        return {};
    }
    if ((st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        SetError(error,
                 PathError(folder, "is open to other users (mode ").append(mode).append(")"));
        return {};
    }
    folder.push_back('/');
    return folder;
}

std::string BusSocketPath(const std::string& folder) {
    return folder + "bus";
}

// ---- Server ------------------------------------------------------------------

struct CMessageBusServer::Client {
    UniqueFd fd;
    std::string title;          // empty until the client registers a window
    uint64_t registration = 0;  // when it registered, to find the latest
};

CMessageBusServer::CMessageBusServer(std::string socketPath, Handlers handlers)
    : socketPath_(std::move(socketPath)), handlers_(std::move(handlers)) {}

CMessageBusServer::~CMessageBusServer() {
    Stop();
}

std::unique_ptr<CMessageBusServer> CMessageBusServer::Start(const std::string& socketPath,
                                                            Handlers handlers, std::string* error) {
    sockaddr_un address{};
    if (!FillAddress(socketPath, address, error)) {
        return nullptr;
    }
    std::unique_ptr<CMessageBusServer> server(
        new CMessageBusServer(socketPath, std::move(handlers)));
    server->listen_.Reset(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    server->wake_.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!server->listen_.Valid() || !server->wake_.Valid()) {
        SetError(error, Concat("cannot make the bus socket: ", ErrnoText(errno)));
        return nullptr;
    }
    // A socket file left by a run that ended without removing it. Anything
    // else at that path is not ours to delete.
    struct stat st {};
    if (::lstat(socketPath.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            SetError(error, PathError(socketPath, "exists and is not a socket"));
            return nullptr;
        }
        ::unlink(socketPath.c_str());
    }
    if (::bind(server->listen_.Get(), reinterpret_cast<const sockaddr*>(&address),
               sizeof address) != 0) {
        SetError(error, PathError(socketPath, "cannot be bound: ").append(ErrnoText(errno)));
        return nullptr;
    }
    if (::chmod(socketPath.c_str(), 0600) != 0 || ::lstat(socketPath.c_str(), &st) != 0 ||
        ::listen(server->listen_.Get(), kListenBacklog) != 0) {
        SetError(error, PathError(socketPath, "cannot be set up: ").append(ErrnoText(errno)));
        ::unlink(socketPath.c_str());
        return nullptr;
    }
    server->socketDevice_ = st.st_dev;
    server->socketInode_ = st.st_ino;
    server->thread_ = std::thread(&CMessageBusServer::Run, server.get());
    VEXTAR_LOG_INFO("message bus: listening on %s", socketPath.c_str());
    return server;
}

void CMessageBusServer::Stop() {
    if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) {
        VEXTAR_LOG_ERROR("message bus: Stop called from a handler; ignored");
        return;
    }
    if (stopped_.exchange(true)) {
        return;
    }
    if (thread_.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_.Get(), &one, sizeof one);
        thread_.join();
    }
    {
        std::lock_guard lock(mutex_);
        clients_.clear();
    }
    listen_.Reset();
    wake_.Reset();
    // Only our own socket file: another instance may have bound the path
    // since.
    struct stat st {};
    if (socketInode_ != 0 && ::lstat(socketPath_.c_str(), &st) == 0 && st.st_dev == socketDevice_ &&
        st.st_ino == socketInode_) {
        ::unlink(socketPath_.c_str());
    }
}

void CMessageBusServer::Run() {
    std::vector<uint8_t> buffer(kBusMaxFrameBytes + 1);  // one byte more shows an over-long frame
    std::vector<pollfd> fds;
    std::vector<Client*> polled;
    for (;;) {
        fds.clear();
        polled.clear();
        fds.push_back({wake_.Get(), POLLIN, 0});
        fds.push_back({listen_.Get(), POLLIN, 0});
        {
            std::lock_guard lock(mutex_);
            for (const std::unique_ptr<Client>& c : clients_) {
                fds.push_back({c->fd.Get(), POLLIN | POLLRDHUP, 0});
                polled.push_back(c.get());
            }
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            VEXTAR_LOG_ERROR("message bus: poll failed: %s", std::strerror(errno));
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        if (fds[1].revents != 0) {
            AcceptClients();
        }
        // Only this thread removes clients, so the polled ones are alive.
        for (std::size_t i = 0; i < polled.size(); ++i) {
            const short revents = fds[i + 2].revents;
            if (revents != 0 && !ReadClient(*polled[i], revents, buffer)) {
                RemoveClient(polled[i]);
            }
        }
    }
}

void CMessageBusServer::AcceptClients() {
    for (int i = 0; i < kAcceptsPerWake; ++i) {
        UniqueFd fd(::accept4(listen_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd.Valid()) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                VEXTAR_LOG_WARNING("message bus: accept failed: %s", std::strerror(errno));
            }
            return;
        }
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(fd.Get(), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) {
            VEXTAR_LOG_WARNING("message bus: refused a client whose user is unknown: %s",
                               std::strerror(errno));
            continue;
        }
        if (peer.uid != ::geteuid()) {
            VEXTAR_LOG_WARNING("message bus: refused a client of user %u (process %d)",
                               static_cast<unsigned>(peer.uid), static_cast<int>(peer.pid));
            continue;
        }
        std::lock_guard lock(mutex_);
        if (clients_.size() >= kMaxClients) {
            VEXTAR_LOG_WARNING("message bus: refused process %d: %zu clients already",
                               static_cast<int>(peer.pid), clients_.size());
            continue;
        }
        auto client = std::make_unique<Client>();
        client->fd = std::move(fd);
        VEXTAR_LOG_DEBUG("message bus: process %d connected", static_cast<int>(peer.pid));
        clients_.push_back(std::move(client));
    }
}

bool CMessageBusServer::ReadClient(Client& client, short revents, std::vector<uint8_t>& buffer) {
    for (int frames = 0; frames < kFramesPerWake; ++frames) {
        const ssize_t n = ::recv(client.fd.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return true;
            }
            VEXTAR_LOG_DEBUG("message bus: client %d: %s", client.fd.Get(), std::strerror(errno));
            return false;
        }
        if (n == 0) {
            // Both an empty packet and the end of the connection read as 0;
            // poll tells them apart.
            if ((revents & (POLLHUP | POLLRDHUP | POLLERR)) != 0) {
                return false;
            }
            // The peer may have hung up after the poll that woke us.
            pollfd now{client.fd.Get(), POLLRDHUP, 0};
            if (::poll(&now, 1, 0) > 0 && (now.revents & (POLLHUP | POLLRDHUP | POLLERR)) != 0) {
                return false;
            }
            VEXTAR_LOG_WARNING("message bus: client %d: dropped an empty packet", client.fd.Get());
            return true;
        }
        std::string why;
        std::optional<BusFrame> frame =
            ParseBusFrame({buffer.data(), static_cast<std::size_t>(n)}, &why);
        if (!frame) {
            VEXTAR_LOG_WARNING("message bus: client %d: dropped a frame of %zd bytes: %s",
                               client.fd.Get(), n, why.c_str());
            continue;
        }
        Dispatch(client, std::move(*frame));
    }
    return true;
}

void CMessageBusServer::Dispatch(Client& client, BusFrame frame) {
    if (auto* m = std::get_if<BusMessage>(&frame)) {
        VEXTAR_LOG_DEBUG("message bus: message %s (%lld, %lld)", m->name.c_str(),
                         static_cast<long long>(m->wParam), static_cast<long long>(m->lParam));
        if (handlers_.onMessage) {
            handlers_.onMessage(*m);
        }
    } else if (auto* c = std::get_if<BusCopyData>(&frame)) {
        VEXTAR_LOG_DEBUG("message bus: copy-data %u of %zu bytes", c->dwData, c->payload.size());
        if (handlers_.onCopyData) {
            handlers_.onCopyData(*c);
        }
    } else {
        auto& r = std::get<BusRegisterWindow>(frame);
        VEXTAR_LOG_DEBUG("message bus: client %d is window '%s'", client.fd.Get(), r.title.c_str());
        std::lock_guard lock(mutex_);
        client.title = std::move(r.title);
        client.registration = ++registrations_;
    }
}

void CMessageBusServer::RemoveClient(const Client* client) {
    std::lock_guard lock(mutex_);
    std::erase_if(clients_,
                  [client](const std::unique_ptr<Client>& c) { return c.get() == client; });
}

bool CMessageBusServer::SendLocked(const Client& client, std::span<const uint8_t> packet) {
    for (;;) {
        const ssize_t n =
            ::send(client.fd.Get(), packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n == static_cast<ssize_t>(packet.size())) {
            return true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            VEXTAR_LOG_WARNING("message bus: client %d is not reading; a frame was dropped",
                               client.fd.Get());
        } else {
            // A client that went away; the server thread sees it hang up.
            VEXTAR_LOG_DEBUG("message bus: cannot send to client %d: %s", client.fd.Get(),
                             n < 0 ? std::strerror(errno) : "short send");
        }
        return false;
    }
}

void CMessageBusServer::Broadcast(std::string_view name, int64_t w, int64_t l) {
    const std::vector<uint8_t> packet = EncodeBusFrame(BusMessage{std::string(name), w, l});
    if (packet.empty()) {
        VEXTAR_LOG_ERROR("message bus: cannot broadcast '%.*s': not a valid name",
                         static_cast<int>(std::min<std::size_t>(name.size(), 300)), name.data());
        return;
    }
    std::lock_guard lock(mutex_);
    for (const std::unique_ptr<Client>& c : clients_) {
        SendLocked(*c, packet);
    }
}

bool CMessageBusServer::SendCopyData(std::string_view title, uint32_t dwData,
                                     std::span<const uint8_t> payload, int64_t wParam) {
    const std::vector<uint8_t> packet =
        EncodeBusFrame(BusCopyData{dwData, wParam, {payload.begin(), payload.end()}});
    if (packet.empty() || title.empty()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    // Two clients may claim one title; the latest registration answers.
    const Client* target = nullptr;
    for (const std::unique_ptr<Client>& c : clients_) {
        if (c->title == title && (target == nullptr || c->registration > target->registration)) {
            target = c.get();
        }
    }
    return target != nullptr && SendLocked(*target, packet);
}

bool CMessageBusServer::HasWindow(std::string_view title) const {
    if (title.empty()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    return std::any_of(clients_.begin(), clients_.end(),
                       [title](const std::unique_ptr<Client>& c) { return c->title == title; });
}

std::size_t CMessageBusServer::ClientCount() const {
    std::lock_guard lock(mutex_);
    return clients_.size();
}

// ---- Client ------------------------------------------------------------------

CMessageBusClient::ConnectStatus CMessageBusClient::Connect(const std::string& socketPath,
                                                            std::string* error) {
    fd_.Reset();
    sockaddr_un address{};
    if (!FillAddress(socketPath, address, error)) {
        return ConnectStatus::Failed;
    }
    // Blocking while connecting, with a bound on the wait for a full backlog.
    UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) {
        SetError(error, Concat("cannot make a socket: ", ErrnoText(errno)));
        return ConnectStatus::Failed;
    }
    const timeval limit{kSendTimeoutMs / 1000, (kSendTimeoutMs % 1000) * 1000};
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    int result = 0;
    do {
        result = ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int e = errno;
        SetError(error, PathError(socketPath, "cannot connect: ").append(ErrnoText(e)));
        return e == ENOENT || e == ECONNREFUSED ? ConnectStatus::NotRunning : ConnectStatus::Failed;
    }
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags | O_NONBLOCK) != 0) {
        SetError(error, Concat("cannot make the socket non-blocking: ", ErrnoText(errno)));
        return ConnectStatus::Failed;
    }
    fd_ = std::move(fd);
    return ConnectStatus::Connected;
}

bool CMessageBusClient::SendPacket(std::span<const uint8_t> packet, std::string* error) {
    if (!fd_.Valid()) {
        SetError(error, "not connected to the bus");
        return false;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kSendTimeoutMs);
    for (;;) {
        const ssize_t n =
            ::send(fd_.Get(), packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n == static_cast<ssize_t>(packet.size())) {
            return true;
        }
        if (n >= 0) {
            SetError(error, "short send");
            return false;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            SetError(error, Concat("cannot send to the bus: ", ErrnoText(errno)));
            return false;
        }
        pollfd p{fd_.Get(), POLLOUT, 0};
        const int ready = ::poll(&p, 1, PollTimeout(false, deadline));
        if (ready == 0) {
            SetError(error, "the bus is not reading");
            return false;
        }
        if (ready < 0 && errno != EINTR) {
            SetError(error, Concat("cannot wait for the bus: ", ErrnoText(errno)));
            return false;
        }
    }
}

bool CMessageBusClient::SendFrame(const BusFrame& frame, std::string* error) {
    const std::vector<uint8_t> packet = EncodeBusFrame(frame);
    if (packet.empty()) {
        std::string why = "the frame breaks a limit";
        if (const auto* m = std::get_if<BusMessage>(&frame)) {
            ValidBusName(m->name, &why);
        } else if (const auto* r = std::get_if<BusRegisterWindow>(&frame)) {
            ValidBusName(r->title, &why);
        } else {
            why = "the payload is over 64 KiB";
        }
        SetError(error, std::move(why));
        return false;
    }
    return SendPacket(packet, error);
}

bool CMessageBusClient::SendMessage(std::string_view name, int64_t w, int64_t l,
                                    std::string* error) {
    return SendFrame(BusMessage{std::string(name), w, l}, error);
}

bool CMessageBusClient::SendCopyData(uint32_t dwData, std::span<const uint8_t> payload,
                                     int64_t wParam, std::string* error) {
    return SendFrame(BusCopyData{dwData, wParam, {payload.begin(), payload.end()}}, error);
}

bool CMessageBusClient::RegisterWindow(std::string_view title, std::string* error) {
    return SendFrame(BusRegisterWindow{std::string(title)}, error);
}

std::optional<BusFrame> CMessageBusClient::Receive(int timeoutMs, std::string* error) {
    if (!fd_.Valid()) {
        SetError(error, "not connected to the bus");
        return std::nullopt;
    }
    const bool infinite = timeoutMs < 0;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    std::vector<uint8_t> buffer(kBusMaxFrameBytes + 1);
    for (;;) {
        const ssize_t n = ::recv(fd_.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n > 0) {
            std::string why;
            if (std::optional<BusFrame> frame =
                    ParseBusFrame({buffer.data(), static_cast<std::size_t>(n)}, &why)) {
                return frame;
            }
            VEXTAR_LOG_WARNING("message bus: dropped a frame from the bus: %s", why.c_str());
            continue;
        }
        if (n == 0) {
            fd_.Reset();
            SetError(error, "the bus closed the connection");
            return std::nullopt;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            SetError(error, Concat("cannot read from the bus: ", ErrnoText(errno)));
            fd_.Reset();
            return std::nullopt;
        }
        pollfd p{fd_.Get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, PollTimeout(infinite, deadline));
        if (ready == 0) {
            SetError(error, Concat("nothing arrived within ", std::to_string(timeoutMs), " ms"));
            return std::nullopt;
        }
        if (ready < 0 && errno != EINTR) {
            SetError(error, Concat("cannot wait for the bus: ", ErrnoText(errno)));
            return std::nullopt;
        }
    }
}

}  // namespace vextar::platform

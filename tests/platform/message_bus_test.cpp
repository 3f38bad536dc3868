#include "platform/message_bus.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/single_instance.h"
#include "support/fd_count.h"
#include "support/runtime_folder.h"

namespace vextar::platform {
namespace {

using Bytes = std::vector<uint8_t>;

// ---- Frames ----------------------------------------------------------------

// The three kinds as they travel: the layout docs/message-bus.md gives.
const Bytes kMessageHi = {'V',  'X',  'B',  'F',  1,    1,    0,    0,    19, 0, 0, 0,  // header
                          1,    0,    0,    0,    0,    0,    0,    0,                  // wParam 1
                          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,               // lParam -1
                          2,    'H',  'i'};                                             // name
const Bytes kCopyData = {'V', 'X', 'B', 'F', 1, 2, 0, 0, 19, 0, 0, 0,                   // header
                         5,   0,   0,   0,                                              // dwData 5
                         7,   0,   0,   0,   0, 0, 0, 0,                                // wParam 7
                         3,   0,   0,   0,   1, 2, 3};                                  // payload
const Bytes kRegister = {'V', 'X', 'B', 'F', 1,   3,   0,   0,   9,   0,  0,
                         0,   8,   'W', 'o', 'r', 'k', 'T', 'o', 'o', 'l'};

void Put(Bytes& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// A header whose length field tells the truth, unless `claimed` says else.
Bytes Frame(uint8_t kind, const Bytes& body, std::optional<uint32_t> claimed = std::nullopt) {
    Bytes out = {'V', 'X', 'B', 'F', 1, kind, 0, 0};
    Put(out, claimed.value_or(static_cast<uint32_t>(body.size())), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes MessageBody(const std::string& name) {
    Bytes out(16, 0);
    out.push_back(static_cast<uint8_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    return out;
}

Bytes CopyBody(std::size_t payloadBytes, uint32_t claimed) {
    Bytes out(12, 0);
    Put(out, claimed, 4);
    out.resize(out.size() + payloadBytes, 0xA5);
    return out;
}

Bytes With(Bytes bytes, std::size_t at, uint8_t value) {
    bytes[at] = value;
    return bytes;
}

TEST(BusFrame, ParsesEachKindAndEncodesItBack) {
    struct Case {
        const char* what;
        Bytes bytes;
        BusFrame frame;
    };
    const std::string longest(255, 'n');
    const std::vector<Case> cases = {
        {"named message", kMessageHi, BusMessage{"Hi", 1, -1}},
        {"copy-data", kCopyData, BusCopyData{5, 7, {1, 2, 3}}},
        {"window registration", kRegister, BusRegisterWindow{"WorkTool"}},
        {"name of 255 bytes", Frame(1, MessageBody(longest)), BusMessage{longest, 0, 0}},
        {"UTF-8 name", Frame(1, MessageBody("Grüße")), BusMessage{"Grüße", 0, 0}},
        {"empty payload", Frame(2, CopyBody(0, 0)), BusCopyData{0, 0, {}}},
        {"largest payload", Frame(2, CopyBody(kBusMaxPayloadBytes, kBusMaxPayloadBytes)),
         BusCopyData{0, 0, Bytes(kBusMaxPayloadBytes, 0xA5)}},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::optional<BusFrame> parsed = ParseBusFrame(c.bytes, &error);
        ASSERT_TRUE(parsed) << c.what << ": " << error;
        EXPECT_EQ(*parsed, c.frame) << c.what;
        EXPECT_EQ(EncodeBusFrame(c.frame), c.bytes) << c.what;
    }
}

TEST(BusFrame, RefusesMalformedFrames) {
    struct Case {
        const char* what;
        Bytes bytes;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"short", Bytes(kMessageHi.begin(), kMessageHi.begin() + 11), "shorter than"},
        {"one byte long",
         [] {
             Bytes b = kMessageHi;
             b.push_back(0);
             return b;
         }(),
         "header says"},
        {"header claims more", With(kMessageHi, 8, 20), "header says"},
        {"bad magic", With(kMessageHi, 0, 'W'), "magic"},
        {"version 2", With(kMessageHi, 4, 2), "version 2"},
        {"reserved byte", With(kMessageHi, 7, 1), "reserved"},
        {"unknown kind", Frame(9, {}), "unknown frame kind 9"},
        {"kind 0", With(kMessageHi, 5, 0), "unknown frame kind 0"},
        {"name length disagrees", Frame(1, With(MessageBody("Hi"), 16, 3)), "wrong size"},
        {"empty name", Frame(1, MessageBody("")), "empty"},
        {"name with NUL", Frame(1, MessageBody(std::string("a\0b", 3))), "NUL"},
        {"name of 256 bytes", Frame(1, MessageBody(std::string(256, 'n'))), "wrong size"},
        {"name not UTF-8", Frame(1, MessageBody("\xC0\xAF")), "UTF-8"},
        {"empty title", Frame(3, {0}), "empty"},
        {"title with NUL", Frame(3, {1, 0}), "NUL"},
        {"registration without body", Frame(3, {}), "wrong size"},
        {"payload length disagrees", Frame(2, CopyBody(3, 4)), "wrong size"},
        {"copy-data cut short", Frame(2, Bytes(10, 0)), "wrong size"},
        {"payload over 64 KiB",
         Frame(2, CopyBody(kBusMaxPayloadBytes + 1, kBusMaxPayloadBytes + 1)), "64 KiB"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseBusFrame(c.bytes, &error)) << c.what;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.what << ": " << error;
    }
}

TEST(BusFrame, EncodesNothingBeyondTheLimits) {
    EXPECT_TRUE(EncodeBusFrame(BusMessage{"", 1, 2}).empty());
    EXPECT_TRUE(EncodeBusFrame(BusMessage{std::string(256, 'n'), 1, 2}).empty());
    EXPECT_TRUE(EncodeBusFrame(BusRegisterWindow{std::string("a\0", 2)}).empty());
    EXPECT_TRUE(EncodeBusFrame(BusCopyData{1, 2, Bytes(kBusMaxPayloadBytes + 1)}).empty());
}

// ---- The runtime folder and the instance lock ------------------------------

TEST(RuntimeFolder, IsMadePrivateAndRefusesFoldersOthersCouldUse) {
    const test::ScopedRuntimeDir runtime;
    const std::string own = runtime.Path() + "/vextar";
    std::string error;
    EXPECT_EQ(RuntimeFolder(&error), own + "/") << error;
    struct stat st {};
    ASSERT_EQ(::lstat(own.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700U);
    EXPECT_EQ(BusSocketPath(own + "/"), own + "/bus");

    ASSERT_EQ(::chmod(own.c_str(), 0755), 0);
    EXPECT_EQ(RuntimeFolder(&error), "");
    EXPECT_NE(error.find("open to other users (mode 0755)"), std::string::npos) << error;

    // A link to a private folder of ours is still refused.
    const std::string elsewhere = runtime.Path() + "/elsewhere";
    ASSERT_EQ(::mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(::rmdir(own.c_str()), 0);
    ASSERT_EQ(::symlink(elsewhere.c_str(), own.c_str()), 0);
    EXPECT_EQ(RuntimeFolder(&error), "");
    EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;

    ASSERT_EQ(::unlink(own.c_str()), 0);
    std::ofstream(own) << "x";
    EXPECT_EQ(RuntimeFolder(&error), "");
    EXPECT_NE(error.find("not a folder"), std::string::npos) << error;

    ::setenv("XDG_RUNTIME_DIR", "relative/run", 1);
    const std::string fallback = "/tmp/vextar-" + std::to_string(::geteuid()) + "/";
    EXPECT_EQ(RuntimeFolder(&error), fallback) << error;
}

TEST(SingleInstance, OneHolderAtATime) {
    const test::ScopedRuntimeDir runtime;
    const std::string folder = runtime.Path() + "/";
    bool alreadyRunning = true;
    std::string error;
    std::optional<CSingleInstance> first = CSingleInstance::Acquire(folder, alreadyRunning, &error);
    ASSERT_TRUE(first) << error;
    EXPECT_FALSE(alreadyRunning);

    EXPECT_FALSE(CSingleInstance::Acquire(folder, alreadyRunning, &error));
    EXPECT_TRUE(alreadyRunning);

    first.reset();
    EXPECT_TRUE(CSingleInstance::Acquire(folder, alreadyRunning, &error)) << error;

    // A folder that is not there is a failure, not another instance.
    EXPECT_FALSE(CSingleInstance::Acquire(folder + "missing/", alreadyRunning, &error));
    EXPECT_FALSE(alreadyRunning);
    EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
}

// ---- Server and clients ----------------------------------------------------

// What the server's handlers received.
class Inbox {
  public:
    CMessageBusServer::Handlers Handlers() {
        return {[this](const BusMessage& m) { Add(m); }, [this](const BusCopyData& c) { Add(c); }};
    }
    // The frames received, once there are `count` of them.
    std::vector<BusFrame> Wait(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(5), [&] { return frames_.size() >= count; });
        return frames_;
    }

  private:
    void Add(BusFrame frame) {
        std::lock_guard lock(mutex_);
        frames_.push_back(std::move(frame));
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<BusFrame> frames_;
};

std::size_t ThreadCount() {
    std::size_t n = 0;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (::readdir(d) != nullptr) {
            ++n;
        }
        ::closedir(d);
    }
    return n;
}

class MessageBus : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        folder_ = RuntimeFolder(&error);
        ASSERT_FALSE(folder_.empty()) << error;
        socket_ = BusSocketPath(folder_);
    }

    std::unique_ptr<CMessageBusServer> StartServer() {
        std::string error;
        auto server = CMessageBusServer::Start(socket_, inbox_.Handlers(), &error);
        EXPECT_TRUE(server) << error;
        return server;
    }
    CMessageBusClient Connect() {
        CMessageBusClient client;
        std::string error;
        EXPECT_EQ(client.Connect(socket_, &error), CMessageBusClient::ConnectStatus::Connected)
            << error;
        return client;
    }

    test::ScopedRuntimeDir runtime_;
    std::string folder_;
    std::string socket_;
    Inbox inbox_;
};

TEST_F(MessageBus, DeliversMessagesAndCopyDataToTheHandlers) {
    const auto server = StartServer();
    CMessageBusClient client = Connect();
    EXPECT_TRUE(client.SendMessage("Game_Start", 3, -4));
    EXPECT_TRUE(client.SendCopyData(9, Bytes{1, 2, 3, 4}, 77));
    const std::vector<BusFrame> frames = inbox_.Wait(2);
    ASSERT_EQ(frames.size(), 2U);
    EXPECT_EQ(frames[0], BusFrame(BusMessage{"Game_Start", 3, -4}));
    EXPECT_EQ(frames[1], BusFrame(BusCopyData{9, 77, {1, 2, 3, 4}}));
}

TEST_F(MessageBus, DropsMalformedFramesAndKeepsTheConnection) {
    const auto server = StartServer();
    CMessageBusClient client = Connect();
    EXPECT_TRUE(client.SendPacket(With(kMessageHi, 0, 'W')));
    EXPECT_TRUE(client.SendPacket(Frame(9, {})));
    EXPECT_TRUE(client.SendPacket({}));  // an empty packet is not the end of the connection
    EXPECT_TRUE(client.SendPacket(Bytes(kBusMaxFrameBytes + 1, 0)));
    EXPECT_TRUE(client.SendMessage("after", 1, 2));
    const std::vector<BusFrame> frames = inbox_.Wait(1);
    ASSERT_EQ(frames.size(), 1U);
    EXPECT_EQ(frames[0], BusFrame(BusMessage{"after", 1, 2}));
    EXPECT_EQ(server->ClientCount(), 1U);
}

TEST_F(MessageBus, BroadcastReachesEveryClient) {
    const auto server = StartServer();
    CMessageBusClient a = Connect();
    CMessageBusClient b = Connect();
    ASSERT_TRUE(test::WaitUntil([&] { return server->ClientCount() == 2; }));
    server->Broadcast("{4695579F-999A-41d4-9FAF-EFFCE93EBF16}", 1, 0x7FFFFFFFFFFFFFFF);
    for (CMessageBusClient* client : {&a, &b}) {
        std::string error;
        const std::optional<BusFrame> frame = client->Receive(5000, &error);
        ASSERT_TRUE(frame) << error;
        EXPECT_EQ(*frame, BusFrame(BusMessage{"{4695579F-999A-41d4-9FAF-EFFCE93EBF16}", 1,
                                              0x7FFFFFFFFFFFFFFF}));
    }
}

TEST_F(MessageBus, CopyDataGoesOnlyToTheRegisteredTitle) {
    const auto server = StartServer();
    CMessageBusClient tool = Connect();
    CMessageBusClient other = Connect();
    EXPECT_TRUE(tool.RegisterWindow("WorkTool"));
    EXPECT_TRUE(other.RegisterWindow("Other"));
    ASSERT_TRUE(test::WaitUntil(
        [&] { return server->HasWindow("WorkTool") && server->HasWindow("Other"); }));

    Bytes answer(1024, 0);
    answer[0] = 42;
    EXPECT_TRUE(server->SendCopyData("WorkTool", 5, answer, 3));
    EXPECT_FALSE(server->SendCopyData("Nobody", 5, answer, 3));
    std::string error;
    const std::optional<BusFrame> frame = tool.Receive(5000, &error);
    ASSERT_TRUE(frame) << error;
    EXPECT_EQ(*frame, BusFrame(BusCopyData{5, 3, answer}));
    EXPECT_FALSE(other.Receive(50));
    EXPECT_TRUE(other.Connected());

    // A later registration replaces the client's title.
    EXPECT_TRUE(tool.RegisterWindow("Renamed"));
    ASSERT_TRUE(test::WaitUntil([&] { return !server->HasWindow("WorkTool"); }));
    EXPECT_TRUE(server->HasWindow("Renamed"));
}

TEST_F(MessageBus, AClientThatNeverReadsBlocksNobody) {
    const auto server = StartServer();
    CMessageBusClient stuck = Connect();
    CMessageBusClient reader = Connect();
    EXPECT_TRUE(stuck.RegisterWindow("Stuck"));
    ASSERT_TRUE(test::WaitUntil([&] { return server->HasWindow("Stuck"); }));
    ASSERT_EQ(server->ClientCount(), 2U);

    const log::Level level = log::CurrentLevel();
    log::SetLevel(log::Level::Off);  // one warning per frame it misses
    const Bytes big(kBusMaxPayloadBytes, 1);
    bool missed = false;
    for (int i = 0; i < 256 && !missed; ++i) {
        missed = !server->SendCopyData("Stuck", 1, big, 0);
    }
    for (int i = 0; i < 20000; ++i) {
        server->Broadcast("flood", i, 0);
    }
    log::SetLevel(level);
    EXPECT_TRUE(missed);

    // The reader, full as well by now, catches up and is served again.
    while (reader.Receive(0)) {
    }
    server->Broadcast("after", 0, 0);
    std::optional<BusFrame> frame = reader.Receive(5000);
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, BusFrame(BusMessage{"after", 0, 0}));
    EXPECT_TRUE(stuck.SendMessage("still heard", 0, 0));
    EXPECT_EQ(inbox_.Wait(1).size(), 1U);
}

TEST_F(MessageBus, RefusesClientsBeyondTheLimit) {
    const auto server = StartServer();
    std::vector<CMessageBusClient> clients;
    for (std::size_t i = 0; i < CMessageBusServer::kMaxClients; ++i) {
        clients.push_back(Connect());
    }
    ASSERT_TRUE(
        test::WaitUntil([&] { return server->ClientCount() == CMessageBusServer::kMaxClients; }));
    CMessageBusClient extra = Connect();
    EXPECT_FALSE(extra.Receive(5000));
    EXPECT_FALSE(extra.Connected());  // closed by the server
    EXPECT_EQ(server->ClientCount(), CMessageBusServer::kMaxClients);

    // A place that frees up is taken again.
    clients.pop_back();
    ASSERT_TRUE(test::WaitUntil(
        [&] { return server->ClientCount() == CMessageBusServer::kMaxClients - 1; }));
    clients.push_back(Connect());
    EXPECT_TRUE(
        test::WaitUntil([&] { return server->ClientCount() == CMessageBusServer::kMaxClients; }));
}

TEST_F(MessageBus, RefusesClientsOfAnotherUser) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to connect as another user";
    }
    const auto server = StartServer();
    // Let another user reach the socket, so that only the server's check is left.
    ASSERT_EQ(::chmod(runtime_.Path().c_str(), 0711), 0);
    ASSERT_EQ(::chmod(folder_.c_str(), 0711), 0);
    ASSERT_EQ(::chmod(socket_.c_str(), 0666), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only system calls here: the parent has threads.
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, socket_.c_str());
        const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
        if (::setuid(65534) != 0 ||
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::_exit(2);
        }
        pollfd p{fd, POLLIN, 0};
        char byte = 0;
        const bool closed = ::poll(&p, 1, 5000) == 1 && ::recv(fd, &byte, 1, 0) == 0;
        ::_exit(closed ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(server->ClientCount(), 0U);
}

TEST_F(MessageBus, StopRemovesTheSocketAndLeaksNothing) {
    const std::size_t fds = test::OpenDescriptors();
    const std::size_t threads = ThreadCount();
    {
        auto server = StartServer();
        CMessageBusClient client = Connect();
        EXPECT_TRUE(client.RegisterWindow("WorkTool"));
        ASSERT_TRUE(test::WaitUntil([&] { return server->HasWindow("WorkTool"); }));
        server->Stop();
        EXPECT_FALSE(std::filesystem::exists(socket_));
        EXPECT_FALSE(client.Receive(5000));  // the server closed the connection
        EXPECT_FALSE(server->HasWindow("WorkTool"));
        server->Stop();
    }
    EXPECT_EQ(test::OpenDescriptors(), fds);
    // A joined thread may linger in /proc a moment longer. ThreadSanitizer
    // starts threads of its own at any time, and reports a thread that is
    // never joined by itself.
#if !defined(__SANITIZE_THREAD__)
    EXPECT_TRUE(test::WaitUntil([&] { return ThreadCount() == threads; }));
#else
    (void)threads;
#endif

    CMessageBusClient late;
    EXPECT_EQ(late.Connect(socket_, nullptr), CMessageBusClient::ConnectStatus::NotRunning);
}

TEST_F(MessageBus, ReplacesAStaleSocketButNoOtherFile) {
    {
        // What a run that crashed leaves: a bound socket file nobody listens on.
        const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, socket_.c_str());
        ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    CMessageBusClient client;
    EXPECT_EQ(client.Connect(socket_, nullptr), CMessageBusClient::ConnectStatus::NotRunning);
    {
        const auto server = StartServer();
        client = Connect();
        EXPECT_TRUE(client.SendMessage("VEXTAR", 0, 0));
        EXPECT_EQ(inbox_.Wait(1).size(), 1U);
    }

    std::ofstream(socket_) << "not a socket";
    std::string error;
    EXPECT_FALSE(CMessageBusServer::Start(socket_, {}, &error));
    EXPECT_NE(error.find("is not a socket"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_regular_file(socket_));
}

}  // namespace
}  // namespace vextar::platform

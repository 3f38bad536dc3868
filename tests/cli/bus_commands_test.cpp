#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/registered_messages.h"
#include "app/sim_control.h"
#include "app/window_messages.h"
#include "cli/cli.h"
#include "platform/message_bus.h"
#include "sim/sim_catalog.h"
#include "support/runtime_folder.h"

namespace vextar::cli {
namespace {

using platform::BusCopyData;
using platform::BusMessage;
using platform::CMessageBusServer;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome RunCli(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = Run(args, out, err);
    return {status, out.str(), err.str()};
}

// A running application as far as the bus goes: it records the messages and
// answers the tool query with `answer` (when set) as the application does,
// a copy-data payload of kind 5 to the window "WorkTool".
class RunningApplication {
  public:
    explicit RunningApplication(std::vector<uint8_t> answer = {}) : answer_(std::move(answer)) {
        std::string error;
        const std::string folder = platform::RuntimeFolder(&error);
        CMessageBusServer::Handlers handlers;
        handlers.onMessage = [this](const BusMessage& m) {
            if (m.name == app::kToolQueryName && !answer_.empty()) {
                bus_.load()->SendCopyData(app::kToolWindowTitle, 5, answer_, 0);
            }
            std::lock_guard lock(mutex_);
            messages_.push_back(m);
            changed_.notify_all();
        };
        server_ = CMessageBusServer::Start(platform::BusSocketPath(folder), handlers, &error);
        EXPECT_TRUE(server_) << error;
        bus_.store(server_.get());
    }

    // The message received last, once there are `count`.
    BusMessage WaitForMessage(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(5), [&] { return messages_.size() >= count; });
        return messages_.size() >= count ? messages_[count - 1] : BusMessage{};
    }

  private:
    std::vector<uint8_t> answer_;
    std::atomic<CMessageBusServer*> bus_{nullptr};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<BusMessage> messages_;
    std::unique_ptr<CMessageBusServer> server_;  // last: stopped before the rest goes
};

TEST(VextarctlSend, SendsTheNamedMessageWithItsParameters) {
    const test::ScopedRuntimeDir runtime;
    RunningApplication application;
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    struct Case {
        std::vector<std::string> args;
        BusMessage received;
    };
    const std::vector<Case> cases = {
        {{"send", "VEXTAR"}, {"VEXTAR", 0, 0}},
        {{"send", "Game_Start", "0x10"}, {"Game_Start", 16, 0}},
        {{"send", "Game_End", "-3", "0XfF"}, {"Game_End", -3, 255}},
        {{"send", "x", "9223372036854775807", "-9223372036854775808"}, {"x", kMax, kMin}},
        {{"send", "x", "0x7fffffffffffffff", "-0x8000000000000000"}, {"x", kMax, kMin}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Outcome r = RunCli(cases[i].args);
        EXPECT_EQ(r.status, kExitOk) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(application.WaitForMessage(i + 1), cases[i].received) << cases[i].args[1];
    }
}

TEST(VextarctlSend, RefusesBadArgumentsWithStatus2) {
    const test::ScopedRuntimeDir runtime;
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"send"}, "usage: send NAME"},
        {{"send", "x", "1", "2", "3"}, "usage: send NAME"},
        {{"send", ""}, "name is empty"},
        {{"send", std::string(256, 'n')}, "longer than 255"},
        {{"send", "x", "12abc"}, "WPARAM must be"},
        {{"send", "x", "0", ""}, "LPARAM must be"},
        {{"send", "x", "9223372036854775808"}, "WPARAM must be"},
        {{"send", "x", "-9223372036854775809"}, "WPARAM must be"},
        {{"send", "x", "0x8000000000000000"}, "WPARAM must be"},
        {{"send", "x", "0x"}, "WPARAM must be"},
        {{"send", "x", "--1"}, "WPARAM must be"},
        {{"tool-query", "extra"}, "no arguments"},
    };
    for (const Case& c : cases) {
        const Outcome r = RunCli(c.args);
        EXPECT_EQ(r.status, kExitUsage) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

TEST(VextarctlSend, SaysWhenVextarIsNotRunning) {
    const test::ScopedRuntimeDir runtime;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"send", "VEXTAR"}, std::vector<std::string>{"tool-query"},
          std::vector<std::string>{"sim", "plug", "mouse"}, std::vector<std::string>{"status"}}) {
        const Outcome r = RunCli(args);
        EXPECT_EQ(r.status, kExitDeviceOrFile);
        EXPECT_EQ(r.err, "vextarctl: vextar is not running\n");
    }
}

TEST(VextarctlToolQuery, PrintsTheAnswerUpToItsLastValue) {
    const test::ScopedRuntimeDir runtime;
    std::vector<uint8_t> answer(1024, 0);
    answer[0] = 1;
    answer[4] = 0xFF;
    answer[5] = 0x01;  // 511
    answer[12] = 0x07;
    RunningApplication application(answer);
    const Outcome r = RunCli({"tool-query"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "dwData=5\n1 511 0 7\n");
    EXPECT_EQ(application.WaitForMessage(1), (BusMessage{std::string(app::kToolQueryName), 0, 0}));
}

TEST(VextarctlToolQuery, FailsWithoutAnAnswer) {
    const test::ScopedRuntimeDir runtime;
    RunningApplication silent;
    const Outcome r = RunCli({"tool-query"});
    EXPECT_EQ(r.status, kExitDeviceOrFile);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("did not answer"), std::string::npos) << r.err;
}

// A running application as vextar answers vextarctl's sim commands and
// status query (app::AnswerControlFrame), over a simulated mouse when
// `simulating`. It records the frames, and sends a broadcast and a copy-data
// of another kind to the reply title before each answer, as a busy
// application may.
class ControlledApplication {
  public:
    explicit ControlledApplication(bool simulating, std::vector<std::string> status = {})
        : status_(std::move(status)) {
        std::string error;
        EXPECT_TRUE(sim::AddSimulatedDevices(backend_, "mouse", error, {}, &devices_)) << error;
        if (simulating) {
            control_.emplace(backend_, devices_);
        }
        const std::string folder = platform::RuntimeFolder(&error);
        CMessageBusServer::Handlers handlers;
        handlers.onCopyData = [this](const BusCopyData& c) {
            {
                std::lock_guard lock(mutex_);
                frames_.push_back(c);
            }
            CMessageBusServer& bus = *bus_.load();
            bus.Broadcast("Game_Start", 0, 0);
            const uint8_t noise[4] = {1, 2, 3, 4};
            bus.SendCopyData(ReplyTitle(), app::kCopyToolAnswer, noise, 0);
            app::AnswerControlFrame(
                c, control_ ? &*control_ : nullptr, [this] { return status_; }, bus);
        };
        server_ = CMessageBusServer::Start(platform::BusSocketPath(folder), handlers, &error);
        EXPECT_TRUE(server_) << error;
        bus_.store(server_.get());
    }

    static std::string ReplyTitle() {
        return std::string("vextarctl-").append(std::to_string(::getpid()));
    }
    std::vector<BusCopyData> Frames() {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    sim::SimHidBackend& Backend() { return backend_; }

  private:
    sim::SimHidBackend backend_;
    sim::SimDevices devices_;
    std::optional<app::CSimControl> control_;
    std::vector<std::string> status_;
    std::mutex mutex_;
    std::vector<BusCopyData> frames_;
    std::atomic<CMessageBusServer*> bus_{nullptr};
    std::unique_ptr<CMessageBusServer> server_;  // last: stopped before the rest goes
};

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(VextarctlSim, SendsTheCommandWithItsReplyTitleAndReportsTheAnswer) {
    const test::ScopedRuntimeDir runtime;
    ControlledApplication application(true);
    struct Case {
        std::vector<std::string> args;
        std::string command;
        int status;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"sim", "unplug", "mouse"}, "unplug mouse", kExitOk, ""},
        {{"sim", "battery", "mouse", "0x1e", "charging"},
         "battery mouse 0x1e charging",
         kExitOk,
         ""},
        {{"sim", "notify", "mouse", "233"},
         "notify mouse 233",
         kExitDeviceOrFile,
         "vextarctl: mouse is unplugged\n"},
        {{"sim", "plug", "mouse"}, "plug mouse", kExitOk, ""},
        {{"sim", "link", "mouse"},
         "link mouse",
         kExitDeviceOrFile,
         "vextarctl: mouse is not a receiver\n"},
        {{"sim", "unplug", "headset"},
         "unplug headset",
         kExitDeviceOrFile,
         "vextarctl: headset is not simulated in this run (simulated: mouse)\n"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.command);
        const Outcome r = RunCli(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
        const std::vector<BusCopyData> frames = application.Frames();
        ASSERT_EQ(frames.size(), i + 1);
        EXPECT_EQ(frames[i].dwData, app::kCopySimCommand);
        EXPECT_EQ(frames[i].payload,
                  Bytes(ControlledApplication::ReplyTitle().append("\n").append(c.command)));
        if (i == 0) {
            EXPECT_FALSE(application.Backend().IsPlugged("mouse"));
        }
    }
    EXPECT_TRUE(application.Backend().IsPlugged("mouse"));
}

TEST(VextarctlSim, SaysWhenVextarDoesNotSimulate) {
    const test::ScopedRuntimeDir runtime;
    ControlledApplication application(false);
    const Outcome r = RunCli({"sim", "plug", "mouse"});
    EXPECT_EQ(r.status, kExitDeviceOrFile);
    EXPECT_EQ(r.err, "vextarctl: not running on simulated devices\n");
}

TEST(VextarctlSim, FailsWithoutAnAnswer) {
    const test::ScopedRuntimeDir runtime;
    RunningApplication silent;
    const Outcome r = RunCli({"sim", "plug", "mouse"});
    EXPECT_EQ(r.status, kExitDeviceOrFile);
    EXPECT_EQ(r.err, "vextarctl: vextar did not answer the sim command within 2 s\n");
}

// Checked before the bus is tried: nothing runs here.
TEST(VextarctlSim, RefusesBadArgumentsWithStatus2) {
    const test::ScopedRuntimeDir runtime;
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"sim"}, "vextarctl: usage: sim plug|unplug|link|unlink DEVICE"},
        {{"sim", "fly", "mouse"}, "vextarctl: sim: unknown command 'fly'"},
        {{"sim", "plug"}, "vextarctl: usage: sim plug DEVICE\n"},
        {{"sim", "plug", "mouse", "keyboard"}, "vextarctl: usage: sim plug DEVICE\n"},
        {{"sim", "plug", ""}, "vextarctl: usage: sim plug DEVICE\n"},
        {{"sim", "plug", "all"}, "vextarctl: sim: unknown device 'all'"},
        {{"sim", "battery", "mouse", "256"}, "PERCENT must be a number from 0 to 255"},
        {{"sim", "battery", "mouse", "50", "full"}, "only 'charging' may follow"},
        {{"sim", "notify", "mouse", "0x10000"}, "CODE must be a number from 0 to 0xFFFF"},
        {{"sim", "notify", "mouse", std::string(300, '1')}, "longer than 256 bytes"},
        {{"sim", "plug", "mouse\n"}, "not printable ASCII"},
        {{"status", "mouse"}, "vextarctl: status takes no arguments"},
    };
    for (const Case& c : cases) {
        const Outcome r = RunCli(c.args);
        EXPECT_EQ(r.status, kExitUsage) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

TEST(VextarctlStatus, PrintsTheWindowsLinesAsTheyCame) {
    const test::ScopedRuntimeDir runtime;
    struct Case {
        std::vector<std::string> lines;
        std::string out;
    };
    const std::vector<Case> cases = {
        {{"mouse connected receiver selected battery=30", "headset absent cable - -"},
         "mouse connected receiver selected battery=30\nheadset absent cable - -\n"},
        {{}, ""},  // no device page yet
    };
    for (const Case& c : cases) {
        ControlledApplication application(false, c.lines);
        const Outcome r = RunCli({"status"});
        EXPECT_EQ(r.status, kExitOk) << r.err;
        EXPECT_EQ(r.out, c.out);
        const std::vector<BusCopyData> frames = application.Frames();
        ASSERT_EQ(frames.size(), 1U);
        EXPECT_EQ(frames[0].dwData, app::kCopyStatusQuery);
        EXPECT_EQ(frames[0].payload, Bytes(ControlledApplication::ReplyTitle()));
    }
}

}  // namespace
}  // namespace vextar::cli

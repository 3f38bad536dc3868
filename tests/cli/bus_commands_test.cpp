#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "app/registered_messages.h"
#include "cli/cli.h"
#include "platform/message_bus.h"
#include "support/runtime_folder.h"

namespace vextar::cli {
namespace {

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
         {std::vector<std::string>{"send", "VEXTAR"}, std::vector<std::string>{"tool-query"}}) {
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

}  // namespace
}  // namespace vextar::cli

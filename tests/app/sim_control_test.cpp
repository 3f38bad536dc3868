#include "app/sim_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/window_messages.h"
#include "device/device_link.h"
#include "devicelink/hid_interface.h"
#include "fake_windows.h"

namespace vextar::app {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::string Cat(std::string_view a, std::string_view b) {
    return std::string(a).append(b);
}

// The simulated devices of one run, and the control over them.
class SimControl : public ::testing::Test {
  protected:
    void Simulate(const std::string& list) {
        backend = std::make_shared<sim::SimHidBackend>();
        devices = {};
        std::string error;
        ASSERT_TRUE(sim::AddSimulatedDevices(*backend, list, error, {}, &devices)) << error;
        control = std::make_unique<CSimControl>(*backend, devices);
    }
    void SetUp() override { Simulate("all,mouse-receiver,keyboard-receiver"); }

    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        backend->Enumerate(paths);
        return paths;
    }
    // The paths of one device's interfaces ("#mouse." does not match
    // "#mouse-receiver.").
    std::vector<std::string> PathsOf(const std::string& device) const {
        std::vector<std::string> paths = Paths();
        const std::string mark = Cat("#", device).append(".");
        std::erase_if(paths,
                      [&](const std::string& p) { return p.find(mark) == std::string::npos; });
        return paths;
    }
    // The path of a collection of the command interface (interface 3 of
    // the headset, 1 of the others); "" for an interface with one collection.
    std::string PathOf(const std::string& device, const std::string& collection) const {
        const std::string mark =
            Cat(device == "headset" ? "&mi_03" : "&mi_01", collection).append("#");
        for (const std::string& p : PathsOf(device)) {
            if (p.find(mark) != std::string::npos) {
                return p;
            }
        }
        return {};
    }
    // A command link to a device's command collection.
    std::unique_ptr<CDeviceLink> CommandLink(const std::string& device, bool receiver) {
        auto link = std::make_unique<CDeviceLink>(backend);
        CHidInterface& hid = receiver ? link->receiverInterface : link->cableInterface;
        EXPECT_TRUE(hid.Open(PathOf(device, "&col04"), true, true, true, false)) << hid.LastError();
        link->SetMode(receiver ? CDeviceLink::kModeReceiver : CDeviceLink::kModeCable);
        link->open = true;
        return link;
    }

    std::shared_ptr<sim::SimHidBackend> backend;
    sim::SimDevices devices;
    std::unique_ptr<CSimControl> control;
};

TEST_F(SimControl, UnplugTakesAllOfTheDevicesPathsAwayAndPlugBringsThemBack) {
    const std::vector<std::string> before = Paths();
    ASSERT_EQ(PathsOf("mouse").size(), 5U);  // boot mouse and four collections
    ASSERT_EQ(PathsOf("mouse-receiver").size(), 5U);

    EXPECT_EQ(control->Apply("unplug mouse"), "ok");
    EXPECT_TRUE(PathsOf("mouse").empty());
    EXPECT_EQ(PathsOf("mouse-receiver").size(), 5U);
    EXPECT_EQ(Paths().size(), before.size() - 5);
    EXPECT_EQ(control->Apply("unplug mouse"), "ok");  // already out

    EXPECT_EQ(control->Apply("plug mouse"), "ok");
    EXPECT_EQ(PathsOf("mouse").size(), 5U);
    EXPECT_EQ(Paths().size(), before.size());
    EXPECT_EQ(control->Apply("plug mouse"), "ok");  // already in
}

TEST_F(SimControl, UnlinkMakesTheReceiverReportItsDeviceUnreachable) {
    for (const std::string receiver : {"mouse-receiver", "keyboard-receiver"}) {
        SCOPED_TRACE(receiver);
        std::unique_ptr<CDeviceLink> link = CommandLink(receiver, true);
        std::array<uint8_t, kInfoBlockSize> info{};
        ASSERT_TRUE(link->QueryReceiverState());

        EXPECT_EQ(control->Apply(Cat("unlink ", receiver)), "ok");
        EXPECT_FALSE(link->QueryReceiverState());
        EXPECT_EQ(link->ReadInfo(info), kResultUnreachable);

        EXPECT_EQ(control->Apply(Cat("link ", receiver)), "ok");
        EXPECT_TRUE(link->QueryReceiverState());
        EXPECT_EQ(link->ReadInfo(info), kResultOk);
    }
}

// The power record (bytes 4 and 5 of record 0) as a host reads it, by cable
// and through the receiver: one device behind both names.
TEST_F(SimControl, BatterySetsThePowerRecordByteAsGiven) {
    struct Case {
        const char* command;
        uint8_t level;
        uint8_t charging;
    };
    const Case cases[] = {
        {"battery mouse 30 charging", 30, 1},
        {"battery mouse 0", 0, 0},
        {"battery mouse 100", 100, 0},
        {"battery mouse 101 charging", 101, 1},  // odd values reach the host
        {"battery mouse 255", 255, 0},
        {"battery mouse-receiver 0x1e charging", 30, 1},
    };
    std::unique_ptr<CDeviceLink> cable = CommandLink("mouse", false);
    std::unique_ptr<CDeviceLink> receiver = CommandLink("mouse-receiver", true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(control->Apply(c.command), "ok");
        for (CDeviceLink* link : {cable.get(), receiver.get()}) {
            std::array<uint8_t, 6> record{};
            ASSERT_EQ(link->ReadRecord(record, 0), kResultOk);
            EXPECT_EQ(record[0], c.level);
            EXPECT_EQ(record[1], c.charging != 0 ? 1 : 2);  // charging, or on battery
            EXPECT_EQ(record[4], c.level);
        }
    }
}

TEST_F(SimControl, NotifyDeliversTheUsageOnTheNotificationInterface) {
    struct Case {
        const char* device;
        const char* collection;
        const char* code;
        std::array<uint8_t, 3> report;
        uint16_t usage;
    };
    const Case cases[] = {
        {"mouse", "&col03", "0x0401", {3, 0x01, 0x04}, 0x0401},  // a profile change
        {"keyboard-receiver", "&col03", "233", {3, 0xE9, 0x00}, 0xE9},
        {"headset", "", "0xE9", {1, 0xE9, 0x00}, 0xE9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        const std::string command = Cat("notify ", c.device).append(" ").append(c.code);
        EXPECT_EQ(control->Apply(command),
                  Cat("error: nobody reads the notification interface of ", c.device));

        CHidInterface consumer(backend);
        ASSERT_TRUE(consumer.Open(PathOf(c.device, c.collection), true, false, true, false))
            << consumer.LastError();
        EXPECT_EQ(control->Apply(command), "ok");
        std::array<uint8_t, 3> key{};
        uint32_t n = 0;
        ASSERT_TRUE(consumer.ReadReport(key, n, 1000));
        EXPECT_EQ(n, 3U);
        EXPECT_EQ(key, c.report);
        EXPECT_EQ(consumer.FirstSetUsage(key), std::optional<uint16_t>(c.usage));
    }
    CHidInterface consumer(backend);
    ASSERT_TRUE(consumer.Open(PathOf("mouse", "&col03"), true, false, true, false));
    ASSERT_EQ(control->Apply("unplug mouse"), "ok");
    EXPECT_EQ(control->Apply("notify mouse 1"), "error: mouse is unplugged");
}

TEST_F(SimControl, RefusesWhatItCannotDoAndSaysWhy) {
    struct Case {
        std::string command;
        const char* answer;
    };
    const std::vector<Case> cases = {
        {"", "error: the command is empty"},
        {"   ", "error: the command is empty"},
        {std::string(257, 'x'), "error: the command is longer than 256 bytes"},
        {"plug\tmouse", "error: the command is not printable ASCII text"},
        {"plug mouse\n", "error: the command is not printable ASCII text"},
        {"fly mouse", "error: unknown command 'fly'"},
        {"Plug mouse", "error: unknown command 'Plug'"},
        {"plug", "error: usage: plug DEVICE"},
        {"unplug mouse keyboard", "error: usage: unplug DEVICE"},
        {"battery mouse", "error: usage: battery DEVICE PERCENT [charging]"},
        {"battery mouse 1 charging now", "error: usage: battery DEVICE PERCENT [charging]"},
        {"notify mouse", "error: usage: notify DEVICE CODE"},
        {"plug all", "error: unknown device 'all'"},
        {"plug Mouse", "error: unknown device 'Mouse'"},
        {"battery mouse 256", "error: PERCENT must be a number from 0 to 255, not '256'"},
        {"battery mouse -1", "error: PERCENT must be"},
        {"battery mouse 0x100", "error: PERCENT must be"},
        {"battery mouse 4294967326", "error: PERCENT must be"},
        {"battery mouse 0x", "error: PERCENT must be"},
        {"battery mouse 50 full", "error: after PERCENT only 'charging' may follow, not 'full'"},
        {"notify mouse 0x10000", "error: CODE must be a number from 0 to 0xFFFF, not '0x10000'"},
        {"notify mouse 1e", "error: CODE must be"},
        {"link mouse", "error: mouse is not a receiver"},
        {"unlink headset", "error: headset is not a receiver"},
    };
    for (const Case& c : cases) {
        const std::string answer = control->Apply(c.command);
        EXPECT_EQ(answer.rfind(c.answer, 0), 0U) << c.command << " -> " << answer;
    }
    Simulate("mouse,headset");
    EXPECT_EQ(control->Apply("unplug keyboard"),
              "error: keyboard is not simulated in this run (simulated: headset, mouse)");
    EXPECT_TRUE(backend->IsPlugged("mouse"));
    // Plugging a device the run did not start with brings it in; a receiver
    // shares its mouse.
    EXPECT_EQ(control->Apply("plug mouse-receiver"), "ok");
    EXPECT_TRUE(backend->IsPlugged("mouse-receiver"));
    EXPECT_EQ(devices.firmware.at("mouse-receiver")->Model(),
              devices.firmware.at("mouse")->Model());
}

// A receiver that --sim-fault keeps unlinked says so rather than pretend.
TEST_F(SimControl, ALinkTheFaultForbidsIsRefused) {
    backend = std::make_shared<sim::SimHidBackend>();
    devices = {};
    sim::SimOptions options;
    std::string error;
    ASSERT_TRUE(sim::ParseFaults("mouse-receiver:unlinked", options.faults, error)) << error;
    ASSERT_TRUE(sim::AddSimulatedDevices(*backend, "mouse-receiver", error, options, &devices));
    control = std::make_unique<CSimControl>(*backend, devices);
    EXPECT_EQ(control->Apply("link mouse-receiver"),
              "error: mouse-receiver stays unlinked: its --sim-fault says so");
    EXPECT_EQ(control->Apply("unlink mouse-receiver"), "ok");
    std::unique_ptr<CDeviceLink> link = CommandLink("mouse-receiver", true);
    EXPECT_FALSE(link->QueryReceiverState());
}

TEST(BusCommand, TakesTheReplyTitleAndTheCommandWithExactLimits) {
    struct Case {
        std::vector<uint8_t> payload;
        std::optional<BusCommand> parsed;
    };
    const std::string longestTitle(255, 't');
    const std::string longestCommand = Cat("plug mouse", std::string(246, ' '));
    std::vector<uint8_t> withNul = Bytes("vextarctl-1\nplug mouse");
    withNul[3] = 0;
    const std::vector<Case> cases = {
        {Bytes("vextarctl-1234\nplug mouse"), BusCommand{"vextarctl-1234", "plug mouse"}},
        {Bytes("t\nbattery mouse 30 charging"), BusCommand{"t", "battery mouse 30 charging"}},
        {Bytes("Fenêtre\nplug mouse"), BusCommand{"Fenêtre", "plug mouse"}},
        {Bytes(longestTitle + "\n" + longestCommand), BusCommand{longestTitle, longestCommand}},
        {Bytes(longestTitle + "t\nplug mouse"), std::nullopt},
        {Bytes(Cat("t\n", longestCommand).append(" ")), std::nullopt},
        {Bytes("vextarctl-1 plug mouse"), std::nullopt},
        {Bytes("\nplug mouse"), std::nullopt},
        {Bytes("t\n"), std::nullopt},
        {Bytes("t\nplug mouse\nunplug mouse"), std::nullopt},
        {Bytes("t\nplug mouse\r"), std::nullopt},
        {Bytes("t\xff\nplug mouse"), std::nullopt},
        {Bytes("t\nplug m\xc3\xa9"), std::nullopt},
        {withNul, std::nullopt},
        {{}, std::nullopt},
    };
    for (const Case& c : cases) {
        const std::string shown(c.payload.begin(), c.payload.end());
        std::string error;
        const std::optional<BusCommand> parsed = ParseBusCommand(c.payload, &error);
        EXPECT_EQ(parsed, c.parsed) << shown;
        if (parsed) {
            EXPECT_EQ(EncodeBusCommand(*parsed), c.payload) << shown;
        } else {
            EXPECT_FALSE(error.empty()) << shown;
        }
    }
    EXPECT_TRUE(EncodeBusCommand({"a\nb", "plug mouse"}).empty());
    EXPECT_TRUE(EncodeBusCommand({"t", ""}).empty());
}

// What the bus thread does with each copy-data kind: the control kinds are
// answered (or dropped) and never passed on; the others go to the window.
TEST_F(SimControl, TheBusAnswersControlFramesToTheirTitleOnly) {
    test::FakeBus bus;
    bus.windows = {"vextarctl-7", "other"};
    int statusAsked = 0;
    std::vector<std::string> lines = {"mouse connected cable selected battery=30",
                                      "headset absent cable - -"};
    auto status = [&] {
        ++statusAsked;
        return lines;
    };
    struct Case {
        const char* what;
        uint32_t dwData;
        std::string payload;
        bool simulating;
        bool consumed;
        std::optional<test::FakeBus::Copy> answer;
    };
    const std::vector<Case> cases = {
        {"sim command", kCopySimCommand, "vextarctl-7\nunplug mouse", true, true,
         test::FakeBus::Copy{"vextarctl-7", kCopySimAnswer, Bytes("ok"), 0}},
        {"refused command", kCopySimCommand, "vextarctl-7\nlink mouse", true, true,
         test::FakeBus::Copy{"vextarctl-7", kCopySimAnswer, Bytes("error: mouse is not a receiver"),
                             0}},
        {"not simulating", kCopySimCommand, "vextarctl-7\nplug mouse", false, true,
         test::FakeBus::Copy{"vextarctl-7", kCopySimAnswer, Bytes(kNotSimulatingAnswer), 0}},
        {"no title", kCopySimCommand, "plug mouse", true, true, std::nullopt},
        {"status", kCopyStatusQuery, "vextarctl-7", true, true,
         test::FakeBus::Copy{
             "vextarctl-7", kCopyStatusAnswer,
             Bytes("mouse connected cable selected battery=30\nheadset absent cable - -"), 0}},
        {"status, no title", kCopyStatusQuery, "", true, true, std::nullopt},
        {"an answer sent in", kCopySimAnswer, "ok", true, true, std::nullopt},
        {"a status answer sent in", kCopyStatusAnswer, "x", true, true, std::nullopt},
        {"the keyboard setting", kCopyKeyboardSetting, "123456", true, false, std::nullopt},
        {"the tool's answer kind", kCopyToolAnswer, "", true, false, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bus.copies.clear();
        const platform::BusCopyData frame{c.dwData, 0, Bytes(c.payload)};
        EXPECT_EQ(AnswerControlFrame(frame, c.simulating ? control.get() : nullptr, status, bus),
                  c.consumed);
        ASSERT_EQ(bus.copies.size(), c.answer ? 1U : 0U);
        if (c.answer) {
            EXPECT_EQ(bus.copies[0].title, c.answer->title);
            EXPECT_EQ(bus.copies[0].dwData, c.answer->dwData);
            const std::string got(bus.copies[0].payload.begin(), bus.copies[0].payload.end());
            EXPECT_EQ(got, std::string(c.answer->payload.begin(), c.answer->payload.end()));
        }
    }
    EXPECT_EQ(statusAsked, 1);
    EXPECT_FALSE(backend->IsPlugged("mouse"));  // the first case was applied

    // No device page yet: an empty answer.
    lines.clear();
    bus.copies.clear();
    EXPECT_TRUE(AnswerControlFrame({kCopyStatusQuery, 0, Bytes("other")}, nullptr, status, bus));
    ASSERT_EQ(bus.copies.size(), 1U);
    EXPECT_EQ(bus.copies[0].title, "other");
    EXPECT_TRUE(bus.copies[0].payload.empty());
}

}  // namespace
}  // namespace vextar::app

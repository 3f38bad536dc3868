#include "devicelink/hid_interface.h"

#include <gtest/gtest.h>

#include "support/fd_count.h"

#include <array>
#include <chrono>
#include <future>
#include <thread>

#include "sim/sim_catalog.h"
#include "sim/sim_hid_backend.h"

namespace vextar {
namespace {

using namespace std::chrono_literals;

TEST(ParseHexAfterKey, IgnoresCaseAndDefaultsToZero) {
    const std::string path = R"(\\?\HID#VID_320F&PID_7074&MI_01&COL04#7&2a5c&0&0003)";
    EXPECT_EQ(ParseHexAfterKey(path, "&mi_"), 1U);
    EXPECT_EQ(ParseHexAfterKey(path, "&col"), 4U);
    EXPECT_EQ(ParseHexAfterKey(path, "vid_"), 0x320FU);
    EXPECT_EQ(ParseHexAfterKey("hid#vid_0c76&pid_1630", "&mi_"), 0U);
    EXPECT_EQ(ParseHexAfterKey("x&mi_", "&mi_"), 0U);    // key at the very end
    EXPECT_EQ(ParseHexAfterKey("x&mi_zz", "&mi_"), 0U);  // no digit
}

// A simulated backend with the mouse, and the paths of its collections.
class SimMouse : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim::AddSimulatedDevices(*backend, "mouse", error)) << error;
        CHidInterface lister(backend);
        ASSERT_TRUE(lister.EnumeratePaths());
        while (auto p = lister.NextPath()) {
            paths.push_back(*p);
        }
        ASSERT_EQ(paths.size(), 5U);
    }
    const std::string& Consumer() const { return paths[3]; }
    const std::string& Command() const { return paths[4]; }

    static std::array<uint8_t, 64> Frame(uint8_t command) {
        std::array<uint8_t, 64> f{};
        f[0] = 4;
        f[3] = command;
        return f;
    }

    std::shared_ptr<sim::SimHidBackend> backend = std::make_shared<sim::SimHidBackend>();
    std::vector<std::string> paths;
};

TEST_F(SimMouse, OpenLoadsIdentityAndNumbersFromThePath) {
    CHidInterface hid(backend);
    ASSERT_TRUE(hid.Open(Command(), true, true, true, false)) << hid.LastError();
    EXPECT_EQ(hid.attributes.VendorID, 0x320F);
    EXPECT_EQ(hid.attributes.ProductID, 0x7074);
    EXPECT_EQ(hid.capabilities.UsagePage, 0xFF1C);
    EXPECT_EQ(hid.capabilities.Usage, 0x92);
    EXPECT_EQ(hid.capabilities.InputReportByteLength, 64);
    EXPECT_EQ(hid.capabilities.OutputReportByteLength, 64);
    EXPECT_EQ(hid.interfaceNumber, 1U);
    EXPECT_EQ(hid.collectionNumber, 4U);
    EXPECT_EQ(hid.inputReportBuffer.size(), 64U);
    // 63 bytes under one usage: one value entry.
    ASSERT_EQ(hid.inputData.size(), 1U);
    EXPECT_FALSE(hid.inputData[0].isButtonData);

    hid.Close();
    EXPECT_FALSE(hid.IsOpen());
    EXPECT_TRUE(hid.inputData.empty());
    EXPECT_FALSE(hid.Open("sim#vid_320f&pid_7074&mi_01&col09#mouse.1#1", true, true, true, false));
    EXPECT_EQ(hid.LastOpenError(), platform::HidOpenError::NotFound);
    EXPECT_FALSE(hid.Open(std::string(300, 'x'), true, true, true, false));
    EXPECT_EQ(hid.LastOpenError(), platform::HidOpenError::InvalidPath);
}

TEST_F(SimMouse, ReadTimesOutAndTheInterfaceStaysUsable) {
    CHidInterface hid(backend);
    ASSERT_TRUE(hid.Open(Command(), true, true, true, false));
    std::array<uint8_t, 64> reply{};
    uint32_t n = 99;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(hid.ReadReport(reply, n, 50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_EQ(n, 0U);

    const auto frame = Frame(0x03);
    ASSERT_TRUE(hid.WriteReport(frame, n, 1000));
    EXPECT_EQ(n, 64U);
    ASSERT_TRUE(hid.ReadReport(reply, n, 1000));
    EXPECT_EQ(n, 64U);
    EXPECT_EQ(reply[0], 4);
    EXPECT_EQ(reply[3], 0x03);  // the reply to this request
}

TEST_F(SimMouse, WriteRefusesReportsThatAreNotThisCollections) {
    CHidInterface hid(backend);
    ASSERT_TRUE(hid.Open(Command(), true, true, true, false));
    uint32_t n = 0;
    auto frame = Frame(0x01);
    frame[0] = 3;  // the consumer collection's report id
    EXPECT_FALSE(hid.WriteReport(frame, n, 100));
    std::array<uint8_t, 65> tooLong{};
    tooLong[0] = 4;
    EXPECT_FALSE(hid.WriteReport(tooLong, n, 100));

    CHidInterface readOnly(backend);
    ASSERT_TRUE(readOnly.Open(Command(), true, false, true, false));
    EXPECT_FALSE(readOnly.WriteReport(Frame(0x01), n, 100));
}

TEST_F(SimMouse, CloseFromAnotherThreadEndsABlockedRead) {
    for (const uint32_t timeout : {CHidInterface::kInfinite, 60'000U}) {
        CHidInterface hid(backend);
        ASSERT_TRUE(hid.Open(Consumer(), true, false, true, false));
        std::promise<void> started;
        auto reader = std::async(std::launch::async, [&] {
            std::array<uint8_t, 3> buffer{};
            uint32_t n = 0;
            started.set_value();
            return hid.ReadReport(buffer, n, timeout);
        });
        started.get_future().wait();
        while (!hid.readPending.load()) {
            std::this_thread::sleep_for(1ms);
        }
        hid.Close();
        ASSERT_EQ(reader.wait_for(5s), std::future_status::ready) << "timeout " << timeout;
        EXPECT_FALSE(reader.get());
        EXPECT_FALSE(hid.IsOpen());
    }
}

TEST_F(SimMouse, ReopenDoesNotInheritAnEarlierCancel) {
    CHidInterface hid(backend);
    ASSERT_TRUE(hid.Open(Command(), true, true, true, false));
    hid.Close();  // nobody was waiting
    ASSERT_TRUE(hid.Reopen());
    uint32_t n = 0;
    std::array<uint8_t, 64> reply{};
    ASSERT_TRUE(hid.WriteReport(Frame(0x05), n, 1000));
    EXPECT_TRUE(hid.ReadReport(reply, n, 1000));
    EXPECT_EQ(reply[3], 0x05);
}

TEST_F(SimMouse, ReportsAreRoutedToTheirCollectionOnly) {
    CHidInterface command(backend);
    CHidInterface consumer(backend);
    ASSERT_TRUE(command.Open(Command(), true, true, true, false));
    ASSERT_TRUE(consumer.Open(Consumer(), true, false, true, false));

    const std::array<uint8_t, 3> volumeUp = {0x03, 0xE9, 0x00};
    ASSERT_TRUE(backend->SendInputReport("mouse", 1, volumeUp));
    uint32_t n = 0;
    ASSERT_TRUE(command.WriteReport(Frame(0x1A), n, 1000));

    // The command reader sees its reply and not the consumer report that
    // arrived before it.
    std::array<uint8_t, 64> reply{};
    ASSERT_TRUE(command.ReadReport(reply, n, 1000));
    EXPECT_EQ(reply[0], 4);
    EXPECT_EQ(reply[3], 0x1A);
    EXPECT_FALSE(command.ReadReport(reply, n, 20));

    std::array<uint8_t, 3> key{};
    ASSERT_TRUE(consumer.ReadReport(key, n, 1000));
    EXPECT_EQ(n, 3U);
    EXPECT_EQ(key, volumeUp);
    EXPECT_EQ(consumer.FirstSetUsage(key), std::optional<uint16_t>(0xE9));
    EXPECT_EQ(consumer.FirstSetUsage(std::array<uint8_t, 1>{3}), std::nullopt);  // cut short
    EXPECT_FALSE(consumer.ReadReport(key, n, 20));
}

TEST_F(SimMouse, UnplugEndsWaitsAndLaterReads) {
    CHidInterface hid(backend);
    ASSERT_TRUE(hid.Open(Consumer(), true, false, true, false));
    auto reader = std::async(std::launch::async, [&] {
        std::array<uint8_t, 3> buffer{};
        uint32_t n = 0;
        return hid.ReadReport(buffer, n, CHidInterface::kInfinite);
    });
    while (!hid.readPending.load()) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(backend->Unplug("mouse"));
    ASSERT_EQ(reader.wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(reader.get());
    std::array<uint8_t, 3> buffer{};
    uint32_t n = 0;
    EXPECT_FALSE(hid.ReadReport(buffer, n, 10));
    CHidInterface again(backend);
    EXPECT_FALSE(again.Open(Consumer(), false, false, true, false));
}

TEST_F(SimMouse, ThousandOpenCloseCyclesLeakNothing) {
    CHidInterface hid(backend);
    // The simulated device keeps its end of the last channel until the next
    // open; count after one cycle.
    ASSERT_TRUE(hid.Open(Command(), true, true, true, false));
    hid.Close();
    const std::size_t before = test::OpenDescriptors();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(hid.Open(Command(), true, true, true, false)) << i;
        if (i % 100 == 0) {
            uint32_t n = 0;
            std::array<uint8_t, 64> reply{};
            ASSERT_TRUE(hid.WriteReport(Frame(0x02), n, 1000));
            ASSERT_TRUE(hid.ReadReport(reply, n, 1000));
        }
        hid.Close();
    }
    EXPECT_EQ(test::OpenDescriptors(), before);
}

TEST(HidInterfaceListing, ReturnsEveryPathInOrderPastEightEntries) {
    auto backend = std::make_shared<sim::SimHidBackend>();
    std::string error;
    ASSERT_TRUE(sim::AddSimulatedDevices(*backend, "all,mouse-receiver,keyboard-receiver", error));
    std::vector<std::string> expected;
    ASSERT_TRUE(backend->Enumerate(expected));
    ASSERT_EQ(expected.size(), 25U);

    CHidInterface hid(backend);
    ASSERT_TRUE(hid.EnumeratePaths());
    EXPECT_EQ(hid.pathCount, 25U);
    std::vector<std::string> got;
    while (auto p = hid.NextPath()) {
        got.push_back(*p);
    }
    EXPECT_EQ(got, expected);
    hid.FreePaths();
    EXPECT_FALSE(hid.NextPath().has_value());
}

// An interface with two button ranges on one page in one report, and a
// value, to check how reports are decoded into the data entries.
std::vector<uint8_t> TwoButtonRanges() {
    return {0x05, 0x01, 0x09, 0x05, 0xA1, 0x01, 0x85, 0x07,  // report 7
            0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00,  // buttons 1..3
            0x25, 0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02,  //
            0x19, 0x05, 0x29, 0x07, 0x81, 0x02,              // buttons 5..7
            0x95, 0x02, 0x81, 0x01,                          // padding
            0x05, 0x01, 0x09, 0x30, 0x15, 0x81, 0x25, 0x7F,  // X
            0x75, 0x08, 0x95, 0x01, 0x81, 0x02,              //
            0x85, 0x08, 0x05, 0x09, 0x09, 0x08, 0x75, 0x01,  // report 8: button 8
            0x95, 0x01, 0x15, 0x00, 0x25, 0x01, 0x81, 0x02,  //
            0x95, 0x07, 0x81, 0x01, 0xC0};
}

TEST(HidInterfaceUnpack, KeepsUsagesInRangeAndMarksOnlyThisReportsEntries) {
    auto backend = std::make_shared<sim::SimHidBackend>();
    std::string error;
    ASSERT_TRUE(backend->AddDevice(
        {"pad", 0x1234, 0x0001, 0x0100, {{0, TwoButtonRanges(), nullptr}}}, error))
        << error;
    std::vector<std::string> paths;
    ASSERT_TRUE(backend->Enumerate(paths));
    ASSERT_EQ(paths.size(), 1U);
    CHidInterface hid(backend);
    ASSERT_TRUE(hid.Open(paths[0], true, false, true, false));
    // Entries: button 1..3, button 5..7, button 8, then the X value.
    ASSERT_EQ(hid.inputData.size(), 4U);
    EXPECT_EQ(hid.inputData[0].buttonData.maxUsageListLength, 7U);

    // Buttons 2 and 6 down, X = -2.
    const std::vector<uint8_t> report7 = {0x07, 0x12, 0xFE};
    ASSERT_TRUE(hid.UnpackInputReport(report7));
    EXPECT_TRUE(hid.inputData[0].isSet);
    EXPECT_EQ(hid.inputData[0].buttonData.usages, (std::vector<uint16_t>{2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(hid.inputData[1].buttonData.usages, (std::vector<uint16_t>{6, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(hid.inputData[2].isSet);
    EXPECT_TRUE(hid.inputData[3].isSet);
    EXPECT_EQ(hid.inputData[3].valueData.scaledValue, -2);

    // Report 8 sets only its own entry; report 7's entries read as not set.
    ASSERT_TRUE(hid.UnpackInputReport(std::vector<uint8_t>{0x08, 0x01}));
    EXPECT_FALSE(hid.inputData[0].isSet);
    EXPECT_TRUE(hid.inputData[2].isSet);
    EXPECT_EQ(hid.inputData[2].buttonData.usages[0], 8);

    // An id of no entry decodes to true with nothing set.
    ASSERT_TRUE(hid.UnpackInputReport(std::vector<uint8_t>{0x09, 0xFF, 0xFF}));
    for (const HidDataEntry& e : hid.inputData) {
        EXPECT_FALSE(e.isSet);
    }
    // A report cut short by the transfer is not decoded past its end.
    EXPECT_FALSE(hid.UnpackInputReport(std::vector<uint8_t>{0x07}));
    EXPECT_FALSE(hid.inputData[0].isSet);
}

}  // namespace
}  // namespace vextar

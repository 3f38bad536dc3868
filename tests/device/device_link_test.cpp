#include "device/device_link.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "devicelink/device_tables.h"
#include "sim/sim_catalog.h"

namespace vextar {
namespace {

using namespace std::chrono_literals;

TEST(CommandFrame, StartFrameChecksumAndLayout) {
    const Frame start = BuildFrame(CMD_START, 0, 0);
    EXPECT_EQ(start[0], 4);
    EXPECT_EQ(start[1], 0x01);
    EXPECT_EQ(start[2], 0x00);
    EXPECT_EQ(start[3], CMD_START);
    const uint8_t payload[3] = {0xFF, 0xFF, 0x10};
    const Frame write = BuildFrame(CMD_WRITE_MEMORY, 3, 0x1234, payload);
    EXPECT_EQ(write[4], 3);
    EXPECT_EQ(write[5], 0x34);
    EXPECT_EQ(write[6], 0x12);
    EXPECT_EQ(write[8], 0xFF);
    // 6 + 3 + 0x34 + 0x12 + 0xFF + 0xFF + 0x10
    EXPECT_EQ(FrameChecksum(write), 0x6 + 0x3 + 0x34 + 0x12 + 0xFF + 0xFF + 0x10);
    EXPECT_EQ(write[1] | (write[2] << 8), FrameChecksum(write));
}

// A simulated device with its command link open, by cable or receiver.
class Link : public ::testing::Test {
  protected:
    void Open(const std::string& device, const std::string& faults = {}, bool receiver = false) {
        sim::SimOptions options;
        std::string error;
        ASSERT_TRUE(sim::ParseFaults(faults, options.faults, error)) << error;
        ASSERT_TRUE(sim::AddSimulatedDevices(*backend, device, error, options, &devices)) << error;
        InterfaceWorkingCopy rows;
        BindPresentInterfaces(rows, backend);
        for (const HidInterfaceRow& r : rows.Snapshot()) {
            if (r.connected != 0 && r.channel == kChannelCommand) {
                path = r.path;
            }
        }
        ASSERT_FALSE(path.empty());
        link = std::make_unique<CDeviceLink>(backend);
        CHidInterface& hid = receiver ? link->receiverInterface : link->cableInterface;
        ASSERT_TRUE(hid.Open(path, true, true, true, false)) << hid.LastError();
        link->SetMode(receiver ? CDeviceLink::kModeReceiver : CDeviceLink::kModeCable);
        link->open = true;
        firmware = devices.firmware.at(device);
        model = devices.models.begin()->second;
    }

    // (command, length, offset) of every frame the device received.
    std::vector<std::array<int, 3>> Frames() const {
        std::vector<std::array<int, 3>> out;
        for (const auto& f : firmware->Requests()) {
            out.push_back({f[3], f[4], f[5] | (f[6] << 8)});
        }
        return out;
    }

    std::shared_ptr<sim::SimHidBackend> backend = std::make_shared<sim::SimHidBackend>();
    sim::SimDevices devices;
    std::shared_ptr<sim::CommandFirmware> firmware;
    std::shared_ptr<sim::PeripheralModel> model;
    std::unique_ptr<CDeviceLink> link;
    std::string path;
};

TEST_F(Link, ChunksFollowTheMode) {
    struct Case {
        bool receiver;
        std::vector<std::array<int, 3>> infoFrames;
        std::vector<std::array<int, 3>> writeFrames;
    };
    const Case cases[] = {
        {false, {{0x03, 34, 0}}, {{0x06, 56, 256}, {0x06, 15, 312}}},
        {true,
         {{0x03, 24, 0}, {0x03, 10, 24}},
         {{0x06, 24, 256}, {0x06, 24, 280}, {0x06, 23, 304}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.receiver ? "receiver" : "cable");
        backend = std::make_shared<sim::SimHidBackend>();
        devices = {};
        Open("mouse", {}, c.receiver);
        std::array<uint8_t, kInfoBlockSize> info{};
        ASSERT_EQ(link->ReadInfo(info), kResultOk);
        EXPECT_EQ(info[5], 11);  // the mouse's keys
        EXPECT_EQ(Frames(), c.infoFrames);
        firmware->ClearRequests();
        std::vector<uint8_t> record(71);
        for (std::size_t i = 0; i < record.size(); ++i) {
            record[i] = static_cast<uint8_t>(i + 1);
        }
        ASSERT_EQ(link->WriteMemory(record, 256), kResultOk);
        EXPECT_EQ(Frames(), c.writeFrames);
        EXPECT_EQ(model->Memory(256, 71), record);
    }
}

TEST_F(Link, RefusesWhatDoesNotFitWithoutTraffic) {
    Open("mouse");
    std::vector<uint8_t> keys(33);
    EXPECT_EQ(link->WriteKeys(keys, 1), kResultWrongBank);
    EXPECT_EQ(link->WriteKeys2(keys, 2), kResultWrongBank);
    EXPECT_FALSE(link->SetBlockSize(513));
    EXPECT_EQ(link->BlockSize(), 512);
    EXPECT_TRUE(link->QueryReceiverState());  // cable: nothing to ask
    std::vector<uint8_t> record(57);
    EXPECT_EQ(link->ReadRecord(record, 0), kResultBadRequest);
    std::vector<uint8_t> big(100);
    EXPECT_EQ(link->WriteMemory(big, 0xFFF0), kResultBadRequest);  // offsets past 16 bits
    EXPECT_TRUE(Frames().empty());
    link->open = false;
    std::array<uint8_t, kInfoBlockSize> info{};
    EXPECT_EQ(link->ReadInfo(info), kResultNoReply);
    EXPECT_FALSE(link->IsBusy());
}

TEST_F(Link, StatusOnAFrameStopsTheTransferAndTheSequenceStillEnds) {
    Open("mouse-receiver", "mouse-receiver:fe@5", true);
    // 0xAA (receiver state), START, 0xAA, then data frames from frame 4 on.
    std::vector<uint8_t> record(71, 0x5A);
    const int32_t r = link->RunSequence([&] { return link->WriteMemory(record, 0); });
    EXPECT_EQ(r, kResultStatusFE);
    const auto frames = Frames();
    ASSERT_EQ(frames.size(), 6U);  // the failed data frame, then straight to END
    EXPECT_EQ(frames[3][0], 0x06);
    EXPECT_EQ(frames[4][0], 0x06);
    EXPECT_EQ(frames[5][0], 0x02);
    EXPECT_FALSE(model->InSequence());
    EXPECT_FALSE(link->IsBusy());
}

TEST_F(Link, AnUnreachableDeviceGetsNoSequence) {
    Open("mouse-receiver", "mouse-receiver:unlinked", true);
    EXPECT_FALSE(link->QueryReceiverState());
    EXPECT_EQ(link->RunSequence([] { return kResultOk; }), kResultUnreachable);
    std::array<uint8_t, kInfoBlockSize> info{};
    EXPECT_EQ(link->ReadInfo(info), kResultUnreachable);  // the receiver answers 0xAA
    for (const auto& f : Frames()) {
        EXPECT_NE(f[0], CMD_START);
    }
}

// What each fault does to a memory read (frame 1 is the read).
TEST_F(Link, FaultsGiveTheirResultCodes) {
    struct Case {
        const char* fault;
        int32_t result;
        bool copied;
    };
    const Case cases[] = {
        {"mouse:ff@1", kResultStatusFF, false},
        {"mouse:fe@1", kResultStatusFE, false},
        {"mouse:foreign@1", kResultOk, true},  // the second read is the reply
        {"mouse:notify@1", kResultOk, true},   // a consumer key in between
        {"mouse:delay=30", kResultOk, true},
        {"mouse:drop@1", kResultNoReply, false},  // waits out the timeout
        {"mouse:echo@1", kResultNoReply, false},  // never its reply: nothing copied
        {"mouse:unplug@1", kResultNoReply, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        backend = std::make_shared<sim::SimHidBackend>();
        devices = {};
        Open("mouse", c.fault);
        const std::vector<uint8_t> pattern = {1, 2, 3, 4, 5, 6, 7, 8};
        model->SetMemory(512, pattern);
        std::vector<uint8_t> buffer(8, 0xEE);
        EXPECT_EQ(link->ReadMemory(buffer, 512), c.result);
        EXPECT_EQ(buffer == pattern, c.copied);
        if (!c.copied) {
            EXPECT_EQ(buffer, std::vector<uint8_t>(8, 0xEE));
        }
        EXPECT_FALSE(link->IsBusy());
    }
}

TEST_F(Link, AReplyThatCameTooLateIsNotTakenForTheNextOne) {
    Open("mouse", "mouse:late@1");
    const std::vector<uint8_t> first = {1, 1, 1, 1};
    const std::vector<uint8_t> second = {2, 2, 2, 2};
    model->SetMemory(0x100, first);
    model->SetMemory(0x200, second);
    std::vector<uint8_t> buffer(4);
    EXPECT_EQ(link->ReadMemory(buffer, 0x100), kResultNoReply);
    std::this_thread::sleep_for(300ms);  // the late reply arrives meanwhile
    ASSERT_EQ(link->ReadMemory(buffer, 0x200), kResultOk);
    EXPECT_EQ(buffer, second);
}

TEST_F(Link, ConsumerReportsInAnExchangeGoToTheirOwnInterface) {
    Open("mouse", "mouse:notify@1");
    CHidInterface consumer(backend);
    ASSERT_TRUE(consumer.Open(std::string(path).replace(path.find("&col04"), 6, "&col03"), true,
                              false, true, false));
    std::array<uint8_t, kInfoBlockSize> info{};
    ASSERT_EQ(link->ReadInfo(info), kResultOk);
    std::array<uint8_t, 3> key{};
    uint32_t n = 0;
    ASSERT_TRUE(consumer.ReadReport(key, n, 1000));
    EXPECT_EQ(key, (std::array<uint8_t, 3>{3, 0xE9, 0}));
}

TEST_F(Link, SequencesFromTwoThreadsAndLightFramesWhileBusy) {
    Open("keyboard");
    std::atomic<int> failures{0};
    std::thread writer([&] {
        std::vector<uint8_t> record(71, 0x11);
        for (int i = 0; i < 30; ++i) {
            if (link->RunSequence([&] { return link->WriteMemory(record, 128); }) != kResultOk) {
                ++failures;
            }
        }
    });
    std::thread reader([&] {
        std::vector<uint8_t> buffer(71);
        for (int i = 0; i < 30; ++i) {
            if (link->RunSequence([&] { return link->ReadMemory(buffer, 512); }) != kResultOk) {
                ++failures;
            }
        }
    });
    const std::vector<uint8_t> frame(3 * 170, 0x40);
    constexpr int kFrames = 100;
    for (int i = 0; i < kFrames; ++i) {
        EXPECT_EQ(link->StreamLightFrame(frame), kResultOk);
    }
    writer.join();
    reader.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(model->LightFrames() + link->DroppedLightFrames(), static_cast<uint64_t>(kFrames));
    EXPECT_FALSE(link->IsBusy());
    EXPECT_EQ(model->Memory(128, 71), std::vector<uint8_t>(71, 0x11));
}

TEST(Trace, FormatsTwoLinesOf32Bytes) {
    Frame f{};
    for (std::size_t i = 0; i < f.size(); ++i) {
        f[i] = static_cast<uint8_t>(i);
    }
    const std::string text = FormatTraceFrame(f);
    EXPECT_EQ(text.substr(0, 48), "00 01 02 03   04 05 06 07   08 09 0a 0b   0c 0d ");
    EXPECT_NE(text.find("0f  10 11 12 13  14"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
    EXPECT_EQ(text.substr(text.find('\n') + 1, 2), "20");
}

}  // namespace
}  // namespace vextar

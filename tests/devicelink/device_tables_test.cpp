#include "devicelink/device_tables.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "devicelink/hid_interface.h"
#include "sim/sim_catalog.h"

namespace vextar {
namespace {

// A candidate as discovery completes it after opening the interface.
HidCandidate Probed(const std::string& path, uint16_t usagePage, uint16_t usage) {
    HidCandidate c = CandidateFromPath(path);
    c.usagePage = usagePage;
    c.usage = usage;
    return c;
}

TEST(DevicePaths, ParseInAnyLetterCase) {
    for (const std::string path : {R"(\\?\hid#vid_320f&pid_7074&mi_01&col04#7&1&0&0003)",
                                   R"(\\?\HID#VID_320F&PID_7074&MI_01&COL04#7&1&0&0003)"}) {
        EXPECT_EQ(ParseVendorId(path), 0x320F);
        EXPECT_EQ(ParseProductId(path), 0x7074);
        EXPECT_EQ(ParseInterfaceNumber(path), 1);
        EXPECT_EQ(ParseCollectionNumber(path), 4);
    }
    const HidCandidate headset = CandidateFromPath("hid#vid_0c76&pid_1630&mi_03#x");
    EXPECT_EQ(headset.collectionNumber, 0);
    EXPECT_EQ(headset.interfaceNumber, 3);
    EXPECT_EQ(ParseVendorId("no ids here"), 0);
    EXPECT_EQ(ParseProductId("pid_123456"), 0x3456);  // low 16 bits
}

TEST(DeviceTables, TypeRowsBindToTheirCommandRows) {
    const int expected[] = {4, 0, 8, 10};
    for (std::size_t t = 0; t < kDeviceTypeTable.size(); ++t) {
        const DeviceTypeRow& type = kDeviceTypeTable[t];
        EXPECT_EQ(FindInterfaceRow(static_cast<uint16_t>(type.vendorId),
                                   static_cast<uint16_t>(type.productId),
                                   static_cast<uint16_t>(type.kind), kChannelCommand),
                  expected[t])
            << type.typeName;
    }
    // A receiver never has a page of its own.
    EXPECT_EQ(FindTypeRow(0x320F, 0x221D, kKindMouseReceiver, 0), -1);
    EXPECT_EQ(FindTypeRow(0x320F, 0x7074, kKindMouse, 0), 0);
    // Partners point at each other, channel for channel.
    const auto& table = InterfaceTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].hasPartner != 0) {
            const HidInterfaceRow& p = table[table[i].partnerRow];
            EXPECT_EQ(p.partnerRow, i);
            EXPECT_EQ(p.channel, table[i].channel);
        }
    }
}

TEST(InterfaceWorkingCopy, BindsByAddressAndUsage) {
    struct Case {
        const char* path;
        uint16_t usagePage;
        uint16_t usage;
        int row;  // -1: nothing bound
    };
    const Case cases[] = {
        {"hid#VID_320F&PID_7074&MI_01&COL04#a", 0xFF1C, 0x92, 4},
        {"hid#vid_320f&pid_7074&mi_01&col04#a", 0x000C, 0x01, -1},  // row 5 needs collection 3
        {"hid#vid_320f&pid_7074&mi_01&col03#a", 0x000C, 0x01, 5},
        {"hid#vid_0c76&pid_1630&mi_03#a", 0x000C, 0x01, 10},
        {"hid#vid_0c76&pid_1630&mi_03#a", 0xFF1C, 0x92, -1},
        {"hid#vid_320f&pid_9999&mi_01&col04#a", 0xFF1C, 0x92, -1},
        {"hid#vid_320f&pid_221d&mi_01&col04#a", 0xFF1C, 0x92, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        InterfaceWorkingCopy rows;
        HidCandidate candidate = Probed(c.path, c.usagePage, c.usage);
        int row = -1;
        EXPECT_EQ(rows.MatchAndBind(candidate, row), c.row >= 0);
        if (c.row >= 0) {
            EXPECT_EQ(row, c.row);
            EXPECT_EQ(rows.Row(static_cast<std::size_t>(row)).path, c.path);
            EXPECT_EQ(rows.Row(static_cast<std::size_t>(row)).connected, 1);
            EXPECT_EQ(candidate.kind, InterfaceTable()[static_cast<std::size_t>(row)].kind);
        }
    }
}

TEST(InterfaceWorkingCopy, ASecondIdenticalInterfaceStaysUnbound) {
    InterfaceWorkingCopy rows;
    HidCandidate first = Probed("hid#vid_320f&pid_1004&mi_01&col04#one", 0xFF1C, 0x92);
    HidCandidate second = Probed("hid#vid_320f&pid_1004&mi_01&col04#two", 0xFF1C, 0x92);
    EXPECT_TRUE(rows.MatchesByPath(first));
    int row = -1;
    ASSERT_TRUE(rows.MatchAndBind(first, row));
    EXPECT_FALSE(rows.MatchesByPath(second));
    EXPECT_FALSE(rows.MatchAndBind(second, row));
    EXPECT_EQ(rows.Row(8).path, first.path);
    EXPECT_TRUE(rows.Unbind(8));
    EXPECT_FALSE(rows.Unbind(8));
    EXPECT_TRUE(rows.MatchesByPath(second));
}

TEST(InterfaceWorkingCopy, PartnerConnectedFollowsThePresenceCheck) {
    InterfaceWorkingCopy rows;
    HidCandidate cable = Probed("hid#vid_320f&pid_7074&mi_01&col04#c", 0xFF1C, 0x92);
    HidCandidate receiver = Probed("hid#vid_320f&pid_221d&mi_01&col04#r", 0xFF1C, 0x92);
    int row = -1;
    ASSERT_TRUE(rows.MatchAndBind(cable, row));
    EXPECT_FALSE(rows.PartnerConnected(4));
    ASSERT_TRUE(rows.MatchAndBind(receiver, row));
    EXPECT_TRUE(rows.PartnerConnected(4));
    EXPECT_TRUE(rows.PartnerConnected(6));
    EXPECT_FALSE(rows.PartnerConnected(8));  // the mouse pad has no partner
    EXPECT_FALSE(rows.PartnerConnected(99));

    const std::vector<int> lost =
        rows.CheckPresence([&](const std::string& path) { return path != receiver.path; });
    EXPECT_EQ(lost, std::vector<int>{6});
    EXPECT_FALSE(rows.PartnerConnected(4));
    EXPECT_TRUE(rows.Row(6).path.empty());
    EXPECT_FALSE(rows.AllBound());
}

TEST(InterfaceWorkingCopy, DiscoversSimulatedDevicesAndLosesUnpluggedOnes) {
    auto backend = std::make_shared<sim::SimHidBackend>();
    std::string error;
    ASSERT_TRUE(sim::AddSimulatedDevices(*backend, "all,mouse-receiver,keyboard-receiver", error));
    InterfaceWorkingCopy rows;
    EXPECT_EQ(BindPresentInterfaces(rows, backend),
              (std::vector<int>{5, 4, 1, 0, 9, 8, 10, 7, 6, 3, 2}));
    EXPECT_TRUE(rows.AllBound());
    EXPECT_TRUE(BindPresentInterfaces(rows, backend).empty());  // nothing is bound twice

    ASSERT_TRUE(backend->Unplug("mouse"));
    auto present = [&](const std::string& path) { return HidPathPresent(backend, path); };
    EXPECT_EQ(rows.CheckPresence(present), (std::vector<int>{4, 5}));
    EXPECT_FALSE(rows.PartnerConnected(6));
    ASSERT_TRUE(backend->Plug("mouse"));
    EXPECT_EQ(BindPresentInterfaces(rows, backend), (std::vector<int>{5, 4}));
    EXPECT_TRUE(rows.CheckPresence(present).empty());
}

TEST(InterfaceWorkingCopy, ReadersSeeWholeRowsWhileDiscoveryBinds) {
    InterfaceWorkingCopy rows;
    std::atomic<bool> stop{false};
    std::thread discovery([&] {
        for (int i = 0; i < 2000; ++i) {
            HidCandidate c =
                Probed("hid#vid_320f&pid_7074&mi_01&col04#" + std::to_string(i), 0xFF1C, 0x92);
            int row = -1;
            rows.MatchAndBind(c, row);
            rows.Unbind(4);
        }
        stop = true;
    });
    while (!stop) {
        const HidInterfaceRow r = rows.Row(4);
        // Bound rows always carry a path, unbound ones never.
        EXPECT_EQ(r.connected != 0, !r.path.empty());
        (void)rows.AllBound();
    }
    discovery.join();
}

}  // namespace
}  // namespace vextar

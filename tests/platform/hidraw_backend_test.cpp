#include "platform/hidraw_backend.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include "support/fd_count.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "sim/sim_catalog.h"

namespace vextar::platform {
namespace {

namespace fs = std::filesystem;

// A sysfs and /dev tree laid out as the kernel does it:
//   sys/devices/usb1/1-<port>/1-<port>:1.<if>/0003:VVVV:PPPP.NNNN/hidraw/hidrawK
//   sys/class/hidraw/hidrawK -> that folder, whose "device" -> the HID device
class FakeSysfs {
  public:
    FakeSysfs() {
        root_ = fs::temp_directory_path() /
                ("vextar_sysfs_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
        fs::create_directories(root_ / "sys" / "class" / "hidraw");
        fs::create_directories(root_ / "dev");
    }
    ~FakeSysfs() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    std::string Sys() const { return (root_ / "sys").string(); }
    std::string Dev() const { return (root_ / "dev").string(); }

    void AddNode(int node, uint16_t vendor, uint16_t product, int port, int interfaceNumber,
                 int sequence, std::span<const uint8_t> descriptor, uint16_t bcdDevice = 0x0102) {
        char hidName[32];
        std::snprintf(hidName, sizeof hidName, "0003:%04X:%04X.%04X", vendor, product, sequence);
        const fs::path usbDevice =
            root_ / "sys" / "devices" / "usb1" / ("1-" + std::to_string(port));
        const fs::path usbInterface =
            usbDevice / ("1-" + std::to_string(port) + ":1." + std::to_string(interfaceNumber));
        const fs::path hid = usbInterface / hidName;
        const std::string nodeName = "hidraw" + std::to_string(node);
        const fs::path nodeDir = hid / "hidraw" / nodeName;
        fs::create_directories(nodeDir);
        Write(usbDevice / "bcdDevice", Hex(bcdDevice, 4));
        Write(usbInterface / "bInterfaceNumber", Hex(static_cast<unsigned>(interfaceNumber), 2));
        char uevent[128];
        std::snprintf(uevent, sizeof uevent,
                      "DRIVER=hid-generic\nHID_ID=0003:%08X:%08X\nHID_NAME=Test\n", vendor,
                      product);
        Write(hid / "uevent", uevent);
        std::ofstream(hid / "report_descriptor", std::ios::binary)
            .write(reinterpret_cast<const char*>(descriptor.data()),
                   static_cast<std::streamsize>(descriptor.size()));
        fs::create_directory_symlink(fs::path("../.."), nodeDir / "device");
        const fs::path link = root_ / "sys" / "class" / "hidraw" / nodeName;
        std::error_code ec;
        fs::remove(link, ec);
        fs::create_directory_symlink(nodeDir, link);
    }

    void RemoveNode(int node) {
        fs::remove(root_ / "sys" / "class" / "hidraw" / ("hidraw" + std::to_string(node)));
    }

  private:
    static std::string Hex(unsigned v, int width) {
        char text[16];
        std::snprintf(text, sizeof text, "%0*x\n", width, v);
        return text;
    }
    static void Write(const fs::path& p, const std::string& text) { std::ofstream(p) << text; }

    static inline int counter_ = 0;
    fs::path root_;
};

TEST(HidrawBackend, EnumeratesNodesInNumberOrderWithCollectionParts) {
    for (const int count : {9, 17}) {
        SCOPED_TRACE(count);
        FakeSysfs tree;
        // Even nodes: our four-collection interface; odd: a boot mouse.
        for (int n = 0; n < count; ++n) {
            if (n % 2 == 0) {
                tree.AddNode(n, 0x320F, 0x7074, n + 1, 1, n + 1,
                             sim::descriptors::CommandInterface());
            } else {
                tree.AddNode(n, 0x320F, 0x7074, n + 1, 0, n + 1, sim::descriptors::BootMouse());
            }
        }
        HidrawBackend backend(tree.Sys(), tree.Dev());
        std::vector<std::string> paths;
        ASSERT_TRUE(backend.Enumerate(paths));
        const int even = (count + 1) / 2;
        ASSERT_EQ(paths.size(), static_cast<std::size_t>(even * 4 + (count - even)));
        EXPECT_EQ(paths[0], "hidraw#vid_320f&pid_7074&mi_01&col01#hidraw0#0003:320F:7074.0001");
        EXPECT_EQ(paths[3], "hidraw#vid_320f&pid_7074&mi_01&col04#hidraw0#0003:320F:7074.0001");
        EXPECT_EQ(paths[4], "hidraw#vid_320f&pid_7074&mi_00#hidraw1#0003:320F:7074.0002");
        // Node numbers never go down: hidraw10 comes after hidraw9, not after hidraw1.
        int last = -1;
        for (const std::string& p : paths) {
            const std::size_t at = p.find("#hidraw", 6) + 7;
            const int node = std::stoi(p.substr(at, p.find('#', at) - at));
            EXPECT_GE(node, last) << p;
            last = node;
        }
        EXPECT_EQ(last, count - 1);
    }
}

TEST(HidrawBackend, IdentityOpenReadsIdsVersionAndCollection) {
    FakeSysfs tree;
    tree.AddNode(3, 0x320F, 0x221D, 2, 1, 5, sim::descriptors::CommandInterface(), 0x0211);
    HidrawBackend backend(tree.Sys(), tree.Dev());
    const std::string path = "hidraw#vid_320f&pid_221d&mi_01&col04#hidraw3#0003:320F:221D.0005";
    HidOpenResult r = backend.Open(path, HidAccess::None);
    ASSERT_TRUE(r.handle) << r.message;
    EXPECT_EQ(r.handle->Identity().vendorId, 0x320F);
    EXPECT_EQ(r.handle->Identity().productId, 0x221D);
    EXPECT_EQ(r.handle->Identity().versionNumber, 0x0211);
    EXPECT_EQ(r.handle->Identity().collection.usagePage, 0xFF1C);
    EXPECT_EQ(r.handle->Identity().collection.ReportByteLength(hid::ReportType::Input), 64U);
    std::size_t n = 0;
    std::array<uint8_t, 64> buffer{};
    EXPECT_EQ(r.handle->Read(buffer, n, 0), HidIoStatus::Failed);  // no access asked for
}

TEST(HidrawBackend, ANodeNumberTakenOverByAnotherDeviceReadsAsAbsent) {
    FakeSysfs tree;
    tree.AddNode(3, 0x320F, 0x7074, 2, 1, 5, sim::descriptors::CommandInterface());
    HidrawBackend backend(tree.Sys(), tree.Dev());
    std::vector<std::string> paths;
    ASSERT_TRUE(backend.Enumerate(paths));
    const std::string old = paths[3];
    ASSERT_TRUE(backend.Open(old, HidAccess::None).handle);

    // Unplugged and another device plugged in gets hidraw3.
    tree.RemoveNode(3);
    EXPECT_EQ(backend.Open(old, HidAccess::None).error, HidOpenError::NotFound);
    tree.AddNode(3, 0x320F, 0x7074, 2, 1, 9, sim::descriptors::CommandInterface());
    EXPECT_EQ(backend.Open(old, HidAccess::None).error, HidOpenError::NotFound);
    ASSERT_TRUE(backend.Enumerate(paths));
    EXPECT_NE(paths[3], old);
    EXPECT_TRUE(backend.Open(paths[3], HidAccess::None).handle);
}

TEST(HidrawBackend, SkipsNodesItCannotDescribeAndRefusesForeignPaths) {
    FakeSysfs tree;
    const std::array<uint8_t, 3> broken = {0x05, 0x01, 0xA1};  // truncated
    tree.AddNode(0, 0x1111, 0x2222, 1, 0, 1, broken);
    tree.AddNode(1, 0x0C76, 0x1630, 2, 3, 2, sim::descriptors::Headset());
    HidrawBackend backend(tree.Sys(), tree.Dev());
    std::vector<std::string> paths;
    ASSERT_TRUE(backend.Enumerate(paths));
    ASSERT_EQ(paths.size(), 1U);
    EXPECT_EQ(paths[0], "hidraw#vid_0c76&pid_1630&mi_03#hidraw1#0003:0C76:1630.0002");

    for (const std::string bad : {"hidraw#vid_0c76#../../etc#x", "sim#a#hidraw1#b", "", "hidraw"}) {
        EXPECT_EQ(backend.Open(bad, HidAccess::None).error, HidOpenError::InvalidPath) << bad;
    }
    // The node exists in sysfs but not in /dev.
    const HidOpenResult missing = backend.Open(paths[0], HidAccess::ReadWrite);
    EXPECT_EQ(missing.error, HidOpenError::NotFound);
}

// With a FIFO standing in for /dev/hidraw0, what is written comes back as
// input: enough to run the real open path and the shared node end to end.
TEST(HidrawBackend, CollectionsOfOneNodeShareOneDescriptor) {
    FakeSysfs tree;
    tree.AddNode(0, 0x320F, 0x7074, 1, 1, 1, sim::descriptors::CommandInterface());
    ASSERT_EQ(::mkfifo((tree.Dev() + "/hidraw0").c_str(), 0600), 0);
    HidrawBackend backend(tree.Sys(), tree.Dev());
    std::vector<std::string> paths;
    ASSERT_TRUE(backend.Enumerate(paths));
    ASSERT_EQ(paths.size(), 4U);

    const std::size_t before = test::OpenDescriptors();
    HidOpenResult command = backend.Open(paths[3], HidAccess::ReadWrite);
    ASSERT_TRUE(command.handle) << command.message;
    EXPECT_EQ(test::OpenDescriptors(), before + 2);  // the node and the handle's eventfd
    HidOpenResult consumer = backend.Open(paths[2], HidAccess::ReadWrite);
    ASSERT_TRUE(consumer.handle) << consumer.message;
    EXPECT_EQ(test::OpenDescriptors(), before + 3);  // only another eventfd

    std::array<uint8_t, 64> frame{};
    frame[0] = 4;
    frame[3] = 0x03;
    std::size_t n = 0;
    ASSERT_EQ(command.handle->Write(frame, n, 1000), HidIoStatus::Ok);
    std::array<uint8_t, 64> reply{};
    ASSERT_EQ(command.handle->Read(reply, n, 1000), HidIoStatus::Ok);
    EXPECT_EQ(n, 64U);
    EXPECT_EQ(reply, frame);
    std::array<uint8_t, 3> key{};
    EXPECT_EQ(consumer.handle->Read(key, n, 10), HidIoStatus::Timeout);

    command.handle.reset();
    consumer.handle.reset();
    EXPECT_EQ(test::OpenDescriptors(), before);
}

TEST(HidrawBackend, PermissionDeniedNamesTheUdevRule) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root opens any node";
    }
    FakeSysfs tree;
    tree.AddNode(1, 0x0C76, 0x1630, 2, 3, 2, sim::descriptors::Headset());
    const fs::path node = fs::path(tree.Dev()) / "hidraw1";
    std::ofstream(node).put('x');
    fs::permissions(node, fs::perms::none);
    HidrawBackend backend(tree.Sys(), tree.Dev());
    const HidOpenResult r =
        backend.Open("hidraw#vid_0c76&pid_1630&mi_03#hidraw1#0003:0C76:1630.0002", HidAccess::Read);
    EXPECT_EQ(r.error, HidOpenError::PermissionDenied);
    EXPECT_NE(r.message.find(kUdevRuleName), std::string::npos);
}

TEST(HidrawBackend, NoHidrawClassMeansNothingPresent) {
    HidrawBackend backend("/nonexistent-sysfs", "/nonexistent-dev");
    std::vector<std::string> paths = {"stale"};
    EXPECT_TRUE(backend.Enumerate(paths));
    EXPECT_TRUE(paths.empty());
}

}  // namespace
}  // namespace vextar::platform

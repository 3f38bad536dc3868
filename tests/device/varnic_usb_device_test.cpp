#include "device/varnic_usb_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "devicelink/device_tables.h"
#include "profile/paths.h"
#include "sim/sim_catalog.h"
#include "ui/paint_manager.h"
#include "ui/widgets/widgets.h"

namespace vextar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Widgets : public ui::IDialogBuilderCallback {
  public:
    std::unique_ptr<ui::CControlUI> CreateControl(std::string_view name) override {
        return ui::CreateWidget(name);
    }
};

// A device page built from a small skin in a temporary folder.
class Page : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vextar_page_" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "XML");
        std::ofstream(dir_ / "XML" / "page.xml") << R"(<VerticalLayout>
            <TabLayout name="device_function_switch">
              <Label/><Label/><Label/><Label/>
            </TabLayout>
            <TabLayout name="device_key_function_switch"><Label/><Label/><Label/></TabLayout>
            <SelectPanel height="100"><HorizontalLayout>
              <DeviceKeyButton name="key_0" userdata="light_0" width="20"/>
              <DeviceKeyButton name="KEY_2" userdata="light_2" width="20"/>
              <DeviceKeyButton name="key_x" userdata="light_1" width="20"/>
              <DeviceKeyButton name="key_9" userdata="light_99" width="20"/>
              <DeviceKeyButton name="logo" width="20"/>
            </HorizontalLayout></SelectPanel>
          </VerticalLayout>)";
        manager_.SetResourcePath(dir_.string());
        auto page = std::make_unique<CVarnicUSBDevice>();
        device_ = page.get();
        device_->SetPageSkin("XML\\page.xml");
        device_->SetKeyCount(3);
        device_->SetZoneCount(4);
        manager_.AttachDialog(std::move(page));
        std::string error;
        ASSERT_TRUE(device_->BuildControls(&widgets_, &error)) << error;
        manager_.SetClientSize({400, 300});
        manager_.UpdateLayout();
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
    Widgets widgets_;
    ui::CPaintManagerUI manager_;
    CVarnicUSBDevice* device_ = nullptr;
};

TEST_F(Page, BindsKeysAndZonesByNameAndUserData) {
    EXPECT_EQ(device_->KeyControl(0)->GetName(), "key_0");
    EXPECT_EQ(device_->KeyControl(1), nullptr);
    EXPECT_EQ(device_->KeyControl(2)->GetName(), "KEY_2");   // letter case ignored
    EXPECT_EQ(device_->KeyControl(3), nullptr);              // key_9 is beyond the key count
    EXPECT_EQ(device_->ZoneControl(1)->GetName(), "key_x");  // bound by its user data
    EXPECT_EQ(device_->ZoneControl(3), nullptr);
    EXPECT_TRUE(device_->ZoneControl(0)->IsLightShown());
    EXPECT_EQ(device_->ZoneControl(0)->GetLightColor(), 0xFFFFFFFFU);  // white, full alpha
}

TEST_F(Page, PushFrameShowsTheFrameAndReducesIt) {
    device_->SetZoneColour(0, 0xFF0000FFU);  // red, alpha 255
    device_->SetZoneColour(2, 0x80FF8000U);  // blue 0xFF, green 0x80, alpha 0x80
    device_->SetZoneColour(9, 0xFFFFFFFFU);  // no such zone
    EXPECT_EQ(device_->GetZoneColour(9), 0U);
    device_->PushFrame();
    EXPECT_EQ(device_->ZoneControl(0)->GetLightColor(), 0xFFFF0000U);
    EXPECT_EQ(device_->ZoneControl(2)->GetLightColor(), 0x800080FFU);
    const std::vector<uint8_t> expected = {254, 0, 0, 0, 0, 0, 0, 64, 127, 0, 0, 0};
    EXPECT_EQ(device_->ReducedFrame(), expected);

    device_->SetSoftwareLighting(false);
    device_->SetZoneColour(0, 0xFF00FF00U);
    device_->PushFrame();
    EXPECT_EQ(device_->ZoneControl(0)->GetLightColor(), 0xFFFF0000U);  // unchanged
}

TEST_F(Page, FunctionTabsByTypeAndKind) {
    auto* functions =
        dynamic_cast<ui::CTabLayoutUI*>(device_->FindByName("device_function_switch"));
    auto* keys = dynamic_cast<ui::CTabLayoutUI*>(device_->FindByName("device_key_function_switch"));
    struct Case {
        int kind;
        int type;
        int functionPage;
        int keyPage;  // -1: not changed (left at 0 before the call)
    };
    const Case cases[] = {{2, 3, 1, -1}, {2, 8, 1, -1}, {2, 5, 2, -1}, {2, 4, 3, -1}, {3, 4, 0, 2},
                          {2, 2, 0, 1},  {2, 6, 0, 1},  {2, 7, 0, 2},  {2, 1, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " type " << c.type);
        HidInterfaceRow row = InterfaceTable()[4];
        row.kind = static_cast<uint16_t>(c.kind);
        device_->SetIdentity(row);
        keys->SelectItem(0);
        device_->ShowFunctionTab(c.type);
        EXPECT_EQ(device_->GetFunctionTab(), c.type);
        EXPECT_EQ(functions->GetCurSel(), c.functionPage);
        EXPECT_EQ(keys->GetCurSel(), c.keyPage < 0 ? 0 : c.keyPage);
    }
}

TEST_F(Page, OnlyThisPagesControlsReachItsPump) {
    std::vector<std::string> seen;
    device_->Bind("", "", [&](ui::TNotifyUI& msg) { seen.push_back(msg.pSender->GetName()); });
    manager_.SendNotify(device_->KeyControl(0), "click");
    ui::CButtonUI stranger;
    stranger.SetName("somewhere_else");
    manager_.SendNotify(&stranger, "click");
    EXPECT_EQ(seen, std::vector<std::string>{"key_0"});
}

TEST(VarnicUSBDevice, EmptySkinBindsNothing) {
    CVarnicUSBDevice device;
    device.SetKeyCount(11);
    device.SetZoneCount(15);
    device.BindPage();
    EXPECT_EQ(device.GetKeyCount(), 0);
    EXPECT_EQ(device.GetZoneCount(), 0);
    device.SetZoneColour(0, 1);  // nothing to store into, and no crash
    EXPECT_EQ(device.GetZoneColour(0), 0U);
}

TEST(VarnicUSBDevice, RingAndFadeBuffers) {
    CVarnicUSBDevice device;
    light::EffectState& e = device.Effects();
    e.ring[0] = 1;
    e.ring[22] = 2;
    device.RotateRing(1);  // towards higher indexes
    EXPECT_EQ(e.ring[1], 1);
    EXPECT_EQ(e.ring[0], 2);
    device.RotateRing(0);
    EXPECT_EQ(e.ring[0], 1);
    EXPECT_EQ(e.ring[22], 2);
    e.ring[5] = 9;
    device.ArmFirstZones();
    EXPECT_EQ(e.fade[0], 255);
    EXPECT_EQ(e.fade[5], 255);
    EXPECT_EQ(e.fade[1], 0);
    EXPECT_EQ(e.fade[22], 0);  // only zones 0..8
    device.ResetEffectBuffers();
    EXPECT_EQ(e.fade[0], 0);
    EXPECT_EQ(e.ring[0], 0);
}

TEST(VarnicUSBDevice, ZoneFrameIsSharedWithoutTornEntries) {
    CVarnicUSBDevice device;
    device.SetZoneCount(15);
    std::atomic<bool> stop{false};
    std::thread effect([&] {
        for (uint32_t i = 0; !stop; ++i) {
            const uint32_t v = (i & 1U) != 0 ? 0xFFFFFFFFU : 0U;
            for (int z = 0; z < 15; ++z) {
                device.SetZoneColour(z, v);
            }
        }
    });
    for (int i = 0; i < 20000; ++i) {
        const uint32_t v = device.GetZoneColour(i % 15);
        ASSERT_TRUE(v == 0U || v == 0xFFFFFFFFU) << std::hex << v;
    }
    stop = true;
    effect.join();
}

class PowerProbe : public IPowerIndicator {
  public:
    void SetPowerReporting(bool r) override { reporting = r; }
    void SetPowerRecord(std::span<const uint8_t, 6> r) override {
        record.assign(r.begin(), r.end());
    }
    bool reporting = false;
    std::vector<uint8_t> record;
};

// The power record as the mouse reads it.
class PoweredDevice : public CVarnicUSBDevice {
  public:
    using CVarnicUSBDevice::CVarnicUSBDevice;
    void ReadPowerStatus() override { ReadPowerRecord(true); }
};

TEST(VarnicUSBDevice, ReadsThePowerRecordThroughTheReceiver) {
    auto backend = std::make_shared<sim::SimHidBackend>();
    sim::SimDevices devices;
    std::string error;
    ASSERT_TRUE(sim::AddSimulatedDevices(*backend, "mouse-receiver", error, {}, &devices));
    devices.models.at("mouse")->SetPower(57, true);
    InterfaceWorkingCopy rows;
    BindPresentInterfaces(rows, backend);
    ui::CPaintManagerUI manager;
    std::vector<uintptr_t> levels;
    manager.AddMessageHandler([&](uint32_t msg, uintptr_t w, intptr_t, bool& handled) {
        handled = msg == kMsgPowerLevel;
        levels.push_back(w);
        return 0;
    });
    auto owned = std::make_unique<PoweredDevice>(backend);
    PoweredDevice& device = *owned;
    manager.AttachDialog(std::move(owned));
    PowerProbe probe;
    device.SetPowerReporting(true);
    device.SetPowerIndicator(&probe);
    EXPECT_TRUE(probe.reporting);
    CDeviceLink& link = device.CommandLink();
    ASSERT_TRUE(link.receiverInterface.Open(rows.Row(6).path, true, true, true, false));
    link.SetMode(CDeviceLink::kModeReceiver);
    link.open = true;

    device.ReadPowerStatus();
    ASSERT_EQ(probe.record.size(), 6U);
    EXPECT_EQ(probe.record[3], 1);  // through the receiver
    EXPECT_EQ(probe.record[0], 57);
    EXPECT_EQ(probe.record[1], 1);  // charging
    EXPECT_EQ(probe.record[4], 57);
    manager.ProcessMessages();
    EXPECT_EQ(levels, std::vector<uintptr_t>{57});

    probe.record.clear();
    device.SuppressPowerInfo(1);
    device.ReadPowerStatus();
    EXPECT_TRUE(probe.record.empty());
}

TEST(VarnicUSBDevice, ProfileFolderAndFactoryProfile) {
    const fs::path root =
        fs::temp_directory_path() / ("vextar_folders_" + std::to_string(::getpid()));
    fs::create_directories(root / "DefaultData");
    paths::SetDataRoot((root / "user").string());
    paths::SetDefaultDataFolder((root / "DefaultData").string());
    CVarnicUSBDevice device;
    device.SetTypeName("MousePad");
    const std::string folder = device.GetProfileFolder();
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_NE(folder.find("MousePad"), std::string::npos);
    EXPECT_EQ(fs::path(device.GetDefaultProfilePath()).filename(), "MousePad.Json");
    device.SetTypeName("../escape");
    EXPECT_TRUE(device.GetProfileFolder().empty());
    paths::SetDataRoot("");
    paths::SetDefaultDataFolder("");
    fs::remove_all(root);
}

TEST(DeviceThread, StopWakesSleepsAndBlockedWaits) {
    CDeviceThread thread;
    std::atomic<int> wakes{0};
    std::atomic<bool> registered{false};
    ASSERT_TRUE(thread.Start("test", [&](CDeviceThread& self) {
        self.AddWake([&] { ++wakes; });
        registered = true;
        while (self.Sleep(10s)) {
        }
    }));
    EXPECT_FALSE(thread.Start("again", [](CDeviceThread&) {}));
    while (!registered) {
        std::this_thread::yield();
    }
    const auto start = std::chrono::steady_clock::now();
    thread.Stop(CDeviceThread::kEffectStopBound);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_FALSE(thread.Running());
    EXPECT_EQ(wakes.load(), 1);

    // A body that only checks now and then is still joined.
    ASSERT_TRUE(thread.Start("slow", [](CDeviceThread& self) {
        while (!self.StopRequested()) {
            std::this_thread::sleep_for(5ms);
        }
    }));
    thread.Stop(1ms);
    EXPECT_FALSE(thread.Running());
}

}  // namespace
}  // namespace vextar

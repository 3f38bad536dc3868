// The main window with discovery over simulated devices: pages connect and
// move between cable and receiver, the strip follows, and nothing is left
// behind when devices come and go.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/device_option.h"
#include "app/discovery.h"
#include "app/main_wnd.h"
#include "app/resources.h"
#include "app/window_messages.h"
#include "device/mouse/varnic_mouse_device.h"
#include "fake_windows.h"
#include "profile/paths.h"
#include "sim/sim_catalog.h"
#include "support/fd_count.h"
#include "support/settings_files.h"
#include "ui/resource_manager.h"
#include "ui/widgets/widgets.h"

namespace vextar::app {
namespace {

namespace fs = std::filesystem;

constexpr int kMouseType = 0;
constexpr int kKeyboardType = 1;

// Lists nothing for the first `failures` calls, then the simulator's.
class FlakyListing final : public platform::IHidBackend {
  public:
    FlakyListing(std::shared_ptr<platform::IHidBackend> inner, int failures)
        : inner_(std::move(inner)), failures_(failures) {}
    bool Enumerate(std::vector<std::string>& paths) override {
        if (failures_ > 0) {
            --failures_;
            return false;
        }
        return inner_->Enumerate(paths);
    }
    platform::HidOpenResult Open(const std::string& path, platform::HidAccess access) override {
        return inner_->Open(path, access);
    }

  private:
    std::shared_ptr<platform::IHidBackend> inner_;
    std::atomic<int> failures_;
};

class Devices : public ::testing::Test {
  protected:
    void SetUp() override {
        paths::SetDataRoot(data_.Path());
        paths::SetDefaultDataFolder(VEXTAR_SOURCE_DEFAULT_DATA);
        ui::RegisterWidgetClasses();
        RegisterAppControls();
        skin_ = (fs::path(VEXTAR_SOURCE_DEFAULT_DATA).parent_path() / "skin").string() + "/";
        ASSERT_TRUE(ResourceIndex().Load(skin_, nullptr));
        ui::CResourceManager::Instance().Clear();
        sim_ = std::make_shared<sim::SimHidBackend>();
    }
    void TearDown() override {
        wnd_.reset();
        ui::CResourceManager::Instance().Clear();
        paths::SetDataRoot("");
        paths::SetDefaultDataFolder("");
    }

    void AddDevices(const std::string& list) {
        std::string error;
        ASSERT_TRUE(sim::AddSimulatedDevices(*sim_, list, error, {}, &devices_)) << error;
    }
    CMainWnd& Start(std::shared_ptr<platform::IHidBackend> backend = nullptr, bool thread = false) {
        MainWndParts parts;
        parts.windows = &windows_;
        parts.settings = &settings_;
        parts.backend = backend ? backend : sim_;
        parts.skinFolder = skin_;
        parts.languageConfig = std::string(VEXTAR_SOURCE_DEFAULT_DATA) + "/Language.config";
        parts.skinIni = data_.Path() + "main.ini";
        parts.clock = &clock_;
        parts.discoveryThread = thread;
        wnd_ = std::make_unique<CMainWnd>(parts);
        std::string error;
        EXPECT_TRUE(wnd_->Create(&error)) << error;
        return *wnd_;
    }
    // One discovery pass, then what it asked of the window.
    void Pass() {
        wnd_->Discovery()->Pass();
        wnd_->Manager().ProcessMessages();
    }
    void RunTimers(int64_t ms) {
        for (int64_t step = 0; step < ms; step += 5) {
            clock_.Advance(5);
            wnd_->Manager().ProcessTimers();
            wnd_->Manager().ProcessMessages();
        }
    }
    CVarnicMouseDevice& Mouse() {
        return *dynamic_cast<CVarnicMouseDevice*>(wnd_->Page(kMouseType));
    }
    CDeviceOptionUI& MouseEntry() { return *wnd_->Entry(kMouseType); }
    bool NoDeviceLinkShown() { return wnd_->Manager().FindControl("No_device_Link")->IsVisible(); }
    test::FakeView& View() { return *dynamic_cast<test::FakeView*>(wnd_->View()); }

    test::TempFolder data_;
    std::string skin_;
    test::FakeWindowSystem windows_;
    test::FakeSettings settings_;
    platform::FakeClock clock_{1000};
    std::shared_ptr<sim::SimHidBackend> sim_;
    sim::SimDevices devices_;
    std::unique_ptr<CMainWnd> wnd_;
};

TEST_F(Devices, HiddenUntilTheFirstPassThenEveryTypeHasItsPage) {
    CMainWnd& wnd = Start();
    EXPECT_FALSE(View().visible);
    for (int t = 0; t < 4; ++t) {
        ASSERT_NE(wnd.Page(t), nullptr) << t;
        EXPECT_FALSE(wnd.Entry(t)->IsVisible());
    }
    Pass();
    EXPECT_TRUE(View().visible);
    EXPECT_TRUE(NoDeviceLinkShown());
}

TEST_F(Devices, ACableMouseConnectsInOnePassAndIsSelected) {
    AddDevices("mouse");
    CMainWnd& wnd = Start();
    Pass();
    const auto rows = wnd.Interfaces().Snapshot();
    EXPECT_NE(rows[4].connected, 0);
    EXPECT_NE(rows[5].connected, 0);
    EXPECT_TRUE(Mouse().CommandLink().open);
    EXPECT_FALSE(Mouse().CommandLink().IsReceiverMode());
    EXPECT_TRUE(MouseEntry().IsVisible());
    EXPECT_TRUE(MouseEntry().IsSelected());
    EXPECT_EQ(wnd.CurrentPage(), wnd.Page(kMouseType));
    EXPECT_FALSE(NoDeviceLinkShown());
    const uint32_t before = devices_.firmware.at("mouse")->FramesSeen();
    RunTimers(500);  // the connect step reads the mouse
    EXPECT_GT(devices_.firmware.at("mouse")->FramesSeen(), before);
    EXPECT_EQ(wnd.StatusLines()[kMouseType].rfind("mouse connected cable selected", 0), 0U);
}

TEST_F(Devices, TheMouseMovesBetweenCableAndReceiver) {
    AddDevices("mouse-receiver");
    CMainWnd& wnd = Start();
    Pass();
    // Through the receiver the entry shows once the mouse answers.
    EXPECT_TRUE(Mouse().CommandLink().IsReceiverMode());
    RunTimers(500);
    EXPECT_TRUE(MouseEntry().IsVisible());

    // The cable comes: the page moves to it.
    AddDevices("mouse");
    Pass();
    EXPECT_TRUE(Mouse().CommandLink().open);
    EXPECT_FALSE(Mouse().CommandLink().IsReceiverMode());
    EXPECT_TRUE(MouseEntry().IsVisible());

    // The cable goes: back to the receiver, the entry stays.
    ASSERT_TRUE(sim_->Unplug("mouse"));
    Pass();
    EXPECT_TRUE(Mouse().CommandLink().open);
    EXPECT_TRUE(Mouse().CommandLink().IsReceiverMode());
    RunTimers(500);
    EXPECT_TRUE(MouseEntry().IsVisible());
    EXPECT_EQ(wnd.StatusLines()[kMouseType].rfind("mouse connected receiver", 0), 0U);

    // The receiver goes too: the entry hides and "No_device_Link" shows.
    ASSERT_TRUE(sim_->Unplug("mouse-receiver"));
    Pass();
    EXPECT_FALSE(Mouse().CommandLink().open);
    EXPECT_FALSE(MouseEntry().IsVisible());
    EXPECT_TRUE(NoDeviceLinkShown());
}

TEST_F(Devices, AReceiverWhoseMouseIsOffKeepsTheEntryHiddenUntilItAnswers) {
    AddDevices("mouse-receiver");
    auto receiver =
        std::dynamic_pointer_cast<sim::ReceiverFirmware>(devices_.firmware.at("mouse-receiver"));
    ASSERT_NE(receiver, nullptr);
    receiver->SetLinked(false);
    CMainWnd& wnd = Start();
    Pass();
    RunTimers(500 + 3000 + 3000);
    EXPECT_FALSE(MouseEntry().IsVisible());
    EXPECT_EQ(wnd.StatusLines()[kMouseType].rfind("mouse absent", 0), 0U);
    receiver->SetLinked(true);
    RunTimers(3000);
    EXPECT_TRUE(MouseEntry().IsVisible());
    EXPECT_TRUE(MouseEntry().IsSelected());
}

TEST_F(Devices, HidingTheLastEntryShowsNoDeviceLinkAndUnticksTheOther) {
    AddDevices("mouse,keyboard");
    CMainWnd& wnd = Start();
    Pass();
    ASSERT_TRUE(wnd.Entry(kMouseType)->IsVisible());
    ASSERT_TRUE(wnd.Entry(kKeyboardType)->IsVisible());
    wnd.Entry(kMouseType)->SetSynchronise(true);
    wnd.Entry(kKeyboardType)->SetSynchronise(true);
    ASSERT_TRUE(sim_->Unplug("mouse"));
    Pass();
    EXPECT_FALSE(wnd.Entry(kMouseType)->IsVisible());
    EXPECT_TRUE(wnd.Entry(kKeyboardType)->IsSelected());
    EXPECT_FALSE(wnd.Entry(kKeyboardType)->IsSynchronised());
    ASSERT_TRUE(sim_->Unplug("keyboard"));
    Pass();
    EXPECT_TRUE(NoDeviceLinkShown());
}

TEST_F(Devices, ASecondIdenticalMouseStaysUnbound) {
    AddDevices("mouse");
    CMainWnd& wnd = Start();
    Pass();
    ASSERT_TRUE(Mouse().CommandLink().open);
    const std::string firstPath = wnd.Interfaces().Row(4).path;
    sim::SimDeviceSpec twin;
    twin.name = "twin";
    twin.vendorId = 0x320F;
    twin.productId = 0x7074;
    const auto boot = sim::descriptors::BootMouse();
    const auto command = sim::descriptors::CommandInterface();
    twin.interfaces.push_back(sim::SimInterfaceSpec{0, {boot.begin(), boot.end()}, nullptr});
    twin.interfaces.push_back(sim::SimInterfaceSpec{1, {command.begin(), command.end()}, nullptr});
    std::string error;
    ASSERT_TRUE(sim_->AddDevice(twin, error)) << error;
    Pass();
    Pass();
    EXPECT_EQ(wnd.Interfaces().Row(4).path, firstPath);
    EXPECT_EQ(Mouse().GetIdentity().path, firstPath);
    int bound = 0;
    for (const auto& row : wnd.Interfaces().Snapshot()) {
        bound += row.connected != 0 ? 1 : 0;
        EXPECT_EQ(row.path.find("twin"), std::string::npos);
    }
    EXPECT_EQ(bound, 2);
}

TEST_F(Devices, AFailedListingIsTriedAgainAndTheWindowStillShows) {
    AddDevices("mouse");
    Start(std::make_shared<FlakyListing>(sim_, 2));
    Pass();
    EXPECT_TRUE(View().visible);
    EXPECT_FALSE(MouseEntry().IsVisible());
    Pass();
    Pass();
    EXPECT_TRUE(MouseEntry().IsVisible());
}

TEST_F(Devices, PlugCyclesLeaveNoHandleOrBindingBehind) {
    AddDevices("mouse,mouse-receiver");
    CMainWnd& wnd = Start();
    Pass();
    const std::size_t fds = test::OpenDescriptors();
    for (int i = 0; i < 200; ++i) {
        const char* device = i % 2 == 0 ? "mouse" : "mouse-receiver";
        ASSERT_TRUE(sim_->Unplug(device));
        Pass();
        ASSERT_TRUE(sim_->Plug(device));
        Pass();
    }
    EXPECT_EQ(test::OpenDescriptors(), fds);
    EXPECT_TRUE(Mouse().CommandLink().open);
    EXPECT_FALSE(Mouse().CommandLink().IsReceiverMode());
    int bound = 0;
    for (const auto& row : wnd.Interfaces().Snapshot()) {
        bound += row.connected != 0 ? 1 : 0;
    }
    EXPECT_EQ(bound, 4);
}

TEST_F(Devices, QuittingDuringDiscoveryEndsWithinTheBound) {
    AddDevices("all");
    CMainWnd& wnd = Start(nullptr, true);
    // Discovery now waits on the window for each arrival; quit without
    // handling them.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    wnd.Exit();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    EXPECT_FALSE(wnd.Workers().Running(CWorkerSlots::kDiscoverySlot));
}

}  // namespace
}  // namespace vextar::app

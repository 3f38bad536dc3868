#include "device/mouse/mouse_routes.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "device/mouse/mouse_protocol.h"
#include "device/mouse/varnic_mouse_device.h"
#include "devicelink/device_tables.h"
#include "profile/paths.h"
#include "sim/sim_catalog.h"
#include "ui/paint_manager.h"
#include "ui/user_actions.h"
#include "ui/widgets/widgets.h"

namespace vextar {
namespace {

namespace fs = std::filesystem;

class Widgets : public ui::IDialogBuilderCallback {
  public:
    std::unique_ptr<ui::CControlUI> CreateControl(std::string_view name) override {
        return ui::CreateWidget(name);
    }
};

// The mouse page built from its skin, connected to the simulated mouse by
// cable, with the window's notifications going through the mouse's routes.
class MousePage : public ::testing::Test, public ui::INotifyUI {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("vextar_mouse_page_" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "user");
        paths::SetDataRoot((root_ / "user").string());
        paths::SetDefaultDataFolder(VEXTAR_SOURCE_DEFAULT_DATA);

        sim::SimDevices devices;
        std::string error;
        ASSERT_TRUE(sim::AddSimulatedDevices(*backend_, "mouse", error, {}, &devices)) << error;
        firmware_ = devices.firmware.at("mouse");
        model_ = devices.models.at("mouse");
        InterfaceWorkingCopy rows;
        BindPresentInterfaces(rows, backend_);
        std::string path;
        for (const HidInterfaceRow& r : rows.Snapshot()) {
            if (r.connected != 0 && r.channel == kChannelCommand) {
                path = r.path;
                row_ = r;
            }
        }
        ASSERT_FALSE(path.empty());

        ui::RegisterWidgetClasses();
        manager_.SetResourcePath(
            (fs::path(VEXTAR_SOURCE_DEFAULT_DATA).parent_path() / "skin").string());
        auto page = std::make_unique<CVarnicMouseDevice>(backend_);
        mouse_ = page.get();
        mouse_->SetIdentity(row_);
        mouse_->SetPageSkin(kDevicePageTable[0].pageSkin);
        mouse_->SetZoneCount(kDevicePageTable[0].zoneCount);
        manager_.AttachDialog(std::move(page));
        ASSERT_TRUE(mouse_->BuildControls(&widgets_, &error)) << error;
        manager_.AddNotifier(this);
        manager_.SetClientSize({1200, 760});
        manager_.UpdateLayout();

        CDeviceLink& link = mouse_->CommandLink();
        ASSERT_TRUE(link.cableInterface.Open(path, true, true, true, false));
        link.SetMode(CDeviceLink::kModeCable);
        link.open = true;
        mouse_->OnConnected();
        mouse_->StopEffectThread();

        MouseRouteHooks hooks;
        hooks.screenWidth = 2560;
        hooks.screenHeight = 1440;
        hooks.openSystemMouseSettings = [this](int which) { systemSettings_.push_back(which); };
        hooks.pickColour = [this](uint32_t initial) {
            initialColour_ = initial;
            return pickedColour_;
        };
        RegisterMouseRoutes(
            routes_, [this] { return mouse_; }, hooks);
    }

    void TearDown() override {
        manager_.RemoveNotifier(this);
        paths::SetDataRoot("");
        paths::SetDefaultDataFolder("");
        fs::remove_all(root_);
    }

    void Notify(ui::TNotifyUI& msg) override { routes_.Dispatch(msg, pageKind_); }

    template <typename T = ui::CControlUI>
    T* Find(const std::string& name) {
        auto* found = dynamic_cast<T*>(manager_.FindControl(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void ShowSettingsTab(int n) {
        ASSERT_TRUE(user_.Click(Find(("mouse_device_seting_option_" + std::to_string(n)))));
    }

    // Record 0 as the device holds it.
    std::vector<uint8_t> Record() const { return model_->Memory(0, 71); }
    static int StageX(const std::vector<uint8_t>& r, int s) {
        return r[14 + 9 * s + 2] | (r[14 + 9 * s + 3] << 8);
    }

    // The stored profile, as a new page reads it.
    std::unique_ptr<CVarnicMouseDevice> Stored() {
        auto again = std::make_unique<CVarnicMouseDevice>(backend_);
        EXPECT_EQ(again->LoadProfile(), 1);
        return again;
    }

    fs::path root_;
    std::shared_ptr<sim::SimHidBackend> backend_ = std::make_shared<sim::SimHidBackend>();
    std::shared_ptr<sim::CommandFirmware> firmware_;
    std::shared_ptr<sim::PeripheralModel> model_;
    HidInterfaceRow row_{};
    Widgets widgets_;
    platform::FakeClock clock_;
    ui::CPaintManagerUI manager_{clock_};
    ui::CUserActions user_{manager_};
    CVarnicMouseDevice* mouse_ = nullptr;
    ui::CRouteTable routes_;
    int pageKind_ = kKindMouse;
    std::vector<int> systemSettings_;
    uint32_t initialColour_ = 0;
    std::optional<uint32_t> pickedColour_;
};

TEST_F(MousePage, TheSkinBindsEveryKeyZoneAndStage) {
    for (int k = 0; k < mouse::kKeyCount; ++k) {
        ASSERT_NE(mouse_->KeyControl(k), nullptr) << k;
        EXPECT_EQ(mouse_->KeyControl(k)->GetName(), "key_" + std::to_string(k));
    }
    for (int z = 0; z < mouse_->GetZoneCount(); ++z) {
        ASSERT_NE(mouse_->ZoneControl(z), nullptr) << z;
        EXPECT_TRUE(mouse_->ZoneControl(z)->IsLightShown());
    }
    EXPECT_EQ(mouse_->GetZoneCount(), 15);
    for (int i = 0; i < mouse::kStageCount; ++i) {
        const std::string n = std::to_string(i);
        auto* slider = Find<ui::CSliderUI>("DPI_slider_" + n);
        ASSERT_NE(slider, nullptr);
        EXPECT_EQ(slider->GetMaxValue(), static_cast<int>(mouse_->Scale().highestStep));
        EXPECT_EQ(Find("DPI_edit_" + n)->GetText(), std::to_string(mouse_->GetStageEditValue(i)));
        EXPECT_NE(Find("DPI_layout_" + n), nullptr);
        EXPECT_NE(Find("DPI_color_option_" + n), nullptr);
        EXPECT_EQ(Find<ui::COptionUI>("DPI_select_check_" + n)->IsSelected(),
                  i == mouse_->ActiveStage());
    }
    for (const char* name :
         {"device_function_switch", "device_key_function_switch", "DeviceProfileItem",
          "LightControlItem", "MacroControlItem", "KeySetControlItem", "ShootControlItem",
          "device_setkeyinfo_list", "windowdeviceset_0", "windowdeviceset_1"}) {
        EXPECT_NE(Find(name), nullptr);
    }
    mouse_->ShowFunctionTab(2);
    EXPECT_FALSE(Find("device_tishi_info")->IsVisible());
}

TEST_F(MousePage, StageSliderAndEditReachTheProfileAndTheDevice) {
    ShowSettingsTab(1);
    EXPECT_TRUE(Find("DPI_slider_2")->IsVisible());
    auto* slider = Find<ui::CSliderUI>("DPI_slider_2");
    firmware_->ClearRequests();
    ASSERT_TRUE(user_.DragSlider(slider, 40));
    const int v = slider->GetValue();  // where a pixel of the drag lands
    ASSERT_NEAR(v, 40, 1);
    EXPECT_EQ(mouse_->GetStageSlider(2), static_cast<uint32_t>(v));
    EXPECT_EQ(Find("DPI_edit_2")->GetText(),
              std::to_string(mouse::PositionToDpi(mouse_->Scale(), static_cast<uint32_t>(v))));
    EXPECT_EQ(StageX(Record(), 2), v);
    EXPECT_EQ(Record()[60] | (Record()[61] << 8), 2560);  // the screen size given at start
    EXPECT_EQ(Stored()->GetStageSlider(2), static_cast<uint32_t>(v));

    // Typing a DPI: written back through the inverse when the edit is left.
    ASSERT_TRUE(user_.ReplaceText(Find<ui::CEditUI>("DPI_edit_1"), "1600"));
    user_.KillFocus();
    EXPECT_EQ(mouse_->GetStageSlider(1), 31U);
    EXPECT_EQ(Find<ui::CSliderUI>("DPI_slider_1")->GetValue(), 31);
    EXPECT_EQ(StageX(Record(), 1), 31);
    EXPECT_EQ(Stored()->GetStageSlider(1), 31U);
}

TEST_F(MousePage, DraggingShowsTheStageButStoresOnlyAtTheRelease) {
    ShowSettingsTab(1);
    auto* slider = Find<ui::CSliderUI>("DPI_slider_0");
    const std::vector<uint8_t> before = Record();
    ui::TNotifyUI move{std::string(ui::notify::kMoveValueChanged), slider};
    slider->SetValue(12);
    routes_.Dispatch(move, kKindMouse);
    EXPECT_EQ(Find("DPI_edit_0")->GetText(),
              std::to_string(mouse::PositionToDpi(mouse_->Scale(), 12)));
    EXPECT_EQ(Record(), before);
    EXPECT_NE(Stored()->GetStageSlider(0), 12U);
}

TEST_F(MousePage, EnableChecksKeepTheActiveAndTheLastStageOn) {
    ShowSettingsTab(1);
    const int active = mouse_->ActiveStage();
    auto check = [&](int i) {
        return Find<ui::COptionUI>("DPI_enable_check_" + std::to_string(i));
    };
    // Every other stage can go off; its row goes with it.
    for (int i = 0; i < mouse::kStageCount; ++i) {
        if (i == active || !mouse_->IsStageEnabled(i)) {
            continue;
        }
        ASSERT_TRUE(user_.Click(check(i))) << i;
        EXPECT_FALSE(mouse_->IsStageEnabled(i));
        EXPECT_FALSE(Find("DPI_layout_" + std::to_string(i))->IsEnabled());
        EXPECT_EQ(Record()[14 + 9 * i], 0);
    }
    // The active stage, now the only one, cannot be reached...
    EXPECT_FALSE(check(active)->IsEnabled());
    EXPECT_FALSE(user_.Click(check(active)));
    // ...and a program that clears its check gets it back.
    check(active)->Selected(false);
    EXPECT_TRUE(check(active)->IsSelected());
    EXPECT_TRUE(mouse_->IsStageEnabled(active));
    // Switching one on again.
    const int other = (active + 1) % mouse::kStageCount;
    ASSERT_TRUE(user_.Click(check(other)));
    EXPECT_TRUE(mouse_->IsStageEnabled(other));
    EXPECT_TRUE(Find("DPI_layout_" + std::to_string(other))->IsEnabled());
    EXPECT_EQ(Record()[14 + 9 * other], 1);
    EXPECT_TRUE(Stored()->IsStageEnabled(other));
}

TEST_F(MousePage, PointerSettingsGoToTheProfileOnly) {
    ShowSettingsTab(2);
    const uint64_t sequences = model_->SequencesEnded();
    auto* speed = Find<ui::CSliderUI>("pointer_speed_slider");
    auto* doubleClick = Find<ui::CSliderUI>("double_click_slider");
    ASSERT_TRUE(user_.DragSlider(speed, 15));
    ASSERT_TRUE(user_.DragSlider(doubleClick, 700));
    EXPECT_NEAR(doubleClick->GetValue(), 700, 5);  // a pixel holds a few milliseconds
    ASSERT_TRUE(user_.Click(Find("pointer_precision_check")));
    ASSERT_TRUE(user_.Click(Find("scrolls_page_check")));
    MouseSystemSettings s = Stored()->GetSystemStages();
    EXPECT_EQ(s[1], speed->GetValue());
    EXPECT_EQ(s[0], doubleClick->GetValue());
    EXPECT_EQ(s[2], mouse_->GetSystemStages()[2]);
    EXPECT_EQ(s[3], 1);
    // Moving the scroll speed switches page scrolling off.
    auto* scroll = Find<ui::CSliderUI>("scroll_speed_slider");
    ASSERT_TRUE(user_.DragSlider(scroll, 40));
    s = Stored()->GetSystemStages();
    EXPECT_EQ(s[4], scroll->GetValue());
    EXPECT_EQ(s[3], 0);
    EXPECT_FALSE(Find<ui::COptionUI>("scrolls_page_check")->IsSelected());
    EXPECT_EQ(model_->SequencesEnded(), sequences);  // nothing went to the device
}

TEST_F(MousePage, SelectingAStagePollingRateAndColour) {
    ShowSettingsTab(1);
    const int stage = (mouse_->ActiveStage() + 2) % mouse::kStageCount;
    if (!mouse_->IsStageEnabled(stage)) {
        ASSERT_TRUE(user_.Click(Find("DPI_enable_check_" + std::to_string(stage))));
    }
    ASSERT_TRUE(user_.Click(Find("DPI_select_check_" + std::to_string(stage))));
    EXPECT_EQ(mouse_->ActiveStage(), stage);
    EXPECT_EQ(Record()[12], stage);
    EXPECT_FALSE(Find("DPI_enable_check_" + std::to_string(stage))->IsEnabled());

    // A cancelled colour choice changes nothing; a chosen one is stored and sent.
    const uint32_t old = mouse_->GetStageColour(1);
    ASSERT_TRUE(user_.Click(Find("DPI_color_option_1")));
    EXPECT_EQ(initialColour_, old);
    EXPECT_EQ(mouse_->GetStageColour(1), old);
    pickedColour_ = 0xFF112233U;
    ASSERT_TRUE(user_.Click(Find("DPI_color_option_1")));
    EXPECT_EQ(mouse_->GetStageColour(1), 0xFF112233U);
    EXPECT_EQ(Find("DPI_color_option_1")->GetBkColor(), 0xFF112233U);
    const std::vector<uint8_t> r = Record();
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 14 + 9 + 6, r.begin() + 14 + 9 + 9),
              (std::vector<uint8_t>{0x11, 0x22, 0x33}));

    ShowSettingsTab(2);
    ASSERT_TRUE(user_.Click(Find("polling_rate_option_3")));
    EXPECT_EQ(mouse_->GetPollingRate(), 3);
    EXPECT_EQ(Record()[11], 3);
    EXPECT_EQ(Stored()->GetPollingRate(), 3);
}

TEST_F(MousePage, PointerDpiEditKeepsItsRangeWithoutAPage) {
    ShowSettingsTab(2);
    pageKind_ = 0;
    auto* edit = Find<ui::CEditUI>("zentor_DPI_edit_1");
    auto* slider = Find<ui::CSliderUI>("zentor_DPI_slider_1");
    struct Case {
        const char* typed;
        const char* shown;
    };
    for (const Case& c :
         {Case{"150", "200"}, Case{"9000", "6500"}, Case{"", "200"}, Case{"1234", "1234"}}) {
        SCOPED_TRACE(c.typed);
        ASSERT_TRUE(user_.ReplaceText(edit, c.typed));
        user_.KillFocus();
        EXPECT_EQ(edit->GetText(), c.shown);
        EXPECT_EQ(std::to_string(slider->GetValue()), c.shown);
    }
    ASSERT_TRUE(user_.DragSlider(slider, 3000));
    EXPECT_EQ(edit->GetText(), std::to_string(slider->GetValue()));
    EXPECT_EQ(Find("zentor_DPI_edit_0")->GetText(), "800");  // the other pair is untouched
}

TEST_F(MousePage, SystemSettingsShortcutsForTheirTwoIndexesOnly) {
    ShowSettingsTab(2);
    ASSERT_TRUE(user_.Click(Find("windowdeviceset_1")));
    ASSERT_TRUE(user_.Click(Find("windowdeviceset_0")));
    ui::CButtonUI third;
    third.SetName("windowdeviceset_2");
    ui::TNotifyUI msg{std::string(ui::notify::kClick), &third};
    routes_.Dispatch(msg, kKindMouse);
    EXPECT_EQ(systemSettings_, (std::vector<int>{1, 0}));
}

TEST_F(MousePage, ZoneSelectionReloadsOnlyWhenEveryZoneIsMarked) {
    auto* panel = Find("mouse_device_key_light");
    const ui::UiRect rc = panel->GetPos();
    const ui::UiPoint topLeft{rc.left + 2, rc.top + 2};
    struct Case {
        const char* what;
        ui::UiPoint to;
        bool disableTheRest;  // zones outside the band disabled
        bool written;
    };
    const Case cases[] = {
        {"every zone", {rc.right - 2, rc.bottom - 2}, false, true},
        {"the left half", {rc.left + (rc.right - rc.left) / 2, rc.bottom - 2}, false, false},
        {"the left half, the rest disabled",
         {rc.left + (rc.right - rc.left) / 2, rc.bottom - 2},
         true,
         true},
        {"nothing, every zone disabled", {rc.left + 4, rc.top + 4}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int z = 0; z < mouse_->GetZoneCount(); ++z) {
            mouse_->ZoneControl(z)->SetEnabled(true);
        }
        if (c.disableTheRest) {
            for (int z = 0; z < mouse_->GetZoneCount(); ++z) {
                ui::CDeviceKeyButtonUI* zone = mouse_->ZoneControl(z);
                if (!zone->GetPos().Intersects(ui::UiRect{topLeft.x, topLeft.y, c.to.x, c.to.y})) {
                    zone->SetEnabled(false);
                }
            }
        }
        firmware_->ClearRequests();
        ASSERT_TRUE(user_.Drag(topLeft, c.to));
        bool written = false;
        for (const auto& f : firmware_->Requests()) {
            written = written || f[3] == CMD_WRITE_MEMORY;
        }
        EXPECT_EQ(written, c.written);
    }
}

}  // namespace
}  // namespace vextar

// The device selector strip's entry and the power indicator, built from the
// shipped skin into a small strip, driven by a fake clock and a fake page.

#include "app/device_option.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/window_messages.h"
#include "ui/dialog_builder.h"
#include "ui/notify.h"
#include "ui/paint_manager.h"
#include "ui/render.h"
#include "ui/user_actions.h"
#include "ui/widgets/widgets.h"

namespace vextar::app {
namespace {

// A page that records what the entry asks of it; its command link is open
// (by cable) until told otherwise.
class FakePage final : public CVarnicUSBDevice {
  public:
    FakePage() { CommandLink().open = true; }

    void ThroughReceiver(bool on) {
        CommandLink().SetMode(on ? CDeviceLink::kModeReceiver : CDeviceLink::kModeCable);
    }
    void SetLinkOpen(bool open) { CommandLink().open = open; }

    void PushFrame() override { ++frames; }
    void OnConnected() override { ++connects; }
    void OnResyncRequest() override { calls.emplace_back("resync"); }
    void OnDeferred1() override { calls.emplace_back("deferred1"); }
    void OnDeferred2() override { calls.emplace_back("deferred2"); }
    void ReadPowerStatus() override { ++powerReads; }
    int32_t IsDeviceReachable() override {
        ++reachQueries;
        if (goneWhileAsked) {
            SetLinkOpen(false);
        }
        return reachable;
    }

    int32_t reachable = 1;
    bool goneWhileAsked = false;
    int frames = 0;
    int connects = 0;
    int powerReads = 0;
    int reachQueries = 0;
    std::vector<std::string> calls;
};

// The window's builder callback: the strip's classes, then the widgets.
class Callback final : public ui::IDialogBuilderCallback {
  public:
    std::unique_ptr<ui::CControlUI> CreateControl(std::string_view className) override {
        if (auto control = CreateAppControl(className)) {
            return control;
        }
        return ui::CreateWidget(className);
    }
};

class Notifications final : public ui::INotifyUI {
  public:
    void Notify(ui::TNotifyUI& msg) override {
        seen.push_back(msg.pSender->GetName() + " " + std::string(msg.sType));
    }
    std::vector<std::string> seen;
};

// A strip with one entry and its preview, the page tabs, and a power
// indicator; the entry and the indicator build their content from the
// skin. Two bare controls show what happens without the parts.
constexpr const char* kStrip = R"(<VerticalLayout>
  <HorizontalLayout name="device_select_layout" height="56" childpadding="8">
    <DeviceOption name="entry"/>
    <DeviceOption name="other_entry"/>
    <Control name="preview" width="40"/>
    <DeviceOption name="bare"><Label name="unrelated"/></DeviceOption>
  </HorizontalLayout>
  <TabLayout name="device_switch" height="40"><Control/><Control/><Control/></TabLayout>
  <HorizontalLayout height="56">
    <MpDevicePower name="power"/>
    <MpDevicePower name="partial">
      <Label name="device_power_value" text="-"/>
      <Control name="device_wuxian_logo"/>
      <Progress name="device_Power_progress" value="50"/>
      <Control name="device_power_status"/>
      <VerticalLayout name="device_power_Layout"/>
    </MpDevicePower>
  </HorizontalLayout>
</VerticalLayout>)";

std::string ImageFile(std::string_view description) {
    return ui::ParseImageDescription(description).file;
}

std::string Icon(std::string_view set, std::string_view look) {
    std::string path = "common/device_ico/";
    path.append(set);
    path.append("_");
    path.append(look);
    path.append(".png");
    return path;
}

class Strip : public ::testing::Test {
  protected:
    void SetUp() override {
        manager_.SetResourcePath(std::string(VEXTAR_SOURCE_SKIN) + "/");
        Callback callback;
        ui::CDialogBuilder builder;
        std::string error;
        auto root = builder.CreateFromString(kStrip, &callback, &manager_, &error);
        ASSERT_NE(root, nullptr) << error;
        manager_.AttachDialog(std::move(root));
        manager_.SetClientSize({800, 200});
        manager_.AddNotifier(&notes_);
        manager_.AddMessageHandler([this](uint32_t msg, uintptr_t w, intptr_t l, bool& handled) {
            if (msg == MSG_SHOW_DEVICE_OPTION) {
                posted_.emplace_back(static_cast<int>(w), static_cast<int>(l));
                handled = true;
            }
            return ui::LRESULT{0};
        });
        entry_ = dynamic_cast<CDeviceOptionUI*>(manager_.FindControl("entry"));
        power_ = dynamic_cast<CMpDevicePowerUI*>(manager_.FindControl("power"));
        ASSERT_NE(entry_, nullptr);
        ASSERT_NE(power_, nullptr);
        entry_->SetPage(&page_);
        entry_->SetStripIndex(2);
        entry_->SetPreviewControl(manager_.FindControl("preview"));
    }

    void Run(int64_t ms) {
        clock_.Advance(ms);
        manager_.ProcessTimers();
        manager_.ProcessMessages();
    }
    // Connects `page_` and runs up to the first frame tick.
    void Connect() {
        entry_->StartConnectTimer();
        Run(CDeviceOptionUI::kConnectDelayMs);
        Run(CDeviceOptionUI::kFirstFrameMs);
    }
    // The device icons painted for the entry.
    std::vector<std::string> PaintedIcons() {
        ui::RecordingRenderTarget target;
        manager_.Paint(target, {0, 0, 800, 200});
        std::vector<std::string> icons;
        for (const auto& call : target.calls) {
            if (call.what == "image" && call.text.starts_with("common/device_ico/")) {
                icons.push_back(call.text);
            }
        }
        return icons;
    }

    FakePage page_;
    platform::FakeClock clock_{1000};
    ui::CPaintManagerUI manager_{clock_};
    Notifications notes_;
    std::vector<std::pair<int, int>> posted_;
    CDeviceOptionUI* entry_ = nullptr;
    CMpDevicePowerUI* power_ = nullptr;
};

using Posted = std::vector<std::pair<int, int>>;

// ---- the power indicator ----

struct PowerCase {
    const char* what;
    int kind;
    std::vector<uint8_t> record;
    int progress;
    bool progressShown;
    const char* text;
    const char* status;
    bool logoShown;
    const char* phone;  // text id and picture of the phone; null: untouched
};

TEST_F(Strip, PowerRecordsShowLevelStateWirelessMarkAndPhone) {
    const std::vector<PowerCase> cases = {
        {"30 % charging by cable",
         2,
         {30, 1, 0, 0, 0, 0},
         70,
         true,
         "30%",
         "powering",
         false,
         nullptr},
        {"a level above 100 counts as full",
         2,
         {255, 0, 0, 0, 0, 0},
         0,
         true,
         "100%",
         "powered",
         false,
         nullptr},
        {"charging through the receiver",
         2,
         {80, 1, 0, 1, 0, 0},
         20,
         false,
         "80%",
         "powering",
         true,
         nullptr},
        {"keyboard on battery through the receiver",
         1,
         {55, 2, 0, 1, 0, 0},
         45,
         true,
         "55%",
         "power",
         true,
         nullptr},
        {"an unknown state keeps the last picture",
         1,
         {55, 9, 0, 0, 0, 0},
         45,
         true,
         "55%",
         "power",
         false,
         nullptr},
        {"the headset has no wireless mark",
         7,
         {10, 0, 0, 1, 0, 0},
         90,
         true,
         "10%",
         "powered",
         false,
         nullptr},
        {"mouse pad with a phone on it",
         3,
         {40, 0, 0, 0, 0, 1},
         60,
         true,
         "40%",
         "powered",
         false,
         "Phone_type_iphone"},
        {"", 3, {40, 0, 0, 0, 0, 2}, 60, true, "40%", "powered", false, "Phone_type_samsung"},
        {"", 3, {40, 0, 0, 0, 0, 3}, 60, true, "40%", "powered", false, "Phone_type_other"},
        {"", 3, {40, 0, 0, 0, 0, 7}, 60, true, "40%", "powered", false, "Phone_type_no_device"},
        {"a short record reads as padded with zeros",
         3,
         {90},
         10,
         true,
         "90%",
         "powered",
         false,
         "Phone_type_no_device"},
    };
    for (const PowerCase& c : cases) {
        SCOPED_TRACE(std::string(c.what) + " kind " + std::to_string(c.kind) + " phone byte " +
                     std::to_string(c.record.size() > 5 ? c.record[5] : 0));
        power_->SetKindAndVariant(c.kind, 0);
        const std::string phoneBefore = power_->PhoneType()->GetTextId();
        power_->Update(c.record);
        EXPECT_EQ(power_->Progress()->GetValue(), c.progress);
        EXPECT_EQ(power_->Progress()->IsVisible(), c.progressShown);
        EXPECT_EQ(power_->ValueLabel()->GetText(), c.text);
        EXPECT_EQ(ImageFile(power_->StatusImage()->GetBkImage()),
                  std::string("power/") + c.status + ".png");
        EXPECT_EQ(power_->WirelessLogo()->IsVisible(), c.logoShown);
        if (c.phone != nullptr) {
            EXPECT_EQ(power_->PhoneType()->GetTextId(), c.phone);
            EXPECT_EQ(ImageFile(power_->PhoneType()->GetBkImage()),
                      std::string("power/") + c.phone + ".png");
        } else {
            EXPECT_EQ(power_->PhoneType()->GetTextId(), phoneBefore);
        }
        // The layout still places the pictures.
        EXPECT_TRUE(ui::ParseImageDescription(power_->StatusImage()->GetBkImage()).dest);
    }
}

TEST_F(Strip, PowerIndicatorFollowsItsPageAndShowsThePhoneRowOnlyOnTheMousePad) {
    EXPECT_TRUE(power_->HasAllParts());
    EXPECT_FALSE(power_->PowerLayout()->IsVisible());
    page_.SetPowerIndicator(power_);
    page_.SetPowerReporting(true);
    EXPECT_TRUE(power_->PowerLayout()->IsVisible());
    page_.SetPowerReporting(false);
    EXPECT_FALSE(power_->PowerLayout()->IsVisible());

    power_->SetKindAndVariant(kKindMousePad, 0);
    EXPECT_TRUE(power_->PhoneType()->IsVisible());
    power_->SetKindAndVariant(kKindMouse, 0);
    EXPECT_FALSE(power_->PhoneType()->IsVisible());

    // What the page said before the indicator was in a window is kept.
    auto early = std::make_unique<CMpDevicePowerUI>();
    early->SetKindAndVariant(kKindMousePad, 0);
    early->SetPowerReporting(true);
    auto* row = dynamic_cast<ui::CContainerUI*>(power_->GetParent());
    auto* added = dynamic_cast<CMpDevicePowerUI*>(row->Add(std::move(early)));
    ASSERT_NE(added, nullptr);
    ASSERT_TRUE(added->HasAllParts());
    EXPECT_TRUE(added->PowerLayout()->IsVisible());
    EXPECT_TRUE(added->PhoneType()->IsVisible());
}

TEST_F(Strip, PowerIndicatorChangesNothingUntilAllSixPartsExist) {
    auto* partial = dynamic_cast<CMpDevicePowerUI*>(manager_.FindControl("partial"));
    ASSERT_NE(partial, nullptr);
    EXPECT_FALSE(partial->HasAllParts());  // no "device_phone_type"
    const std::array<uint8_t, 6> record{30, 0, 0, 1, 0, 1};
    partial->SetKindAndVariant(kKindMouse, 0);
    partial->SetPowerRecord(record);
    partial->SetPowerReporting(false);
    EXPECT_EQ(partial->ValueLabel()->GetText(), "-");
    EXPECT_EQ(partial->Progress()->GetValue(), 50);
    EXPECT_TRUE(partial->WirelessLogo()->IsVisible());
    EXPECT_TRUE(partial->PowerLayout()->IsVisible());

    // Not in a window at all: nothing to change, nothing breaks.
    CMpDevicePowerUI loose;
    loose.Update(record);
    EXPECT_FALSE(loose.HasAllParts());
}

// ---- the entry's look ----

TEST_F(Strip, KindAndVariantChooseTheIconSet) {
    // A new entry shows the unknown device.
    EXPECT_EQ(entry_->IconSet(), "unknow_device");
    EXPECT_EQ(ImageFile(entry_->SelectOption()->GetNormalImage()), Icon("unknow_device", "normal"));
    EXPECT_EQ(entry_->SelectOption()->GetTextId(), "unknow_device_name_text");

    struct Case {
        int kind;
        int variant;
        const char* set;  // null: the set before stays
    };
    const std::vector<Case> cases = {
        {1, 0, "kb_device"},      {2, 0, "ms_device"},     {3, 0, "hard_mp_device"},
        {3, 1, "soft_mp_device"}, {3, 2, nullptr},         {4, 0, "hd_device"},
        {7, 0, "hd_device"},      {5, 0, "hub_device"},    {6, 0, "unknow_device"},
        {9, 1, "unknow_device"},  {0, 0, "unknow_device"}, {42, 0, "unknow_device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + "/" + std::to_string(c.variant));
        entry_->SetKindAndVariant(2, 0);
        entry_->SetKindAndVariant(c.kind, c.variant);
        const std::string set = c.set != nullptr ? c.set : "ms_device";
        EXPECT_EQ(entry_->IconSet(), set);
        EXPECT_EQ(entry_->Icons().normal, Icon(set, "normal"));
        EXPECT_EQ(entry_->Icons().selected, Icon(set, "selected"));
        EXPECT_EQ(entry_->Icons().synchroNormal, Icon(set, "synchro_normal"));
        EXPECT_EQ(entry_->Icons().synchroSelected, Icon(set, "synchro_selected"));
        EXPECT_EQ(ImageFile(entry_->SelectOption()->GetNormalImage()), Icon(set, "normal"));
        EXPECT_EQ(entry_->SelectOption()->GetTextId(), set + "_name_text");
    }
    // The skin places the icon; only the file changes.
    EXPECT_EQ(ui::ParseImageDescription(entry_->SelectOption()->GetNormalImage()).dest,
              (ui::UiRect{4, 6, 48, 50}));
}

TEST_F(Strip, SynchroniseIsSilentAndSwapsTheIconsSelectNotifies) {
    entry_->SetVisible(true);
    entry_->SetKindAndVariant(kKindKeyboard, 0);
    EXPECT_EQ(PaintedIcons(), std::vector<std::string>{Icon("kb_device", "normal")});

    entry_->SetSynchronise(true);
    EXPECT_TRUE(entry_->IsSynchronised());
    EXPECT_TRUE(entry_->SynchroOption()->IsSelected());
    EXPECT_EQ(PaintedIcons(), std::vector<std::string>{Icon("kb_device", "synchro_normal")});
    entry_->Select(true);
    EXPECT_TRUE(entry_->IsSelected());
    EXPECT_EQ(PaintedIcons(), std::vector<std::string>{Icon("kb_device", "synchro_selected")});
    // A kind chosen while synchronised keeps the synchro look.
    entry_->SetKindAndVariant(kKindMouse, 0);
    EXPECT_EQ(PaintedIcons(), std::vector<std::string>{Icon("ms_device", "synchro_selected")});

    entry_->SetSynchronise(false);
    EXPECT_FALSE(entry_->IsSynchronised());
    EXPECT_EQ(PaintedIcons(), std::vector<std::string>{Icon("ms_device", "selected")});

    manager_.ProcessMessages();
    EXPECT_EQ(notes_.seen, std::vector<std::string>{"device_select selectchanged"});
}

TEST_F(Strip, EntrySelectsItsPageInItsGroupAndKeepsItsPowerPage) {
    auto* other = dynamic_cast<CDeviceOptionUI*>(manager_.FindControl("other_entry"));
    ASSERT_NE(other, nullptr);
    entry_->SetVisible(true);
    other->SetVisible(true);
    entry_->SetGroup("device_select_group");
    other->SetGroup("device_select_group");
    entry_->BindTab("device_switch", 2);
    other->BindTab("device_switch", 1);
    EXPECT_EQ(entry_->BoundTabName(), "device_switch");
    EXPECT_EQ(entry_->BoundTabIndex(), 2);

    ui::CUserActions user(manager_);
    ASSERT_TRUE(user.Click(entry_->SelectOption()));
    auto* tabs = dynamic_cast<ui::CTabLayoutUI*>(manager_.FindControl("device_switch"));
    EXPECT_EQ(tabs->GetCurSel(), 2);
    ASSERT_TRUE(user.Click(other->SelectOption()));
    EXPECT_EQ(tabs->GetCurSel(), 1);
    EXPECT_TRUE(other->IsSelected());
    EXPECT_FALSE(entry_->IsSelected());

    entry_->SetNameText("VX wireless");
    EXPECT_EQ(entry_->NameLabel()->GetText(), "VX wireless");

    EXPECT_EQ(entry_->PowerPageName(), "device_power_switch");
    EXPECT_EQ(entry_->PowerPageIndex(), -1);
    entry_->SetPowerPage("device_power_switch", 3);
    entry_->SetPowerPage("device_power_switch", -1);
    EXPECT_EQ(entry_->PowerPageIndex(), 3);
}

TEST_F(Strip, AnEntryWithoutItsPartsDoesNothing) {
    auto* bare = dynamic_cast<CDeviceOptionUI*>(manager_.FindControl("bare"));
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->SelectOption(), nullptr);
    bare->SetKindAndVariant(kKindMouse, 0);
    bare->SetSynchronise(true);
    bare->Select(true);
    bare->BindTab("device_switch", 1);
    bare->SetGroup("g");
    bare->SetNameText("x");
    EXPECT_FALSE(bare->IsSynchronised());
    EXPECT_FALSE(bare->IsSelected());
    EXPECT_EQ(bare->BoundTabIndex(), -1);
    EXPECT_EQ(bare->BoundTabName(), "");
    EXPECT_EQ(bare->IconSet(), "ms_device");
}

TEST_F(Strip, PageAndEntryAreLinkedBothWaysUntilTheEntryGoes) {
    EXPECT_EQ(page_.GetSelectorEntry(), entry_);
    EXPECT_EQ(entry_->Page(), &page_);
    auto* layout = dynamic_cast<ui::CContainerUI*>(manager_.FindControl("device_select_layout"));
    ASSERT_TRUE(layout->Remove(entry_));
    EXPECT_EQ(page_.GetSelectorEntry(), nullptr);
}

TEST(StripClasses, ShortNamesForTheCallbackFullNamesForTheFactory) {
    EXPECT_EQ(CreateAppControl("DeviceOption")->GetClass(), "DeviceOption");
    EXPECT_EQ(CreateAppControl("MpDevicePower")->GetClass(), "MpDevicePower");
    EXPECT_EQ(CreateAppControl("Option"), nullptr);
    RegisterAppControls();
    EXPECT_EQ(ui::CControlFactory::Instance().CreateControl("CDeviceOptionUI")->GetClass(),
              "DeviceOption");
    EXPECT_EQ(ui::CControlFactory::Instance().CreateControl("CMpDevicePowerUI")->GetClass(),
              "MpDevicePower");
}

// ---- the entry's timers ----

TEST_F(Strip, ConnectThroughAReceiverWaitsForItsDevice) {
    page_.ThroughReceiver(true);
    page_.SetPowerReporting(true);
    page_.reachable = 0;
    entry_->StartConnectTimer();
    Run(CDeviceOptionUI::kConnectDelayMs - 1);
    EXPECT_EQ(page_.reachQueries, 0);
    Run(1);
    // Hidden and out of reach: nothing to tell the window, ask again later.
    EXPECT_EQ(page_.reachQueries, 1);
    EXPECT_EQ(entry_->RetryCount(), 1);
    EXPECT_EQ(posted_, Posted{});
    EXPECT_EQ(page_.connects, 0);
    Run(CDeviceOptionUI::kConnectRetryMs - 1);
    EXPECT_EQ(page_.reachQueries, 1);
    Run(1);
    EXPECT_EQ(page_.reachQueries, 2);
    EXPECT_FALSE(entry_->IsShown());

    // Shown (the device was there before): the window is told to hide it.
    entry_->SetVisible(true);
    Run(CDeviceOptionUI::kConnectRetryMs);
    EXPECT_EQ(posted_, (Posted{{2, 0}}));
    EXPECT_EQ(page_.connects, 0);
    EXPECT_EQ(page_.frames, 0);

    page_.reachable = 1;
    Run(CDeviceOptionUI::kConnectRetryMs);
    EXPECT_EQ(posted_, (Posted{{2, 0}, {2, 1}}));
    EXPECT_EQ(page_.connects, 1);
    EXPECT_EQ(entry_->RetryCount(), 0);
    const int queries = page_.reachQueries;

    // Frame tick after 5 ms, power after 50, the wireless check after 2 s.
    Run(CDeviceOptionUI::kFirstFrameMs);
    EXPECT_EQ(page_.frames, 1);
    Run(CDeviceOptionUI::kFirstPowerMs - CDeviceOptionUI::kFirstFrameMs);
    EXPECT_EQ(page_.powerReads, 1);
    EXPECT_EQ(page_.reachQueries, queries);
    Run(CDeviceOptionUI::kFirstWirelessCheckMs - CDeviceOptionUI::kFirstPowerMs);
    EXPECT_EQ(page_.reachQueries, queries + 1);
    // Power again every 5 s; connected once only.
    Run(CDeviceOptionUI::kPowerPollMs);
    EXPECT_EQ(page_.powerReads, 2);
    EXPECT_EQ(page_.connects, 1);
}

TEST_F(Strip, RetryCounterWrapsAtTwenty) {
    page_.ThroughReceiver(true);
    page_.reachable = 0;
    entry_->StartConnectTimer();
    Run(CDeviceOptionUI::kConnectDelayMs);
    for (int i = 1; i < CDeviceOptionUI::kRetryWrap; ++i) {
        Run(CDeviceOptionUI::kConnectRetryMs);
    }
    EXPECT_EQ(page_.reachQueries, 20);
    EXPECT_EQ(entry_->RetryCount(), 0);
}

TEST_F(Strip, ConnectAfterTheLinkClosedDoesNotConnect) {
    struct Case {
        const char* what;
        bool receiver;
        bool closedBefore;
        bool goneWhileAsked;
        Posted posted;
    };
    const std::vector<Case> cases = {
        {"cable, closed before the step", false, true, false, {}},
        {"receiver, closed before the step", true, true, false, {}},
        {"receiver, device gone while asked", true, false, true, {{2, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        page_.connects = page_.frames = page_.powerReads = 0;
        posted_.clear();
        page_.SetPowerReporting(true);
        page_.ThroughReceiver(c.receiver);
        page_.SetLinkOpen(!c.closedBefore);
        page_.goneWhileAsked = c.goneWhileAsked;
        entry_->StartConnectTimer();
        Run(CDeviceOptionUI::kConnectDelayMs);
        Run(CDeviceOptionUI::kFirstWirelessCheckMs);
        Run(CDeviceOptionUI::kConnectRetryMs);
        EXPECT_EQ(page_.connects, 0);
        EXPECT_EQ(page_.frames, 0);
        EXPECT_EQ(page_.powerReads, 0);
        EXPECT_EQ(posted_, c.posted);
        EXPECT_EQ(manager_.NextTimerDelay(), -1);
    }
}

TEST_F(Strip, FrameTickRunsWhileTheLinkIsOpen) {
    struct Case {
        bool receiver;
        uint32_t period;
    };
    for (const Case c : {Case{false, CDeviceOptionUI::kFrameCableMs},
                         Case{true, CDeviceOptionUI::kFrameReceiverMs}}) {
        SCOPED_TRACE(c.receiver ? "receiver" : "cable");
        page_.frames = 0;
        page_.ThroughReceiver(c.receiver);
        page_.SetLinkOpen(true);
        Connect();
        EXPECT_EQ(page_.frames, 1);
        // Once a period; the ticks keep to the clock's multiples of the
        // period, so that every device's tick comes in the same wake-up.
        for (int i = 0; i < 10; ++i) {
            Run(c.period);
        }
        EXPECT_EQ(page_.frames, 11);
        EXPECT_EQ((clock_.NowMs() + manager_.NextTimerDelay()) % c.period, 0);

        // The tick in flight is the last one.
        page_.SetLinkOpen(false);
        Run(c.period);
        EXPECT_EQ(page_.frames, 12);
        for (int i = 0; i < 10; ++i) {
            Run(c.period);
        }
        EXPECT_EQ(page_.frames, 12);
        manager_.KillTimers(entry_);
    }
}

TEST_F(Strip, FrameTickRepaintsThePreviewOfTheSelectedPreviewingEntry) {
    entry_->SetVisible(true);
    manager_.UpdateLayout();
    const ui::UiRect preview = manager_.FindControl("preview")->GetPos();
    ASSERT_FALSE(preview.IsEmpty());
    Connect();
    auto repainted = [&] {
        (void)manager_.TakeInvalidRect();
        Run(CDeviceOptionUI::kFrameCableMs);
        return manager_.InvalidRect().Intersects(preview);
    };
    EXPECT_FALSE(repainted());  // not selected
    entry_->Select(true);
    EXPECT_TRUE(repainted());
    page_.SetPreview(false);
    EXPECT_FALSE(repainted());
}

TEST_F(Strip, WirelessCheckTellsTheWindowWhenTheDeviceComesAndGoes) {
    page_.ThroughReceiver(true);
    page_.SetPowerReporting(true);
    EXPECT_TRUE(entry_->StartWirelessCheck(CDeviceOptionUI::kWirelessCheckMs));
    Run(CDeviceOptionUI::kWirelessCheckMs);
    EXPECT_EQ(posted_, (Posted{{2, 1}}));
    EXPECT_EQ(page_.powerReads, 1);

    entry_->SetVisible(true);
    Run(CDeviceOptionUI::kWirelessCheckMs);  // reachable and shown: nothing
    page_.reachable = 0;
    Run(CDeviceOptionUI::kWirelessCheckMs);
    EXPECT_EQ(posted_, (Posted{{2, 1}, {2, 0}}));
    EXPECT_EQ(page_.reachQueries, 3);

    page_.SetLinkOpen(false);
    Run(CDeviceOptionUI::kWirelessCheckMs);
    Run(CDeviceOptionUI::kWirelessCheckMs);
    EXPECT_EQ(page_.reachQueries, 4);
    EXPECT_FALSE(entry_->StartWirelessCheck(CDeviceOptionUI::kWirelessCheckMs));
}

TEST_F(Strip, DeferredTimersCallThePageOnce) {
    const std::vector<std::pair<uint32_t, std::string>> cases = {
        {CDeviceOptionUI::kTimerResync, "resync"},
        {CDeviceOptionUI::kTimerDeferred1, "deferred1"},
        {CDeviceOptionUI::kTimerDeferred2, "deferred2"},
    };
    for (const auto& [id, call] : cases) {
        page_.calls.clear();
        manager_.SetTimer(entry_, id, 100);
        Run(100);
        Run(100);
        EXPECT_EQ(page_.calls, std::vector<std::string>{call});
    }
}

}  // namespace
}  // namespace vextar::app

#include "app/main_wnd.h"

#include "app/device_option.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "app/registered_messages.h"
#include "app/resources.h"
#include "app/window_messages.h"
#include "device/mouse/varnic_mouse_device.h"
#include "fake_windows.h"
#include "profile/paths.h"
#include "support/settings_files.h"
#include "ui/resource_manager.h"
#include "ui/user_actions.h"
#include "ui/widgets/widgets.h"
#include "vextar_version.h"

namespace vextar::app {
namespace {

namespace fs = std::filesystem;

std::string SourceSkin() {
    return (fs::path(VEXTAR_SOURCE_DEFAULT_DATA).parent_path() / "skin").string() + "/";
}

// The main window over a fake window system, a fake bus and a fake settings
// store, with the real skin and language files, timers on a fake clock.
class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        paths::SetDataRoot(data_.Path());
        paths::SetDefaultDataFolder(VEXTAR_SOURCE_DEFAULT_DATA);
        ui::RegisterWidgetClasses();
        ASSERT_TRUE(ResourceIndex().Load(SourceSkin(), nullptr));
        ui::CResourceManager::Instance().Clear();
        parts_.windows = &windows_;
        parts_.bus = &bus_;
        parts_.settings = &settings_;
        parts_.skinFolder = SourceSkin();
        parts_.languageConfig = std::string(VEXTAR_SOURCE_DEFAULT_DATA) + "/Language.config";
        parts_.skinIni = data_.Path() + "main.ini";
        parts_.clock = &clock_;
        parts_.windowHandle = 4242;
    }
    void TearDown() override {
        wnd_.reset();
        ui::CResourceManager::Instance().Clear();
        paths::SetDataRoot("");
        paths::SetDefaultDataFolder("");
    }

    CMainWnd& Start() {
        wnd_ = std::make_unique<CMainWnd>(parts_);
        std::string error;
        EXPECT_TRUE(wnd_->Create(&error)) << error;
        return *wnd_;
    }
    test::FakeView& View() { return *dynamic_cast<test::FakeView*>(wnd_->View()); }
    void RunTimers(int64_t ms) {
        clock_.Advance(ms);
        wnd_->Manager().ProcessTimers();
        wnd_->Manager().ProcessMessages();
    }
    intptr_t Send(uint32_t msg, uintptr_t w = 0, intptr_t l = 0) {
        return wnd_->Manager().SendMessage(msg, w, l);
    }
    bool Click(std::string_view name) {
        ui::CUserActions user(wnd_->Manager());
        return user.Click(wnd_->Manager().FindControl(name));
    }
    std::string Text(std::string_view name) {
        const ui::CControlUI* c = wnd_->Manager().FindControl(name);
        return c != nullptr ? c->GetText() : "<none>";
    }

    test::TempFolder data_;
    test::FakeWindowSystem windows_;
    test::FakeBus bus_;
    test::FakeSettings settings_;
    platform::FakeClock clock_{1000};
    MainWndParts parts_;
    std::unique_ptr<CMainWnd> wnd_;
};

TEST_F(MainWindow, StartsInOrderShowsNoDeviceLinkAndStopsCleanly) {
    CMainWnd& wnd = Start();
    // The tray before the view, the light broadcast, the window shown with
    // no device, then the DPI step 100 ms later.
    EXPECT_EQ(windows_.log.at(0), "tray VEXTAR");
    EXPECT_EQ(windows_.log.at(1), "view MainWnd");
    ASSERT_EQ(bus_.broadcasts.size(), 1U);
    EXPECT_EQ(bus_.broadcasts[0].name, kLightControlBroadcastName);
    EXPECT_EQ(bus_.broadcasts[0].w, 1);
    EXPECT_EQ(bus_.broadcasts[0].l, 1);
    EXPECT_TRUE(wnd.Initialised());
    EXPECT_TRUE(View().visible);
    EXPECT_TRUE(wnd.Manager().FindControl("No_device_Link")->IsVisible());
    EXPECT_EQ(wnd.CurrentPage(), nullptr);
    ASSERT_EQ(wnd.MousePages().size(), 1U);
    EXPECT_FALSE(wnd.Manager().FindControl("device_switch")->IsVisible());
    EXPECT_FALSE(wnd.Entry(0)->IsVisible());
    EXPECT_EQ(wnd.MousePages()[0]->GetTypeName(), "mouse");
    EXPECT_EQ(wnd.ScreenSize(), (ui::UiSize{1920, 1080}));
    // Language 0 applied at start (nothing stored), and stored.
    EXPECT_EQ(wnd.CurrentLanguage(), 0);
    EXPECT_EQ(settings_.values.at("LANGUAGE"), 1033);

    EXPECT_EQ(View().rect.Width(), 800);
    RunTimers(100);
    EXPECT_EQ(wnd.WindowDpi(), 144);
    EXPECT_EQ(View().rect.Width(), 1500);
    EXPECT_EQ(View().rect.Height(), 960);

    // A worker that waits on its stop token is stopped and joined at exit.
    std::atomic<bool> stopped{false};
    ASSERT_TRUE(wnd.Workers().Start(CWorkerSlots::kDiscoverySlot, [&](std::stop_token token) {
        while (!token.stop_requested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        stopped = true;
    }));
    windows_.log.clear();
    wnd.Exit();
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(wnd.Workers().Running(CWorkerSlots::kDiscoverySlot));
    const std::vector<std::string> order{"MainWnd close", "tray deleted", "quit 0"};
    EXPECT_EQ(windows_.log, order);
    // Senders from other threads no longer wait on a window that is gone.
    std::thread late([&] { EXPECT_EQ(wnd.Manager().SendMessage(WM_USER + 7), 0); });
    late.join();
}

TEST_F(MainWindow, DpiStepFollowsTheMonitor) {
    struct Case {
        int w, h, dpi;
    };
    for (const Case c : {Case{1920, 1080, 144}, Case{1366, 768, 96}, Case{1600, 900, 96},
                         Case{2560, 1440, 144}, Case{1500, 961, 96}}) {
        EXPECT_EQ(DpiForMonitor(c.w, c.h), c.dpi) << c.w << "x" << c.h;
    }
    windows_.monitor = {0, 0, 1366, 768};
    CMainWnd& wnd = Start();
    // Hidden before the step: it stays hidden after it.
    View().visible = false;
    RunTimers(100);
    EXPECT_EQ(wnd.WindowDpi(), 96);
    EXPECT_EQ(View().rect.Width(), 1000);
    EXPECT_EQ(View().rect.Height(), 640);
    EXPECT_FALSE(View().visible);
    // A display change repeats it.
    Send(WM_DISPLAYCHANGE);
    EXPECT_EQ(View().rect.Width(), 1000);
}

TEST_F(MainWindow, CloseHidesAndTheTrayBringsItBack) {
    CMainWnd& wnd = Start();
    RunTimers(100);
    ASSERT_TRUE(Click("closebtn"));
    EXPECT_FALSE(View().visible);
    EXPECT_FALSE(windows_.quitCode.has_value());
    windows_.trayClick(kTrayLeftButtonUp);
    wnd.Manager().ProcessMessages();
    EXPECT_TRUE(View().visible);
    EXPECT_EQ(View().rect.Width(), 1500);
    // Right button: the menu 10 ms later; "about_menu" opens the about box.
    windows_.menuChoice = "about_menu";
    windows_.trayClick(kTrayRightButtonUp);
    wnd.Manager().ProcessMessages();
    RunTimers(10);
    EXPECT_EQ(windows_.modalRuns, 1);
    // "exit" ends the program.
    windows_.menuChoice = "exit";
    windows_.trayClick(kTrayRightButtonUp);
    wnd.Manager().ProcessMessages();
    RunTimers(10);
    EXPECT_EQ(windows_.quitCode, 0);
}

TEST_F(MainWindow, TrayMenuListsTheLanguagesAndAppliesTheChoice) {
    CMainWnd& wnd = Start();
    windows_.menuChoice = "language_1";
    windows_.trayClick(kTrayRightButtonUp);
    wnd.Manager().ProcessMessages();
    RunTimers(10);
    EXPECT_NE(windows_.menuXml.find("简体中文"), std::string::npos);
    EXPECT_NE(windows_.menuXml.find("name=\"exit\""), std::string::npos);
    wnd.Manager().ProcessMessages();
    EXPECT_EQ(wnd.CurrentLanguage(), 1);
    EXPECT_EQ(settings_.values.at("LANGUAGE"), 2052);
    // Names that only look like a language item do nothing.
    for (const char* item : {"language_", "language_x", "language_99999"}) {
        wnd.PostMenuCommand(item);
        wnd.Manager().ProcessMessages();
    }
    EXPECT_EQ(wnd.CurrentLanguage(), 1);
}

TEST_F(MainWindow, WithoutATrayCloseMinimises) {
    windows_.trayAvailable = false;
    Start();
    RunTimers(100);
    ASSERT_TRUE(Click("closebtn"));
    EXPECT_TRUE(View().visible);
    EXPECT_TRUE(View().minimised);
}

TEST_F(MainWindow, TrayMenuStaysClearOfTheTaskbar) {
    Start();
    windows_.taskbar = ui::UiRect{0, 1040, 1920, 1080};
    windows_.trayClick(kTrayRightButtonUp);
    wnd_->Manager().ProcessMessages();
    RunTimers(10);
    EXPECT_EQ(windows_.menuAt.y, 1020);
    EXPECT_EQ(windows_.menuAt.x, 500);
}

TEST_F(MainWindow, ActivationFromASecondStartBringsItForward) {
    Start();
    View().visible = false;
    windows_.log.clear();
    Send(Messages().activateInstance, 0, 1);
    EXPECT_TRUE(View().visible);
    EXPECT_NE(std::find(windows_.log.begin(), windows_.log.end(), "MainWnd front"),
              windows_.log.end());
}

TEST_F(MainWindow, LightControlTogglesAndFollowsRequests) {
    CMainWnd& wnd = Start();
    bus_.broadcasts.clear();
    ASSERT_TRUE(Click("control_light_status"));
    ASSERT_TRUE(Click("control_light_status"));
    ASSERT_EQ(bus_.broadcasts.size(), 2U);
    EXPECT_EQ(bus_.broadcasts[0].l, 0);
    EXPECT_EQ(bus_.broadcasts[1].l, 1);
    EXPECT_EQ(wnd.LightControl(), 1);
    EXPECT_TRUE(wnd.MousePages()[0]->IsSoftwareLighting());

    // Requests set the flag without a broadcast; other values are ignored.
    Send(Messages().lightControlRequest, 1, 0);
    EXPECT_EQ(wnd.LightControl(), 0);
    EXPECT_FALSE(wnd.MousePages()[0]->IsSoftwareLighting());
    EXPECT_EQ(Text("control_light_status"),
              ui::CResourceManager::Instance().GetText("uncontrol_light_text"));
    Send(Messages().lightControlRequest, 2, 1);
    Send(Messages().lightControlRequest, 1, 7);
    EXPECT_EQ(wnd.LightControl(), 0);
    EXPECT_EQ(bus_.broadcasts.size(), 2U);
}

TEST_F(MainWindow, ToolQueryAnswersTheToolWindowByteForByte) {
    Start();
    Send(Messages().toolQuery);
    EXPECT_TRUE(bus_.copies.empty());  // no "WorkTool" yet
    bus_.windows.push_back("WorkTool");
    Send(Messages().toolQuery);
    ASSERT_EQ(bus_.copies.size(), 1U);
    const auto& copy = bus_.copies[0];
    EXPECT_EQ(copy.dwData, 5U);
    EXPECT_EQ(copy.wParam, 4242);
    ASSERT_EQ(copy.payload.size(), 1024U);
    const uint32_t expected[] = {2,      3, 0,      2,      4, 0x320F, 0x7074, 2, 0x320F,
                                 0x505B, 1, 0x320F, 0x1004, 3, 0x0C76, 0x1630, 7};
    std::vector<uint8_t> bytes(1024, 0);
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        for (int b = 0; b < 4; ++b) {
            bytes[i * 4 + b] = static_cast<uint8_t>(expected[i] >> (8 * b));
        }
    }
    EXPECT_EQ(copy.payload, bytes);
}

TEST_F(MainWindow, CopyDataIsCheckedByKindOriginAndSize) {
    CMainWnd& wnd = Start();
    std::vector<uint8_t> spectrum(2000), six(6), five(5);
    struct Case {
        uint32_t kind;
        std::span<const uint8_t> data;
        CopyDataOrigin origin;
        intptr_t accepted;
    };
    const Case cases[] = {
        {1, spectrum, CopyDataOrigin::Internal, 1},
        {1, spectrum, CopyDataOrigin::Outside, 1},  // taken, then refused inside
        {2, six, CopyDataOrigin::Outside, 1},
        {2, five, CopyDataOrigin::Outside, 1},
        {3, {}, CopyDataOrigin::Outside, 1},
    };
    for (const Case& c : cases) {
        CopyDataStruct data{c.kind, c.data, c.origin};
        EXPECT_EQ(Send(WM_COPYDATA, 0, reinterpret_cast<intptr_t>(&data)), c.accepted);
    }
    EXPECT_EQ(Send(WM_COPYDATA, 0, 0), 0);  // no payload at all
    EXPECT_TRUE(wnd.IsAwake());
}

TEST_F(MainWindow, WhileAsleepOnlyDevicesAndHookRemovalGetThrough) {
    CMainWnd& wnd = Start();
    Send(WM_POWERBROADCAST, PBT_APMSUSPEND);
    EXPECT_FALSE(wnd.IsAwake());
    EXPECT_FALSE(wnd.MousePages()[0]->IsSoftwareLighting());
    struct Case {
        uint32_t msg;
        uintptr_t w;
        bool gated;
    };
    const Case cases[] = {
        {Messages().activateInstance, 0, true},
        {Messages().lightControlRequest, 1, true},
        {Messages().toolQuery, 0, true},
        {Messages().hook[0], 0, true},
        {Messages().game[0], 0, true},
        {MSG_TRAY_NOTIFY, 107, true},
        {MSG_LANGUAGE_CHANGED, 1, true},
        {MSG_HOOK_CONTROL, 1, true},
        {WM_TIMER, 0, true},
        {WM_COPYDATA, 0, true},
        {WM_DISPLAYCHANGE, 0, true},
        {MSG_DEVICE_ARRIVED, 4, false},
        {MSG_DEVICE_REMOVED, 4, false},
        {MSG_HOOK_CONTROL, 0, false},
        {WM_ACTIVATE, 1, false},
        {WM_POWERBROADCAST, 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wnd.IsGatedWhileAsleep(c.msg, c.w), c.gated) << c.msg << " " << c.w;
    }
    // And for real: nothing reaches the handlers.
    bus_.windows.push_back("WorkTool");
    View().visible = false;
    Send(Messages().toolQuery);
    Send(Messages().activateInstance, 0, 1);
    Send(Messages().lightControlRequest, 1, 0);
    Send(MSG_LANGUAGE_CHANGED, 1);
    RunTimers(100);  // the DPI step waits
    EXPECT_TRUE(bus_.copies.empty());
    EXPECT_FALSE(View().visible);
    EXPECT_EQ(wnd.LightControl(), 1);
    EXPECT_EQ(wnd.CurrentLanguage(), 0);
    EXPECT_EQ(View().rect.Width(), 800);

    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    EXPECT_TRUE(wnd.IsAwake());
    EXPECT_TRUE(wnd.MousePages()[0]->IsSoftwareLighting());
    RunTimers(100);
    EXPECT_EQ(View().rect.Width(), 1500);
}

TEST_F(MainWindow, LanguageFollowsTheStoredChoiceAndTheLanguageMessage) {
    settings_.values["LANGUAGE"] = 2052;
    CMainWnd& wnd = Start();
    EXPECT_EQ(wnd.CurrentLanguage(), 1);
    EXPECT_EQ(Text("control_light_status"), "控制灯光");
    Send(MSG_LANGUAGE_CHANGED, 0);
    EXPECT_EQ(wnd.CurrentLanguage(), 0);
    EXPECT_EQ(settings_.values.at("LANGUAGE"), 1033);
    EXPECT_EQ(Text("no_device_title"),
              ui::CResourceManager::Instance().GetText("no_device_link_text"));
    // A language that does not exist changes nothing.
    Send(MSG_LANGUAGE_CHANGED, 99);
    EXPECT_EQ(wnd.CurrentLanguage(), 0);
    EXPECT_EQ(settings_.values.at("LANGUAGE"), 1033);
}

TEST_F(MainWindow, MessageBoxAnswersAndKeepsTheMainWindowsDpi) {
    CMainWnd& wnd = Start();
    RunTimers(100);
    ASSERT_EQ(wnd.WindowDpi(), 144);
    struct Case {
        std::string press;  // a button, or "escape" or "close"
        MsgButtons buttons;
        int result;
    };
    const Case cases[] = {
        {"confirm_btn", MsgButtons::Question, 1}, {"cancel_btn", MsgButtons::Question, 0},
        {"closebtn", MsgButtons::Question, 0},    {"escape", MsgButtons::Question, 0},
        {"close", MsgButtons::Question, 0},       {"confirm_btn", MsgButtons::Notice, 1},
    };
    for (const Case& c : cases) {
        bool cancelShown = true;
        int dpi = 0;
        windows_.modalScript = [&](CAppWindow& box) {
            cancelShown = box.Manager().FindControl("cancel_btn")->IsVisible();
            dpi = box.Manager().GetDPI();
            if (c.press == "escape") {
                box.OnEscape();
            } else if (c.press == "close") {
                box.View()->Close();
            } else {
                ui::CUserActions(box.Manager()).Click(box.Manager().FindControl(c.press));
            }
        };
        EXPECT_EQ(wnd.ShowMessage("message_text_22", c.buttons), c.result) << c.press;
        EXPECT_EQ(cancelShown, c.buttons == MsgButtons::Question);
        EXPECT_EQ(dpi, 144);
    }
    // A DPI that is no step: 96 for the box, the main window keeps its own.
    int dpi = 0;
    std::string title, text;
    windows_.modalScript = [&](CAppWindow& box) {
        dpi = box.Manager().GetDPI();
        title = box.Manager().FindControl("MessageTitle")->GetText();
        text = box.Manager().FindControl("MessageText")->GetText();
    };
    EXPECT_EQ(CMsgWnd::Show(windows_, &wnd, "", "message_text_4", 110, true, MsgButtons::Notice),
              0);
    EXPECT_EQ(dpi, 96);
    EXPECT_EQ(wnd.Manager().GetDPI(), 144);
    EXPECT_EQ(title, ui::CResourceManager::Instance().GetText("msg_title_text"));
    EXPECT_EQ(text, ui::CResourceManager::Instance().GetText("message_text_4"));
}

TEST_F(MainWindow, FormattedMessageReplacesOnlyItsNumber) {
    EXPECT_EQ(FormatNumberText("%s %d %d %n", 3), "%s 3 %d %n");
    CMainWnd& wnd = Start();
    std::string text;
    windows_.modalScript = [&](CAppWindow& box) {
        text = box.Manager().FindControl("MessageText")->GetText();
    };
    wnd.ShowFormattedMessage("message_text_16", 3);
    EXPECT_NE(text.find('3'), std::string::npos);
    EXPECT_EQ(text.find("%d"), std::string::npos);
}

TEST_F(MainWindow, AboutBoxShowsTheVersionAndOpensOnce) {
    CMainWnd& wnd = Start();
    std::string version;
    windows_.modalScript = [&](CAppWindow& about) {
        version = about.Manager().FindControl("software_ver_label")->GetText();
        wnd.ShowAbout();  // a second request while it is open
    };
    wnd.ShowAbout();
    EXPECT_EQ(windows_.modalRuns, 1);
    EXPECT_NE(version.find(VEXTAR_VERSION_STRING), std::string::npos);
    EXPECT_EQ(version.rfind(ui::CResourceManager::Instance().GetText("software_rev_text"), 0), 0U);
}

TEST_F(MainWindow, SkinPickerChangesTheBackgroundAndRecordsIt) {
    CMainWnd& wnd = Start();
    ui::CControlUI* root = wnd.Manager().FindControl("root");
    ASSERT_TRUE(Click("skinbtn"));
    EXPECT_NE(std::find(windows_.log.begin(), windows_.log.end(), "view UISkinFrame"),
              windows_.log.end());
    // Drive the picker directly: a colour tile, an image tile, a reset and
    // a custom file (cancelled, then chosen).
    CSkinFrame frame(windows_, parts_.skinIni);
    frame.Manager().SetResourcePath(SourceSkin());
    ASSERT_TRUE(frame.Init(nullptr));
    ui::CUserActions user(frame.Manager());
    frame.Manager().SetClientSize({300, 200});
    frame.Manager().UpdateLayout();
    ASSERT_TRUE(user.Click(frame.Manager().FindControl("skin_color")));
    ASSERT_TRUE(user.Click(frame.Manager().FindControl("skin_color_btn")));
    EXPECT_EQ(root->GetBkColor(), 0xFF15181DU);
    EXPECT_EQ(root->GetBkImage(), "");
    ASSERT_TRUE(user.Click(frame.Manager().FindControl("skin_image")));
    ASSERT_TRUE(user.Click(frame.Manager().FindControl("skin_image_btn")));
    EXPECT_EQ(root->GetBkColor(), 0U);
    EXPECT_EQ(root->GetBkImage(), "common/background.png");
    EXPECT_EQ(ReadStoredSkin(parts_.skinIni)->image, "common/background.png");
    windows_.chosenFile.reset();
    ASSERT_TRUE(user.Click(frame.Manager().FindControl("skin_Custom")));
    EXPECT_EQ(root->GetBkImage(), "common/background.png");
    windows_.chosenFile = "/home/user/wallpaper.png";
    ASSERT_TRUE(user.Click(frame.Manager().FindControl("skin_Custom")));
    EXPECT_EQ(root->GetBkImage(), "/home/user/wallpaper.png");
    // The next start shows the recorded choice.
    wnd_.reset();
    CMainWnd& again = Start();
    EXPECT_EQ(again.Manager().FindControl("root")->GetBkImage(), "/home/user/wallpaper.png");
}

TEST(PrivateFonts, LoadsWhatItFindsAndReleasesInReverse) {
    class Recorder final : public IFontRegistrar {
      public:
        std::optional<int> Add(const std::string& path) override {
            added.push_back(path);
            return next++;
        }
        void Remove(int handle) override { removed.push_back(handle); }
        std::vector<std::string> added;
        std::vector<int> removed;
        int next = 10;
    } recorder;
    test::TempFolder program;
    fs::create_directories(program.Path() + "Font");
    // Two of the four files beside the program; the others from the system
    // when it has them.
    for (const char* name : {"Font/Simplified_Chinese.ttf", "Font/Harrowline-Regular.otf"}) {
        std::ofstream(program.Path() + name) << "font";
    }
    {
        CPrivateFonts fonts(recorder);
        const int loaded = fonts.Load(program.Path());
        ASSERT_GE(loaded, 2);
        EXPECT_EQ(recorder.added[0], program.Path() + "Font/Simplified_Chinese.ttf");
        EXPECT_EQ(recorder.added[1], program.Path() + "Font/Harrowline-Regular.otf");
        for (std::size_t i = 2; i < recorder.added.size(); ++i) {
            EXPECT_EQ(recorder.added[i].rfind("/usr/share/fonts/", 0), 0U);
        }
        EXPECT_EQ(fonts.LoadedFaces().at(1), "Harrowline");
    }
    // Released last first when the owner goes.
    std::vector<int> expected;
    for (int h = 10 + static_cast<int>(recorder.added.size()) - 1; h >= 10; --h) {
        expected.push_back(h);
    }
    EXPECT_EQ(recorder.removed, expected);
}

TEST(WorkerSlots, StopIsBoundedAndRefusesBadSlots) {
    CWorkerSlots slots;
    EXPECT_FALSE(slots.Start(20, [](std::stop_token) {}));
    EXPECT_FALSE(slots.Start(-1, [](std::stop_token) {}));
    std::atomic<bool> release{false};
    ASSERT_TRUE(slots.Start(8, [&](std::stop_token) {
        while (!release) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }));
    EXPECT_FALSE(slots.Start(8, [](std::stop_token) {}));
    // A worker that ignores its token overruns a short bound but is still
    // joined.
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        release = true;
    });
    EXPECT_FALSE(slots.Stop(8, std::chrono::milliseconds(5)));
    EXPECT_FALSE(slots.Running(8));
    releaser.join();
    EXPECT_TRUE(slots.Stop(3));  // nothing runs there
}

TEST(RegisteredMessages, SameNameSameIdAndOnlyKnownNamesResolve) {
    const RegisteredMessages& m = Messages();
    EXPECT_GE(m.activateInstance, kFirstRegisteredMessage);
    EXPECT_EQ(RegisterWindowMessage("VEXTAR"), m.activateInstance);
    // The right button's message is registered twice under one name.
    EXPECT_EQ(m.hook[14], m.hook[18]);
    EXPECT_EQ(FindRegisteredMessage("{4695579F-999A-41d4-9FAF-EFFCE93EBF18}"), m.toolQuery);
    EXPECT_EQ(FindRegisteredMessage("no such message"), 0U);
    EXPECT_EQ(RegisterWindowMessage(""), 0U);
    EXPECT_TRUE(m.IsGame(FindRegisteredMessage("Game_Death")));
}

}  // namespace
}  // namespace vextar::app

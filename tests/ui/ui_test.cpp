#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "ui/resource_manager.h"
#include "ui_fixture.h"

namespace vextar::ui {
namespace {

using test::Window;
using Log = std::vector<std::string>;

TEST(UiLookup, FindsTheFirstMatchInsideTheSubtreeIgnoringCase) {
    Window w(R"(<VerticalLayout name="root">
        <HorizontalLayout name="left"><Button name="OK" text="left"/></HorizontalLayout>
        <HorizontalLayout name="right"><Button name="ok" text="right"/><Label name="Ok"/></HorizontalLayout>
    </VerticalLayout>)");
    CControlUI* right = w.Find("RIGHT");
    EXPECT_EQ(w.manager.FindSubControlByName(right, "OK")->GetText(), "right");
    EXPECT_EQ(w.manager.FindControl("ok")->GetText(), "left");  // pre-order, first match
    EXPECT_EQ(w.manager.FindSubControlByName(right, "left"), nullptr);
    EXPECT_EQ(w.manager.FindSubControlByName(nullptr, "ok"), nullptr);
}

TEST(UiTimers, FireFromTheClockAndStopWhenKilled) {
    Window w(R"(<VerticalLayout><Label name="tick"/><Label name="other"/></VerticalLayout>)");
    CControlUI* tick = w.Find("tick");
    ASSERT_TRUE(w.manager.SetTimer(tick, 1001, 500));
    ASSERT_TRUE(w.manager.SetTimer(w.Find("other"), 7, 100));
    w.clock.Advance(499);
    w.manager.ProcessTimers();
    // "other" was due at 100 and fell behind: it fires once, not four times.
    EXPECT_EQ(w.timers, (std::vector<uintptr_t>{7}));
    EXPECT_EQ(w.manager.NextTimerDelay(), 1);
    w.clock.Advance(1);
    w.manager.ProcessTimers();
    EXPECT_EQ(w.timers, (std::vector<uintptr_t>{7, 1001}));
    w.timers.clear();

    EXPECT_TRUE(w.manager.KillTimer(tick, 1001));
    EXPECT_FALSE(w.manager.KillTimer(tick, 1001));
    w.clock.Advance(1000);
    w.manager.ProcessTimers();
    EXPECT_EQ(w.timers, (std::vector<uintptr_t>{7}));

    // A control that goes takes its timers with it.
    w.timers.clear();
    auto* root = dynamic_cast<CContainerUI*>(w.manager.GetRoot());
    root->Remove(w.Find("other"));
    w.clock.Advance(1000);
    EXPECT_EQ(w.manager.ProcessTimers(), 0);
    EXPECT_EQ(w.manager.NextTimerDelay(), -1);
}

TEST(UiTimers, AlignedTimersOfOnePeriodFireInOneWakeUp) {
    Window w(R"(<VerticalLayout><Label name="a"/><Label name="b"/></VerticalLayout>)");
    w.clock.Set(1003);
    ASSERT_TRUE(w.manager.SetAlignedTimer(w.Find("a"), 1, 10));
    w.clock.Set(1007);
    ASSERT_TRUE(w.manager.SetAlignedTimer(w.Find("b"), 2, 10));
    EXPECT_EQ(w.manager.NextTimerDelay(), 3);
    w.clock.Set(1010);
    EXPECT_EQ(w.manager.ProcessTimers(), 2);
}

TEST(UiOptions, GroupSelectionAndNotificationOrder) {
    Window w(R"(<HorizontalLayout>
        <Option name="a" group="g" selected="true" width="50"/>
        <Option name="b" group="g" width="50"/>
        <Option name="lone" width="50"/>
    </HorizontalLayout>)");
    auto* a = w.Find<COptionUI>("a");
    auto* b = w.Find<COptionUI>("b");
    auto* lone = w.Find<COptionUI>("lone");
    EXPECT_TRUE(a->IsSelected());

    ASSERT_TRUE(w.user.Click(b));
    // The option that loses the selection says nothing.
    EXPECT_EQ(w.TakeLog(), (Log{"click:b", "selectchanged:b"}));
    EXPECT_FALSE(a->IsSelected());
    EXPECT_TRUE(b->IsSelected());

    ASSERT_TRUE(w.user.Click(b));  // clicking the selected one keeps it
    EXPECT_EQ(w.TakeLog(), (Log{"click:b"}));

    ASSERT_TRUE(w.user.Click(lone));
    ASSERT_TRUE(w.user.Click(lone));
    EXPECT_EQ(w.TakeLog(),
              (Log{"click:lone", "selectchanged:lone", "click:lone", "selectchanged:lone"}));
    EXPECT_FALSE(lone->IsSelected());

    a->Selected(true);  // from the program: the same notification, no click
    EXPECT_EQ(w.TakeLog(), (Log{"selectchanged:a"}));
    a->Selected(false, false);
    EXPECT_TRUE(w.TakeLog().empty());
}

TEST(UiButtons, ClickNeedsPressAndReleaseInsideAndShowsTheBoundPage) {
    Window w(R"(<VerticalLayout>
        <HorizontalLayout height="30">
          <Button name="go" bindtablayoutname="pages" bindtabindex="1" width="60"/>
          <Button name="off" enabled="false" width="60"/>
        </HorizontalLayout>
        <TabLayout name="pages"><Label name="p0"/><Label name="p1"/></TabLayout>
    </VerticalLayout>)");
    auto* pages = w.Find<CTabLayoutUI>("pages");
    EXPECT_EQ(pages->GetCurSel(), 0);
    EXPECT_FALSE(w.Find("p1")->IsVisible());
    ASSERT_TRUE(w.user.Click(w.Find("go")));
    EXPECT_EQ(w.TakeLog(), (Log{"click:go"}));
    EXPECT_EQ(pages->GetCurSel(), 1);
    EXPECT_TRUE(w.Find("p1")->IsVisible());
    EXPECT_FALSE(w.Find("p0")->IsVisible());

    EXPECT_FALSE(w.user.Click(w.Find("off")));
    // Pressed on the button, released elsewhere: no click.
    const UiPoint inside = w.Find("go")->GetPos().Center();
    w.manager.OnButtonDown(inside);
    w.manager.OnMouseMove({399, 299});
    w.manager.OnButtonUp({399, 299});
    EXPECT_TRUE(w.TakeLog().empty());
}

TEST(UiEdits, TypingRulesFocusAndRange) {
    Window w(R"(<VerticalLayout>
        <Edit name="dpi" numberonly="true" maxchar="5" minvalue="50" maxvalue="26000" height="24"/>
        <Edit name="name" maxchar="4" height="24"/>
        <Button name="elsewhere" height="24"/>
    </VerticalLayout>)");
    auto* dpi = w.Find<CEditUI>("dpi");
    ASSERT_TRUE(w.user.TypeText(dpi, "4x2"));
    EXPECT_EQ(dpi->GetText(), "42");
    EXPECT_EQ(w.TakeLog(), (Log{"setfocus:dpi", "textchanged:dpi", "textchanged:dpi"}));
    // Leaving the edit applies its range.
    ASSERT_TRUE(w.user.Click(w.Find("elsewhere")));
    EXPECT_EQ(dpi->GetText(), "50");
    EXPECT_EQ(w.TakeLog(), (Log{"textchanged:dpi", "killfocus:dpi", "click:elsewhere"}));

    ASSERT_TRUE(w.user.ReplaceText(dpi, "999999"));
    EXPECT_EQ(dpi->GetText(), "99999");  // five characters at most
    w.TakeLog();
    ASSERT_TRUE(w.user.PressKey(kKeyReturn));
    EXPECT_EQ(dpi->GetText(), "26000");
    EXPECT_EQ(w.TakeLog(), (Log{"textchanged:dpi", "return:dpi"}));

    auto* name = w.Find<CEditUI>("name");
    ASSERT_TRUE(w.user.TypeText(name, "äbcde"));
    EXPECT_EQ(name->GetText(), "äbc");  // four bytes: ä takes two
    ASSERT_TRUE(w.user.PressKey(kKeyBack));
    ASSERT_TRUE(w.user.PressKey(kKeyBack));
    EXPECT_EQ(name->GetText(), "ä");
}

TEST(UiSliders, DraggingReportsMovesThenTheFinalValue) {
    Window w(
        R"(<VerticalLayout><Slider name="s" min="100" max="1000" step="50" height="20" width="300"/></VerticalLayout>)");
    auto* s = w.Find<CSliderUI>("s");
    ASSERT_TRUE(w.user.DragSlider(s, 700));
    EXPECT_EQ(s->GetValue(), 700);
    const Log log = w.TakeLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "valuechanged:s");
    for (std::size_t i = 0; i + 1 < log.size(); ++i) {
        EXPECT_EQ(log[i], "movevaluechanged:s");
    }
    s->SetValue(5000);  // from the program: kept in range, no notification
    EXPECT_EQ(s->GetValue(), 1000);
    EXPECT_TRUE(w.TakeLog().empty());
}

TEST(UiLists, ComboPickAndListClicks) {
    Window w(R"(<VerticalLayout>
        <Combo name="profiles" height="24">
          <ListLabelElement name="p0" text="Default"/><ListLabelElement name="p1" text="Game"/>
        </Combo>
        <List name="list" height="120">
          <ListLabelElement name="e0" text="one" height="30"/>
          <ListContainerElement name="e1" height="30"><Label name="inner" text="two"/></ListContainerElement>
        </List>
    </VerticalLayout>)");
    int opened = 0;
    CComboUI::SetDropDownHook([&](CComboUI*) { ++opened; });
    auto* combo = w.Find<CComboUI>("profiles");
    ASSERT_TRUE(w.user.PickComboItem(combo, 1));
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(combo->GetText(), "Game");
    EXPECT_EQ(w.TakeLog(), (Log{"itemselect:profiles"}));
    CComboUI::SetDropDownHook(nullptr);

    auto* list = w.Find<CListUI>("list");
    ASSERT_TRUE(w.user.Click(w.Find("e1")));
    EXPECT_EQ(list->GetCurSel(), 1);
    EXPECT_EQ(w.TakeLog(), (Log{"itemselect:list", "itemclick:e1"}));
    ASSERT_TRUE(w.user.DoubleClick(w.Find("e0")));
    EXPECT_EQ(w.TakeLog(),
              (Log{"itemselect:list", "itemclick:e0", "itemactivate:e0", "itemclick:e0"}));
}

TEST(UiLayout, SizesScaleWithTheDpiAndBadDpiFallsBackTo96) {
    for (const auto& [dpi, expected] : {std::pair{96, 100}, {144, 150}, {192, 200}, {100, 100}}) {
        Window w(
            R"(<HorizontalLayout><Button name="b" width="100" padding="10,0,0,0"/><Label name="rest"/></HorizontalLayout>)",
            {600, 100}, dpi);
        EXPECT_EQ(w.Find("b")->GetPos().Width(), expected) << dpi;
        EXPECT_EQ(w.Find("b")->GetPos().left, expected / 10) << dpi;
        EXPECT_EQ(w.Find("rest")->GetPos().right, 600) << dpi;
    }
}

// A builder callback that builds nested layouts through itself.
class NestingCallback : public IDialogBuilderCallback {
  public:
    explicit NestingCallback(CPaintManagerUI& manager) : manager_(manager) {}
    std::unique_ptr<CControlUI> CreateControl(std::string_view className) override {
        CDialogBuilder builder;
        if (className == "OuterSetControlUI") {
            return builder.CreateFromString(
                R"(<VerticalLayout name="outer"><InnerSetControlUI/></VerticalLayout>)", this,
                &manager_);
        }
        if (className == "InnerSetControlUI") {
            return builder.CreateFromString(R"(<Label name="inner_label" text="deep"/>)", this,
                                            &manager_);
        }
        if (className == "LoopControlUI") {
            ++loops;
            if (loops > CDialogBuilder::kMaxDepth * 2) {
                return nullptr;  // the test would fail rather than recurse forever
            }
            return builder.CreateFromString(R"(<LoopControlUI/>)", this, &manager_);
        }
        return nullptr;
    }
    int loops = 0;

  private:
    CPaintManagerUI& manager_;
};

TEST(UiBuilder, NestedSubtreesResolveThroughTheSameCallback) {
    CPaintManagerUI manager;
    NestingCallback callback(manager);
    CDialogBuilder builder;
    std::string error;
    auto root = builder.CreateFromString(
        R"(<Window size="100,100"><Font id="3" name="Noto Sans" size="30"/><HorizontalLayout><OuterSetControlUI/></HorizontalLayout></Window>)",
        &callback, &manager, &error);
    ASSERT_TRUE(root) << error;
    EXPECT_EQ(builder.WindowAttributes().at("size"), "100,100");
    EXPECT_EQ(manager.GetFont(3).size, 30);
    ASSERT_NE(root->FindByName("inner_label"), nullptr);
    EXPECT_EQ(root->FindByName("inner_label")->GetText(), "deep");

    EXPECT_FALSE(builder.CreateFromString(R"(<Unknown/>)", &callback, &manager, &error));
    EXPECT_NE(error.find("Unknown"), std::string::npos);
    error.clear();
    EXPECT_FALSE(
        builder.CreateFromString(R"(<Label><Label/></Label>)", &callback, &manager, &error));
    EXPECT_FALSE(builder.CreateFromString(R"(<VerticalLayout>)", &callback, &manager, &error));
}

TEST(UiBuilder, IncludesFilesAndStopsALayoutThatIncludesItself) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vextar_skin_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "XML");
    std::ofstream(dir / "XML" / "part.xml")
        << R"(<Label name="part" text="%{hello}" tooltip="%{hello}"/>)";
    std::ofstream(dir / "XML" / "loop.xml")
        << R"(<VerticalLayout><Include source="XML\loop.xml"/></VerticalLayout>)";
    std::ofstream(dir / "lang.xml") << R"(<Language><Text id="hello" value="Hallo"/></Language>)";
    CPaintManagerUI manager;
    manager.SetResourcePath(dir.string());
    ASSERT_TRUE(CResourceManager::Instance().LoadLanguage((dir / "lang.xml").string()));
    CDialogBuilder builder;
    std::string error;
    auto root = builder.CreateFromString(
        R"(<VerticalLayout><Include source="XML\part.xml" count="2"/></VerticalLayout>)", nullptr,
        &manager, &error);
    ASSERT_TRUE(root) << error;
    EXPECT_EQ(dynamic_cast<CContainerUI*>(root.get())->GetCount(), 2);
    EXPECT_EQ(root->FindByName("part")->GetText(), "Hallo");
    EXPECT_EQ(root->FindByName("part")->GetToolTip(), "Hallo");
    CResourceManager::Instance().SetText("hello", "Hello");
    CResourceManager::Instance().ReloadText(root.get());
    EXPECT_EQ(root->FindByName("part")->GetText(), "Hello");
    EXPECT_EQ(root->FindByName("part")->GetToolTip(), "Hello");

    EXPECT_FALSE(builder.Create("XML\\loop.xml", nullptr, &manager, &error));
    EXPECT_NE(error.find("nested too deeply"), std::string::npos);
    CResourceManager::Instance().Clear();
    std::filesystem::remove_all(dir);
}

TEST(UiMessages, PostsSendsAndAShutdownThatReleasesWaitingSenders) {
    CPaintManagerUI manager;
    std::vector<uint32_t> seen;
    manager.AddMessageHandler([&](uint32_t msg, uintptr_t w, intptr_t, bool& handled) {
        handled = true;
        seen.push_back(msg);
        return static_cast<LRESULT>(w * 2);
    });
    std::atomic<int> wakes{0};
    manager.SetWakeUpHook([&] { ++wakes; });

    std::thread poster([&] { manager.PostMessage(3090, 4); });
    poster.join();
    EXPECT_EQ(manager.SendMessage(3091, 5), 10);  // on the UI thread: at once
    EXPECT_EQ(manager.ProcessMessages(), 1);
    EXPECT_EQ(seen, (std::vector<uint32_t>{3091, 3090}));

    auto sender = std::async(std::launch::async, [&] { return manager.SendMessage(3092, 21); });
    while (manager.ProcessMessages() == 0) {
        std::this_thread::yield();
    }
    EXPECT_EQ(sender.get(), 42);

    // A worker waiting on a window that closes gets 0 and goes on.
    auto stuck = std::async(std::launch::async, [&] { return manager.SendMessage(3093, 1); });
    while (wakes.load() < 3) {
        std::this_thread::yield();
    }
    manager.Shutdown();
    EXPECT_EQ(stuck.get(), 0);
    manager.PostMessage(1);
    EXPECT_EQ(manager.ProcessMessages(), 0);
}

}  // namespace
}  // namespace vextar::ui

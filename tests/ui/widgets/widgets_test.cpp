#include "ui/widgets/widgets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../ui_fixture.h"

namespace vextar::ui {
namespace {

using test::Window;
using Log = std::vector<std::string>;

TEST(CircleProgress, SweepFollowsTheValueWithinItsRange) {
    struct Case {
        int min, max, value;
        float sweep;
    };
    const Case cases[] = {
        {0, 100, 100, 360.0F},  // value equal to maximum − minimum: a full ring
        {0, 100, 50, 180.0F},  {10, 20, 15, 180.0F}, {10, 20, 20, 360.0F},
        {0, 100, 0, 0.0F},     {5, 5, 5, 0.0F},  // no range: an empty ring
    };
    for (const Case& c : cases) {
        CCircleProgressUI p;
        p.SetMaxValue(c.max);
        p.SetMinValue(c.min);
        p.SetValue(c.value);
        EXPECT_FLOAT_EQ(p.SweepDegrees(), c.sweep) << c.min << ".." << c.max << " " << c.value;
    }
}

TEST(CircleProgress, PaintsBackRingFromSixOClockAndAnInnerHole) {
    Window w(
        R"(<VerticalLayout><CircleProgress name="c" width="100" height="100" value="25" backcolor="#FF202020" forecolor="#FF00FF00"/></VerticalLayout>)");
    RecordingRenderTarget r;
    w.manager.Paint(r, {0, 0, 400, 300});
    std::vector<std::string> what;
    for (const auto& call : r.calls) {
        what.push_back(call.what);
    }
    ASSERT_EQ(what, (std::vector<std::string>{"ellipse", "pie", "ellipse"}));
    EXPECT_EQ(r.calls[0].color, 0xFF202020U);
    EXPECT_FLOAT_EQ(r.calls[1].start, 90.0F);
    EXPECT_FLOAT_EQ(r.calls[1].sweep, 90.0F);
    EXPECT_EQ(r.calls[2].rc, (UiRect{10, 10, 90, 90}));
    EXPECT_EQ(r.calls[2].color, 0xFFFFFFFFU);
}

TEST(DeviceKeyButton, FlagsRepaintOnlyWhenTheyChange) {
    Window w(
        R"(<VerticalLayout><DeviceKeyButton name="k" width="40" height="40" lightimage="light.png"/></VerticalLayout>)");
    auto* key = w.Find<CDeviceKeyButtonUI>("k");
    int repaints = 0;
    w.manager.SetInvalidateHook([&](const UiRect&) { ++repaints; });
    key->SetSelected(true);
    key->SetSelected(true);
    key->SetKeySet(true);
    key->SetKeySet(true);
    key->SetLightColor(255, 0, 0, 255, true);
    key->SetLightColor(255, 0, 0, 255, true);
    EXPECT_EQ(repaints, 3);

    RecordingRenderTarget r;
    w.manager.Paint(r, {0, 0, 400, 300});
    bool tinted = false;
    bool highlighted = false;
    for (const auto& call : r.calls) {
        tinted |= call.what == "image" && call.text == "light.png" && call.fade == 200;
        highlighted |= call.what == "frame" && call.color == CDeviceKeyButtonUI::kHighlightColor;
    }
    EXPECT_TRUE(tinted);
    EXPECT_TRUE(highlighted);

    ASSERT_TRUE(w.user.DoubleClick(key));
    EXPECT_EQ(w.TakeLog(), (Log{"click:k", "dbclick:k", "click:k"}));
}

TEST(SelectPanel, RubberBandSelectsTouchedKeysInAnyDirection) {
    Window w(R"(<VerticalLayout>
      <SelectPanel name="panel" height="200">
        <HorizontalLayout height="40">
          <DeviceKeyButton name="k0" width="40"/><DeviceKeyButton name="k1" width="40"/>
          <DeviceKeyButton name="k2" width="40"/>
        </HorizontalLayout>
      </SelectPanel>
    </VerticalLayout>)");
    auto* k0 = w.Find<CDeviceKeyButtonUI>("k0");
    auto* k1 = w.Find<CDeviceKeyButtonUI>("k1");
    auto* k2 = w.Find<CDeviceKeyButtonUI>("k2");
    // Dragged up and to the left, from below k2 to inside k1.
    ASSERT_TRUE(w.user.Drag({110, 100}, {60, 20}));
    EXPECT_FALSE(k0->IsSelected());
    EXPECT_TRUE(k1->IsSelected());
    EXPECT_TRUE(k2->IsSelected());
    EXPECT_EQ(w.TakeLog(), (Log{"click_select_end:panel"}));

    // A band that touches no key clears them all and still reports.
    ASSERT_TRUE(w.user.Drag({200, 150}, {300, 190}));
    EXPECT_FALSE(k1->IsSelected());
    EXPECT_FALSE(k2->IsSelected());
    EXPECT_EQ(w.TakeLog(), (Log{"click_select_end:panel"}));
}

TEST(RedioMacroButton, PulseStaysWithinItsRange) {
    Window w(
        R"(<VerticalLayout><RedioMacroButton name="rec" redioimage="rec.png" normalimage="idle.png"/></VerticalLayout>)");
    auto* rec = w.Find<CRedioMacroButtonUI>("rec");
    rec->Start();
    int low = 255;
    int high = 0;
    for (int i = 0; i < 100; ++i) {
        w.clock.Advance(50);
        w.manager.ProcessTimers();
        low = std::min(low, rec->GetFade());
        high = std::max(high, rec->GetFade());
        ASSERT_GE(rec->GetFade(), 80);
        ASSERT_LE(rec->GetFade(), 255);
    }
    EXPECT_EQ(low, 80);
    EXPECT_EQ(high, 255);
    EXPECT_EQ(rec->GetNormalImage(), "res='rec.png' fade='" + std::to_string(rec->GetFade()) + "'");
    rec->Stop();
    EXPECT_EQ(rec->GetNormalImage(), "idle.png");
    w.clock.Advance(500);
    EXPECT_EQ(w.manager.ProcessTimers(), 0);
}

TEST(AudioRecord, KeepsLevelsInRangeAndBarsInsideTheControl) {
    Window w(R"(<VerticalLayout><AudioRecord name="a" width="100" height="82"/></VerticalLayout>)");
    auto* audio = w.Find<CAudioRecordUI>("a");
    std::vector<int> samples(600, 4096);
    samples[0] = -5;
    samples[1] = 9000;
    audio->SetSamples(samples);
    ASSERT_EQ(audio->GetSamples().size(), 500U);
    EXPECT_EQ(audio->GetSamples()[0], 0);
    EXPECT_EQ(audio->GetSamples()[1], 8192);
    RecordingRenderTarget r;
    w.manager.Paint(r, {0, 0, 400, 300});
    ASSERT_EQ(r.calls.size(), 50U);                    // one bar every two pixels of 100
    EXPECT_EQ(r.calls[1].rc, (UiRect{2, 0, 3, 82}));   // full level: full height
    EXPECT_EQ(r.calls[2].rc, (UiRect{4, 41, 5, 82}));  // half level
}

TEST(HandImgButton, DeleteBoxSendsItsOwnNotification) {
    Window w(
        R"(<VerticalLayout><HandImgButton name="h" width="100" height="100"/><HandImgButton name="keep" nodelete="true" width="100" height="100"/></VerticalLayout>)");
    auto* h = w.Find<CHandImgButtonUI>("h");
    const UiPoint corner{h->GetPos().right - 5, h->GetPos().top + 5};
    w.user.ClickAt(corner);
    EXPECT_EQ(w.TakeLog(), (Log{"msenter:h", "click_handdelete:h"}));
    w.user.ClickAt(h->GetPos().Center());
    EXPECT_EQ(w.TakeLog(), (Log{"click:h"}));
    auto* keep = w.Find<CHandImgButtonUI>("keep");
    w.user.ClickAt({keep->GetPos().right - 5, keep->GetPos().top + 5});
    EXPECT_EQ(w.TakeLog(), (Log{"msleave:h", "msenter:keep", "click:keep"}));
}

TEST(HandImgSelectButton, DragKeepsTheWindowInsideTheImage) {
    Window w(
        R"(<VerticalLayout><HandImgSelectButton name="s" width="100" height="50" handimage="hand.png" cursor="hand"/></VerticalLayout>)");
    w.manager.SetImageSizeProvider([](const std::string& file) -> std::optional<UiSize> {
        if (file == "hand.png") {
            return UiSize{300, 120};
        }
        return std::nullopt;
    });
    auto* s = w.Find<CHandImgSelectButtonUI>("s");
    EXPECT_EQ(s->GetCursor(), CursorKind::Hand);
    w.user.Drag({90, 40}, {40, 20});  // picture dragged left and up
    EXPECT_EQ(s->GetSourceRect(), (UiRect{50, 20, 150, 70}));
    w.user.Drag({10, 10}, {99, 49});
    EXPECT_EQ(s->GetSourceRect(), (UiRect{0, 0, 100, 50}));
    w.user.Drag({99, 49}, {-400, -400});
    EXPECT_EQ(s->GetSourceRect(), (UiRect{200, 70, 300, 120}));
    EXPECT_EQ(s->ImageDescriptionText(), "file='hand.png' source='200,70,300,120'");
}

TEST(ListElements, ComboEditElementBuildsItsItemAndNotesChanges) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vextar_elem_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "XML" / "CustomControlXML");
    std::ofstream(dir / "XML" / "CustomControlXML" / "ComboEditElementItem.xml")
        << R"(<HorizontalLayout><Label name="text1" width="40"/><Label name="text2" width="40"/><Edit name="delay_edit" numberonly="true"/></HorizontalLayout>)";
    platform::FakeClock clock;
    CPaintManagerUI manager(clock);
    manager.SetResourcePath(dir.string());
    struct Widgets : IDialogBuilderCallback {
        std::unique_ptr<CControlUI> CreateControl(std::string_view name) override {
            return CreateWidget(name);
        }
    } widgets;
    CDialogBuilder builder;
    auto root = builder.CreateFromString(
        R"(<List name="steps"><ComboEditContainerElement name="step0" height="30" normalimage="x.png"/><CloudShareListItemUI name="share" height="30"/></List>)",
        &widgets, &manager);
    ASSERT_TRUE(root);
    manager.AttachDialog(std::move(root));
    manager.SetClientSize({300, 100});
    manager.UpdateLayout();
    auto* step = dynamic_cast<CComboEditContainerElementUI*>(manager.FindControl("step0"));
    ASSERT_NE(step, nullptr);
    ASSERT_NE(step->Text1(), nullptr);
    ASSERT_NE(step->Text2(), nullptr);
    ASSERT_NE(step->DelayEdit(), nullptr);
    EXPECT_FALSE(step->IsChanged());

    CUserActions user(manager);
    ASSERT_TRUE(user.TypeText(step->DelayEdit(), "30"));
    EXPECT_FALSE(step->IsChanged());
    ASSERT_TRUE(user.PressKey(kKeyReturn));
    EXPECT_TRUE(step->IsChanged());

    // The cloud item outlines itself while hot and not selected.
    auto* list = dynamic_cast<CListUI*>(manager.GetRoot());
    list->SetAttribute("itemhotbordercolor", "#FFFF0000");
    auto* share = dynamic_cast<CCloudShareListItemUI*>(manager.FindControl("share"));
    ASSERT_TRUE(user.Hover(share));
    RecordingRenderTarget r;
    share->PaintBorder(r);
    ASSERT_EQ(r.calls.size(), 1U);
    EXPECT_EQ(r.calls[0].color, 0xFFFF0000U);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vextar::ui

// A window the size of the keyboard page: 1000 × 640 with 600 controls.
// Layout and a full paint, then the repaint after one control changed, both
// headless (drawing calls only) and with QPainter into an image.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <string>

#include "ui/dialog_builder.h"
#include "ui/paint_manager.h"
#include "ui/qt/qt_render_target.h"
#include "ui/widgets/widgets.h"

namespace {

using namespace vextar::ui;

// 20 rows of 30 key buttons (600 controls) in a select panel.
std::string KeyboardLayout() {
    std::string xml =
        R"(<VerticalLayout bkcolor="#FF1B1E24" inset="10,10,10,10"><SelectPanel name="panel" childpadding="2">)";
    for (int row = 0; row < 20; ++row) {
        xml += R"(<HorizontalLayout height="28" childpadding="2">)";
        for (int col = 0; col < 30; ++col) {
            xml +=
                R"(<DeviceKeyButton name="key_)" + std::to_string(row * 30 + col) +
                R"(" text="K" width="30" bkcolor="#FF2F3540" textcolor="#FFFFFFFF" bordercolor="#FF444444" bordersize="1"/>)";
        }
        xml += "</HorizontalLayout>";
    }
    xml += "</SelectPanel></VerticalLayout>";
    return xml;
}

class NullTarget final : public IRenderTarget {
  public:
    void FillRect(const UiRect&, UiColor) override { ++calls; }
    void DrawRect(const UiRect&, int, UiColor) override { ++calls; }
    void FillEllipse(const UiRect&, UiColor) override { ++calls; }
    void FillPie(const UiRect&, float, float, UiColor) override { ++calls; }
    void DrawLine(UiPoint, UiPoint, int, UiColor) override { ++calls; }
    void FillGradient(const UiRect&, UiColor, UiColor, bool) override { ++calls; }
    void DrawText(const UiRect&, std::string_view, UiColor, const FontInfo&, unsigned) override {
        ++calls;
    }
    bool DrawImage(const UiRect&, const ImageDescription&) override {
        ++calls;
        return true;
    }
    void PushClip(const UiRect&) override {}
    void PopClip() override {}
    long calls = 0;
};

struct Page {
    Page() {
        RegisterWidgetClasses();
        struct Widgets : IDialogBuilderCallback {
            std::unique_ptr<CControlUI> CreateControl(std::string_view n) override {
                return CreateWidget(n);
            }
        } widgets;
        CDialogBuilder builder;
        manager.AttachDialog(builder.CreateFromString(KeyboardLayout(), &widgets, &manager));
        manager.SetClientSize({1000, 640});
        key = dynamic_cast<CDeviceKeyButtonUI*>(manager.FindControl("key_315"));
    }
    CPaintManagerUI manager;
    CDeviceKeyButtonUI* key = nullptr;
};

void BM_LayoutAndPaintHeadless(benchmark::State& state) {
    Page page;
    NullTarget target;
    for (auto _ : state) {
        page.manager.NeedUpdate();
        page.manager.UpdateLayout();
        page.manager.Paint(target, {0, 0, 1000, 640});
    }
    state.counters["draw_calls"] = static_cast<double>(target.calls) / state.iterations();
}
BENCHMARK(BM_LayoutAndPaintHeadless);

void BM_RepaintOneKeyHeadless(benchmark::State& state) {
    Page page;
    NullTarget target;
    page.manager.UpdateLayout();
    bool on = false;
    for (auto _ : state) {
        on = !on;
        page.key->SetSelected(on);
        const UiRect dirty = page.manager.TakeInvalidRect();
        page.manager.Paint(target, dirty);
    }
    state.counters["draw_calls"] = static_cast<double>(target.calls) / state.iterations();
}
BENCHMARK(BM_RepaintOneKeyHeadless);

void BM_LayoutAndPaintQt(benchmark::State& state) {
    Page page;
    QImage image(1000, 640, QImage::Format_ARGB32_Premultiplied);
    QtImageCache images(page.manager);
    for (auto _ : state) {
        page.manager.NeedUpdate();
        page.manager.UpdateLayout();
        QPainter painter(&image);
        QtRenderTarget target(painter, images);
        page.manager.Paint(target, {0, 0, 1000, 640});
    }
}
BENCHMARK(BM_LayoutAndPaintQt)->Unit(benchmark::kMillisecond);

void BM_RepaintOneKeyQt(benchmark::State& state) {
    Page page;
    page.manager.UpdateLayout();
    QImage image(1000, 640, QImage::Format_ARGB32_Premultiplied);
    QtImageCache images(page.manager);
    bool on = false;
    for (auto _ : state) {
        on = !on;
        page.key->SetSelected(on);
        const UiRect dirty = page.manager.TakeInvalidRect();
        QPainter painter(&image);
        painter.setClipRect(ToQRect(dirty));
        QtRenderTarget target(painter, images);
        page.manager.Paint(target, dirty);
    }
}
BENCHMARK(BM_RepaintOneKeyQt)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

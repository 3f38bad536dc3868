// Layouts are files a user can hand to the viewer: build any text as a
// layout, lay it out and paint it.

#include <cstdint>
#include <string_view>

#include "platform/log.h"
#include "ui/dialog_builder.h"
#include "ui/paint_manager.h"
#include "ui/widgets/widgets.h"

namespace {

class Widgets final : public vextar::ui::IDialogBuilderCallback {
  public:
    std::unique_ptr<vextar::ui::CControlUI> CreateControl(std::string_view name) override {
        return vextar::ui::CreateWidget(name);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextar::ui;
    static const bool quiet = [] {
        vextar::log::SetLevel(vextar::log::Level::Off);
        RegisterWidgetClasses();
        return true;
    }();
    (void)quiet;
    CPaintManagerUI manager;
    Widgets widgets;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root = builder.CreateFromString(
        std::string_view(reinterpret_cast<const char*>(data), size), &widgets, &manager);
    if (!root) {
        return 0;
    }
    manager.AttachDialog(std::move(root));
    manager.SetClientSize({640, 400});
    manager.UpdateLayout();
    RecordingRenderTarget target;
    manager.Paint(target, {0, 0, 640, 400});
    manager.OnMouseMove({100, 100});
    manager.OnButtonDown({100, 100});
    manager.OnButtonUp({120, 110});
    return 0;
}

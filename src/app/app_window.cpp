#include "app/app_window.h"

#include "app/resources.h"
#include "platform/log.h"
#include "ui/widgets/widgets.h"

namespace vextar::app {

CAppWindow::CAppWindow(platform::IClock& clock) : manager_(clock) {
    manager_.AddNotifier(this);
    manager_.AddMessageHandler(
        [this](uint32_t msg, uintptr_t wParam, intptr_t lParam, bool& handled) {
            return HandleMessage(msg, wParam, lParam, handled);
        });
}

CAppWindow::~CAppWindow() {
    // Senders waiting on this window return; the view goes before the tree.
    manager_.Shutdown();
    view_.reset();
    manager_.RemoveNotifier(this);
}

bool CAppWindow::Build(std::string_view layout, std::string* error) {
    ui::CDialogBuilder builder;
    auto root = builder.Create(ResourceIndex().Resolve(layout), this, &manager_, error);
    if (!root) {
        return false;
    }
    const auto& attributes = builder.WindowAttributes();
    if (const auto it = attributes.find("size"); it != attributes.end()) {
        if (const auto size = ui::ParseSize(it->second)) {
            layoutSize_ = *size;
        }
    }
    if (const auto it = attributes.find("caption"); it != attributes.end()) {
        if (const auto rc = ui::ParseRect(it->second)) {
            captionHeight_ = rc->bottom;
        }
    }
    manager_.AttachDialog(std::move(root));
    return true;
}

void CAppWindow::AttachView(std::unique_ptr<IWindowView> view) {
    view_ = std::move(view);
}

intptr_t CAppWindow::HandleMessage(uint32_t, uintptr_t, intptr_t, bool& handled) {
    handled = false;
    return 0;
}

void CAppWindow::Notify(ui::TNotifyUI& msg) {
    OnNotify(msg);
}

std::unique_ptr<ui::CControlUI> CAppWindow::CreateControl(std::string_view className) {
    return ui::CreateWidget(className);
}

int CAppWindow::SetDPI(int dpi) {
    manager_.SetDPI(dpi);
    return manager_.GetDPI();
}

}  // namespace vextar::app

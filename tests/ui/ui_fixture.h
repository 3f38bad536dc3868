#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "ui/dialog_builder.h"
#include "ui/paint_manager.h"
#include "ui/user_actions.h"
#include "ui/widgets/widgets.h"

namespace vextar::ui::test {

// A window built from a layout string, laid out at a size, with every
// notification it sends written down as "type:name".
class Window : public INotifyUI, public IDialogBuilderCallback {
  public:
    explicit Window(std::string_view xml, UiSize size = {400, 300}, int dpi = 96)
        : manager(clock), user(manager) {
        RegisterWidgetClasses();
        manager.SetDPI(dpi);
        CDialogBuilder builder;
        std::string error;
        std::unique_ptr<CControlUI> root = builder.CreateFromString(xml, this, &manager, &error);
        EXPECT_TRUE(root) << error;
        manager.AttachDialog(std::move(root));
        manager.AddNotifier(this);
        manager.SetClientSize(size);
        manager.UpdateLayout();
    }

    void Notify(TNotifyUI& msg) override {
        if (msg.sType == "timer") {
            timers.push_back(msg.wParam);
            return;
        }
        log.push_back(msg.sType + ":" + (msg.pSender != nullptr ? msg.pSender->GetName() : ""));
    }

    std::unique_ptr<CControlUI> CreateControl(std::string_view className) override {
        return CreateWidget(className);
    }

    template <typename T = CControlUI>
    T* Find(std::string_view name) {
        auto* found = dynamic_cast<T*>(manager.FindControl(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    std::vector<std::string> TakeLog() { return std::exchange(log, {}); }

    platform::FakeClock clock;
    CPaintManagerUI manager;
    CUserActions user;
    std::vector<std::string> log;
    std::vector<uintptr_t> timers;
};

}  // namespace vextar::ui::test

#pragma once

// A window of the application without its screen: a paint manager with the
// tree of one layout, the window's notifications, and the calls it makes on
// the window that shows it (`IWindowView`). The window system
// (`IWindowSystem`) makes views, runs modal windows, menus, the tray and
// the event loop; the Qt host is the real one, tests use a fake.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "ui/dialog_builder.h"
#include "ui/notify.h"
#include "ui/paint_manager.h"

namespace vextar::app {

enum class SysCommand { Minimise, Maximise, Restore };

class IWindowView {
  public:
    virtual ~IWindowView() = default;
    virtual void Show(bool show) = 0;
    [[nodiscard]] virtual bool IsVisible() const = 0;
    [[nodiscard]] virtual bool IsMinimised() const = 0;
    [[nodiscard]] virtual bool IsMaximised() const = 0;
    virtual void Command(SysCommand command) = 0;
    // Window size in pixels; the view tells the manager its client size.
    virtual void Resize(ui::UiSize pixels) = 0;
    virtual void Move(ui::UiPoint topLeft) = 0;
    [[nodiscard]] virtual ui::UiRect WindowRect() const = 0;
    // Centred on the owner, or on the screen when there is none.
    virtual void Center() = 0;
    // Restored if needed, raised above the others and given the focus.
    virtual void BringToFront() = 0;
    // The full rectangle of the monitor that holds the window.
    [[nodiscard]] virtual ui::UiRect MonitorRect() const = 0;
    // Closes the window; a modal run returns.
    virtual void Close() = 0;
};

struct ViewStyle {
    bool toolWindow = false;  // no task bar entry
    bool topmost = false;
    bool noActivate = false;
    bool closeOnFocusLoss = false;  // popups that go away when left
};

class CAppWindow;

class IWindowSystem {
  public:
    virtual ~IWindowSystem() = default;
    // A view of a window whose tree is built; hidden until shown.
    virtual std::unique_ptr<IWindowView> CreateView(CAppWindow& window, CAppWindow* owner,
                                                    const ViewStyle& style) = 0;
    // Shows the window over its owner and returns when it closes.
    virtual void RunModal(CAppWindow& window, CAppWindow* owner) = 0;
    [[nodiscard]] virtual ui::UiSize PrimaryScreenSize() const = 0;
    [[nodiscard]] virtual ui::UiPoint CursorPosition() const = 0;
    // The task bar's rectangle, when the desktop has one.
    [[nodiscard]] virtual std::optional<ui::UiRect> TaskbarRect() const = 0;
    // Shows a popup menu of a layout file at a screen point; the chosen
    // item's name, or empty.
    virtual std::string ShowMenu(const ui::CPaintManagerUI& manager, std::string_view file,
                                 ui::UiPoint at) = 0;
    // The same from the menu's XML text.
    virtual std::string ShowMenuXml(std::string_view xml, ui::UiPoint at) = 0;
    // The tray icon; false when the desktop has no tray.
    virtual bool CreateTray(const std::string& iconFile, const std::string& tooltip,
                            std::function<void(intptr_t mouseMessage)> onClick) = 0;
    virtual void DeleteTray() = 0;
    // A file chosen by the user, or nothing when cancelled.
    virtual std::optional<std::string> OpenFileDialog(CAppWindow* owner,
                                                      std::string_view filter) = 0;
    // Ends the event loop with an exit code.
    virtual void Quit(int code) = 0;
};

class CAppWindow : public ui::INotifyUI, public ui::IDialogBuilderCallback {
  public:
    explicit CAppWindow(platform::IClock& clock = platform::SystemClock());
    ~CAppWindow() override;
    CAppWindow(const CAppWindow&) = delete;
    CAppWindow& operator=(const CAppWindow&) = delete;

    [[nodiscard]] ui::CPaintManagerUI& Manager() { return manager_; }
    // Builds the tree of a layout file (relative to the resource path).
    bool Build(std::string_view layout, std::string* error);
    // The layout's "size" at 96 DPI (0 × 0 when it gives none).
    [[nodiscard]] ui::UiSize LayoutSize() const { return layoutSize_; }
    // Height of the layout's caption (where the window is dragged), 96 DPI.
    [[nodiscard]] int CaptionHeight() const { return captionHeight_; }
    [[nodiscard]] const std::string& ClassName() const { return className_; }
    [[nodiscard]] const std::string& Title() const { return title_; }
    void SetTitle(std::string title) { title_ = std::move(title); }

    void AttachView(std::unique_ptr<IWindowView> view);
    [[nodiscard]] IWindowView* View() const { return view_.get(); }
    // Called by the window system when the view is gone (closed by the user
    // or by Close()).
    virtual void OnViewClosed() {}
    // Escape pressed in the window.
    virtual void OnEscape() {}
    // Messages to the window (the manager's queue hands them here).
    virtual intptr_t HandleMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam, bool& handled);

    // Notifications of the tree.
    void Notify(ui::TNotifyUI& msg) override;
    std::unique_ptr<ui::CControlUI> CreateControl(std::string_view className) override;

    // DPI of this window's manager only; returns the value used.
    int SetDPI(int dpi);

  protected:
    virtual void OnNotify(ui::TNotifyUI& msg) { (void)msg; }
    ui::CControlUI* Find(std::string_view name) const { return manager_.FindControl(name); }

    ui::CPaintManagerUI manager_;
    std::unique_ptr<IWindowView> view_;
    ui::UiSize layoutSize_{};
    int captionHeight_ = 0;
    std::string className_;
    std::string title_;
};

}  // namespace vextar::app

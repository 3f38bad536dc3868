#pragma once

// The application's windows on Qt: views over the windows' trees, modal
// runs, menus, the tray, file dialogs and the private fonts.

#include <QPointer>
#include <memory>
#include <string>

#include "app/app_window.h"
#include "app/resources.h"
#include "ui/qt/qt_window.h"
#include "ui/qt/tray_icon.h"

namespace vextar::app {

class QtAppView final : public ui::CQtWindow, public IWindowView {
  public:
    QtAppView(CAppWindow& window, QWidget* owner, const ViewStyle& style);
    ~QtAppView() override;

    void Show(bool show) override;
    [[nodiscard]] bool IsVisible() const override;
    [[nodiscard]] bool IsMinimised() const override;
    [[nodiscard]] bool IsMaximised() const override;
    void Command(SysCommand command) override;
    void Resize(ui::UiSize pixels) override;
    void Move(ui::UiPoint topLeft) override;
    [[nodiscard]] ui::UiRect WindowRect() const override;
    void Center() override;
    void BringToFront() override;
    [[nodiscard]] ui::UiRect MonitorRect() const override;
    void Close() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    CAppWindow& window_;
    bool closed_ = false;
};

class QtWindowSystem final : public IWindowSystem {
  public:
    QtWindowSystem();
    ~QtWindowSystem() override;

    std::unique_ptr<IWindowView> CreateView(CAppWindow& window, CAppWindow* owner,
                                            const ViewStyle& style) override;
    void RunModal(CAppWindow& window, CAppWindow* owner) override;
    [[nodiscard]] ui::UiSize PrimaryScreenSize() const override;
    [[nodiscard]] ui::UiPoint CursorPosition() const override;
    [[nodiscard]] std::optional<ui::UiRect> TaskbarRect() const override;
    std::string ShowMenu(const ui::CPaintManagerUI& manager, std::string_view file,
                         ui::UiPoint at) override;
    std::string ShowMenuXml(std::string_view xml, ui::UiPoint at) override;
    bool CreateTray(const std::string& iconFile, const std::string& tooltip,
                    std::function<void(intptr_t mouseMessage)> onClick) override;
    void DeleteTray() override;
    std::optional<std::string> OpenFileDialog(CAppWindow* owner, std::string_view filter) override;
    void Quit(int code) override;

  private:
    std::unique_ptr<ui::CTrayIcon> tray_;
};

// Fonts registered with Qt for this process only.
class QtFontRegistrar final : public IFontRegistrar {
  public:
    std::optional<int> Add(const std::string& path) override;
    void Remove(int handle) override;
};

}  // namespace vextar::app

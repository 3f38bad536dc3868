#pragma once

// One window of the program: a QWidget that lays out and paints a control
// tree, turns mouse and keyboard input into the tree's input calls, shows a
// real line editor over the focused edit control, runs the tree's timers and
// message queue on Qt's event loop, and takes the DPI from its screen.

#include <QImage>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "ui/dialog_builder.h"
#include "ui/notify.h"
#include "ui/paint_manager.h"
#include "ui/qt/qt_render_target.h"
#include "ui/widgets/widgets.h"

namespace vextar::ui {

class CEditUI;

class CQtWindow : public QWidget, public INotifyUI {
  public:
    explicit CQtWindow(QWidget* parent = nullptr);
    // A window over a manager (and tree) that someone else owns; it must
    // outlive the window. Such a window leaves its DPI to its owner.
    explicit CQtWindow(CPaintManagerUI& manager, QWidget* parent = nullptr);
    ~CQtWindow() override;
    CQtWindow(const CQtWindow&) = delete;
    CQtWindow& operator=(const CQtWindow&) = delete;

    [[nodiscard]] CPaintManagerUI& Manager() { return manager_; }
    // Builds the window's tree from a layout (relative to the resource
    // path); the window element's "size" sizes the window.
    bool LoadSkin(std::string_view file, IDialogBuilderCallback* callback,
                  std::string* error = nullptr);
    bool LoadSkinFromString(std::string_view xml, IDialogBuilderCallback* callback,
                            std::string* error = nullptr);

    // Every notification of the tree comes here; the default hands it to
    // the handler and the pump.
    void Notify(TNotifyUI& msg) override;
    void SetNotifyHandler(std::function<void(TNotifyUI&)> handler) {
        handler_ = std::move(handler);
    }
    CNotifyPump& Pump() { return pump_; }

    // Shows the window and runs a nested event loop until it closes.
    int ShowModal();
    void CenterWindow();
    // The whole window as an image, drawn the same way as on screen.
    QImage RenderToImage();
    // The editor shown over the focused edit, or null.
    [[nodiscard]] QLineEdit* EditOverlay() const { return overlay_; }
    // Takes the DPI of the screen the window is on.
    void ApplyScreenDpi();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void AfterInput();
    void SyncOverlay();
    void ScheduleTimers();
    void OnWake();
    void UpdateCursor(UiPoint pt);
    void Setup();
    bool AttachTree(std::unique_ptr<CControlUI> root, const CDialogBuilder& builder);

    std::unique_ptr<CPaintManagerUI> owned_;
    CPaintManagerUI& manager_;
    QtImageCache images_;
    QTimer timer_;
    QLineEdit* overlay_ = nullptr;
    CEditUI* overlayEdit_ = nullptr;
    std::function<void(TNotifyUI&)> handler_;
    CNotifyPump pump_;
    bool closing_ = false;
    bool followScreenDpi_ = true;
};

// A Qt widget shown in place of a CWndUI: moved, shown and hidden with the
// control, and made a child of the control's window when it is not one.
class CQtNativeChild final : public INativeChild {
  public:
    CQtNativeChild(QWidget* widget, CQtWindow* window) : widget_(widget), window_(window) {}
    void SetVisible(bool visible) override;
    void SetGeometry(const UiRect& rc) override;

  private:
    QWidget* widget_;
    CQtWindow* window_;
};

// Turns Qt key codes into the key codes controls understand (0: none).
uint32_t KeyCodeFromQt(int qtKey);
uint16_t KeyStateFromQt(Qt::KeyboardModifiers modifiers);

// Sets up the drop-down of every combo: a popup list of its elements.
void InstallComboDropDown();

}  // namespace vextar::ui

#include "app/qt/qt_window_system.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFileDialog>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include "app/window_messages.h"
#include "platform/log.h"
#include "ui/qt/menu_wnd.h"
#include "ui/qt/qt_render_target.h"

namespace vextar::app {

namespace {

QWidget* WidgetOf(CAppWindow* window) {
    if (window == nullptr) {
        return nullptr;
    }
    return dynamic_cast<QtAppView*>(window->View());
}

}  // namespace

QtAppView::QtAppView(CAppWindow& window, QWidget* owner, const ViewStyle& style)
    : ui::CQtWindow(window.Manager(), owner), window_(window) {
    Qt::WindowFlags flags = Qt::FramelessWindowHint;
    if (style.closeOnFocusLoss) {
        flags |= Qt::Popup;
    } else if (style.toolWindow) {
        flags |= owner != nullptr ? Qt::Dialog : Qt::Tool;
    } else {
        flags |= Qt::Window;
    }
    if (style.topmost) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    setWindowFlags(flags);
    if (style.noActivate) {
        setAttribute(Qt::WA_ShowWithoutActivating);
    }
    setWindowTitle(QString::fromStdString(window.Title()));
    const ui::UiSize size = window.LayoutSize();
    if (size.cx > 0 && size.cy > 0) {
        resize(window.Manager().Scale(size.cx), window.Manager().Scale(size.cy));
    }
    window.Manager().SetClientSize({width(), height()});
}

QtAppView::~QtAppView() = default;

void QtAppView::Show(bool show) {
    if (show) {
        if (isMinimized()) {
            showNormal();
        } else {
            QWidget::show();
        }
    } else {
        hide();
    }
}

bool QtAppView::IsVisible() const {
    return isVisible();
}

bool QtAppView::IsMinimised() const {
    return isMinimized();
}

bool QtAppView::IsMaximised() const {
    return isMaximized();
}

void QtAppView::Command(SysCommand command) {
    switch (command) {
        case SysCommand::Minimise:
            showMinimized();
            break;
        case SysCommand::Maximise:
            showMaximized();
            break;
        case SysCommand::Restore:
            showNormal();
            break;
    }
}

void QtAppView::Resize(ui::UiSize pixels) {
    resize(pixels.cx, pixels.cy);
}

void QtAppView::Move(ui::UiPoint topLeft) {
    move(topLeft.x, topLeft.y);
}

ui::UiRect QtAppView::WindowRect() const {
    return ui::FromQRect(geometry());
}

void QtAppView::Center() {
    QRect area;
    if (const QWidget* owner = parentWidget(); owner != nullptr && owner->isVisible()) {
        area = owner->geometry();
    } else if (const QScreen* s = screen()) {
        area = s->availableGeometry();
    }
    if (!area.isNull()) {
        move(area.center() - rect().center());
    }
}

void QtAppView::BringToFront() {
    if (!isVisible()) {
        QWidget::show();
    }
    raise();
    activateWindow();
}

ui::UiRect QtAppView::MonitorRect() const {
    const QScreen* s = screen();
    return s != nullptr ? ui::FromQRect(s->geometry()) : ui::UiRect{0, 0, 1024, 768};
}

void QtAppView::Close() {
    close();
}

void QtAppView::closeEvent(QCloseEvent* event) {
    ui::CQtWindow::closeEvent(event);
    if (!closed_) {
        closed_ = true;
        window_.OnViewClosed();
    }
}

void QtAppView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        window_.Manager().PostMessage(WM_ACTIVATE, isActiveWindow() ? 1 : 0, 0);
    }
    ui::CQtWindow::changeEvent(event);
}

void QtAppView::enterEvent(QEnterEvent* event) {
    window_.Manager().PostMessage(WM_MOUSEHOVER, 0, 0);
    ui::CQtWindow::enterEvent(event);
}

void QtAppView::leaveEvent(QEvent* event) {
    window_.Manager().PostMessage(WM_MOUSELEAVE, 0, 0);
    ui::CQtWindow::leaveEvent(event);
}

void QtAppView::mousePressEvent(QMouseEvent* event) {
    // The caption moves the window, except where a control takes the click.
    const int caption = window_.Manager().Scale(window_.CaptionHeight());
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && p.y() < caption) {
        const ui::CControlUI* hit = window_.Manager().FindControl(ui::UiPoint{p.x(), p.y()});
        const bool takesClicks =
            hit != nullptr && (hit->GetClass() == "Button" || hit->GetClass() == "Option" ||
                               hit->GetClass() == "Edit");
        if (!takesClicks && windowHandle() != nullptr && windowHandle()->startSystemMove()) {
            return;
        }
    }
    ui::CQtWindow::mousePressEvent(event);
}

void QtAppView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        window_.OnEscape();
        return;
    }
    ui::CQtWindow::keyPressEvent(event);
}

QtWindowSystem::QtWindowSystem() = default;
QtWindowSystem::~QtWindowSystem() = default;

std::unique_ptr<IWindowView> QtWindowSystem::CreateView(CAppWindow& window, CAppWindow* owner,
                                                        const ViewStyle& style) {
    return std::make_unique<QtAppView>(window, WidgetOf(owner), style);
}

void QtWindowSystem::RunModal(CAppWindow& window, CAppWindow*) {
    auto* view = dynamic_cast<QtAppView*>(window.View());
    if (view == nullptr) {
        return;
    }
    view->Center();
    view->ShowModal();
}

ui::UiSize QtWindowSystem::PrimaryScreenSize() const {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s != nullptr ? ui::UiSize{s->size().width(), s->size().height()} : ui::UiSize{};
}

ui::UiPoint QtWindowSystem::CursorPosition() const {
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

std::optional<ui::UiRect> QtWindowSystem::TaskbarRect() const {
    // A panel shows as the part of the screen its windows may not use.
    const QScreen* s = QGuiApplication::primaryScreen();
    if (s == nullptr) {
        return std::nullopt;
    }
    const QRect full = s->geometry();
    const QRect avail = s->availableGeometry();
    if (avail.bottom() < full.bottom()) {
        return ui::UiRect{full.left(), avail.bottom() + 1, full.right() + 1, full.bottom() + 1};
    }
    if (avail.right() < full.right()) {
        return ui::UiRect{avail.right() + 1, full.top(), full.right() + 1, full.bottom() + 1};
    }
    return std::nullopt;
}

std::string QtWindowSystem::ShowMenu(const ui::CPaintManagerUI& manager, std::string_view file,
                                     ui::UiPoint at) {
    std::string error;
    std::string item = ui::CMenuWnd::Show(manager, file, QPoint(at.x, at.y), &error);
    if (item.empty() && !error.empty()) {
        VEXTAR_LOG_ERROR("menu %.*s: %s", static_cast<int>(file.size()), file.data(),
                         error.c_str());
    }
    return item;
}

std::string QtWindowSystem::ShowMenuXml(std::string_view xml, ui::UiPoint at) {
    std::string error;
    std::string item = ui::CMenuWnd::ShowFromString(xml, QPoint(at.x, at.y), &error);
    if (item.empty() && !error.empty()) {
        VEXTAR_LOG_ERROR("menu: %s", error.c_str());
    }
    return item;
}

bool QtWindowSystem::CreateTray(const std::string& iconFile, const std::string& tooltip,
                                std::function<void(intptr_t)> onClick) {
    tray_ = std::make_unique<ui::CTrayIcon>();
    tray_->OnClick([onClick = std::move(onClick)](ui::CTrayIcon::Click click) {
        if (click == ui::CTrayIcon::Click::Left) {
            onClick(kTrayLeftButtonUp);
        } else if (click == ui::CTrayIcon::Click::Context) {
            onClick(kTrayRightButtonUp);
        }
    });
    return tray_->Create(iconFile, tooltip);
}

void QtWindowSystem::DeleteTray() {
    if (tray_) {
        tray_->DeleteTrayIcon();
        tray_.reset();
    }
}

std::optional<std::string> QtWindowSystem::OpenFileDialog(CAppWindow* owner, std::string_view) {
    const QString file = QFileDialog::getOpenFileName(WidgetOf(owner), QString(), QString(),
                                                      QStringLiteral("PNG (*.png);;All files (*)"));
    if (file.isEmpty()) {
        return std::nullopt;
    }
    return file.toStdString();
}

void QtWindowSystem::Quit(int code) {
    QCoreApplication::exit(code);
}

std::optional<int> QtFontRegistrar::Add(const std::string& path) {
    const int id = QFontDatabase::addApplicationFont(QString::fromStdString(path));
    if (id < 0) {
        return std::nullopt;
    }
    return id;
}

void QtFontRegistrar::Remove(int handle) {
    QFontDatabase::removeApplicationFont(handle);
}

}  // namespace vextar::app

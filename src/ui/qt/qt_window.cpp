#include "ui/qt/qt_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QHelpEvent>
#include <QIntValidator>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QToolTip>
#include <QWheelEvent>

#include "ui/controls.h"
#include "ui/widgets/widgets.h"

namespace vextar::ui {

namespace {

UiPoint ToPoint(const QPointF& p) {
    return {static_cast<int>(p.x()), static_cast<int>(p.y())};
}

}  // namespace

uint32_t KeyCodeFromQt(int key) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kKeyReturn;
        case Qt::Key_Escape:
            return kKeyEscape;
        case Qt::Key_Left:
            return kKeyLeft;
        case Qt::Key_Right:
            return kKeyRight;
        case Qt::Key_Up:
            return kKeyUp;
        case Qt::Key_Down:
            return kKeyDown;
        case Qt::Key_Backspace:
            return kKeyBack;
        case Qt::Key_Delete:
            return kKeyDelete;
        case Qt::Key_Space:
            return ' ';
        default:
            return 0;
    }
}

uint16_t KeyStateFromQt(Qt::KeyboardModifiers m) {
    uint16_t state = kKeyNone;
    if (m.testFlag(Qt::ShiftModifier)) {
        state |= kKeyShift;
    }
    if (m.testFlag(Qt::ControlModifier)) {
        state |= kKeyControl;
    }
    if (m.testFlag(Qt::AltModifier)) {
        state |= kKeyAlt;
    }
    return state;
}

CQtWindow::CQtWindow(QWidget* parent)
    : QWidget(parent),
      owned_(std::make_unique<CPaintManagerUI>()),
      manager_(*owned_),
      images_(manager_) {
    Setup();
}

CQtWindow::CQtWindow(CPaintManagerUI& manager, QWidget* parent)
    : QWidget(parent), manager_(manager), images_(manager_) {
    followScreenDpi_ = false;
    Setup();
}

void CQtWindow::Setup() {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    manager_.AddNotifier(this);
    manager_.SetImageSizeProvider([this](const std::string& file) { return images_.Size(file); });
    manager_.SetInvalidateHook([this](const UiRect& rc) { update(ToQRect(rc)); });
    // Worker threads post and send to the tree; timers ask for a look.
    manager_.SetWakeUpHook([this] {
        QMetaObject::invokeMethod(
            this, [this] { OnWake(); }, Qt::QueuedConnection);
    });
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] {
        manager_.ProcessTimers();
        AfterInput();
    });
    InstallComboDropDown();
}

CQtWindow::~CQtWindow() {
    // No worker may wait on a window that is gone; a manager owned by
    // someone else lives on and only forgets this window.
    if (owned_) {
        manager_.Shutdown();
    }
    manager_.SetWakeUpHook(nullptr);
    manager_.SetInvalidateHook(nullptr);
    manager_.SetImageSizeProvider(nullptr);
    manager_.RemoveNotifier(this);
}

bool CQtWindow::AttachTree(std::unique_ptr<CControlUI> root, const CDialogBuilder& builder) {
    if (!root) {
        return false;
    }
    manager_.AttachDialog(std::move(root));
    const auto& attributes = builder.WindowAttributes();
    if (const auto it = attributes.find("size"); it != attributes.end()) {
        if (const auto size = ParseSize(it->second)) {
            resize(manager_.Scale(size->cx), manager_.Scale(size->cy));
        }
    }
    if (const auto it = attributes.find("mininfo"); it != attributes.end()) {
        if (const auto size = ParseSize(it->second)) {
            setMinimumSize(manager_.Scale(size->cx), manager_.Scale(size->cy));
        }
    }
    manager_.SetClientSize({width(), height()});
    manager_.SendNotify(manager_.GetRoot(), "windowinit");
    ScheduleTimers();
    update();
    return true;
}

bool CQtWindow::LoadSkin(std::string_view file, IDialogBuilderCallback* callback,
                         std::string* error) {
    CDialogBuilder builder;
    return AttachTree(builder.Create(file, callback, &manager_, error), builder);
}

bool CQtWindow::LoadSkinFromString(std::string_view xml, IDialogBuilderCallback* callback,
                                   std::string* error) {
    CDialogBuilder builder;
    return AttachTree(builder.CreateFromString(xml, callback, &manager_, error), builder);
}

void CQtWindow::Notify(TNotifyUI& msg) {
    if (handler_) {
        handler_(msg);
    }
    pump_.NotifyPump(msg);
}

int CQtWindow::ShowModal() {
    setWindowModality(Qt::ApplicationModal);
    show();
    QEventLoop loop;
    QObject::connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
        if (!isVisible()) {
            loop.quit();
        }
    });
    poll.start(50);
    loop.exec();
    return 0;
}

void CQtWindow::CenterWindow() {
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        move(area.center() - rect().center());
    }
}

void CQtWindow::ApplyScreenDpi() {
    if (const QScreen* s = screen()) {
        static constexpr int kSteps[] = {48, 72, 96, 120, 144, 168, 192};
        const double dpi = s->logicalDotsPerInch();
        int best = 96;
        for (int step : kSteps) {
            if (std::abs(step - dpi) < std::abs(best - dpi)) {
                best = step;
            }
        }
        manager_.SetDPI(best);
    }
}

QImage CQtWindow::RenderToImage() {
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    QtRenderTarget target(painter, images_);
    manager_.SetClientSize({width(), height()});
    manager_.Paint(target, {0, 0, width(), height()});
    painter.end();
    return image;
}

void CQtWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect dirty = event->rect();
    painter.fillRect(dirty, palette().window());
    QtRenderTarget target(painter, images_);
    manager_.Paint(target, FromQRect(dirty));
    (void)manager_.TakeInvalidRect();
    if (overlay_ != nullptr && overlayEdit_ != nullptr) {
        overlay_->setGeometry(ToQRect(overlayEdit_->GetPos()));
    }
}

void CQtWindow::resizeEvent(QResizeEvent*) {
    manager_.SetClientSize({width(), height()});
    manager_.UpdateLayout();
    manager_.SendNotify(manager_.GetRoot(), "windowsize");
    SyncOverlay();
}

void CQtWindow::mouseMoveEvent(QMouseEvent* event) {
    const UiPoint pt = ToPoint(event->position());
    manager_.OnMouseMove(pt, KeyStateFromQt(event->modifiers()));
    UpdateCursor(pt);
    AfterInput();
}

void CQtWindow::mousePressEvent(QMouseEvent* event) {
    const UiPoint pt = ToPoint(event->position());
    if (event->button() == Qt::LeftButton) {
        manager_.OnButtonDown(pt, KeyStateFromQt(event->modifiers()));
    } else if (event->button() == Qt::RightButton) {
        manager_.OnRightButtonDown(pt);
    }
    AfterInput();
}

void CQtWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        manager_.OnButtonUp(ToPoint(event->position()), KeyStateFromQt(event->modifiers()));
    }
    AfterInput();
}

void CQtWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        manager_.OnDoubleClick(ToPoint(event->position()), KeyStateFromQt(event->modifiers()));
    }
    AfterInput();
}

void CQtWindow::wheelEvent(QWheelEvent* event) {
    manager_.OnScrollWheel(ToPoint(event->position()), event->angleDelta().y());
    AfterInput();
}

void CQtWindow::contextMenuEvent(QContextMenuEvent* event) {
    manager_.OnContextMenu({event->pos().x(), event->pos().y()});
    AfterInput();
}

void CQtWindow::keyPressEvent(QKeyEvent* event) {
    if (const uint32_t key = KeyCodeFromQt(event->key())) {
        manager_.OnKeyDown(key, KeyStateFromQt(event->modifiers()));
    } else if (!event->text().isEmpty()) {
        for (const char32_t c : event->text().toUcs4()) {
            manager_.OnChar(static_cast<uint32_t>(c));
        }
    } else {
        QWidget::keyPressEvent(event);
    }
    AfterInput();
}

void CQtWindow::leaveEvent(QEvent*) {
    manager_.OnMouseLeaveWindow();
    AfterInput();
}

void CQtWindow::closeEvent(QCloseEvent* event) {
    closing_ = true;
    event->accept();
}

bool CQtWindow::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const CControlUI* c = manager_.FindControl(UiPoint{help->pos().x(), help->pos().y()});
        if (c != nullptr && !c->GetToolTip().empty()) {
            QToolTip::showText(help->globalPos(), QString::fromStdString(c->GetToolTip()), this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    if (event->type() == QEvent::ScreenChangeInternal && followScreenDpi_) {
        ApplyScreenDpi();
    }
    return QWidget::event(event);
}

void CQtWindow::UpdateCursor(UiPoint pt) {
    const CControlUI* c = manager_.FindControl(pt);
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (const auto* select = dynamic_cast<const CHandImgSelectButtonUI*>(c)) {
        switch (select->GetCursor()) {
            case CursorKind::IBeam:
                shape = Qt::IBeamCursor;
                break;
            case CursorKind::Wait:
                shape = Qt::WaitCursor;
                break;
            case CursorKind::Cross:
                shape = Qt::CrossCursor;
                break;
            case CursorKind::UpArrow:
                shape = Qt::UpArrowCursor;
                break;
            case CursorKind::Size:
            case CursorKind::SizeAll:
                shape = Qt::SizeAllCursor;
                break;
            case CursorKind::SizeNwse:
                shape = Qt::SizeFDiagCursor;
                break;
            case CursorKind::SizeNesw:
                shape = Qt::SizeBDiagCursor;
                break;
            case CursorKind::SizeWe:
                shape = Qt::SizeHorCursor;
                break;
            case CursorKind::SizeNs:
                shape = Qt::SizeVerCursor;
                break;
            case CursorKind::No:
                shape = Qt::ForbiddenCursor;
                break;
            case CursorKind::Hand:
                shape = Qt::PointingHandCursor;
                break;
            default:
                break;
        }
    } else if (dynamic_cast<const CEditUI*>(c) != nullptr) {
        shape = Qt::IBeamCursor;
    }
    if (cursor().shape() != shape) {
        setCursor(shape);
    }
}

void CQtWindow::AfterInput() {
    SyncOverlay();
    ScheduleTimers();
}

void CQtWindow::ScheduleTimers() {
    const int64_t delay = manager_.NextTimerDelay();
    if (delay < 0) {
        timer_.stop();
        return;
    }
    timer_.start(static_cast<int>(std::min<int64_t>(delay, 1 << 30)));
}

void CQtWindow::OnWake() {
    manager_.ProcessMessages();
    AfterInput();
}

void CQtWindow::SyncOverlay() {
    auto* edit = dynamic_cast<CEditUI*>(manager_.GetFocus());
    if (edit != nullptr && (!edit->IsVisible() || edit->GetPos().IsEmpty())) {
        edit = nullptr;
    }
    if (edit == overlayEdit_) {
        return;
    }
    if (overlay_ != nullptr) {
        overlay_->hide();
        overlay_->deleteLater();
        overlay_ = nullptr;
    }
    overlayEdit_ = edit;
    if (edit == nullptr) {
        setFocus();
        return;
    }
    // A real line editor over the edit control while it has the focus; what
    // the user types goes through the control's own rules.
    overlay_ = new QLineEdit(this);
    overlay_->setFrame(false);
    overlay_->setGeometry(ToQRect(edit->GetPos()));
    if (edit->GetMaxChar() > 0) {
        overlay_->setMaxLength(edit->GetMaxChar());
    }
    if (edit->IsNumberOnly()) {
        overlay_->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9]*")), overlay_));
    }
    overlay_->setReadOnly(edit->IsReadOnly());
    overlay_->setEchoMode(edit->IsPassword() ? QLineEdit::Password : QLineEdit::Normal);
    QFont font(QString::fromStdString(manager_.GetFont(edit->GetFont()).face));
    font.setPixelSize(manager_.Scale(manager_.GetFont(edit->GetFont()).size));
    overlay_->setFont(font);
    overlay_->setText(QString::fromStdString(edit->GetText()));
    QObject::connect(overlay_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (overlayEdit_ == nullptr) {
            return;
        }
        const std::string kept = overlayEdit_->SetTextFromUser(text.toStdString());
        if (QString::fromStdString(kept) != text) {
            overlay_->setText(QString::fromStdString(kept));
        }
    });
    QObject::connect(overlay_, &QLineEdit::returnPressed, this, [this] {
        if (overlayEdit_ != nullptr) {
            manager_.OnKeyDown(kKeyReturn);
            if (overlay_ != nullptr && overlayEdit_ != nullptr) {
                overlay_->setText(QString::fromStdString(overlayEdit_->GetText()));
            }
        }
    });
    overlay_->show();
    overlay_->setFocus();
}

void CQtNativeChild::SetVisible(bool visible) {
    if (widget_->parentWidget() != window_) {
        widget_->setParent(window_);
    }
    widget_->setVisible(visible);
}

void CQtNativeChild::SetGeometry(const UiRect& rc) {
    if (widget_->parentWidget() != window_) {
        widget_->setParent(window_);
        widget_->show();
    }
    widget_->setGeometry(ToQRect(rc));
}

void InstallComboDropDown() {
    CComboUI::SetDropDownHook([](CComboUI* combo) {
        CPaintManagerUI* manager = combo->GetManager();
        QMenu menu;
        for (int i = 0; i < combo->GetCount(); ++i) {
            QAction* action =
                menu.addAction(QString::fromStdString(combo->GetItemAt(i)->GetText()));
            action->setData(i);
            action->setCheckable(true);
            action->setChecked(i == combo->GetCurSel());
        }
        QWidget* window = QApplication::activeWindow();
        const UiRect& rc = combo->GetPos();
        const QPoint at = window != nullptr ? window->mapToGlobal(QPoint(rc.left, rc.bottom))
                                            : QPoint(rc.left, rc.bottom);
        menu.setMinimumWidth(rc.Width());
        if (QAction* chosen = menu.exec(at);
            chosen != nullptr && manager != nullptr && !manager->IsShutDown()) {
            combo->SelectItem(chosen->data().toInt(), false, true);
        }
    });
}

}  // namespace vextar::ui

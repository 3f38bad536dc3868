#include "ui/qt/tray_icon.h"

#include <QIcon>

namespace vextar::ui {

CTrayIcon::CTrayIcon() = default;
CTrayIcon::~CTrayIcon() {
    DeleteTrayIcon();
}

bool CTrayIcon::Create(const std::string& iconFile, const std::string& tooltip) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    icon_ = std::make_unique<QSystemTrayIcon>(QIcon(QString::fromStdString(iconFile)));
    icon_->setToolTip(QString::fromStdString(tooltip));
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (!handler_) {
                             return;
                         }
                         switch (reason) {
                             case QSystemTrayIcon::Trigger:
                                 handler_(Click::Left);
                                 break;
                             case QSystemTrayIcon::DoubleClick:
                                 handler_(Click::Double);
                                 break;
                             case QSystemTrayIcon::Context:
                                 handler_(Click::Context);
                                 break;
                             default:
                                 break;
                         }
                     });
    icon_->show();
    return true;
}

void CTrayIcon::SetToolTip(const std::string& tooltip) {
    if (icon_) {
        icon_->setToolTip(QString::fromStdString(tooltip));
    }
}

void CTrayIcon::OnClick(std::function<void(Click)> handler) {
    handler_ = std::move(handler);
}

void CTrayIcon::DeleteTrayIcon() {
    if (icon_) {
        icon_->hide();
        icon_.reset();
    }
}

bool CTrayIcon::IsVisible() const {
    return icon_ && icon_->isVisible();
}

}  // namespace vextar::ui

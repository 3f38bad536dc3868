#include "app/qt/power_events.h"

#include <QDBusConnection>

#include "platform/log.h"

namespace vextar::app {

CPowerEvents::CPowerEvents(std::function<void(bool)> onSleep) : onSleep_(std::move(onSleep)) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        VEXTAR_LOG_INFO("no system bus: suspend and resume are not followed");
        return;
    }
    watching_ = bus.connect(QStringLiteral("org.freedesktop.login1"),
                            QStringLiteral("/org/freedesktop/login1"),
                            QStringLiteral("org.freedesktop.login1.Manager"),
                            QStringLiteral("PrepareForSleep"), this, SLOT(PrepareForSleep(bool)));
    if (!watching_) {
        VEXTAR_LOG_INFO("logind is not reachable: suspend and resume are not followed");
    }
}

void CPowerEvents::PrepareForSleep(bool sleeping) {
    if (onSleep_) {
        onSleep_(sleeping);
    }
}

}  // namespace vextar::app

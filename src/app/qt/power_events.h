#pragma once

// Suspend and resume from logind: PrepareForSleep(true) before the machine
// sleeps, PrepareForSleep(false) after it wakes. Without a system bus (a
// container, a test machine) nothing is reported.

#include <QObject>
#include <functional>

namespace vextar::app {

class CPowerEvents final : public QObject {
    Q_OBJECT
  public:
    // `onSleep(true)` before sleeping, `onSleep(false)` after waking.
    explicit CPowerEvents(std::function<void(bool sleeping)> onSleep);
    [[nodiscard]] bool Watching() const { return watching_; }

  private slots:
    void PrepareForSleep(bool sleeping);

  private:
    std::function<void(bool)> onSleep_;
    bool watching_ = false;
};

}  // namespace vextar::app

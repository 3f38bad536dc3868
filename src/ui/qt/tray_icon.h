#pragma once

// The icon in the system tray, with its tooltip, a click handler and a menu.

#include <QSystemTrayIcon>
#include <functional>
#include <memory>
#include <string>

namespace vextar::ui {

class CTrayIcon {
  public:
    enum class Click { Left, Double, Context };

    CTrayIcon();
    ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // False when the desktop has no tray; the program runs on without it.
    bool Create(const std::string& iconFile, const std::string& tooltip);
    void SetToolTip(const std::string& tooltip);
    void OnClick(std::function<void(Click)> handler);
    void DeleteTrayIcon();
    [[nodiscard]] bool IsVisible() const;

  private:
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::function<void(Click)> handler_;
};

}  // namespace vextar::ui

#pragma once

// A window system without a screen: views that record what the program
// asked of them, modal runs that play a script, and a tray and menus that
// the test clicks.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_window.h"
#include "platform/message_bus.h"
#include "profile/settings_store.h"

namespace vextar::test {

class FakeView final : public app::IWindowView {
  public:
    FakeView(app::CAppWindow& window, std::vector<std::string>& log, ui::UiRect monitor)
        : window_(window), log_(log), monitor_(monitor) {
        const ui::UiSize size = window.LayoutSize();
        Resize({window.Manager().Scale(size.cx), window.Manager().Scale(size.cy)});
    }
    void Show(bool show) override {
        visible = show;
        if (show) {
            minimised = false;
        }
        log_.push_back(window_.ClassName() + (show ? " show" : " hide"));
    }
    [[nodiscard]] bool IsVisible() const override { return visible; }
    [[nodiscard]] bool IsMinimised() const override { return minimised; }
    [[nodiscard]] bool IsMaximised() const override { return maximised; }
    void Command(app::SysCommand command) override {
        minimised = command == app::SysCommand::Minimise;
        maximised = command == app::SysCommand::Maximise;
        visible = true;
        log_.push_back(window_.ClassName() + " command " +
                       std::to_string(static_cast<int>(command)));
    }
    void Resize(ui::UiSize pixels) override {
        rect.right = rect.left + pixels.cx;
        rect.bottom = rect.top + pixels.cy;
        window_.Manager().SetClientSize(pixels);
        window_.Manager().UpdateLayout();
    }
    void Move(ui::UiPoint p) override {
        const ui::UiSize size{rect.Width(), rect.Height()};
        rect = {p.x, p.y, p.x + size.cx, p.y + size.cy};
    }
    [[nodiscard]] ui::UiRect WindowRect() const override { return rect; }
    void Center() override { log_.push_back(window_.ClassName() + " center"); }
    void BringToFront() override {
        visible = true;
        log_.push_back(window_.ClassName() + " front");
    }
    [[nodiscard]] ui::UiRect MonitorRect() const override { return monitor_; }
    void Close() override {
        if (closed) {
            return;
        }
        closed = true;
        visible = false;
        log_.push_back(window_.ClassName() + " close");
        window_.OnViewClosed();
    }

    bool visible = false;
    bool minimised = false;
    bool maximised = false;
    bool closed = false;
    ui::UiRect rect{};

  private:
    app::CAppWindow& window_;
    std::vector<std::string>& log_;
    ui::UiRect monitor_;
};

class FakeWindowSystem final : public app::IWindowSystem {
  public:
    std::unique_ptr<app::IWindowView> CreateView(app::CAppWindow& window, app::CAppWindow*,
                                                 const app::ViewStyle&) override {
        log.push_back("view " + window.ClassName());
        return std::make_unique<FakeView>(window, log, monitor);
    }
    void RunModal(app::CAppWindow& window, app::CAppWindow*) override {
        ++modalRuns;
        log.push_back("modal " + window.ClassName());
        if (modalScript) {
            modalScript(window);
        }
    }
    [[nodiscard]] ui::UiSize PrimaryScreenSize() const override {
        return {monitor.Width(), monitor.Height()};
    }
    [[nodiscard]] ui::UiPoint CursorPosition() const override { return {500, 700}; }
    [[nodiscard]] std::optional<ui::UiRect> TaskbarRect() const override { return taskbar; }
    std::string ShowMenu(const ui::CPaintManagerUI&, std::string_view file,
                         ui::UiPoint at) override {
        log.push_back("menu " + std::string(file));
        menuAt = at;
        return menuChoice;
    }
    std::string ShowMenuXml(std::string_view xml, ui::UiPoint at) override {
        log.push_back("menu xml");
        menuXml = xml;
        menuAt = at;
        return menuChoice;
    }
    bool CreateTray(const std::string&, const std::string& tooltip,
                    std::function<void(intptr_t)> onClick) override {
        log.push_back("tray " + tooltip);
        trayClick = std::move(onClick);
        return trayAvailable;
    }
    void DeleteTray() override {
        log.push_back("tray deleted");
        trayClick = nullptr;
    }
    std::optional<std::string> OpenFileDialog(app::CAppWindow*, std::string_view) override {
        return chosenFile;
    }
    void Quit(int code) override {
        log.push_back("quit " + std::to_string(code));
        quitCode = code;
    }

    std::vector<std::string> log;
    ui::UiRect monitor{0, 0, 1920, 1080};
    std::optional<ui::UiRect> taskbar;
    std::function<void(app::CAppWindow&)> modalScript;
    int modalRuns = 0;
    std::string menuChoice;
    std::string menuXml;
    bool trayAvailable = true;
    ui::UiPoint menuAt{};
    std::function<void(intptr_t)> trayClick;
    std::optional<std::string> chosenFile;
    std::optional<int> quitCode;
};

class FakeBus final : public platform::IMessageBus {
  public:
    struct Sent {
        std::string name;
        int64_t w;
        int64_t l;
    };
    struct Copy {
        std::string title;
        uint32_t dwData;
        std::vector<uint8_t> payload;
        int64_t wParam;
    };
    void Broadcast(std::string_view name, int64_t w, int64_t l) override {
        broadcasts.push_back({std::string(name), w, l});
    }
    bool SendCopyData(std::string_view title, uint32_t dwData, std::span<const uint8_t> payload,
                      int64_t wParam) override {
        if (!HasWindow(title)) {
            return false;
        }
        copies.push_back({std::string(title), dwData, {payload.begin(), payload.end()}, wParam});
        return true;
    }
    [[nodiscard]] bool HasWindow(std::string_view title) const override {
        return std::find(windows.begin(), windows.end(), title) != windows.end();
    }
    std::vector<Sent> broadcasts;
    std::vector<Copy> copies;
    std::vector<std::string> windows;
};

class FakeSettings final : public ISettingsStore {
  public:
    [[nodiscard]] std::optional<int64_t> GetInt(std::string_view name) const override {
        const auto it = values.find(std::string(name));
        return it != values.end() ? std::optional<int64_t>(it->second) : std::nullopt;
    }
    bool SetInt(std::string_view name, int64_t value, std::string*) override {
        values[std::string(name)] = value;
        return true;
    }
    std::map<std::string, int64_t> values;
};

}  // namespace vextar::test

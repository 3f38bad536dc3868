#pragma once

// CPaintManagerUI: the owner of one window's control tree. It lays the tree
// out, dispatches input to controls, keeps focus, hot and captured controls,
// runs per-control timers from a clock, delivers notifications, keeps option
// groups and fonts, and runs the window's message queue (posted messages, and
// sends from other threads that wait for the UI thread).

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "ui/control.h"
#include "ui/notify.h"
#include "ui/ui_types.h"

namespace vextar::ui {

using LRESULT = intptr_t;

class CPaintManagerUI {
  public:
    explicit CPaintManagerUI(platform::IClock& clock = platform::SystemClock());
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // Tree.
    void AttachDialog(std::unique_ptr<CControlUI> root);
    [[nodiscard]] CControlUI* GetRoot() const { return root_.get(); }
    // First control named `name` (case ignored) in the whole tree.
    [[nodiscard]] CControlUI* FindControl(std::string_view name) const;
    // First control named `name` (case ignored) in the subtree of `parent`.
    [[nodiscard]] CControlUI* FindSubControlByName(CControlUI* parent, std::string_view name) const;
    [[nodiscard]] CControlUI* FindControl(UiPoint pt) const;
    // Called by every control as it goes away.
    void ReapObjects(CControlUI* control);

    // Window size and layout.
    void SetClientSize(UiSize size);
    [[nodiscard]] UiSize GetClientSize() const { return clientSize_; }
    void NeedUpdate() { layoutNeeded_ = true; }
    void UpdateLayout();
    [[nodiscard]] bool LayoutNeeded() const { return layoutNeeded_; }

    // Painting: what needs repainting, and painting it.
    void Invalidate(const UiRect& rc);
    [[nodiscard]] UiRect TakeInvalidRect();
    [[nodiscard]] const UiRect& InvalidRect() const { return invalid_; }
    void Paint(IRenderTarget& target, const UiRect& dirty);
    // Called with the rectangle whenever something needs repainting (the
    // host schedules a paint).
    void SetInvalidateHook(std::function<void(const UiRect&)> hook);

    // DPI: 48, 72, 96, 120, 144, 168 or 192. Any other value is logged and
    // 96 used.
    void SetDPI(int dpi);
    [[nodiscard]] int GetDPI() const { return dpi_; }
    [[nodiscard]] int Scale(int value) const { return value * dpi_ / 96; }

    // Resources.
    void SetResourcePath(std::string path);
    [[nodiscard]] const std::string& GetResourcePath() const { return resourcePath_; }
    // A skin path with backslashes, relative to the resource path.
    [[nodiscard]] std::string ResolveResource(std::string_view relative) const;
    // The pixel size of an image file, as the host's image loader knows it.
    void SetImageSizeProvider(std::function<std::optional<UiSize>(const std::string&)> provider);
    [[nodiscard]] std::optional<UiSize> ImageSize(const std::string& file) const;
    void AddFont(int id, FontInfo font, bool isDefault);
    [[nodiscard]] FontInfo GetFont(int id) const;
    // Forgets every font; the built-in default stays.
    void RemoveAllFonts();

    // Notifications.
    void AddNotifier(INotifyUI* notifier);
    void RemoveNotifier(INotifyUI* notifier);
    void SendNotify(CControlUI* control, std::string_view type, uintptr_t wParam = 0,
                    intptr_t lParam = 0, bool async = false);
    void SendNotify(TNotifyUI& msg, bool async = false);

    // Per-control timers; the control gets Timer events (and from those,
    // "timer" notifications) with the id in wParam.
    bool SetTimer(CControlUI* control, uint32_t id, uint32_t periodMs);
    // The same, due at the next multiple of the period on the clock, so
    // that timers of one period fire in one wake-up (at most a period late
    // at the first firing).
    bool SetAlignedTimer(CControlUI* control, uint32_t id, uint32_t periodMs);
    bool KillTimer(CControlUI* control, uint32_t id);
    void KillTimers(CControlUI* control);
    // Runs every timer that is due by the clock; returns how many fired.
    int ProcessTimers();
    // Milliseconds until the next timer is due, or -1 when none runs.
    [[nodiscard]] int64_t NextTimerDelay() const;
    [[nodiscard]] platform::IClock& Clock() const { return clock_; }

    // Option groups.
    void AddOptionGroup(std::string_view group, CControlUI* option);
    [[nodiscard]] std::vector<CControlUI*> GetOptionGroup(std::string_view group) const;
    void RemoveOptionGroup(std::string_view group, CControlUI* option);

    // Focus, hot and capture.
    [[nodiscard]] CControlUI* GetFocus() const { return focus_; }
    void SetFocus(CControlUI* control);
    [[nodiscard]] CControlUI* GetHot() const { return hot_; }
    void SetCapture(CControlUI* control) { capture_ = control; }
    void ReleaseCapture() { capture_ = nullptr; }
    [[nodiscard]] CControlUI* GetCapture() const { return capture_; }

    // Input, in window pixels. The Qt host and the headless user actions
    // both come through here, so both raise the same notifications.
    void OnMouseMove(UiPoint pt, uint16_t keyState = kKeyNone);
    void OnMouseLeaveWindow();
    void OnButtonDown(UiPoint pt, uint16_t keyState = kKeyNone);
    void OnButtonUp(UiPoint pt, uint16_t keyState = kKeyNone);
    void OnDoubleClick(UiPoint pt, uint16_t keyState = kKeyNone);
    void OnRightButtonDown(UiPoint pt);
    void OnContextMenu(UiPoint pt);
    void OnScrollWheel(UiPoint pt, int delta);
    void OnKeyDown(uint32_t key, uint16_t keyState = kKeyNone);
    void OnChar(uint32_t ch);

    // Message queue. Post and Send may be called from any thread.
    using MessageHandler =
        std::function<LRESULT(uint32_t msg, uintptr_t wParam, intptr_t lParam, bool& handled)>;
    void AddMessageHandler(MessageHandler handler);
    void PostMessage(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);
    // On the UI thread, handles the message at once. From another thread,
    // waits until the UI thread has handled it; returns 0 without waiting
    // once the window is closing.
    LRESULT SendMessage(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);
    // UI thread: handles queued messages and asynchronous notifications.
    int ProcessMessages();
    // Called (from any thread) when something was queued, so the host can
    // wake its loop.
    void SetWakeUpHook(std::function<void()> hook);
    // The window is closing: waiting senders return 0, and later sends and
    // posts are dropped.
    void Shutdown();
    [[nodiscard]] bool IsShutDown() const;
    // The UI thread is the one that created the manager unless told.
    void BindToCurrentThread();
    [[nodiscard]] bool OnUiThread() const;

  private:
    struct Timer {
        CControlUI* control;
        uint32_t id;
        uint32_t period;
        int64_t due;
    };
    struct Message {
        uint32_t msg;
        uintptr_t wParam;
        intptr_t lParam;
        // For sends: where the result goes and whether it is done.
        struct Waiter* waiter;
    };

    void DispatchEvent(CControlUI* control, TEventUI& event);
    bool AddTimer(CControlUI* control, uint32_t id, uint32_t periodMs, int64_t due);
    void SetHot(CControlUI* control, UiPoint pt);
    LRESULT Handle(uint32_t msg, uintptr_t wParam, intptr_t lParam);
    void Wake();

    platform::IClock& clock_;
    std::unique_ptr<CControlUI> root_;
    UiSize clientSize_{};
    bool layoutNeeded_ = true;
    UiRect invalid_{};
    std::function<void(const UiRect&)> invalidateHook_;
    int dpi_ = 96;
    std::string resourcePath_;
    std::function<std::optional<UiSize>(const std::string&)> imageSize_;
    std::map<int, FontInfo> fonts_;
    int defaultFont_ = -1;

    std::vector<INotifyUI*> notifiers_;
    std::deque<TNotifyUI> asyncNotifications_;
    std::vector<Timer> timers_;
    std::vector<std::pair<std::string, CControlUI*>> optionGroups_;
    CControlUI* focus_ = nullptr;
    CControlUI* hot_ = nullptr;
    CControlUI* capture_ = nullptr;
    CControlUI* pressed_ = nullptr;

    std::vector<MessageHandler> handlers_;
    mutable std::mutex queueMutex_;
    std::condition_variable queueDone_;
    std::deque<Message> queue_;
    std::function<void()> wakeHook_;
    bool shutDown_ = false;
    std::thread::id uiThread_;
};

}  // namespace vextar::ui

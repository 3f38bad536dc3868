#include "ui/paint_manager.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "platform/log.h"

namespace vextar::ui {

struct Waiter {
    LRESULT result = 0;
    bool done = false;
};

CPaintManagerUI::CPaintManagerUI(platform::IClock& clock)
    : clock_(clock), uiThread_(std::this_thread::get_id()) {
    fonts_[-1] = FontInfo{};
}

CPaintManagerUI::~CPaintManagerUI() {
    Shutdown();
    // Controls reap themselves from this manager as the tree goes.
    root_.reset();
}

void CPaintManagerUI::AttachDialog(std::unique_ptr<CControlUI> root) {
    root_ = std::move(root);
    if (root_) {
        root_->SetManager(this, nullptr, true);
    }
    layoutNeeded_ = true;
}

CControlUI* CPaintManagerUI::FindControl(std::string_view name) const {
    return root_ ? root_->FindByName(name) : nullptr;
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, std::string_view name) const {
    return parent != nullptr ? parent->FindByName(name) : nullptr;
}

CControlUI* CPaintManagerUI::FindControl(UiPoint pt) const {
    return root_ ? root_->FindAt(pt) : nullptr;
}

void CPaintManagerUI::ReapObjects(CControlUI* control) {
    if (focus_ == control) {
        focus_ = nullptr;
    }
    if (hot_ == control) {
        hot_ = nullptr;
    }
    if (capture_ == control) {
        capture_ = nullptr;
    }
    if (pressed_ == control) {
        pressed_ = nullptr;
    }
    KillTimers(control);
    std::erase_if(optionGroups_, [control](const auto& e) { return e.second == control; });
    std::erase_if(asyncNotifications_,
                  [control](const TNotifyUI& n) { return n.pSender == control; });
}

void CPaintManagerUI::SetClientSize(UiSize size) {
    if (clientSize_ == size) {
        return;
    }
    clientSize_ = size;
    layoutNeeded_ = true;
    Invalidate({0, 0, size.cx, size.cy});
}

void CPaintManagerUI::UpdateLayout() {
    if (!layoutNeeded_) {
        return;
    }
    layoutNeeded_ = false;
    if (root_) {
        root_->SetPos({0, 0, clientSize_.cx, clientSize_.cy});
    }
}

void CPaintManagerUI::Invalidate(const UiRect& rc) {
    const UiRect clipped = rc.Intersect({0, 0, clientSize_.cx, clientSize_.cy});
    if (clipped.IsEmpty()) {
        return;
    }
    invalid_ = invalid_.Union(clipped);
    if (invalidateHook_) {
        invalidateHook_(clipped);
    }
}

UiRect CPaintManagerUI::TakeInvalidRect() {
    return std::exchange(invalid_, UiRect{});
}

void CPaintManagerUI::Paint(IRenderTarget& target, const UiRect& dirty) {
    UpdateLayout();
    if (root_ && root_->IsVisible()) {
        target.PushClip(dirty);
        root_->DoPaint(target, dirty);
        target.PopClip();
    }
}

void CPaintManagerUI::SetInvalidateHook(std::function<void(const UiRect&)> hook) {
    invalidateHook_ = std::move(hook);
}

void CPaintManagerUI::SetDPI(int dpi) {
    static constexpr int kAllowed[] = {48, 72, 96, 120, 144, 168, 192};
    if (std::find(std::begin(kAllowed), std::end(kAllowed), dpi) == std::end(kAllowed)) {
        VEXTAR_LOG_ERROR("unsupported DPI %d, using 96", dpi);
        dpi = 96;
    }
    if (dpi_ != dpi) {
        dpi_ = dpi;
        layoutNeeded_ = true;
        Invalidate({0, 0, clientSize_.cx, clientSize_.cy});
    }
}

void CPaintManagerUI::SetResourcePath(std::string path) {
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    resourcePath_ = std::move(path);
}

std::string CPaintManagerUI::ResolveResource(std::string_view relative) const {
    std::string path(relative);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (!path.empty() && path.front() == '/') {
        return path;
    }
    return resourcePath_ + path;
}

void CPaintManagerUI::SetImageSizeProvider(
    std::function<std::optional<UiSize>(const std::string&)> provider) {
    imageSize_ = std::move(provider);
}

std::optional<UiSize> CPaintManagerUI::ImageSize(const std::string& file) const {
    return imageSize_ ? imageSize_(file) : std::nullopt;
}

void CPaintManagerUI::AddFont(int id, FontInfo font, bool isDefault) {
    fonts_[id] = font;
    if (isDefault) {
        defaultFont_ = id;
        fonts_[-1] = font;
    }
}

void CPaintManagerUI::RemoveAllFonts() {
    fonts_.clear();
    fonts_[-1] = FontInfo{};
    defaultFont_ = -1;
}

FontInfo CPaintManagerUI::GetFont(int id) const {
    const auto it = fonts_.find(id);
    return it != fonts_.end() ? it->second : fonts_.at(-1);
}

void CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end()) {
        notifiers_.push_back(notifier);
    }
}

void CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    std::erase(notifiers_, notifier);
}

void CPaintManagerUI::SendNotify(CControlUI* control, std::string_view type, uintptr_t wParam,
                                 intptr_t lParam, bool async) {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = control;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, async);
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg, bool async) {
    msg.dwTimestamp = clock_.NowMs();
    if (async) {
        asyncNotifications_.push_back(msg);
        Wake();
        return;
    }
    // A notifier may remove itself or others while it runs: walk a copy.
    const std::vector<INotifyUI*> notifiers = notifiers_;
    for (INotifyUI* n : notifiers) {
        if (std::find(notifiers_.begin(), notifiers_.end(), n) != notifiers_.end()) {
            n->Notify(msg);
        }
    }
}

bool CPaintManagerUI::SetAlignedTimer(CControlUI* control, uint32_t id, uint32_t periodMs) {
    if (control == nullptr || periodMs == 0) {
        return false;
    }
    const int64_t now = clock_.NowMs();
    return AddTimer(control, id, periodMs, (now / periodMs + 1) * periodMs);
}

bool CPaintManagerUI::SetTimer(CControlUI* control, uint32_t id, uint32_t periodMs) {
    if (control == nullptr || periodMs == 0) {
        return false;
    }
    return AddTimer(control, id, periodMs, clock_.NowMs() + periodMs);
}

bool CPaintManagerUI::AddTimer(CControlUI* control, uint32_t id, uint32_t periodMs, int64_t due) {
    for (Timer& t : timers_) {
        if (t.control == control && t.id == id) {
            t.period = periodMs;
            t.due = due;
            Wake();
            return true;
        }
    }
    timers_.push_back({control, id, periodMs, due});
    Wake();  // the host sleeps until the next timer: let it look again
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, uint32_t id) {
    const std::size_t before = timers_.size();
    std::erase_if(timers_, [&](const Timer& t) { return t.control == control && t.id == id; });
    return timers_.size() != before;
}

void CPaintManagerUI::KillTimers(CControlUI* control) {
    std::erase_if(timers_, [&](const Timer& t) { return t.control == control; });
}

int CPaintManagerUI::ProcessTimers() {
    const int64_t now = clock_.NowMs();
    int fired = 0;
    // One firing per due timer per call, as a message loop does: a timer
    // that fell far behind fires once, not once per missed period.
    std::vector<std::pair<CControlUI*, uint32_t>> due;
    for (Timer& t : timers_) {
        if (t.due <= now) {
            due.emplace_back(t.control, t.id);
            t.due = now + t.period;
        }
    }
    for (const auto& entry : due) {
        CControlUI* const control = entry.first;
        const uint32_t id = entry.second;
        // A handler may have killed this timer or destroyed the control.
        const bool alive = std::any_of(timers_.begin(), timers_.end(), [&](const Timer& t) {
            return t.control == control && t.id == id;
        });
        if (!alive) {
            continue;
        }
        TEventUI event;
        event.Type = UiEvent::Timer;
        event.pSender = control;
        event.dwTimestamp = now;
        event.wParam = id;
        control->DoEvent(event);
        ++fired;
    }
    return fired;
}

int64_t CPaintManagerUI::NextTimerDelay() const {
    if (timers_.empty()) {
        return -1;
    }
    int64_t next = timers_.front().due;
    for (const Timer& t : timers_) {
        next = std::min(next, t.due);
    }
    return std::max<int64_t>(next - clock_.NowMs(), 0);
}

void CPaintManagerUI::AddOptionGroup(std::string_view group, CControlUI* option) {
    for (const auto& [name, control] : optionGroups_) {
        if (control == option && name == group) {
            return;
        }
    }
    optionGroups_.emplace_back(std::string(group), option);
}

std::vector<CControlUI*> CPaintManagerUI::GetOptionGroup(std::string_view group) const {
    std::vector<CControlUI*> members;
    for (const auto& [name, control] : optionGroups_) {
        if (name == group) {
            members.push_back(control);
        }
    }
    return members;
}

void CPaintManagerUI::RemoveOptionGroup(std::string_view group, CControlUI* option) {
    std::erase_if(optionGroups_,
                  [&](const auto& e) { return e.first == group && e.second == option; });
}

void CPaintManagerUI::SetFocus(CControlUI* control) {
    if (control == focus_) {
        return;
    }
    if (control != nullptr &&
        (!control->IsVisible() || !control->IsEnabled() || !control->IsKeyboardEnabled())) {
        return;
    }
    if (CControlUI* old = focus_) {
        focus_ = nullptr;
        TEventUI event;
        event.Type = UiEvent::KillFocus;
        event.pSender = control;
        event.dwTimestamp = clock_.NowMs();
        old->DoEvent(event);
    }
    if (control != nullptr) {
        focus_ = control;
        TEventUI event;
        event.Type = UiEvent::SetFocus;
        event.pSender = control;
        event.dwTimestamp = clock_.NowMs();
        control->DoEvent(event);
    }
}

void CPaintManagerUI::DispatchEvent(CControlUI* control, TEventUI& event) {
    event.pSender = control;
    event.dwTimestamp = clock_.NowMs();
    control->DoEvent(event);
}

void CPaintManagerUI::SetHot(CControlUI* control, UiPoint pt) {
    if (control == hot_) {
        return;
    }
    if (CControlUI* old = hot_) {
        hot_ = nullptr;
        TEventUI leave;
        leave.Type = UiEvent::MouseLeave;
        leave.ptMouse = pt;
        DispatchEvent(old, leave);
    }
    hot_ = control;
    if (control != nullptr) {
        TEventUI enter;
        enter.Type = UiEvent::MouseEnter;
        enter.ptMouse = pt;
        DispatchEvent(control, enter);
    }
}

void CPaintManagerUI::OnMouseMove(UiPoint pt, uint16_t keyState) {
    UpdateLayout();
    CControlUI* target = capture_ != nullptr ? capture_ : FindControl(pt);
    if (capture_ == nullptr) {
        SetHot(target, pt);
    }
    if (target != nullptr) {
        TEventUI move;
        move.Type = UiEvent::MouseMove;
        move.ptMouse = pt;
        move.wKeyState = keyState;
        DispatchEvent(target, move);
    }
}

void CPaintManagerUI::OnMouseLeaveWindow() {
    if (capture_ == nullptr) {
        SetHot(nullptr, {-1, -1});
    }
}

void CPaintManagerUI::OnButtonDown(UiPoint pt, uint16_t keyState) {
    UpdateLayout();
    CControlUI* target = FindControl(pt);
    if (target == nullptr) {
        SetFocus(nullptr);
        return;
    }
    SetHot(target, pt);
    // Focus moves to what was pressed (nothing keeps it when that control
    // takes no keyboard input).
    SetFocus(target->IsKeyboardEnabled() ? target : nullptr);
    pressed_ = target;
    SetCapture(target);
    TEventUI down;
    down.Type = UiEvent::ButtonDown;
    down.ptMouse = pt;
    down.wKeyState = keyState;
    DispatchEvent(target, down);
}

void CPaintManagerUI::OnButtonUp(UiPoint pt, uint16_t keyState) {
    CControlUI* target = capture_ != nullptr ? capture_ : pressed_;
    ReleaseCapture();
    pressed_ = nullptr;
    if (target == nullptr) {
        return;
    }
    TEventUI up;
    up.Type = UiEvent::ButtonUp;
    up.ptMouse = pt;
    up.wKeyState = keyState;
    DispatchEvent(target, up);
}

void CPaintManagerUI::OnDoubleClick(UiPoint pt, uint16_t keyState) {
    UpdateLayout();
    if (CControlUI* target = FindControl(pt)) {
        TEventUI dbl;
        dbl.Type = UiEvent::DblClick;
        dbl.ptMouse = pt;
        dbl.wKeyState = keyState;
        SetCapture(target);
        pressed_ = target;
        DispatchEvent(target, dbl);
    }
}

void CPaintManagerUI::OnRightButtonDown(UiPoint pt) {
    UpdateLayout();
    if (CControlUI* target = FindControl(pt)) {
        TEventUI down;
        down.Type = UiEvent::RButtonDown;
        down.ptMouse = pt;
        DispatchEvent(target, down);
    }
}

void CPaintManagerUI::OnContextMenu(UiPoint pt) {
    UpdateLayout();
    if (CControlUI* target = FindControl(pt)) {
        TEventUI menu;
        menu.Type = UiEvent::ContextMenu;
        menu.ptMouse = pt;
        DispatchEvent(target, menu);
    }
}

void CPaintManagerUI::OnScrollWheel(UiPoint pt, int delta) {
    UpdateLayout();
    if (CControlUI* target = FindControl(pt)) {
        TEventUI wheel;
        wheel.Type = UiEvent::ScrollWheel;
        wheel.ptMouse = pt;
        wheel.wParam = static_cast<uintptr_t>(delta);
        DispatchEvent(target, wheel);
    }
}

void CPaintManagerUI::OnKeyDown(uint32_t key, uint16_t keyState) {
    if (focus_ != nullptr) {
        TEventUI down;
        down.Type = UiEvent::KeyDown;
        down.chKey = key;
        down.wKeyState = keyState;
        DispatchEvent(focus_, down);
    }
}

void CPaintManagerUI::OnChar(uint32_t ch) {
    if (focus_ != nullptr) {
        TEventUI c;
        c.Type = UiEvent::Char;
        c.chKey = ch;
        DispatchEvent(focus_, c);
    }
}

void CPaintManagerUI::AddMessageHandler(MessageHandler handler) {
    handlers_.push_back(std::move(handler));
}

void CPaintManagerUI::Wake() {
    std::function<void()> hook;
    {
        std::lock_guard lock(queueMutex_);
        hook = wakeHook_;
    }
    if (hook) {
        hook();
    }
}

void CPaintManagerUI::PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    {
        std::lock_guard lock(queueMutex_);
        if (shutDown_) {
            return;
        }
        queue_.push_back({msg, wParam, lParam, nullptr});
    }
    Wake();
}

LRESULT CPaintManagerUI::Handle(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    for (MessageHandler& h : handlers_) {
        bool handled = false;
        const LRESULT result = h(msg, wParam, lParam, handled);
        if (handled) {
            return result;
        }
    }
    return 0;
}

LRESULT CPaintManagerUI::SendMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    if (OnUiThread()) {
        return Handle(msg, wParam, lParam);
    }
    Waiter waiter;
    {
        std::unique_lock lock(queueMutex_);
        if (shutDown_) {
            return 0;
        }
        queue_.push_back({msg, wParam, lParam, &waiter});
    }
    Wake();
    std::unique_lock lock(queueMutex_);
    queueDone_.wait(lock, [&] { return waiter.done || shutDown_; });
    if (!waiter.done) {
        // Cancelled by the window closing: take the message back out.
        std::erase_if(queue_, [&](const Message& m) { return m.waiter == &waiter; });
        return 0;
    }
    return waiter.result;
}

int CPaintManagerUI::ProcessMessages() {
    int handled = 0;
    for (;;) {
        Message m{};
        {
            std::lock_guard lock(queueMutex_);
            if (queue_.empty()) {
                break;
            }
            m = queue_.front();
            queue_.pop_front();
        }
        const LRESULT result = Handle(m.msg, m.wParam, m.lParam);
        if (m.waiter != nullptr) {
            std::lock_guard lock(queueMutex_);
            m.waiter->result = result;
            m.waiter->done = true;
            queueDone_.notify_all();
        }
        ++handled;
    }
    while (!asyncNotifications_.empty()) {
        TNotifyUI n = asyncNotifications_.front();
        asyncNotifications_.pop_front();
        SendNotify(n, false);
        ++handled;
    }
    return handled;
}

void CPaintManagerUI::SetWakeUpHook(std::function<void()> hook) {
    std::lock_guard lock(queueMutex_);
    wakeHook_ = std::move(hook);
}

void CPaintManagerUI::Shutdown() {
    std::lock_guard lock(queueMutex_);
    shutDown_ = true;
    // Posted messages are dropped; waiting senders are released with 0.
    std::erase_if(queue_, [](const Message& m) { return m.waiter == nullptr; });
    queueDone_.notify_all();
}

bool CPaintManagerUI::IsShutDown() const {
    std::lock_guard lock(queueMutex_);
    return shutDown_;
}

void CPaintManagerUI::BindToCurrentThread() {
    uiThread_ = std::this_thread::get_id();
}

bool CPaintManagerUI::OnUiThread() const {
    return std::this_thread::get_id() == uiThread_;
}

}  // namespace vextar::ui

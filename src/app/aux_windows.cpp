#include "app/aux_windows.h"

#include <algorithm>

#include "app/window_messages.h"
#include "platform/log.h"
#include "profile/ini_file.h"
#include "ui/container.h"
#include "ui/resource_manager.h"
#include "vextar_version.h"

namespace vextar::app {

namespace {

constexpr int kKnownDpis[] = {48, 72, 96, 120, 144, 168, 192};

bool IsKnownDpi(int dpi) {
    return std::find(std::begin(kKnownDpis), std::end(kKnownDpis), dpi) != std::end(kKnownDpis);
}

bool SystemButton(CAppWindow& window, std::string_view name) {
    IWindowView* view = window.View();
    if (view == nullptr) {
        return false;
    }
    if (name == "minbtn") {
        view->Command(SysCommand::Minimise);
    } else if (name == "maxbtn") {
        view->Command(SysCommand::Maximise);
    } else if (name == "restorebtn") {
        view->Command(SysCommand::Restore);
    } else {
        return false;
    }
    return true;
}

}  // namespace

// ---- message box ----

bool CMsgWnd::Init(std::string* error) {
    className_ = "MsgWnd";
    title_ = "msgwnd";
    return Build("XML_MSG", error);
}

void CMsgWnd::SetContent(std::string_view title, std::string_view text, bool textIsId,
                         MsgButtons buttons) {
    if (!title.empty()) {
        if (ui::CControlUI* label = Find("MessageTitle")) {
            label->SetText(title);
        }
    }
    if (!text.empty()) {
        if (ui::CControlUI* label = Find("MessageText")) {
            if (textIsId) {
                std::string id = "%{";
                id.append(text).append("}");
                label->SetAttribute("text", id);
            } else {
                label->SetText(text);
            }
        }
    }
    if (ui::CControlUI* cancel = Find("cancel_btn")) {
        cancel->SetVisible(buttons == MsgButtons::Question);
    }
    if (ui::CControlUI* confirm = Find("confirm_btn")) {
        confirm->SetVisible(true);
    }
}

int CMsgWnd::Show(IWindowSystem& windows, CAppWindow* owner, std::string_view title,
                  std::string_view text, int dpi, bool textIsId, MsgButtons buttons) {
    CMsgWnd box;
    if (owner != nullptr) {
        box.Manager().SetResourcePath(owner->Manager().GetResourcePath());
    }
    std::string error;
    if (!box.Init(&error)) {
        VEXTAR_LOG_ERROR("message box: %s", error.c_str());
        return 0;
    }
    box.SetContent(title, text, textIsId, buttons);
    if (dpi != box.Manager().GetDPI()) {
        if (!IsKnownDpi(dpi)) {
            VEXTAR_LOG_ERROR("MSG_WND DPI SET ERROR");
            dpi = 96;
        }
        box.SetDPI(dpi);
    }
    ViewStyle style;
    style.toolWindow = true;
    box.AttachView(windows.CreateView(box, owner, style));
    windows.RunModal(box, owner);
    return box.Result();
}

void CMsgWnd::End(int result) {
    result_ = result;
    if (view_) {
        view_->Close();
    }
}

void CMsgWnd::OnNotify(ui::TNotifyUI& msg) {
    if (msg.sType != ui::notify::kClick || msg.pSender == nullptr) {
        return;
    }
    const std::string& name = msg.pSender->GetName();
    if (name == "confirm_btn") {
        End(1);
    } else if (name == "cancel_btn" || name == "closebtn") {
        End(0);
    } else {
        SystemButton(*this, name);
    }
}

intptr_t CMsgWnd::HandleMessage(uint32_t msg, uintptr_t wParam, intptr_t, bool& handled) {
    handled = false;
    if (msg == WM_DPICHANGED) {
        SetDPI(static_cast<int>(wParam & 0xFFFF));
        handled = true;
    }
    return 0;
}

// ---- about box ----

bool CAboutWnd::Init(std::string* error) {
    className_ = "AboutWnd";
    title_ = "  ";
    if (!Build("AboutWnd.xml", error)) {
        return false;
    }
    if (ui::CControlUI* label = Find("software_ver_label")) {
        label->SetText(VersionText());
    }
    return true;
}

std::string CAboutWnd::VersionText() const {
    // The hidden label resolves the language text of the prefix.
    std::string text;
    if (ui::CControlUI* probe = manager_.FindControl("text_test")) {
        probe->SetAttribute("text", "%{software_rev_text}");
        text = probe->GetText();
    } else {
        text = ui::CResourceManager::Instance().GetText("software_rev_text");
    }
    text.append(VEXTAR_VERSION_STRING);
    return text;
}

void CAboutWnd::OnEscape() {
    if (view_) {
        view_->Close();
    }
}

void CAboutWnd::OnNotify(ui::TNotifyUI& msg) {
    if (msg.sType == ui::notify::kTimer && msg.wParam == 1) {
        manager_.KillTimer(msg.pSender, 1);
        return;
    }
    if (msg.sType != ui::notify::kClick || msg.pSender == nullptr) {
        return;
    }
    const std::string& name = msg.pSender->GetName();
    if (name == "closebtn") {
        if (view_) {
            view_->Close();
        }
        return;
    }
    if (SystemButton(*this, name) && view_) {
        const bool maximised = view_->IsMaximised();
        if (ui::CControlUI* max = Find("maxbtn")) {
            max->SetVisible(!maximised);
        }
        if (ui::CControlUI* restore = Find("restorebtn")) {
            restore->SetVisible(maximised);
        }
    }
    // "homepage_btn" leads nowhere.
}

intptr_t CAboutWnd::HandleMessage(uint32_t msg, uintptr_t, intptr_t, bool& handled) {
    handled = false;
    if (msg == MSG_LANGUAGE_CHANGED) {
        ui::CResourceManager::Instance().ReloadText(manager_.GetRoot());
        if (ui::CControlUI* label = Find("software_ver_label")) {
            label->SetText(VersionText());
        }
        manager_.NeedUpdate();
        handled = true;
    }
    return 0;
}

// ---- skin choice ----

CSkinObserver& CSkinObserver::Instance() {
    static CSkinObserver observer;
    return observer;
}

int CSkinObserver::AddReceiver(Receiver receiver) {
    const int id = nextId_++;
    receivers_.emplace_back(id, std::move(receiver));
    return id;
}

void CSkinObserver::RemoveReceiver(int id) {
    std::erase_if(receivers_, [id](const auto& r) { return r.first == id; });
}

void CSkinObserver::Broadcast(const SkinChangedParam& param) {
    // A receiver may add or remove receivers; call a copy.
    const auto receivers = receivers_;
    for (const auto& [id, receiver] : receivers) {
        receiver(param);
    }
}

CSkinFrame::CSkinFrame(IWindowSystem& windows, std::string iniPath)
    : windows_(windows), iniPath_(std::move(iniPath)) {}

bool CSkinFrame::Init(std::string* error) {
    className_ = "UISkinFrame";
    title_ = "skinframe";
    return Build("skin.xml", error);
}

void CSkinFrame::PlaceUnder(const ui::UiRect& anchor) {
    if (!view_) {
        return;
    }
    const ui::UiRect rc = view_->WindowRect();
    view_->Move({anchor.right - rc.Width(), anchor.bottom});
}

void CSkinFrame::Choose(const SkinChangedParam& param, std::optional<std::string> iniFlag) {
    CSkinObserver::Instance().Broadcast(param);
    if (!iniFlag || iniPath_.empty()) {
        return;
    }
    std::string error;
    if (!WriteIniValue(iniPath_, kSkinIniSection, "FLAGS", *iniFlag, &error) ||
        !WriteIniValue(iniPath_, kSkinIniSection, "IMAGE", param.image, &error)) {
        VEXTAR_LOG_WARNING("skin choice not recorded: %s", error.c_str());
    }
}

void CSkinFrame::OnNotify(ui::TNotifyUI& msg) {
    if (msg.sType != ui::notify::kClick || msg.pSender == nullptr) {
        return;
    }
    const std::string& name = msg.pSender->GetName();
    auto* tabs = dynamic_cast<ui::CTabLayoutUI*>(Find("skin_tab"));
    if (name == "skin_image" && tabs != nullptr) {
        tabs->SelectItem(0);
    } else if (name == "skin_color" && tabs != nullptr) {
        tabs->SelectItem(1);
    } else if (name == "skin_image_btn") {
        Choose({false, 0, msg.pSender->GetBkImage()}, "1");
    } else if (name == "skin_color_btn") {
        SkinChangedParam param;
        param.colourFlag = true;
        param.colour = msg.pSender->GetBkColor();
        Choose(param, std::nullopt);
    } else if (name == "skin_reset") {
        Choose({false, 0, kDefaultBackground}, "0");
    } else if (name == "skin_Custom") {
        if (auto file = windows_.OpenFileDialog(this, "(*.png) | *.png |(*.*)|*.*||")) {
            if (!file->empty()) {
                // Recorded like a tile, so the next start shows it again.
                Choose({false, 0, *file}, "1");
            }
        }
    }
}

std::optional<SkinChangedParam> ReadStoredSkin(const std::string& iniPath) {
    const auto flags = ReadIniValue(iniPath, kSkinIniSection, "FLAGS");
    const auto image = ReadIniValue(iniPath, kSkinIniSection, "IMAGE");
    if (!flags || !image || image->empty()) {
        return std::nullopt;
    }
    return SkinChangedParam{false, 0, *image};
}

}  // namespace vextar::app

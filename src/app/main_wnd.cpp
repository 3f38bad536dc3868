#include "app/main_wnd.h"

#include <algorithm>
#include <cstring>
#include <pugixml.hpp>
#include <sstream>

#include "app/device_option.h"
#include "app/discovery.h"
#include "app/registered_messages.h"
#include "app/resources.h"
#include "app/strip_routes.h"
#include "app/window_messages.h"
#include "device/mouse/mouse_routes.h"
#include "device/mouse/varnic_mouse_device.h"
#include "platform/log.h"
#include "profile/text.h"
#include "ui/container.h"
#include "ui/controls.h"
#include "ui/resource_manager.h"
#include "ui/widgets/widgets.h"

namespace vextar::app {

namespace {

constexpr int kKnownDpis[] = {48, 72, 96, 120, 144, 168, 192};
constexpr const char* kLanguageItemPrefix = "language_";

platform::IClock& ClockOf(const MainWndParts& parts) {
    return parts.clock != nullptr ? *parts.clock : platform::SystemClock();
}

// Layouts that the builder's callback turns into whole subtrees.
struct SubtreeClass {
    std::string_view className;
    std::string_view layout;
};
constexpr SubtreeClass kSubtrees[] = {
    {"DeviceProfileUI", "XML\\CustomControlXML\\DeviceProfile.xml"},
    {"LightSetControlUI", "XML\\CustomControlXML\\LightControl.xml"},
    {"Voice6533SetControlUI", "XML\\CustomControlXML\\Voice6533Control.xml"},
    {"MagicSetControlUI", "XML\\CustomControlXML\\MagicControl.xml"},
    {"KeySetControlUI", "XML\\CustomControlXML\\KeySetControl.xml"},
    {"MacroSetControlUI", "XML\\CustomControlXML\\MacroControl.xml"},
    {"ShootKeySetControlUI", "XML\\CustomControlXML\\ShootControl.xml"},
    {"VirtualSetControlUI", "XML\\CustomControlXML\\VirtualSet.xml"},
};

void PutU32(std::array<uint8_t, kToolAnswerBytes>& out, std::size_t& at, uint32_t value) {
    for (int b = 0; b < 4; ++b) {
        out[at++] = static_cast<uint8_t>(value >> (8 * b));
    }
}

}  // namespace

std::array<uint8_t, kToolAnswerBytes> ToolQueryPayload() {
    std::array<uint8_t, kToolAnswerBytes> out{};
    std::size_t at = 0;
    for (uint32_t part : {2U, 3U, 0U, 2U}) {
        PutU32(out, at, part);
    }
    PutU32(out, at, static_cast<uint32_t>(kDeviceTypeTable.size()));
    for (const DeviceTypeRow& row : kDeviceTypeTable) {
        PutU32(out, at, static_cast<uint32_t>(row.vendorId));
        PutU32(out, at, static_cast<uint32_t>(row.productId));
        PutU32(out, at, static_cast<uint32_t>(row.kind));
    }
    return out;
}

int DpiForMonitor(int width, int height) {
    return width > 1500 && height > 960 ? 144 : 96;
}

std::string FormatNumberText(std::string_view format, long number) {
    // The text comes from a language file: only its first "%d" is replaced,
    // nothing in it is ever used as a format.
    std::string out(format);
    if (const auto at = out.find("%d"); at != std::string::npos) {
        out.replace(at, 2, std::to_string(number));
    }
    return out;
}

CMainWnd::CMainWnd(MainWndParts parts)
    : CAppWindow(ClockOf(parts)),
      parts_(std::move(parts)),
      windows_(*parts_.windows),
      language_(*parts_.settings, parts_.languageConfig, parts_.skinFolder) {}

CMainWnd::~CMainWnd() {
    if (skinReceiver_ != 0) {
        CSkinObserver::Instance().RemoveReceiver(skinReceiver_);
    }
    skinFrame_.reset();
    workers_.StopAll();
}

bool CMainWnd::Create(std::string* error) {
    className_ = "MainWnd";
    title_ = "VEXTAR";
    manager_.SetResourcePath(parts_.skinFolder);
    if (!Build("XML_MAIN", error)) {
        return false;
    }
    InitWindow();
    RegisterStripRoutes(routes_, *this);
    ViewStyle style;
    AttachView(windows_.CreateView(*this, nullptr, style));
    if (view_) {
        view_->Resize({800, 572});
    }
    manager_.SendNotify(manager_.GetRoot(), ui::notify::kWindowInit);
    return true;
}

void CMainWnd::InitWindow() {
    VEXTAR_LOG_DEBUG("InitWindow");
    std::string error;
    if (!ui::CResourceManager::Instance().LoadLanguage(parts_.skinFolder + "lan_cn.xml", &error)) {
        VEXTAR_LOG_WARNING("%s", error.c_str());
    }
    skinReceiver_ = CSkinObserver::Instance().AddReceiver(
        [this](const SkinChangedParam& param) { ApplySkin(param); });
    trayShown_ = windows_.CreateTray(
        parts_.skinFolder + "common/logo.png", "VEXTAR", [this](intptr_t mouseMessage) {
            manager_.PostMessage(MSG_TRAY_NOTIFY, kTrayIconId, mouseMessage);
        });
    if (!trayShown_) {
        VEXTAR_LOG_WARNING("the desktop has no tray; closing the window minimises it");
    }
}

void CMainWnd::OnWindowInit() {
    if (!initialised_) {
        WindowStart();
    }
}

void CMainWnd::OnWindowSized() {
    if (initialised_ && !sizedOnce_) {
        sizedOnce_ = true;
        DpiStep();
    }
}

void CMainWnd::WindowStart() {
    // Other programs may send the registered messages over the bus; the
    // host-lighting broadcast says we drive the lighting.
    if (parts_.bus != nullptr) {
        parts_.bus->Broadcast(kLightControlBroadcastName, 1, 1);
    }
    std::string error;
    if (!language_.ReadConfig(&error)) {
        VEXTAR_LOG_WARNING("languages: %s", error.c_str());
    }
    ApplyLanguage(ReadStoredLanguage(*parts_.settings, language_.Entries()));
    if (auto skin = ReadStoredSkin(parts_.skinIni)) {
        ApplySkin(*skin);
    }
    // The interface working copy was made from the table with the window.
    CreatePages();
    screen_ = windows_.PrimaryScreenSize();
    MouseRouteHooks hooks;
    hooks.screenWidth = screen_.cx;
    hooks.screenHeight = screen_.cy;
    RegisterMouseRoutes(
        routes_, [this] { return dynamic_cast<CVarnicMouseDevice*>(CurrentPage()); }, hooks);
    UpdateNoDeviceLink();
    // The window shows once discovery's first pass is done (it brings the
    // window forward); without discovery at once.
    if (view_) {
        view_->Show(!parts_.backend);
    }
    StartDiscovery();
    manager_.SetTimer(manager_.GetRoot(), kTimerDpiStep, 100);
    initialised_ = true;
}

void CMainWnd::CreatePages() {
    // One page per device type, unbound and hidden until its device comes.
    for (std::size_t t = 0; t < kDeviceTypeCount; ++t) {
        CreatePage(static_cast<int>(t));
    }
}

void CMainWnd::StartDiscovery() {
    if (!parts_.backend) {
        return;
    }
    CDiscovery::Reports reports;
    // Each change waits until the window has handled it; at the window's
    // end the sends return at once.
    reports.arrived = [this](int row) {
        manager_.SendMessage(MSG_DEVICE_ARRIVED, static_cast<uintptr_t>(row), 0);
    };
    reports.removed = [this](int row) {
        manager_.SendMessage(MSG_DEVICE_REMOVED, static_cast<uintptr_t>(row), 0);
    };
    reports.firstPassDone = [this] { manager_.PostMessage(Messages().activateInstance, 0, 0); };
    discovery_ = std::make_unique<CDiscovery>(interfaces_, parts_.backend, std::move(reports));
    if (parts_.discoveryThread) {
        workers_.Start(CWorkerSlots::kDiscoverySlot,
                       [this](std::stop_token token) { discovery_->Run(token); });
    }
}

std::unique_ptr<ui::CControlUI> CMainWnd::CreateControl(std::string_view className) {
    if (auto widget = ui::CreateWidget(className)) {
        return widget;
    }
    if (auto control = CreateAppControl(className)) {
        return control;
    }
    if (EqualsNoCase(className, "VarnicMouseDevice")) {
        return std::make_unique<CVarnicMouseDevice>(parts_.backend);
    }
    for (const SubtreeClass& subtree : kSubtrees) {
        if (EqualsNoCase(className, subtree.className)) {
            ui::CDialogBuilder builder;
            std::string error;
            auto tree = builder.Create(subtree.layout, this, &manager_, &error);
            if (!tree) {
                VEXTAR_LOG_ERROR("%s", error.c_str());
            }
            return tree;
        }
    }
    return nullptr;
}

CVarnicUSBDevice* CMainWnd::CurrentPage() const {
    for (const CDeviceOptionUI* entry : entries_) {
        if (entry != nullptr && entry->IsVisible() && entry->IsSelected()) {
            return entry->Page();
        }
    }
    return nullptr;
}

void CMainWnd::UpdateNoDeviceLink() {
    const bool anyShown = std::any_of(allPages_.begin(), allPages_.end(), [](auto* page) {
        return page->GetSelectorEntry() != nullptr && page->GetSelectorEntry()->IsVisible();
    });
    if (ui::CControlUI* link = Find("No_device_Link")) {
        link->SetVisible(!anyShown);
    }
    if (ui::CControlUI* pages = Find("device_switch")) {
        pages->SetVisible(anyShown);
    }
}

std::vector<CVarnicUSBDevice*> CMainWnd::LightingPages() const {
    // Mouse, mouse pad and keyboard pages; the headset has no host lighting.
    std::vector<CVarnicUSBDevice*> pages;
    for (CVarnicUSBDevice* page : allPages_) {
        if (page->GetKind() != kKindHeadset) {
            pages.push_back(page);
        }
    }
    return pages;
}

void CMainWnd::HandAttention() {
    for (CVarnicUSBDevice* page : LightingPages()) {
        page->SetPreview(attention_ != 0);
    }
}

void CMainWnd::SuppressPowerInfo(int value) {
    for (CVarnicUSBDevice* page : allPages_) {
        const int kind = page->GetKind();
        if (kind == kKindMouse || kind == kKindMouseReceiver || kind == kKindKeyboard ||
            kind == kKindKeyboardReceiver) {
            page->SuppressPowerInfo(value);
        }
    }
}

void CMainWnd::BringToFront() {
    UpdateNoDeviceLink();
    SuppressPowerInfo(0);
    if (view_) {
        view_->Command(SysCommand::Restore);
        view_->BringToFront();
    }
}

void CMainWnd::SetAllDpi(int dpi) {
    SetDPI(dpi);
    for (CAppWindow* child : children_) {
        if (child != nullptr) {
            child->SetDPI(dpi);
        }
    }
}

void CMainWnd::DpiStep() {
    if (!view_) {
        return;
    }
    const bool wasVisible = view_->IsVisible() && !view_->IsMinimised();
    if (!wasVisible) {
        view_->Command(SysCommand::Restore);
    }
    const ui::UiRect monitor = view_->MonitorRect();
    int dpi = DpiForMonitor(monitor.Width(), monitor.Height());
    if (std::find(std::begin(kKnownDpis), std::end(kKnownDpis), dpi) == std::end(kKnownDpis)) {
        VEXTAR_LOG_ERROR("MAIN_WND DPI SET ERROR");
        dpi = 96;
    }
    SetAllDpi(dpi);
    windowDpi_ = manager_.GetDPI();
    view_->Resize({manager_.Scale(kLogicalWidth), manager_.Scale(kLogicalHeight)});
    view_->Center();
    view_->Show(wasVisible);
    manager_.NeedUpdate();
}

void CMainWnd::CloseChildWindows() {
    for (CAppWindow*& child : children_) {
        if (child != nullptr && child->View() != nullptr) {
            child->View()->Close();
        }
    }
}

int CMainWnd::ShowMessage(std::string_view textId, MsgButtons buttons, bool owned) {
    return CMsgWnd::Show(windows_, owned ? this : nullptr, "", textId, windowDpi_, true, buttons);
}

int CMainWnd::ShowFormattedMessage(std::string_view textId, long number, bool owned) {
    std::string format;
    if (ui::CControlUI* probe = Find("str_test")) {
        std::string id = "%{";
        id.append(textId).append("}");
        probe->SetAttribute("text", id);
        format = probe->GetText();
    } else {
        format = ui::CResourceManager::Instance().GetText(textId);
    }
    return CMsgWnd::Show(windows_, owned ? this : nullptr, "", FormatNumberText(format, number),
                         windowDpi_, false, MsgButtons::Notice);
}

void CMainWnd::ShowAbout() {
    if (children_[1] != nullptr) {
        return;
    }
    CAboutWnd about;
    about.Manager().SetResourcePath(parts_.skinFolder);
    std::string error;
    if (!about.Init(&error)) {
        VEXTAR_LOG_ERROR("about box: %s", error.c_str());
        return;
    }
    about.SetDPI(windowDpi_);
    ViewStyle style;
    style.toolWindow = true;
    about.AttachView(windows_.CreateView(about, this, style));
    children_[1] = &about;
    windows_.RunModal(about, this);
    children_[1] = nullptr;
}

void CMainWnd::OpenSkinPicker() {
    if (skinFrame_ && skinFrame_->View() != nullptr && skinFrame_->View()->IsVisible()) {
        return;
    }
    children_[2] = nullptr;
    skinFrame_ = std::make_unique<CSkinFrame>(windows_, parts_.skinIni);
    skinFrame_->Manager().SetResourcePath(parts_.skinFolder);
    std::string error;
    if (!skinFrame_->Init(&error)) {
        VEXTAR_LOG_ERROR("skin picker: %s", error.c_str());
        skinFrame_.reset();
        return;
    }
    skinFrame_->SetDPI(windowDpi_);
    ViewStyle style;
    style.toolWindow = true;
    style.topmost = true;
    style.noActivate = true;
    style.closeOnFocusLoss = true;
    skinFrame_->AttachView(windows_.CreateView(*skinFrame_, this, style));
    if (skinFrame_->View() == nullptr) {
        return;
    }
    if (const ui::CControlUI* button = Find("skinbtn"); button != nullptr && view_) {
        const ui::UiRect window = view_->WindowRect();
        ui::UiRect rc = button->GetPos();
        rc.left += window.left;
        rc.right += window.left;
        rc.top += window.top;
        rc.bottom += window.top;
        skinFrame_->PlaceUnder(rc);
    }
    skinFrame_->View()->Show(true);
    children_[2] = skinFrame_.get();
}

void CMainWnd::ApplySkin(const SkinChangedParam& param) {
    ui::CControlUI* root = Find("root");
    if (root == nullptr) {
        return;
    }
    if (param.colourFlag) {
        root->SetBkColor(param.colour);
        root->SetBkImage("");
    } else {
        root->SetBkColor(0);
        root->SetBkImage(param.image);
    }
}

void CMainWnd::ApplyLanguage(int index) {
    std::string error;
    const auto result = language_.Apply(index, manager_, &error);
    if (result == CLanguageState::ApplyResult::Failed) {
        VEXTAR_LOG_WARNING("language %d not applied: %s", index, error.c_str());
        return;
    }
    if (result == CLanguageState::ApplyResult::Unchanged) {
        return;
    }
    if (!error.empty()) {
        VEXTAR_LOG_WARNING("%s", error.c_str());
    }
    SetLightControl(lightControl_, false);
    manager_.Invalidate({0, 0, manager_.GetClientSize().cx, manager_.GetClientSize().cy});
    for (CAppWindow* child : children_) {
        if (child != nullptr) {
            child->Manager().SendMessage(MSG_LANGUAGE_CHANGED, 0, 0);
        }
    }
    manager_.NeedUpdate();
}

void CMainWnd::SetLightControl(int value, bool broadcast) {
    lightControl_ = value != 0 ? 1 : 0;
    if (broadcast && parts_.bus != nullptr) {
        parts_.bus->Broadcast(kLightControlBroadcastName, 1, lightControl_);
    }
    if (ui::CControlUI* status = Find("control_light_status")) {
        status->SetAttribute(
            "text", lightControl_ != 0 ? "%{control_light_text}" : "%{uncontrol_light_text}");
    }
    for (CVarnicUSBDevice* page : LightingPages()) {
        page->SetSoftwareLighting(lightControl_ != 0);
    }
}

void CMainWnd::OnLightRequest(uintptr_t wParam, intptr_t lParam) {
    if (wParam != 1 || (lParam != 0 && lParam != 1)) {
        return;
    }
    SetLightControl(static_cast<int>(lParam), false);
}

void CMainWnd::OnToolQuery() {
    if (parts_.bus == nullptr) {
        return;
    }
    const auto payload = ToolQueryPayload();
    if (!parts_.bus->SendCopyData(kToolWindowTitle, kCopyToolAnswer, payload,
                                  parts_.windowHandle)) {
        VEXTAR_LOG_DEBUG("tool query: no window \"WorkTool\"");
    }
}

void CMainWnd::OnCopyData(const CopyDataStruct& data) {
    const bool internalKind = data.dwData == kCopySpectrum || data.dwData == kCopyCaptureStarted ||
                              data.dwData == kCopyCaptureStopped;
    if (internalKind && data.origin != CopyDataOrigin::Internal) {
        VEXTAR_LOG_WARNING("copy-data of kind %u from another program refused", data.dwData);
        return;
    }
    switch (data.dwData) {
        case kCopySpectrum:
            if (data.data.size() != kSpectrumLevels * 4) {
                VEXTAR_LOG_WARNING("spectrum frame of %zu bytes refused", data.data.size());
                return;
            }
            // Music lighting takes the frames once it runs.
            return;
        case kCopyKeyboardSetting:
            if (data.data.size() != kKeyboardSettingBytes) {
                VEXTAR_LOG_WARNING("keyboard setting of %zu bytes refused", data.data.size());
                return;
            }
            // Handed to the first keyboard page; there is none yet.
            VEXTAR_LOG_DEBUG("keyboard setting: no keyboard page");
            return;
        default:
            // The capture's start and stop notes, and kinds we do not know.
            return;
    }
}

bool CMainWnd::IsGatedWhileAsleep(uint32_t msg, uintptr_t wParam) const {
    if (awake_) {
        return false;
    }
    if (msg == WM_TIMER || msg == WM_COPYDATA || msg == WM_DISPLAYCHANGE) {
        return true;
    }
    if (msg <= WM_USER) {
        return false;
    }
    // Devices still come and go, and a capture can still be ended, while
    // the machine sleeps.
    if (msg == MSG_DEVICE_ARRIVED || msg == MSG_DEVICE_REMOVED) {
        return false;
    }
    if (msg == MSG_HOOK_CONTROL && wParam == 0) {
        return false;
    }
    return true;
}

intptr_t CMainWnd::HandleMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam, bool& handled) {
    handled = true;
    if (IsGatedWhileAsleep(msg, wParam)) {
        return 0;
    }
    const RegisteredMessages& registered = Messages();
    switch (msg) {
        case WM_CLOSE:
            Exit();
            return 0;
        case WM_ACTIVATE:
            active_ = attention_ = wParam != 0 ? 1 : 0;
            HandAttention();
            return 0;
        case WM_MOUSEHOVER:
        case WM_MOUSELEAVE:
            if (active_ == 0) {
                VEXTAR_LOG_DEBUG("%s", msg == WM_MOUSEHOVER ? "鼠标移入" : "鼠标移出");
                attention_ = msg == WM_MOUSEHOVER ? 1 : 0;
                HandAttention();
            }
            return 0;
        case WM_POWERBROADCAST:
            if (wParam == PBT_APMRESUMEAUTOMATIC) {
                awake_ = true;
                for (CVarnicUSBDevice* page : LightingPages()) {
                    page->SetSoftwareLighting(lightControl_ != 0);
                }
            } else if (wParam == PBT_APMSUSPEND) {
                awake_ = false;
                for (CVarnicUSBDevice* page : LightingPages()) {
                    page->SetSoftwareLighting(false);
                }
            }
            return 1;
        case WM_DISPLAYCHANGE:
            VEXTAR_LOG_DEBUG("显示器分辨率发生变化");
            resolutionChanged_ = true;
            DpiStep();
            return 0;
        case WM_DPICHANGED:
            SetDPI(static_cast<int>(wParam & 0xFFFF));
            windowDpi_ = manager_.GetDPI();
            if (view_) {
                view_->Resize({manager_.Scale(kLogicalWidth), manager_.Scale(kLogicalHeight)});
                view_->Center();
            }
            manager_.NeedUpdate();
            VEXTAR_LOG_DEBUG("界面 DPI 发生变化");
            return 0;
        case WM_COPYDATA:
            if (lParam == 0) {
                return 0;
            }
            OnCopyData(*reinterpret_cast<const CopyDataStruct*>(lParam));
            return 1;
        case MSG_TRAY_NOTIFY:
            OnTray(lParam);
            return 0;
        case MSG_HOOK_CONTROL:
            // Key capture arrives with the input hook.
            VEXTAR_LOG_DEBUG("hook control %lu", static_cast<unsigned long>(wParam));
            return 0;
        case MSG_MENU_CLICK:
            if (!menuCommands_.empty()) {
                const std::string item = std::move(menuCommands_.front());
                menuCommands_.pop_front();
                OnMenuCommand(item);
            }
            return 0;
        case MSG_DPI_NOTE:
            VEXTAR_LOG_DEBUG("界面 DPI 1发生变化");
            return 0;
        case MSG_SHOW_SETTING_PROGRESS:
            if (ui::CControlUI* progress = Find("setting_progress")) {
                progress->SetVisible(true);
            }
            return 0;
        case MSG_LANGUAGE_CHANGED:
            ApplyLanguage(static_cast<int>(wParam));
            return 0;
        case MSG_DEVICE_ARRIVED:
            OnDeviceArrived(static_cast<int>(wParam));
            return 0;
        case MSG_DEVICE_REMOVED:
            OnDeviceRemoved(static_cast<int>(wParam));
            return 0;
        case MSG_STATUS_QUERY:
            if (lParam != 0) {
                *reinterpret_cast<std::vector<std::string>*>(lParam) = StatusLines();
            }
            return 1;
        case MSG_OPEN_SETTINGS:
            VEXTAR_LOG_INFO("the settings window is not available in this version");
            return 0;
        case MSG_SHOW_DEVICE_OPTION:
            OnShowDeviceOption(static_cast<int>(wParam), lParam != 0);
            return 0;
        case MSG_CLEAR_SETTINGS_BADGE:
        case MSG_IGNORED:
            return 0;
        default:
            break;
    }
    if (msg == registered.activateInstance) {
        VEXTAR_LOG_INFO("brought to the front (%s)", lParam == 1 ? "another start" : "discovery");
        BringToFront();
        return 0;
    }
    if (msg == registered.settingsForward) {
        if (CAppWindow* settings = children_[0]) {
            settings->Manager().PostMessage(msg, wParam, lParam);
        }
        return 0;
    }
    if (msg == registered.lightControlRequest) {
        OnLightRequest(wParam, lParam);
        return 0;
    }
    if (msg == registered.toolQuery) {
        OnToolQuery();
        return 0;
    }
    if (registered.IsHook(msg) || registered.IsGame(msg)) {
        // Key capture and game lighting take these once they run.
        VEXTAR_LOG_DEBUG("message %s not handled yet",
                         RegisteredMessageName(msg).value_or("?").c_str());
        return 0;
    }
    handled = false;
    return 0;
}

void CMainWnd::PostMenuCommand(std::string item) {
    menuCommands_.push_back(std::move(item));
    manager_.PostMessage(MSG_MENU_CLICK, 0, 0);
}

void CMainWnd::OnMenuCommand(const std::string& item) {
    VEXTAR_LOG_DEBUG("menu %s", item.c_str());
    if (item == "exit") {
        Exit();
    } else if (item == "about_menu") {
        ShowAbout();
    } else if (item == "setwnd_menu") {
        VEXTAR_LOG_INFO("the settings window is not available in this version");
    } else if (item.rfind(kLanguageItemPrefix, 0) == 0) {
        // Chosen in the tray menu's language list, as the settings window
        // asks for it.
        const std::string number = item.substr(std::strlen(kLanguageItemPrefix));
        if (!number.empty() && number.size() < 4 &&
            number.find_first_not_of("0123456789") == std::string::npos) {
            manager_.PostMessage(MSG_LANGUAGE_CHANGED, std::stoul(number), 0);
        }
    }
}

std::string CMainWnd::TrayMenuXml() const {
    pugi::xml_document doc;
    const std::string path = manager_.ResolveResource("menu.xml");
    if (const pugi::xml_parse_result r = doc.load_file(path.c_str()); !r) {
        VEXTAR_LOG_ERROR("%s: %s", path.c_str(), r.description());
        return {};
    }
    pugi::xml_node menu = doc.child("Menu");
    if (!menu) {
        VEXTAR_LOG_ERROR("%s: no <Menu> element", path.c_str());
        return {};
    }
    const auto& languages = language_.Entries();
    if (languages.size() > 1) {
        pugi::xml_node before = menu.find_child_by_attribute("MenuElement", "name", "about_menu");
        pugi::xml_node list = before ? menu.insert_child_after("MenuElement", before)
                                     : menu.prepend_child("MenuElement");
        list.append_attribute("name") = "language_menu";
        list.append_attribute("text") = "%{language_text}";
        for (std::size_t i = 0; i < languages.size(); ++i) {
            pugi::xml_node entry = list.append_child("MenuElement");
            entry.append_attribute("name") = (kLanguageItemPrefix + std::to_string(i)).c_str();
            entry.append_attribute("text") = languages[i].text.c_str();
            entry.append_attribute("checkable") = "true";
            entry.append_attribute("checked") =
                static_cast<int>(i) == language_.CurrentIndex() ? "true" : "false";
        }
    }
    std::ostringstream out;
    doc.save(out);
    return out.str();
}

void CMainWnd::OnTray(intptr_t mouseMessage) {
    if (mouseMessage == kTrayRightButtonUp) {
        manager_.SetTimer(manager_.GetRoot(), kTimerTrayMenu, 10);
        return;
    }
    if (mouseMessage != kTrayLeftButtonUp || !view_) {
        return;
    }
    UpdateNoDeviceLink();
    if (view_->IsVisible() && !view_->IsMinimised()) {
        CloseChildWindows();
        view_->Show(false);
        SuppressPowerInfo(1);
        return;
    }
    DpiStep();
    view_->Command(SysCommand::Restore);
    view_->BringToFront();
    manager_.Invalidate({0, 0, manager_.GetClientSize().cx, manager_.GetClientSize().cy});
    SuppressPowerInfo(0);
    manager_.NeedUpdate();
}

void CMainWnd::OnTimer(uint32_t id) {
    switch (id) {
        case kTimerDpiStep:
            DpiStep();
            manager_.Invalidate({0, 0, manager_.GetClientSize().cx, manager_.GetClientSize().cy});
            return;
        case kTimerTrayMenu: {
            ui::UiPoint at = windows_.CursorPosition();
            if (const auto bar = windows_.TaskbarRect()) {
                const ui::UiSize screen = windows_.PrimaryScreenSize();
                if (bar->top > screen.cy / 2) {
                    at.y = bar->top - 20;  // task bar at the bottom
                } else if (bar->left > screen.cx / 2) {
                    at.x = bar->left - 1;  // task bar at the right
                }
            }
            const std::string xml = TrayMenuXml();
            const std::string item = xml.empty() ? std::string() : windows_.ShowMenuXml(xml, at);
            if (!item.empty()) {
                PostMenuCommand(item);
            }
            return;
        }
        default:
            return;
    }
}

void CMainWnd::Exit() {
    CloseChildWindows();
    if (view_) {
        view_->Close();
    } else {
        OnDestroy();
    }
}

void CMainWnd::OnViewClosed() {
    OnDestroy();
}

void CMainWnd::OnDestroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    windows_.DeleteTray();
    VEXTAR_LOG_DEBUG("退出测试");
    // Workers that wait on the window are let go before they are joined.
    manager_.Shutdown();
    workers_.StopAll();
    for (CVarnicUSBDevice* page : allPages_) {
        CloseCommandLink(*page);
    }
    windows_.Quit(0);
}

void CMainWnd::OnNotify(ui::TNotifyUI& msg) {
    const std::string name = msg.pSender != nullptr ? msg.pSender->GetName() : std::string();
    if (msg.sType == ui::notify::kTimer) {
        if (!awake_ || msg.pSender != manager_.GetRoot()) {
            return;
        }
        const auto id = static_cast<uint32_t>(msg.wParam);
        if (id == kTimerDpiStep || id == kTimerTrayMenu) {
            manager_.KillTimer(msg.pSender, id);
            OnTimer(id);
        }
        return;
    }
    VEXTAR_LOG_DEBUG("%s %s", msg.sType.c_str(), name.c_str());
    if (msg.sType == ui::notify::kItemActivate && EqualsNoCase(name, "macro_action")) {
        const std::string item = windows_.ShowMenu(manager_, "XML\\Menus\\macro_action_menu.xml",
                                                   windows_.CursorPosition());
        if (!item.empty()) {
            PostMenuCommand(item);
        }
        return;
    }
    if (msg.sType == ui::notify::kSetFocus && EqualsNoCase(name, "keyset_keyboard_text_edit")) {
        manager_.SendMessage(MSG_HOOK_CONTROL, 1, 0);
        return;
    }
    if (msg.sType == ui::notify::kClick) {
        if (name == "closebtn") {
            CloseChildWindows();
            if (view_) {
                // Without a tray icon a hidden window could not be found
                // again: it goes to the task bar instead.
                if (trayShown_) {
                    view_->Show(false);
                } else {
                    view_->Command(SysCommand::Minimise);
                }
            }
            SuppressPowerInfo(1);
            return;
        }
        if (name == "nodevice_ok_btn") {
            if (view_) {
                view_->Show(false);
            }
            return;
        }
        if (name == "minbtn" || name == "maxbtn" || name == "restorebtn") {
            if (view_) {
                view_->Command(name == "minbtn"   ? SysCommand::Minimise
                               : name == "maxbtn" ? SysCommand::Maximise
                                                  : SysCommand::Restore);
            }
            return;
        }
        if (name == "skinbtn") {
            OpenSkinPicker();
            return;
        }
        if (name == "setbtn") {
            VEXTAR_LOG_INFO("the settings window is not available in this version");
            return;
        }
        if (name == "control_light_status") {
            SetLightControl(lightControl_ != 0 ? 0 : 1, true);
            return;
        }
    }
    const CVarnicUSBDevice* page = CurrentPage();
    routes_.Dispatch(msg, page != nullptr ? page->GetKind() : 0);
}

}  // namespace vextar::app

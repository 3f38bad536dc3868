#pragma once

// The message box, the about box and the skin picker.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/app_window.h"

namespace vextar::app {

// ---- message box ----

enum class MsgButtons { Notice = 0, Question = 1 };

class CMsgWnd final : public CAppWindow {
  public:
    // Builds "XML_MSG"; false with a reason when it cannot be built.
    bool Init(std::string* error);
    // Title (kept from the layout when empty) and text: a language text id
    // when `textIsId`, else the text itself.
    void SetContent(std::string_view title, std::string_view text, bool textIsId,
                    MsgButtons buttons);
    [[nodiscard]] int Result() const { return result_; }

    // Shows a message box over `owner` (none: no owner) at `dpi` (a value
    // other than the known steps is logged and 96 used; only this window's
    // DPI changes). 1 when confirmed, 0 otherwise.
    static int Show(IWindowSystem& windows, CAppWindow* owner, std::string_view title,
                    std::string_view text, int dpi, bool textIsId, MsgButtons buttons);
    // Escape answers like "cancel_btn".
    void OnEscape() override { End(0); }

  protected:
    void OnNotify(ui::TNotifyUI& msg) override;
    intptr_t HandleMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam, bool& handled) override;

  private:
    void End(int result);
    int result_ = 0;
};

// ---- about box ----

class CAboutWnd final : public CAppWindow {
  public:
    // Builds "AboutWnd.xml" and shows the version.
    bool Init(std::string* error);
    [[nodiscard]] std::string VersionText() const;
    void OnEscape() override;

  protected:
    void OnNotify(ui::TNotifyUI& msg) override;
    intptr_t HandleMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam, bool& handled) override;
};

// ---- skin choice ----

struct SkinChangedParam {
    bool colourFlag = false;
    uint32_t colour = 0;  // 0xAARRGGBB, when the flag is set
    std::string image;    // when the flag is clear
};

// The receivers of skin changes (the main window).
class CSkinObserver {
  public:
    using Receiver = std::function<void(const SkinChangedParam&)>;
    static CSkinObserver& Instance();
    int AddReceiver(Receiver receiver);
    void RemoveReceiver(int id);
    void Broadcast(const SkinChangedParam& param);

  private:
    std::vector<std::pair<int, Receiver>> receivers_;
    int nextId_ = 1;
};

// "main.ini": where the skin choice is kept.
inline constexpr const char* kSkinIniSection = "SKINIMAGE";
inline constexpr const char* kDefaultBackground = "common/background.png";

class CSkinFrame final : public CAppWindow {
  public:
    // `iniPath`: the "main.ini" written on a choice.
    CSkinFrame(IWindowSystem& windows, std::string iniPath);
    bool Init(std::string* error);
    // Places the frame so its right edge meets `anchor`'s right edge and
    // its top `anchor`'s bottom (screen pixels).
    void PlaceUnder(const ui::UiRect& anchor);

  protected:
    void OnNotify(ui::TNotifyUI& msg) override;

  private:
    void Choose(const SkinChangedParam& param, std::optional<std::string> iniFlag);
    IWindowSystem& windows_;
    std::string iniPath_;
};

// The skin recorded in "main.ini", when there is one to restore.
std::optional<SkinChangedParam> ReadStoredSkin(const std::string& iniPath);

}  // namespace vextar::app

#pragma once

// The program's own controls: circle progress, device key button, hand
// image buttons, the pulsing record button, the rubber-band select panel,
// a hosted native window, the audio level strip, the chart view, and two
// list elements.

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/notify.h"

namespace vextar::ui {

class CCircleProgressUI : public CProgressUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "CircleProgress"; }
    [[nodiscard]] UiColor GetBackColor() const { return m_dwCircleBackColor; }
    [[nodiscard]] UiColor GetForeColor() const { return m_dwForeColor; }
    void SetBackColor(UiColor color);
    void SetForeColor(UiColor color);
    // Degrees of the ring that stand for the value: (value − minimum) ÷
    // (maximum − minimum) × 360, within 0..360; 0 when maximum ≤ minimum.
    [[nodiscard]] float SweepDegrees() const;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void DoPaint(IRenderTarget& target, const UiRect& dirty) override;

  private:
    UiColor m_dwCircleBackColor = 0xFFE0E0E0;
};

class CDeviceKeyButtonUI : public CButtonUI {
  public:
    static constexpr UiColor kHighlightColor = 0xFF0099FF;

    [[nodiscard]] std::string_view GetClass() const override { return "DeviceKeyButton"; }

    // Light shown over the key; each setter repaints only on a change.
    void SetLightColor(uint8_t r, uint8_t g, uint8_t b, uint8_t alpha, bool show);
    [[nodiscard]] UiColor GetLightColor() const { return m_dwLightColor; }
    [[nodiscard]] bool IsLightShown() const { return m_bShowLight; }
    void SetKeySet(bool set);
    void SetKeyUnset(bool set);
    void SetThirdFlag(bool set);
    void SetSelected(bool selected);
    [[nodiscard]] bool IsKeySet() const { return m_bKeySet; }
    [[nodiscard]] bool IsKeyUnset() const { return m_bKeyUnset; }
    [[nodiscard]] bool IsThirdFlag() const { return m_bThirdFlag; }
    [[nodiscard]] bool IsSelected() const { return m_bSelected; }
    void SetLightImage(std::string_view image);
    void SetKeySetImage(std::string_view image);
    void SetKeyUnsetImage(std::string_view image);
    [[nodiscard]] UiColor GetNameTextColor() const { return m_dwNameTextColor; }

    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void PaintStatusImage(IRenderTarget& target) override;
    void PaintBorder(IRenderTarget& target) override;

  protected:
    [[nodiscard]] UiColor CurrentTextColor() const override;

  private:
    CDuiString m_sLightImage;
    CDuiString m_sKeySetImage;
    CDuiString m_sKeyUnsetImage;
    UiColor m_dwLightColor = 0;
    UiColor m_dwNameTextColor = 0;
    bool m_bShowLight = false;
    bool m_bKeySet = false;
    bool m_bKeyUnset = false;
    bool m_bThirdFlag = false;
    bool m_bSelected = false;
};

class CHandImgButtonUI : public CButtonUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "HandImgButton"; }
    [[nodiscard]] bool IsDeleteAllowed() const { return !m_bNoDelete; }
    void SetDeleteAllowed(bool allowed);
    // The delete box at the top right, 29 × 29 at 96 DPI.
    [[nodiscard]] UiRect DeleteBox() const;
    [[nodiscard]] const CDuiString& GetHandImage() const { return m_sHandImage; }
    void SetHandImage(std::string_view image);
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void PaintStatusImage(IRenderTarget& target) override;

  private:
    CDuiString m_sHandImage;
    CDuiString m_sDeleteNormalImage;
    CDuiString m_sDeleteHotImage;
    bool m_bNoDelete = false;
    bool m_bDeleteHot = false;
    bool m_bPressedInDelete = false;
};

// Pointer shapes a control may ask for.
enum class CursorKind : uint8_t {
    Arrow,
    IBeam,
    Wait,
    Cross,
    UpArrow,
    Size,
    Icon,
    SizeNwse,
    SizeNesw,
    SizeWe,
    SizeNs,
    SizeAll,
    No,
    Hand,
};
std::optional<CursorKind> ParseCursorKind(std::string_view name);

class CHandImgSelectButtonUI : public CButtonUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "HandImgSelectButton"; }
    void SetHandImage(std::string_view image);
    [[nodiscard]] const CDuiString& GetHandImage() const { return m_sHandImage; }
    // The part of the hand image shown, in image pixels.
    [[nodiscard]] const UiRect& GetSourceRect() const { return m_rcSource; }
    [[nodiscard]] CursorKind GetCursor() const { return m_eCursor; }
    [[nodiscard]] bool IsDragging() const { return m_bDragging; }
    // "file='…' source='l,t,r,b'"
    [[nodiscard]] CDuiString ImageDescriptionText() const;
    void SetPos(const UiRect& rc) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void PaintStatusImage(IRenderTarget& target) override;

  private:
    void ClampSource();

    CDuiString m_sHandImage;
    UiRect m_rcSource{};
    UiPoint m_ptPress{};
    UiRect m_rcPressSource{};
    bool m_bDragging = false;
    CursorKind m_eCursor = CursorKind::Arrow;
};

class CRedioMacroButtonUI : public CButtonUI {
  public:
    static constexpr uint32_t kPulseTimerId = 100;
    static constexpr uint32_t kPulsePeriodMs = 50;
    static constexpr int kFadeStep = 20;
    static constexpr int kFadeHigh = 255;
    static constexpr int kFadeLow = 80;

    ~CRedioMacroButtonUI() override;
    [[nodiscard]] std::string_view GetClass() const override { return "RedioMacroButton"; }
    void Start();
    void Stop();
    [[nodiscard]] bool IsRunning() const { return m_bRunning; }
    [[nodiscard]] int GetFade() const { return m_nFade; }
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::string_view name, std::string_view value) override;

  private:
    void Step();

    CDuiString m_sPulseImage;
    CDuiString m_sIdleImage;
    int m_nFade = kFadeHigh;
    bool m_bFadeUp = false;
    bool m_bRunning = false;
};

class CSelectPanelUI : public CVerticalLayoutUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "SelectPanel"; }
    [[nodiscard]] bool IsSelecting() const { return m_bSelecting; }
    // The band between the press point and the pointer, in any direction.
    [[nodiscard]] UiRect GetSelectRect() const;
    void DoEvent(TEventUI& event) override;
    void DoPaint(IRenderTarget& target, const UiRect& dirty) override;
    [[nodiscard]] CControlUI* FindAt(UiPoint pt) override;

  private:
    void EndSelection();

    UiPoint m_ptPress{};
    UiPoint m_ptCurrent{};
    bool m_bSelecting = false;
};

// A window of the host shown in place of a control.
class INativeChild {
  public:
    virtual ~INativeChild() = default;
    virtual void SetVisible(bool visible) = 0;
    virtual void SetGeometry(const UiRect& rc) = 0;
};

class CWndUI : public CControlUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "Wnd"; }
    // Not owned; null detaches.
    void Attach(INativeChild* child);
    [[nodiscard]] INativeChild* GetChild() const { return m_pChild; }
    void SetPos(const UiRect& rc) override;
    void SetVisible(bool visible) override;

  private:
    INativeChild* m_pChild = nullptr;
};

class CAudioRecordUI : public CLabelUI {
  public:
    static constexpr std::size_t kMaxSamples = 500;
    static constexpr int kMaxLevel = 8192;

    [[nodiscard]] std::string_view GetClass() const override { return "AudioRecord"; }
    // Levels beyond 0..8192 are kept at the nearest end; at most 500.
    void SetSamples(const std::vector<int>& samples);
    void AddSample(int level);
    [[nodiscard]] const std::vector<int>& GetSamples() const { return m_aSamples; }
    void DoPaint(IRenderTarget& target, const UiRect& dirty) override;

  private:
    std::vector<int> m_aSamples;
};

class CChartViewUI : public CControlUI {
  public:
    enum class View : uint8_t { Pie, Histogram };
    struct Item {
        CDuiString name;
        double value = 0;
    };

    [[nodiscard]] std::string_view GetClass() const override { return "ChartView"; }
    void AddItem(std::string_view name, double value);
    void RemoveAll();
    [[nodiscard]] const std::vector<Item>& GetItems() const { return m_aItems; }
    [[nodiscard]] View GetView() const { return m_eView; }
    void SetAttribute(std::string_view name, std::string_view value) override;
    void DoPaint(IRenderTarget& target, const UiRect& dirty) override;

  private:
    View m_eView = View::Pie;
    CDuiString m_sShadowImage;
    int m_nShadowImageHeight = 0;
    CDuiString m_sPillarImage;
    int m_nPillarImageWidth = 0;
    bool m_bShowHtml = false;
    bool m_bShowText = false;
    std::vector<Item> m_aItems;
};

class CCloudShareListItemUI : public CListContainerElementUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "CloudShareListItemUI"; }
    CDuiString m_sText1;
    CDuiString m_sText2;
    void DoEvent(TEventUI& event) override;
    void PaintBorder(IRenderTarget& target) override;
};

class CComboEditContainerElementUI : public CListContainerElementUI, public INotifyUI {
  public:
    static constexpr const char* kItemLayout = "XML\\CustomControlXML\\ComboEditElementItem.xml";

    ~CComboEditContainerElementUI() override;
    [[nodiscard]] std::string_view GetClass() const override { return "ComboEditContainerElement"; }
    void DoInit() override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void Notify(TNotifyUI& msg) override;

    [[nodiscard]] CControlUI* Text1() const { return m_pText1; }
    [[nodiscard]] CControlUI* Text2() const { return m_pText2; }
    [[nodiscard]] CEditUI* DelayEdit() const { return m_pDelayEdit; }
    [[nodiscard]] bool IsChanged() const { return m_bChanged; }
    void SetChanged(bool changed) { m_bChanged = changed; }

    CDuiString m_sText1;
    CDuiString m_sText2;
    CDuiString m_sText3;

  private:
    CControlUI* m_pText1 = nullptr;
    CControlUI* m_pText2 = nullptr;
    CEditUI* m_pDelayEdit = nullptr;
    bool m_bChanged = false;
    CPaintManagerUI* m_pListening = nullptr;
};

// Every key button below `root` (of the class "DeviceKeyButton"), in tree
// order; and the first control of a class in a subtree, `root` included.
void ForEachKeyButton(CControlUI* root, const std::function<void(CDeviceKeyButtonUI*)>& fn);
CControlUI* FindControlByClass(CControlUI* root, std::string_view className);

// Registers the full class names ("CCircleProgressUI"...) with the control
// factory, and answers the short names for a builder callback.
void RegisterWidgetClasses();
std::unique_ptr<CControlUI> CreateWidget(std::string_view shortClassName);

}  // namespace vextar::ui

#pragma once

// A user at the mouse and keyboard, for tests and scripts: every action goes
// through the same input calls of the paint manager as the window host's
// mouse and keyboard events, so it raises the same notifications in the same
// order (see docs/ui-events.md).

#include <string_view>

#include "ui/controls.h"
#include "ui/paint_manager.h"

namespace vextar::ui {

class CUserActions {
  public:
    explicit CUserActions(CPaintManagerUI& manager) : pm_(manager) {}

    // Pointer onto the control's centre, press and release. False when the
    // control cannot be reached (hidden, disabled, covered or outside).
    bool Click(CControlUI* control);
    bool ClickAt(UiPoint pt, uint16_t keyState = kKeyNone);
    // Press, release, double click, release, as a window system reports it.
    bool DoubleClick(CControlUI* control);
    bool RightClick(CControlUI* control);
    // Press on the thumb, drag to where the value lies, release.
    bool DragSlider(CSliderUI* slider, int value);
    // Click into the edit, then one character at a time.
    bool TypeText(CEditUI* edit, std::string_view text);
    // Click into the edit, erase it, type the text.
    bool ReplaceText(CEditUI* edit, std::string_view text);
    bool PressKey(uint32_t key, uint16_t keyState = kKeyNone);
    // Focus leaves to nothing (as when the user clicks an empty spot).
    void KillFocus();
    // Opens the combo's drop-down and picks an element.
    bool PickComboItem(CComboUI* combo, int index);
    // Press at `from`, move to `to` in steps, release there.
    bool Drag(UiPoint from, UiPoint to, int steps = 4);
    // Pointer onto the control (enter) and away from the window (leave).
    bool Hover(CControlUI* control);
    void LeaveWindow();

  private:
    bool Reachable(CControlUI* control, UiPoint& pt);

    CPaintManagerUI& pm_;
};

}  // namespace vextar::ui

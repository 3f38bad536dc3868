#pragma once

// Window message numbers: the standard ones the windows handle and the
// program's own.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vextar::app {

// Standard messages, numbered as desktop programs know them.
inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_ACTIVATE = 0x0006;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_COPYDATA = 0x004A;
inline constexpr uint32_t WM_DISPLAYCHANGE = 0x007E;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_POWERBROADCAST = 0x0218;
inline constexpr uint32_t WM_MOUSEHOVER = 0x02A1;
inline constexpr uint32_t WM_MOUSELEAVE = 0x02A3;
inline constexpr uint32_t WM_DPICHANGED = 0x02E0;
inline constexpr uint32_t WM_USER = 0x0400;

// WM_POWERBROADCAST events.
inline constexpr uintptr_t PBT_APMSUSPEND = 4;
inline constexpr uintptr_t PBT_APMRESUMEAUTOMATIC = 18;

// Tray callbacks (the mouse message in lParam).
inline constexpr intptr_t kTrayLeftButtonUp = 0x202;
inline constexpr intptr_t kTrayRightButtonUp = 0x205;

// The main window's own messages.
inline constexpr uint32_t MSG_TRAY_NOTIFY = 1025;
inline constexpr uint32_t MSG_HOOK_CONTROL = 1054;
inline constexpr uint32_t MSG_MENU_CLICK = 1145;
inline constexpr uint32_t MSG_DPI_NOTE = 1224;
inline constexpr uint32_t MSG_SHOW_SETTING_PROGRESS = 3072;
inline constexpr uint32_t MSG_LANGUAGE_CHANGED = 3089;
inline constexpr uint32_t MSG_DEVICE_ARRIVED = 3090;
inline constexpr uint32_t MSG_DEVICE_REMOVED = 3091;
inline constexpr uint32_t MSG_OPEN_SETTINGS = 3093;
inline constexpr uint32_t MSG_CLEAR_SETTINGS_BADGE = 3094;
inline constexpr uint32_t MSG_IGNORED = 3330;
inline constexpr uint32_t MSG_SHOW_DEVICE_OPTION = 3331;
// What the window shows, for `vextarctl status`: lParam points at a
// std::vector<std::string> that the window fills with one line per device
// page, "TYPE connected|absent cable|receiver selected|- battery=N|-", for
// the duration of the (synchronous) send.
inline constexpr uint32_t MSG_STATUS_QUERY = 3400;

// Where a copy-data payload came from. Only senders inside the process may
// use the internal kinds (the spectrum frames and the capture's start and
// stop notes); the message bus always marks what it delivers as outside.
enum class CopyDataOrigin { Internal, Outside };

// The payload of WM_COPYDATA: lParam points at one of these for the
// duration of the (synchronous) send.
struct CopyDataStruct {
    uint32_t dwData = 0;
    std::span<const uint8_t> data;
    CopyDataOrigin origin = CopyDataOrigin::Outside;
};

// Copy-data kinds.
inline constexpr uint32_t kCopySpectrum = 1;         // 500 levels of 4 bytes, internal
inline constexpr uint32_t kCopyKeyboardSetting = 2;  // 6 bytes, from outside
inline constexpr uint32_t kCopyCaptureStarted = 3;   // internal
inline constexpr uint32_t kCopyCaptureStopped = 4;   // internal
inline constexpr uint32_t kCopyToolAnswer = 5;       // our answer to the tool
// vextarctl's control of the simulated devices and its status query
// (sim_control.h). They are answered on the bus and never reach a window.
inline constexpr uint32_t kCopySimCommand = 0x5649'4D01;    // "TITLE\nCOMMAND"
inline constexpr uint32_t kCopySimAnswer = 0x5649'4D02;     // "ok" or "error: REASON"
inline constexpr uint32_t kCopyStatusQuery = 0x5649'4D03;   // "TITLE"
inline constexpr uint32_t kCopyStatusAnswer = 0x5649'4D04;  // status lines
inline constexpr std::size_t kSpectrumLevels = 500;
inline constexpr std::size_t kKeyboardSettingBytes = 6;
inline constexpr std::size_t kToolAnswerBytes = 1024;

}  // namespace vextar::app

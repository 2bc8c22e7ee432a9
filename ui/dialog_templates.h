// SPDX-License-Identifier: MIT
#pragma once
// The templates of the main window (102) and the progress window (103): every control with its
// ID, kind, text, rectangle in dialog units and style, in the order the windows create them
// (which is the order Tab and assistive technology walk them). The Qt windows are laid out from
// these tables at run time; the build writes the Win32 dialog templates from them
// (ui/win32/dialog_templates_rc.cpp). The about box is kept in the resource script.
#include <cstddef>
#include <cstdint>
#include <span>

#include "ui/control_ids.h"

namespace zmr::ui {

// The font of every dialog: the Windows templates name their face; the Qt windows take the
// platform's UI font at the same size.
inline constexpr int kDialogFontPoints = 8;
inline constexpr const char* kDialogFontFace = "MS Sans Serif";

enum class ControlKind : uint8_t {
  Static,       // a text the user cannot change
  PushButton,   // a button
  ProgressBar,  // a bar from the lower to the upper bound
};

// Style bits of a control.
enum ControlStyle : uint32_t {
  kCentred = 1u << 0,    // a static's text is centred; left-aligned without it
  kSunken = 1u << 1,     // a static with a sunken border: a value field
  kDefault = 1u << 2,    // the default push button (Enter presses it)
  kMultiLine = 1u << 3,  // the text may break into lines (a Windows static always may)
  kHidden = 1u << 4,     // not visible, and nothing ever shows it
  kBordered = 1u << 5,   // a thin border around the control
};

// x, y, width and height in dialog units, relative to the window's client area.
struct DialogRect {
  int x;
  int y;
  int width;
  int height;
};

struct ControlTemplate {
  int id;  // IDC_STATIC for a static that nothing addresses
  ControlKind kind;
  const char* text;  // what the control shows when the window is created (ASCII)
  DialogRect rect;
  uint32_t style;  // ControlStyle bits
};

// Style bits of a dialog.
enum DialogStyle : uint32_t {
  kVisibleAtCreation = 1u << 0,  // shown as soon as it is created
  kOnTaskBar = 1u << 1,          // has a button of its own on the task bar
};

struct DialogTemplate {
  int id;
  const char* caption;  // empty: none (the code sets it)
  int width;            // client area, in dialog units
  int height;
  uint32_t style;  // DialogStyle bits
  std::span<const ControlTemplate> controls;
};

namespace templates {

constexpr ControlTemplate Text(const char* text, int x, int y, int width, uint32_t style = 0) {
  return {IDC_STATIC, ControlKind::Static, text, {x, y, width, 8}, style};
}

// A value field of the main window; `text` is a placeholder that the window replaces.
constexpr ControlTemplate Field(int id, const char* text, int x, int y) {
  return {id, ControlKind::Static, text, {x, y, 50, 9}, kSunken};
}

// Every row of the main window names its image at x 25 and has a ":" at x 95; its version field
// is at x 104, its check-sum field at x 175.
constexpr ControlTemplate RowLabel(const char* text, int y) {
  return Text(text, 25, y, 68);
}
constexpr ControlTemplate RowColon(int y) {
  return Text(":", 95, y, 8);
}
constexpr ControlTemplate Version(int id, const char* text, int y) {
  return Field(id, text, 104, y);
}
constexpr ControlTemplate CheckSum(int id, const char* text, int y) {
  return Field(id, text, 175, y);
}

inline constexpr ControlTemplate kMainControls[] = {
    Text("Download Ver.1.02", 14, 11, 129),
    Text("Version", 104, 17, 50, kCentred),
    Text("Check sum", 175, 17, 50, kCentred),

    RowLabel("DATA1(M)", 29),
    RowColon(29),
    Version(IDC_OWN_VER1, "12345", 29),
    CheckSum(IDC_OWN_SUM1, "67890", 29),
    RowLabel("DATA2(T)", 43),
    RowColon(43),
    Version(IDC_OWN_VER2, "ABCDEF", 43),
    CheckSum(IDC_OWN_SUM2, "$1234", 43),
    RowLabel("DATA3(F)", 57),
    RowColon(57),
    Version(IDC_OWN_VER3, "12345", 57),
    CheckSum(IDC_OWN_SUM3, "67890", 57),

    Text("Data in Printer", 14, 78, 129),
    Text("Before", 21, 90, 22),
    RowLabel("DATA1(M)", 104),
    RowColon(104),
    Version(IDC_BEFORE_VER1, "", 104),
    CheckSum(IDC_BEFORE_SUM1, "", 104),
    RowLabel("DATA2(T)", 118),
    RowColon(118),
    Version(IDC_BEFORE_VER2, "", 118),
    CheckSum(IDC_BEFORE_SUM2, "", 118),
    RowLabel("DATA3(F)", 132),
    RowColon(132),
    Version(IDC_BEFORE_VER3, "", 132),
    CheckSum(IDC_BEFORE_SUM3, "", 132),

    // The After fields sit one unit above their labels.
    Text("After", 21, 147, 17),
    RowLabel("DATA1(M)", 161),
    RowColon(161),
    Version(IDC_AFTER_VER1, "", 160),
    CheckSum(IDC_AFTER_SUM1, "", 160),
    RowLabel("DATA2(T)", 175),
    RowColon(175),
    Version(IDC_AFTER_VER2, "", 174),
    CheckSum(IDC_AFTER_SUM2, "", 174),
    RowLabel("DATA3(F)", 188),
    RowColon(188),
    Version(IDC_AFTER_VER3, "", 187),
    CheckSum(IDC_AFTER_SUM3, "", 187),

    {IDC_DOWNLOAD, ControlKind::PushButton, "Download", {102, 206, 52, 23}, kDefault | kMultiLine},
};

inline constexpr ControlTemplate kProgressControls[] = {
    // The message: two lines fit.
    {IDC_PROGRESS_MESSAGE, ControlKind::Static, "", {6, 7, 164, 16}, kCentred | kMultiLine},
    // The percentage; its first text never equals a formatted one, so the first refresh
    // rewrites it.
    {IDC_PROGRESS_PERCENT, ControlKind::Static, " 0 %", {79, 31, 18, 8}, kCentred},
    {IDC_PROGRESS_BAR, ControlKind::ProgressBar, "", {11, 42, 154, 10}, kBordered},
    {IDC_PROGRESS_CANCEL, ControlKind::PushButton, "Cancel", {63, 59, 50, 14}, kDefault | kHidden},
};

}  // namespace templates

inline constexpr DialogTemplate kMainWindowTemplate = {IDD_UPDATE_DIALOG,
                                                       "TALVERON ZMR470 Update Tool",
                                                       258,
                                                       241,
                                                       kVisibleAtCreation | kOnTaskBar,
                                                       templates::kMainControls};

inline constexpr DialogTemplate kProgressWindowTemplate = {
    IDD_PROGRESS, "", 176, 80, kVisibleAtCreation, templates::kProgressControls};

// Every control lies inside its window's client area, and no two controls share an ID (the code
// finds them by ID).
constexpr bool IsWellFormed(const DialogTemplate& dialog) {
  for (size_t i = 0; i < dialog.controls.size(); ++i) {
    const DialogRect& r = dialog.controls[i].rect;
    if (r.x < 0 || r.y < 0 || r.x + r.width > dialog.width || r.y + r.height > dialog.height)
      return false;
    for (size_t k = 0; k < i; ++k)
      if (dialog.controls[i].id != IDC_STATIC && dialog.controls[k].id == dialog.controls[i].id)
        return false;
  }
  return true;
}
static_assert(IsWellFormed(kMainWindowTemplate) && IsWellFormed(kProgressWindowTemplate));

}  // namespace zmr::ui

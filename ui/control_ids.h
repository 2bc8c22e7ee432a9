// SPDX-License-Identifier: MIT
// Resource numbers of the windowed front ends, the same in each: the dialog templates, the icon,
// the system-menu command and every control ID. The resource compiler reads the names too (it
// defines RC_INVOKED and skips the C++ part).
#pragma once

// Dialog templates and the icon.
#define IDD_ABOUTBOX 100
#define IDD_UPDATE_DIALOG 102
#define IDD_PROGRESS 103
#define IDR_MAINFRAME 128

// The "&About..." entry that the main window adds to its system menu (its text is string 101);
// the low four bits of a system command are free, so 16 to 31 all open the about box.
#define IDM_ABOUTBOX 0x0010

// Main window (template 102).
#define IDC_DOWNLOAD 1000
#define IDC_AFTER_SUM1 1002
#define IDC_OWN_SUM1 1003
#define IDC_AFTER_VER1 1004
#define IDC_OWN_VER1 1005
#define IDC_OWN_VER2 1006
#define IDC_OWN_VER3 1007
#define IDC_OWN_SUM2 1008
#define IDC_AFTER_SUM2 1009
#define IDC_AFTER_VER2 1010
#define IDC_OWN_SUM3 1011
#define IDC_AFTER_VER3 1012
#define IDC_AFTER_SUM3 1013
#define IDC_BEFORE_VER1 1014
#define IDC_BEFORE_SUM1 1015
#define IDC_BEFORE_VER2 1016
#define IDC_BEFORE_SUM2 1017
#define IDC_BEFORE_VER3 1018
#define IDC_BEFORE_SUM3 1019

// Progress window (template 103). Its hidden Cancel button carries the dialog manager's cancel
// command (IDCANCEL).
#define IDC_PROGRESS_BAR 1003
#define IDC_PROGRESS_PERCENT 1004
#define IDC_PROGRESS_MESSAGE 1005
#define IDC_PROGRESS_CANCEL 2

// A static text that nothing addresses.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#ifndef RC_INVOKED
#include <array>

#include "images/image_set.h"

namespace zmr::ui {

// The main window's value fields, by image.
inline constexpr std::array<int, kImageCount> kOwnVersionControl = {IDC_OWN_VER1, IDC_OWN_VER2,
                                                                    IDC_OWN_VER3};
inline constexpr std::array<int, kImageCount> kOwnCheckSumControl = {IDC_OWN_SUM1, IDC_OWN_SUM2,
                                                                     IDC_OWN_SUM3};
inline constexpr std::array<int, kImageCount> kBeforeVersionControl = {
    IDC_BEFORE_VER1, IDC_BEFORE_VER2, IDC_BEFORE_VER3};
inline constexpr std::array<int, kImageCount> kBeforeCheckSumControl = {
    IDC_BEFORE_SUM1, IDC_BEFORE_SUM2, IDC_BEFORE_SUM3};
inline constexpr std::array<int, kImageCount> kAfterVersionControl = {
    IDC_AFTER_VER1, IDC_AFTER_VER2, IDC_AFTER_VER3};
inline constexpr std::array<int, kImageCount> kAfterCheckSumControl = {
    IDC_AFTER_SUM1, IDC_AFTER_SUM2, IDC_AFTER_SUM3};

}  // namespace zmr::ui
#endif

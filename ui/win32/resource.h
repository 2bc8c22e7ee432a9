// SPDX-License-Identifier: MIT
// Resource numbers of the Windows desktop tool: the dialog templates, the icon, the system-menu
// command, the string-table entry of that command and every control ID. A plain C header, read by
// the resource compiler and by the C++ code alike.
#pragma once

// Dialog templates and the icon.
#define IDD_ABOUTBOX 100
#define IDD_UPDATE_DIALOG 102
#define IDD_PROGRESS 103
#define IDR_MAINFRAME 128

// The "&About..." entry that the main window adds to its system menu (its text is string 101).
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

// Progress window (template 103); its hidden Cancel button is IDCANCEL (2).
#define IDC_PROGRESS_BAR 1003
#define IDC_PROGRESS_PERCENT 1004
#define IDC_PROGRESS_MESSAGE 1005

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

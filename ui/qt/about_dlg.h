// SPDX-License-Identifier: MIT
#pragma once
// The about box: the tool's icon, name and version, and OK.
#include <QDialog>

#include "platform/ui_language.h"

namespace zmr::ui {

class CAboutDlg final : public QDialog {
  Q_OBJECT

 public:
  // Centred over `owner` (the main window), which it blocks while it runs.
  CAboutDlg(QWidget* owner, platform::Language language);
};

}  // namespace zmr::ui

// SPDX-License-Identifier: MIT
#pragma once
// The main window: the versions the tool carries, the versions and check sums the printer
// reported before and after the last attempt, and the Download button. It owns the update
// procedure and shows what the procedure tells it (it is the procedure's UpdateView).
#include <QDialog>
#include <array>
#include <memory>

#include "images/image_set.h"
#include "link/driver_library.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "platform/ui_language.h"
#include "update/update_context.h"
#include "update/update_procedure.h"
#include "update/update_view.h"

class QLabel;
class QMenu;
class QPushButton;

namespace zmr::ui {

class CUpdateDlg final : public QDialog, public UpdateView {
  Q_OBJECT

 public:
  explicit CUpdateDlg(const UpdateContext& context, QWidget* owner = nullptr);
  ~CUpdateDlg() override;

  CUpdateProcedure& Procedure() { return procedure_; }
  QPushButton* DownloadButton() const { return download_; }
  platform::Language Language() const { return language_; }

  // The window menu (opened by a right click): the window's own entries, a separator and
  // "&About...". The caller owns the menu.
  QMenu* MakeWindowMenu();
  // A command of the window menu; 16 to 31 (IDM_ABOUTBOX) open the about box.
  void OnSysCommand(unsigned command);

  // UpdateView. EnableWindow(false) makes the window refuse the user's input while it keeps its
  // normal look.
  void RefreshFields(const DisplayFields& fields) override;
  void EnableDownloadButton(bool enable) override;
  void FocusDownloadButton() override;
  bool IsWindowEnabled() const override;
  void EnableWindow(bool enable) override;
  void ShowMessage(const Message& message) override;
  std::unique_ptr<ProgressWindow> MakeProgressWindow() override;

 public Q_SLOTS:
  void OnDownload();
  // Esc and the close box: refused while an update runs.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // While the window refuses input: swallows the user's input to it.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OpenWindowMenu(const QPoint& globalPos);

  platform::Language language_;
  CUpdateProcedure procedure_;
  QPushButton* download_ = nullptr;
  std::array<QLabel*, kImageCount> beforeVersion_{};
  std::array<QLabel*, kImageCount> beforeCheckSum_{};
  std::array<QLabel*, kImageCount> afterVersion_{};
  std::array<QLabel*, kImageCount> afterCheckSum_{};
  bool refusingInput_ = false;  // EnableWindow(false): input refused, the look kept
  bool menuOpen_ = false;
};

}  // namespace zmr::ui

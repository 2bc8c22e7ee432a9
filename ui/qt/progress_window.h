// SPDX-License-Identifier: MIT
#pragma once
// The progress window: a small modeless window with a caption, a two-line message (control
// 1005), a percentage (1004) and a bar (1003), placed over its owner. It shows what it is told;
// the user cannot close it: Esc, Enter and the close box are ignored, only its owner's code
// closes it.
#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <string>

#include "platform/ui_language.h"
#include "update/update_view.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace zmr::ui {

class QtProgressDialog final : public QDialog {
  Q_OBJECT

 public:
  QtProgressDialog(QWidget* owner, platform::Language language);

  QLabel* Message() const { return message_; }
  QLabel* Percent() const { return percent_; }
  QProgressBar* Bar() const { return bar_; }

  // Closes the window for good (the only way it closes).
  void CloseByOwner();

 public Q_SLOTS:
  // The dialog's own OK and cancel handling (Enter, Esc, the hidden Cancel) does nothing.
  void accept() override {}
  void reject() override {}

 protected:
  void closeEvent(QCloseEvent* event) override;
  // A window manager that offers minimising anyway: the window comes straight back.
  void changeEvent(QEvent* event) override;

 private:
  QLabel* message_;
  QLabel* percent_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  bool closing_ = false;
};

// The ProgressWindow that the progress logic drives; it owns one QtProgressDialog while it exists.
class QtProgressWindow final : public ProgressWindow {
 public:
  QtProgressWindow(QWidget* owner, platform::Language language);
  ~QtProgressWindow() override;

  bool Create() override;
  void Destroy() override;
  void SetCaption(const std::string& text) override;
  void SetMessage(const std::string& text) override;
  void SetBarRange(int32_t lower, int32_t upper) override;
  void SetBarStep(int32_t step) override;
  int32_t SetBarPosition(int32_t position) override;
  std::string PercentText() const override;
  void SetPercentText(const std::string& text) override;
  void DrainEvents() override;

 private:
  QPointer<QWidget> owner_;
  platform::Language language_;
  QPointer<QtProgressDialog> window_;
  int32_t step_ = 10;
};

}  // namespace zmr::ui

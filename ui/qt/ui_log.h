// SPDX-License-Identifier: MIT
#pragma once
// A diagnostic aid for tests that run the program as a separate process, off by default: with
// ZMR470_UI_LOG=<file> (or "-" for standard output) every window and message box that is shown
// is written there as one line, and every message box is answered at once with its default
// button:
//   window<TAB><object name><TAB><title>
//   message<TAB><title><TAB><icon: warning|information|...><TAB><text, "\n" for line breaks>
#include <QObject>
#include <QString>

namespace zmr::ui {

class UiLog final : public QObject {
  Q_OBJECT

 public:
  // Logs to `path` ("-" for standard output) while it lives.
  explicit UiLog(const QString& path);
  ~UiLog() override;

  // A log when the environment asks for one, else null.
  static UiLog* FromEnvironment(QObject* parent);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Write(const QString& line);
  QString path_;
};

}  // namespace zmr::ui

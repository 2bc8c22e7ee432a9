// SPDX-License-Identifier: MIT
#pragma once
// A diagnostic aid for tests that run the program as a separate process, off by default: with
// ZMR470_UI_LOG=<file> (or "-" for standard output) every window and message box that is shown
// is written there as one UTF-8 line, and every message box is answered at once with OK:
//   window<TAB><template number><TAB><title>
//   message<TAB><title><TAB><icon: warning|information><TAB><text, "\n" for line breaks>
// The same lines as the Qt tool writes, so one set of process tests reads both.
#include <string>

namespace zmr::ui {

class UiLog {
 public:
  // Reads ZMR470_UI_LOG once; later calls return the same answer.
  static bool Enabled();
  static void Window(int templateId, const std::wstring& title);
  static void Message(const std::wstring& title, const char* icon, const std::wstring& text);

 private:
  static void Write(const std::string& line);
};

}  // namespace zmr::ui

// SPDX-License-Identifier: MIT
#pragma once
// What the update procedure needs from a front end: the main window's fields, its Download
// button, message boxes and progress windows. The Qt window and the terminal implement it; so do
// the tests. Every call comes on the thread that runs the procedure.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "images/image_set.h"
#include "update/string_table.h"

namespace zmr {

struct Message {
  uint32_t stringId;  // the string-table entry the text came from
  std::string text;   // as loaded (and, for 2006, formatted); lines separated by '\n'
  MessageTitle title;
  MessageIcon icon;
};

// The twelve Before/After display strings, by image (kData1, kData2, kData3).
struct DisplayFields {
  std::array<std::string, kImageCount> beforeVersion;
  std::array<std::string, kImageCount> beforeCheckSum;
  std::array<std::string, kImageCount> afterVersion;
  std::array<std::string, kImageCount> afterCheckSum;
};

// The front end's side of one progress window: a caption, a two-line message, a bar and a
// percentage label (initially " 0 %"). CProgressDlg drives it.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  // Shows the window over the main window. False when it cannot be made.
  virtual bool Create() = 0;
  // Closes the window (called once, after the owner has been enabled again).
  virtual void Destroy() = 0;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetMessage(const std::string& text) = 0;
  virtual void SetBarRange(int32_t lower, int32_t upper) = 0;
  virtual void SetBarStep(int32_t step) = 0;
  // Returns the bar's previous position.
  virtual int32_t SetBarPosition(int32_t position) = 0;
  virtual std::string PercentText() const = 0;
  virtual void SetPercentText(const std::string& text) = 0;
  // Handles pending window events (repaint, input to the progress window) and returns.
  virtual void DrainEvents() = 0;
};

class UpdateView {
 public:
  virtual ~UpdateView() = default;
  // Shows the twelve display strings (and nothing else).
  virtual void RefreshFields(const DisplayFields& fields) = 0;
  virtual void EnableDownloadButton(bool enable) = 0;
  virtual void FocusDownloadButton() = 0;
  // The main window as the owner of progress windows: disabled while one exists.
  virtual bool IsWindowEnabled() const = 0;
  virtual void EnableWindow(bool enable) = 0;
  // Shows one message box owned by the main window and returns when the user has closed it.
  virtual void ShowMessage(const Message& message) = 0;
  // A new, not yet created progress window owned by the main window.
  virtual std::unique_ptr<ProgressWindow> MakeProgressWindow() = 0;
};

}  // namespace zmr

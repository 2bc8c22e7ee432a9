// SPDX-License-Identifier: MIT
#pragma once
// What the update procedure needs from a front end: the main window's fields, its Download
// button, message boxes and progress windows. The Qt window, the Win32 window and the terminal
// implement it; so do the tests. Every call comes on the thread that runs the procedure, and
// none may call back into the procedure. Only ShowMessage and DrainEvents may service window
// events (and so let a press of Download arrive while a run is going on); every other entry does
// its work and returns at once, and none can fail unless it says so.
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
// percentage label (initially " 0 %"). CProgressDlg drives it: Create once, then the setters, then
// Destroy at most once; the object may be deleted without Destroy (it then closes the window).
// The setters before a successful Create, or after Destroy, change nothing visible.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  // Shows the window over the main window, without waiting for it to be painted. False when it
  // cannot be made (nothing is shown; the run goes on without it).
  virtual bool Create() = 0;
  // Closes the window (called once, after the owner has been enabled again).
  virtual void Destroy() = 0;
  // The window's title, as given (UTF-8).
  virtual void SetCaption(const std::string& text) = 0;
  // The label above the bar, as given; '\n' separates its two lines.
  virtual void SetMessage(const std::string& text) = 0;
  // The bar's range, lower..upper as given (upper may be below lower); the position is not moved.
  virtual void SetBarRange(int32_t lower, int32_t upper) = 0;
  // How far one step of the bar moves it; kept, nothing is drawn.
  virtual void SetBarStep(int32_t step) = 0;
  // Moves the bar to `position` (outside the range: drawn at its nearer end) and returns the
  // position it had before.
  virtual int32_t SetBarPosition(int32_t position) = 0;
  // The percentage label as last set (" 0 %" before the first set).
  virtual std::string PercentText() const = 0;
  // Replaces the percentage label with `text`.
  virtual void SetPercentText(const std::string& text) = 0;
  // Handles the window events pending now (repaint, input to the progress window) and returns
  // without waiting for more; the only place besides ShowMessage where events are serviced.
  virtual void DrainEvents() = 0;
};

class UpdateView {
 public:
  virtual ~UpdateView() = default;
  // Shows the twelve display strings as given (empty ones blank), and nothing else.
  virtual void RefreshFields(const DisplayFields& fields) = 0;
  // Lets the Download button take presses, or not; a front end without a button ignores it.
  virtual void EnableDownloadButton(bool enable) = 0;
  // Moves the keyboard focus to the Download button (the main window's default control).
  virtual void FocusDownloadButton() = 0;
  // The main window as the owner of progress windows: disabled while one exists. Whether it
  // takes input now, as EnableWindow last left it (enabled at first).
  virtual bool IsWindowEnabled() const = 0;
  // Lets the main window take input, or refuses it; the windows it owns keep working.
  virtual void EnableWindow(bool enable) = 0;
  // Shows one message box owned by the main window and returns when the user has closed it (a
  // front end without a user prints it and returns). Blocks the run meanwhile and services window
  // events, progress windows included.
  virtual void ShowMessage(const Message& message) = 0;
  // A new, not yet created progress window owned by the main window; null when none can be made
  // (the run then goes on without one).
  virtual std::unique_ptr<ProgressWindow> MakeProgressWindow() = 0;
};

}  // namespace zmr

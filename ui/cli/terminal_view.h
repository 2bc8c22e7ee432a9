// SPDX-License-Identifier: MIT
#pragma once
// The update procedure's view on a terminal. The progress window becomes one status line,
// redrawn in place on a terminal ("\r", clear to end of line) or printed as plain lines, one per
// change of message or of each 10%, when the output is a file or a pipe. The closing message and
// the table of the printer's versions follow as plain lines. Everything is written through at
// once, so a remote shell shows progress as it happens.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "ui/cli/terminal_format.h"
#include "update/update_view.h"

namespace zmr::cli {

struct TerminalOptions {
  // Redraw the status line in place; off for anything that is not a terminal.
  bool inPlace = false;
  // Width of the terminal in columns, asked before every redraw (it may be resized); 0 or no
  // function means 80.
  std::function<size_t()> columns;
};

// The one output stream of the view and its progress lines, and the status line that is open
// on it (drawn in place and not yet finished with a line break).
class TerminalOutput {
 public:
  TerminalOutput(std::ostream& out, TerminalOptions options);

  bool InPlace() const { return options_.inPlace; }
  size_t Columns() const;
  // Draws `line` as the status line of `owner`, in place of what is there; finishes another
  // owner's open line first. Nothing is written when the line shows no change.
  void DrawInPlace(const void* owner, const std::string& line);
  // Finishes `owner`'s status line when it is the open one.
  void FinishLine(const void* owner);
  // Writes whole lines (text ending in '\n') below any open status line.
  void WriteLines(const std::string& text);

 private:
  void Write(const std::string& text);

  std::ostream& out_;
  TerminalOptions options_;
  const void* openOwner_ = nullptr;  // the owner of the status line that is open, if any
  std::string openLine_;
};

// One progress window as a status line.
class TerminalProgressWindow final : public ProgressWindow {
 public:
  explicit TerminalProgressWindow(TerminalOutput& output) : output_(output) {}
  ~TerminalProgressWindow() override;

  bool Create() override;
  void Destroy() override;
  void SetCaption(const std::string& text) override;
  void SetMessage(const std::string& text) override;
  void SetBarRange(int32_t, int32_t) override {}
  void SetBarStep(int32_t) override {}
  int32_t SetBarPosition(int32_t position) override;
  std::string PercentText() const override { return state_.percentText; }
  void SetPercentText(const std::string& text) override;
  void DrainEvents() override {}  // every change is drawn as it is made

 private:
  void Show();

  TerminalOutput& output_;
  ProgressWindowState state_;
  int32_t position_ = 0;
  bool created_ = false;
  bool shown_ = false;
  // The caption, message line and tenth of the last plain line, to print only changes.
  std::optional<std::string> lastPlainKey_;
};

class TerminalView final : public UpdateView {
 public:
  TerminalView(std::ostream& out, TerminalOptions options);

  void RefreshFields(const DisplayFields& fields) override { fields_ = fields; }
  void EnableDownloadButton(bool) override {}
  void FocusDownloadButton() override {}
  bool IsWindowEnabled() const override { return windowEnabled_; }
  void EnableWindow(bool enable) override { windowEnabled_ = enable; }
  // Prints the table of the printer's versions (when there is one) and then the message.
  void ShowMessage(const Message& message) override;
  std::unique_ptr<ProgressWindow> MakeProgressWindow() override;

  // The string-table number of the last message shown; none before the first.
  std::optional<uint32_t> ClosingMessage() const { return closingMessage_; }
  // The last message shown, whole; none before the first.
  const std::optional<Message>& LastMessage() const { return lastMessage_; }
  const DisplayFields& Fields() const { return fields_; }

 private:
  TerminalOutput output_;
  DisplayFields fields_;
  bool windowEnabled_ = true;
  std::optional<uint32_t> closingMessage_;
  std::optional<Message> lastMessage_;
};

}  // namespace zmr::cli

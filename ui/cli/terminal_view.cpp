// SPDX-License-Identifier: MIT
#include "ui/cli/terminal_view.h"

#include <ostream>

#include "ui/cli/terminal_text.h"

namespace zmr::cli {
namespace {

constexpr size_t kDefaultColumns = 80;
constexpr const char* kClearToEndOfLine = "\x1b[K";

}  // namespace

TerminalOutput::TerminalOutput(std::ostream& out, TerminalOptions options)
    : out_(out), options_(std::move(options)) {}

size_t TerminalOutput::Columns() const {
  const size_t columns = options_.columns ? options_.columns() : 0;
  return columns > 0 ? columns : kDefaultColumns;
}

void TerminalOutput::Write(const std::string& text) {
  out_ << text;
  out_.flush();
}

void TerminalOutput::DrawInPlace(const void* owner, const std::string& line) {
  if (openOwner_ == owner && openLine_ == line) return;
  if (openOwner_ != nullptr && openOwner_ != owner) FinishLine(openOwner_);
  Write("\r" + line + kClearToEndOfLine);
  openOwner_ = owner;
  openLine_ = line;
}

void TerminalOutput::FinishLine(const void* owner) {
  if (owner == nullptr || openOwner_ != owner) return;
  openOwner_ = nullptr;
  openLine_.clear();
  Write("\n");
}

void TerminalOutput::WriteLines(const std::string& text) {
  FinishLine(openOwner_);
  Write(text);
}

TerminalProgressWindow::~TerminalProgressWindow() {
  output_.FinishLine(this);
}

bool TerminalProgressWindow::Create() {
  created_ = true;
  return true;
}

void TerminalProgressWindow::Destroy() {
  created_ = false;
  output_.FinishLine(this);
}

void TerminalProgressWindow::SetCaption(const std::string& text) {
  state_.caption = text;
  Show();
}

void TerminalProgressWindow::SetMessage(const std::string& text) {
  state_.message = text;
  Show();
}

int32_t TerminalProgressWindow::SetBarPosition(int32_t position) {
  const int32_t previous = position_;
  position_ = position;
  return previous;
}

void TerminalProgressWindow::SetPercentText(const std::string& text) {
  state_.percentText = text;
  Show();
}

void TerminalProgressWindow::Show() {
  if (!created_) return;
  const int tenth = PercentShown(state_.percentText) / 10;
  // A new window shows itself once it has a message or has moved by a tenth.
  if (!shown_ && FirstLine(state_.message).empty() && tenth == 0) return;
  shown_ = true;
  if (output_.InPlace()) {
    output_.DrawInPlace(this, StatusLine(state_, output_.Columns()));
    return;
  }
  std::string key = state_.caption;
  key += '\n';
  key += FirstLine(state_.message);
  key += '\n';
  key += std::to_string(tenth);
  if (lastPlainKey_ == key) return;
  lastPlainKey_ = std::move(key);
  output_.WriteLines(StatusLine(state_) + "\n");
}

TerminalView::TerminalView(std::ostream& out, TerminalOptions options)
    : output_(out, std::move(options)) {}

void TerminalView::ShowMessage(const Message& message) {
  closingMessage_ = message.stringId;
  lastMessage_ = message;
  output_.WriteLines(FieldTable(fields_) + MessageLines(message));
}

std::unique_ptr<ProgressWindow> TerminalView::MakeProgressWindow() {
  return std::make_unique<TerminalProgressWindow>(output_);
}

}  // namespace zmr::cli

// SPDX-License-Identifier: MIT
#include "update/run_record.h"

#include <cstdio>

#include "update/string_table.h"
#include "update/update_procedure.h"

namespace zmr {
namespace {

// Printable ASCII only: a path or a note is written as it is, but never as control characters
// that could forge a line of the log or bidirectional marks that could turn how it reads. The
// backslash stays, so a text that comes escaped already (the printer's) is not escaped twice.
std::string Printable(const std::string& text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F) {
      out += c;
    } else {
      out += std::string("\\x") + kDigits[u >> 4] + kDigits[u & 0xF];
    }
  }
  return out;
}

constexpr const char* kOutcomeNote = "outcome: ";

}  // namespace

std::string RunRecord::UnfinishedRecord(const std::string& logTail) {
  // The last line that starts a record, and whether a later line is its outcome.
  const std::string mark = std::string("\n") + kStartMark;
  size_t start = logTail.rfind(mark);
  start = start == std::string::npos ? (logTail.rfind(kStartMark, 0) == 0 ? 0 : start) : start + 1;
  if (start == std::string::npos) return {};
  const size_t end = logTail.find('\n', start);
  const std::string head =
      logTail.substr(start, end == std::string::npos ? std::string::npos : end - start);
  const std::string outcome = std::string(" s  ") + kOutcomeNote;
  if (end != std::string::npos && logTail.find(outcome, end) != std::string::npos) return {};
  return head;
}

void RunRecord::Line(uint32_t atMs, const std::string& text) {
  const uint32_t elapsed = started_ ? atMs - startTick_ : 0;
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%7u.%03u s  ", elapsed / 1000, elapsed % 1000);
  text_ += stamp + Printable(text) + "\n";
}

void RunRecord::Note(const std::string& text) {
  Line(clock_.TickCount(), text);
}

void RunRecord::OnRunStarted(bool force) {
  started_ = true;
  ended_ = false;
  startTick_ = clock_.TickCount();
  Line(startTick_, force ? "run started (force mode)" : "run started");
}

void RunRecord::OnDownloadModeEntered() {
  Note("printer in download mode");
}

void RunRecord::OnReleased(bool leaveSent) {
  Note(leaveSent ? "printer released from download mode"
                 : "printer left in download mode (leave-download-mode command not sent)");
}

void RunRecord::OnStep(const StepRecord& step) {
  std::string line = step.step + (step.ok ? "  ok" : "  FAILED");
  if (!step.detail.empty()) line += "  " + step.detail;
  Line(step.atMs, line);
}

void RunRecord::OnRunEnded(const RunResult& result, const DisplayFields& fields) {
  const std::string before = VersionsText(fields.beforeVersion, fields.beforeCheckSum);
  const std::string after = VersionsText(fields.afterVersion, fields.afterCheckSum);
  if (!before.empty()) Note("before: " + before);
  if (!after.empty()) Note("after: " + after);
  std::string outcome = kOutcomeNote;
  if (result.messageId == 0) {
    outcome += "no closing message";
  } else {
    // The English text's first line names the message whatever the user's language.
    std::string text = LoadString(result.messageId, platform::Language::English);
    text = text.substr(0, text.find('\n'));
    outcome += std::to_string(result.messageId) + " \"" + text + "\"";
  }
  if (result.reason != RunReason::kSuccess) {
    outcome += std::string(", ") + Name(result.reason) + " in " + StepOf(result.reason);
    if (!result.detail.empty()) outcome += ": " + result.detail;
  }
  Note(outcome);
  ended_ = true;
}

void RunRecord::Clear() {
  text_.clear();
  started_ = false;
  ended_ = false;
}

}  // namespace zmr

// SPDX-License-Identifier: MIT
#include "ui/cli/exit_status.h"

#include "update/image_download.h"

namespace zmr::cli {
namespace {

using Title = MessageTitle;

constexpr ExitStatusRow kRows[] = {
    {kExitSuccess, IDS_SUCCESS, Title::Success, 0, IDS_EXPLAIN_SUCCESS},
    {kExitNoOutcome, 0, Title::Error, IDS_EXIT_NO_OUTCOME, IDS_EXPLAIN_NO_OUTCOME},
    {kExitUsage, 0, Title::Error, IDS_EXIT_USAGE, 0},
    {kExitAlreadyRunning, 0, Title::Error, IDS_EXIT_ALREADY_RUNNING, IDS_EXPLAIN_ALREADY_RUNNING},
    {kExitDriverNotFound, 0, Title::Error, IDS_EXIT_DRIVER_NOT_FOUND, IDS_EXPLAIN_DRIVER_NOT_FOUND},
    {kExitOutputFailed, 0, Title::Error, IDS_EXIT_OUTPUT_FAILED, 0},
    {10, IDS_NOT_CONNECTED, Title::Error, 0, IDS_EXPLAIN_NOT_CONNECTED},
    {11, IDS_TWO_PRINTERS, Title::Error, 0, IDS_EXPLAIN_TWO_PRINTERS},
    {12, IDS_PRINTING, Title::Error, 0, IDS_EXPLAIN_PRINTING},
    {13, IDS_PRINTER_ERROR, Title::Error, 0, IDS_EXPLAIN_PRINTER_ERROR},
    {14, IDS_VERSION_FAILED, Title::Error, 0, IDS_EXPLAIN_VERSION_FAILED},
    {15, IDS_NEWEST_VERSION, Title::VersionCheck, 0, IDS_EXPLAIN_NEWEST_VERSION},
    {16, IDS_NOT_APPLICABLE, Title::VersionCheck, 0, IDS_EXPLAIN_NOT_APPLICABLE},
    {17, IDS_TIME_OUT, Title::Error, 0, IDS_EXPLAIN_TIME_OUT},
    {18, IDS_FAILED, Title::Error, 0, IDS_EXPLAIN_FAILED},
};

static_assert(kRows[6].status == kExitFirstMessage && kRows[6].message == IDS_NOT_CONNECTED);

std::string FirstLineOf(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

}  // namespace

std::span<const ExitStatusRow> ExitStatusRows() {
  return kRows;
}

int ExitStatusFor(std::optional<uint32_t> closingMessage) {
  if (!closingMessage) return kExitNoOutcome;
  for (const ExitStatusRow& row : kRows) {
    if (row.message != 0 && row.message == *closingMessage) return row.status;
  }
  return kExitNoOutcome;
}

std::string ExitStatusMessageLine(const ExitStatusRow& row, platform::Language language) {
  return row.message == 0 ? std::string() : FirstLineOf(LoadString(row.message, language));
}

std::string ExitStatusSummary(const ExitStatusRow& row, platform::Language language) {
  if (row.message == 0) {
    // The one value a summary names: the message shown when the driver library is missing.
    const std::string driverNotFound =
        std::string(kDriverNotFoundTitle) + ": " + kDriverNotFoundText;
    return FillText(LoadString(row.summary, language), {driverNotFound});
  }
  const std::string title = MessageTitleText(row.title);
  const std::string line = ExitStatusMessageLine(row, language);
  return line == title ? title : title + ": " + line;
}

std::string ExitStatusDetail(const ExitStatusRow& row, platform::Language language) {
  if (row.detail == 0) return {};
  // The one value a paragraph names: the time an image may take to send.
  return FillText(LoadString(row.detail, language), {std::to_string(kImageBudgetMs / 1000)});
}

const std::vector<ExitStatusEntry>& ExitStatuses() {
  static const std::vector<ExitStatusEntry> entries = [] {
    std::vector<ExitStatusEntry> list;
    for (const ExitStatusRow& row : kRows)
      list.push_back({row.status, ExitStatusSummary(row, platform::Language::English)});
    return list;
  }();
  return entries;
}

}  // namespace zmr::cli

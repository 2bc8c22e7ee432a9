// SPDX-License-Identifier: MIT
#include "ui/cli/exit_status.h"

#include <gtest/gtest.h>

namespace zmr::cli {
namespace {

const ExitStatusRow& Row(int status) {
  for (const ExitStatusRow& row : ExitStatusRows()) {
    if (row.status == status) return row;
  }
  ADD_FAILURE() << "no row for " << status;
  return Row(kExitSuccess);
}

// The table is what the help, the manual page and the Windows README.txt are written from: every
// row must read in both languages, with nothing left to fill in.
TEST(ExitStatusRows, AscendingAndSaidInBothLanguages) {
  int previous = -1;
  for (const ExitStatusRow& row : ExitStatusRows()) {
    EXPECT_GT(row.status, previous);
    previous = row.status;
    for (platform::Language language :
         {platform::Language::English, platform::Language::Japanese}) {
      const std::string summary = ExitStatusSummary(row, language);
      const std::string detail = ExitStatusDetail(row, language);
      EXPECT_FALSE(summary.empty()) << row.status;
      EXPECT_EQ(summary.find('\n'), std::string::npos) << row.status;
      EXPECT_EQ(summary.find("%1"), std::string::npos) << row.status;
      EXPECT_EQ(detail.find("%1"), std::string::npos) << row.status;
      EXPECT_EQ(detail.empty(), row.detail == 0) << row.status;
    }
    if (row.message != 0) {
      EXPECT_EQ(ExitStatusFor(row.message), row.status);
      EXPECT_EQ(row.summary, 0u) << row.status << ": a message says it";
    }
  }
  // What the rows fill in.
  EXPECT_EQ(ExitStatusSummary(Row(kExitDriverNotFound), platform::Language::English),
            "\"Error: WUsbXpIf.dll Not Found\": the driver library is missing.");
  EXPECT_EQ(ExitStatusSummary(Row(kExitSuccess), platform::Language::English), "Success!");
  EXPECT_NE(ExitStatusDetail(Row(17), platform::Language::English).find("120 s"),
            std::string::npos);
}

}  // namespace
}  // namespace zmr::cli

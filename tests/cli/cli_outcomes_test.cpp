// SPDX-License-Identifier: MIT
// The terminal tool as a process, one case per row of the outcome table; the rows are grouped
// by how long they take (Quick, Slow, Long), so that each build can schedule them.
#include <gtest/gtest.h>

#include "tests/cli/cli_outcomes.h"

namespace zmr::test {
namespace {

class CliOutcomeTest : public testing::TestWithParam<CliOutcome> {};

TEST_P(CliOutcomeTest, AsTheTableSays) {
  const CliOutcome& outcome = GetParam();
  if (outcome.locale && !RunOutcomeChoosesLanguage())
    GTEST_SKIP() << "this build cannot start the tool in another language";
  const CliRun run = RunOutcome(outcome);
  const std::vector<std::string> problems = OutcomeProblems(outcome, run);
  for (const std::string& problem : problems) ADD_FAILURE() << problem;
  if (!problems.empty()) {
    std::printf("exit status %d\n--- stdout ---\n%s--- stderr ---\n%s---\n", run.status,
                run.out.c_str(), run.err.c_str());
  }
}

std::string RowName(const testing::TestParamInfo<CliOutcome>& row) {
  return row.param.name;
}

INSTANTIATE_TEST_SUITE_P(Quick, CliOutcomeTest, testing::ValuesIn(CliOutcomes(Wait::kNone)),
                         RowName);
INSTANTIATE_TEST_SUITE_P(Slow, CliOutcomeTest, testing::ValuesIn(CliOutcomes(Wait::kFixed)),
                         RowName);
INSTANTIATE_TEST_SUITE_P(Long, CliOutcomeTest, testing::ValuesIn(CliOutcomes(Wait::kTimeBudget)),
                         RowName);

}  // namespace
}  // namespace zmr::test

// SPDX-License-Identifier: MIT
// What the run log's two implementations share.
#include "platform/run_log_file.h"

namespace zmr::platform {

bool AppendRunLog(const std::string& path, std::string_view record, size_t maxBytes,
                  std::string* problem) {
  RunLogFile::Opened opened = RunLogFile::Open(path, SystemClock(), maxBytes);
  if (!opened.log) {
    if (problem) *problem = opened.problem;
    return false;
  }
  while (!record.empty()) {
    const size_t nl = record.find('\n');
    if (!opened.log->AppendLine(record.substr(0, nl))) {
      if (problem) *problem = opened.log->Problem();
      return false;
    }
    record.remove_prefix(nl == std::string_view::npos ? record.size() : nl + 1);
  }
  return true;
}

}  // namespace zmr::platform

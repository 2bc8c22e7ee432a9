// SPDX-License-Identifier: MIT
#include "sim/sim_violation.h"

namespace zmr::sim {

const char* Name(ViolationKind kind) {
  switch (kind) {
    case ViolationKind::kCommandWrite:
      return "command-write";
    case ViolationKind::kUnknownCommand:
      return "unknown-command";
    case ViolationKind::kNotInDownloadMode:
      return "not-in-download-mode";
    case ViolationKind::kNoErase:
      return "no-erase";
    case ViolationKind::kEraseRunning:
      return "erase-running";
    case ViolationKind::kBlockSize:
      return "block-size";
    case ViolationKind::kPadding:
      return "padding";
    case ViolationKind::kStream:
      return "stream";
    case ViolationKind::kReadEarly:
      return "read-early";
    case ViolationKind::kShortRead:
      return "short-read";
    case ViolationKind::kReadNothing:
      return "read-nothing";
  }
  return "?";
}

std::vector<Violation> ByHost(const std::vector<Violation>& violations) {
  std::vector<Violation> own;
  for (const Violation& violation : violations) {
    if (!violation.afterFault) own.push_back(violation);
  }
  return own;
}

std::string Describe(const Violation& violation) {
  std::string text = std::string(Name(violation.kind)) + ": " + violation.reason;
  if (violation.afterFault) text += " (after a write fault)";
  return text;
}

}  // namespace zmr::sim

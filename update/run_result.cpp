// SPDX-License-Identifier: MIT
#include "update/run_result.h"

#include "update/run_reasons.h"

namespace zmr {

const char* Name(RunReason reason) {
  return RowOf(reason).name;
}

const char* StepOf(RunReason reason) {
  return Name(RowOf(reason).step);
}

}  // namespace zmr

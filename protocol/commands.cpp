// SPDX-License-Identifier: MIT
#include "protocol/commands.h"

namespace zmr::command {

uint8_t DataTypeCode(uint16_t type) {
  static constexpr uint8_t kCodes[] = {'p', 't', 'c', 'f'};
  return type < sizeof(kCodes) ? kCodes[type] : 0;
}

}  // namespace zmr::command

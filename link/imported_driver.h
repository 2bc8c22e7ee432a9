// SPDX-License-Identifier: MIT
#pragma once
// The entry points of the libTUsbPrIf.so that this program is linked with. Only the targets that
// link a libTUsbPrIf (zmr_link_imports) may call this.
#include "link/driver_library.h"

namespace zmr {

const ImportedDriver& LinkedImportedDriver();

}  // namespace zmr

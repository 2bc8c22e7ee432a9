// SPDX-License-Identifier: MIT
// The emulated USB bus must exist before libusb or anything else looks at the machine's devices:
// umockdev decides at that moment whether the process runs on it.
#include <gtest/gtest.h>

#include "emulated_printer.h"

int main(int argc, char** argv) {
  zmr::test::InitEmulatedBus();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

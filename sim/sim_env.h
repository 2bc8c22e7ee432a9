// SPDX-License-Identifier: MIT
#pragma once
// The ZMR470_SIM environment variable: a list of settings separated by spaces, for example
//   ZMR470_SIM="listed=1 indexed=0 data1=316B20:1A2B busy=3000 printing=1 second speed=200000"
// The README lists every key. ZMR470_SIM_TRACE=<file> appends a trace of every transfer to file.
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_bus.h"

namespace zmr::sim {

// The settings the environment starts from: the C++ defaults with a transfer speed and a busy
// time that make the demo look like a real printer.
SimConfig EnvironmentDefaults();

// Applies `text` to `config`. Every setting it cannot use (unknown key, bad value) is added to
// `problems` and otherwise ignored.
void ParseSimSettings(std::string_view text, SimConfig& config, std::vector<std::string>& problems);

// EnvironmentDefaults with ZMR470_SIM and ZMR470_SIM_TRACE applied; problems go to stderr.
SimConfig ConfigFromEnvironment();

}  // namespace zmr::sim

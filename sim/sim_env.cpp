// SPDX-License-Identifier: MIT
#include "sim/sim_env.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace zmr::sim {
namespace {

// Bounds of the numbers: what a device could do, so that no setting stalls a run for days.
constexpr uint32_t kMaxWaitMs = 60000;             // busy, off the bus, erase, reply: 1 min
constexpr uint32_t kMaxSlowMs = 300000;            // one slow transfer: 5 min (the budget is 2)
constexpr uint32_t kMinBytesPerSecond = 1000;      // a 4096-byte block in about 4 s
constexpr uint32_t kMaxBytesPerSecond = 60000000;  // a high-speed USB bulk pipe at best
constexpr uint32_t kMaxTransferBytes = 1u << 20;   // offsets and lengths within a transfer

bool Number(std::string_view text, uint32_t& value, int base = 10) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value, base);
  return result.ec == std::errc() && result.ptr == end;
}

// A number of at most `limit`.
bool Bounded(std::string_view text, uint32_t limit, uint32_t& value) {
  uint32_t v = 0;
  if (!Number(text, v) || v > limit) return false;
  value = v;
  return true;
}

bool Hex16(std::string_view text, uint16_t& value) {
  uint32_t v = 0;
  if (text.size() > 4 || !Number(text, v, 16)) return false;
  value = static_cast<uint16_t>(v);
  return true;
}

bool Flag(std::string_view value, bool& flag) {
  if (value.empty() || value == "1" || value == "yes" || value == "on") return flag = true, true;
  if (value == "0" || value == "no" || value == "off") return flag = false, true;
  return false;
}

// "1", "2", "12", "0": which units.
bool Units(std::string_view value, bool& unit1, bool& unit2) {
  if (value.empty()) return false;
  bool one = false;
  bool two = false;
  for (char c : value) {
    if (c == '1') {
      one = true;
    } else if (c == '2') {
      two = true;
    } else if (c != '0') {
      return false;
    }
  }
  unit1 = one;
  unit2 = two;
  return true;
}

// VERSION[:SUM], the sum in hexadecimal; the version at most `width` characters, as many as the
// version reply carries.
bool VersionAndSum(std::string_view value, size_t width, std::string& version, uint16_t& sum) {
  const size_t colon = value.find(':');
  const std::string_view text = value.substr(0, colon);
  if (text.empty() || text.size() > width) return false;
  if (colon != std::string_view::npos && !Hex16(value.substr(colon + 1), sum)) return false;
  version = std::string(text);
  return true;
}

// Data type codes, each at most once: "p", "tf", ...
bool DataTypes(std::string_view value, std::string& types) {
  if (value.empty()) return false;
  for (size_t i = 0; i < value.size(); ++i) {
    if (!FindMemoryRange(value[i]) || value.find(value[i], i + 1) != std::string_view::npos)
      return false;
  }
  types = std::string(value);
  return true;
}

// Where a transfer fault strikes: N (the nth transfer), x<hex> (the first one that begins with
// these bytes), <type><N> (block N of that type's transfer); a trailing '+' repeats it.
bool FaultPoint(std::string_view at, Fault& fault) {
  if (!at.empty() && at.back() == '+') {
    fault.repeat = true;
    at.remove_suffix(1);
  }
  if (at.empty()) return false;
  if (at[0] == 'x') {
    at.remove_prefix(1);
    if (at.empty() || at.size() % 2 != 0) return false;
    fault.match = Fault::Match::kPrefix;
    for (size_t i = 0; i < at.size(); i += 2) {
      uint32_t byte = 0;
      if (!Number(at.substr(i, 2), byte, 16)) return false;
      fault.prefix.push_back(static_cast<uint8_t>(byte));
    }
    return true;
  }
  if (at[0] == 'p' || at[0] == 't' || at[0] == 'c' || at[0] == 'f') {
    fault.match = Fault::Match::kBlock;
    fault.dataType = at[0];
    at.remove_prefix(1);
  } else {
    fault.match = Fault::Match::kNth;
  }
  return Number(at, fault.nth) && fault.nth > 0;
}

// AT or AT:K for the transfer faults.
bool TransferFault(std::string_view key, std::string_view value, Fault& fault) {
  fault.direction = key.ends_with("read") ? Fault::Direction::kRead : Fault::Direction::kWrite;
  std::string_view at = value;
  std::string_view amount;
  const size_t colon = value.find(':');
  if (colon != std::string_view::npos) {
    at = value.substr(0, colon);
    amount = value.substr(colon + 1);
  }
  if (!FaultPoint(at, fault)) return false;
  if (fault.direction == Fault::Direction::kRead && fault.match == Fault::Match::kBlock) {
    return false;
  }
  if (key.starts_with("fail")) {
    fault.effect = Fault::Effect::kFail;
    return amount.empty();
  }
  if (key.starts_with("short")) {
    fault.effect = Fault::Effect::kShort;
    return amount.empty() || Bounded(amount, kMaxTransferBytes, fault.bytes);
  }
  if (key.starts_with("corrupt")) {
    fault.effect = Fault::Effect::kCorrupt;
    return amount.empty() || Bounded(amount, kMaxTransferBytes, fault.bytes);
  }
  fault.effect = Fault::Effect::kSlow;
  return Bounded(amount, kMaxSlowMs, fault.delayMs);
}

// [listed:|indexed:]PIPE00|PIPE01|00|01[@N]
bool PipeFault(std::string_view value, OpenFault& fault) {
  if (value.starts_with("listed:")) {
    fault.via = OpenFault::Via::kListed;
    value.remove_prefix(7);
  } else if (value.starts_with("indexed:")) {
    fault.via = OpenFault::Via::kIndexed;
    value.remove_prefix(8);
  }
  const size_t at = value.find('@');
  if (at != std::string_view::npos) {
    if (!Number(value.substr(at + 1), fault.after)) return false;
    value = value.substr(0, at);
  }
  if (value == "00" || value == "01") {
    fault.pipe = "PIPE" + std::string(value);
    return true;
  }
  if (value == "PIPE00" || value == "PIPE01") {
    fault.pipe = std::string(value);
    return true;
  }
  return value == "any" || value == "both";
}

// Applies one named fault; false for a name it does not know (the caller then drops the whole
// setting, so that nothing of it takes).
bool NamedFault(std::string_view name, SimConfig& config) {
  PrinterConfig& p = config.printer;
  if (name == "reopen") return p.reappears = false, true;
  if (name == "vendorid") return config.vendorIdRefused = true, true;
  if (name == "badversion") return p.badVersionHeader = true, true;
  if (name == "statustype") return p.wrongStatusType = true, true;
  if (name == "shortstatus") return p.statusShortBy = 16, true;
  if (name == "busy") return p.staysBusy = true, true;
  if (name == "noprinter") return config.listed = config.indexed = 0, true;
  return false;
}

bool Apply(std::string_view key, std::string_view value, SimConfig& config) {
  PrinterConfig& p = config.printer;
  uint32_t n = 0;
  if (key == "listed" || key == "indexed" || key == "others") {
    if (!Number(value, n) || n > 64) return false;
    (key == "listed"    ? config.listed
     : key == "indexed" ? config.indexed
                        : config.others) = static_cast<int>(n);
    return true;
  }
  if (key == "vid") return Hex16(value, config.vendorId);
  if (key == "pid") return Hex16(value, config.productId);
  if (key == "data1") return VersionAndSum(value, 6, p.data1Version, p.data1CheckSum);
  if (key == "data2") return VersionAndSum(value, 6, p.data2Version, p.data2CheckSum);
  if (key == "data3") return VersionAndSum(value, 3, p.data3Version, p.data3CheckSum);
  if (key == "busy") {
    if (value == "forever") return p.staysBusy = true, true;
    return Bounded(value, kMaxWaitMs, p.busyMs);
  }
  if (key == "staysbusy") return Flag(value, p.staysBusy);
  if (key == "printing") return Units(value, p.unit1Printing, p.unit2Printing);
  if (key == "error") return Units(value, p.unit1Error, p.unit2Error);
  if (key == "second") return Flag(value, p.secondUnit);
  if (key == "speed") {
    // 0 (no transfer time), or what a USB bulk pipe can carry: at the slowest a block of 4096
    // bytes in about 4 s, at the fastest the bus's own limit.
    if (!Bounded(value, kMaxBytesPerSecond, n) || (n != 0 && n < kMinBytesPerSecond)) return false;
    p.bytesPerSecond = n;
    return true;
  }
  if (key == "reenum") return Bounded(value, kMaxWaitMs, p.reenumerationMs);
  if (key == "erase") return Bounded(value, kMaxWaitMs, p.eraseMs);
  if (key == "reply") return Bounded(value, kMaxWaitMs, p.versionReplyMs);
  if (key == "asleep") return Flag(value, p.asleepUntilWake);
  if (key == "refuse") return DataTypes(value, p.refusedTransfers);
  if (key == "downloadmode") return DataTypes(value, p.erasedInDownloadMode);
  if (key == "fulltrace") return Flag(value, config.traceAllBytes);
  if (key == "replay") return !(config.replayFile = std::string(value)).empty();
  if (key == "newpath") return Flag(value, config.newPathAfterModeSwitch);
  if (key == "id") return !(config.printerDeviceId = std::string(value)).empty();
  if (key == "path") return !(config.printerDevicePath = std::string(value)).empty();
  if (key == "fault") {
    // A comma-separated list of named faults, none of them empty.
    for (;;) {
      const size_t comma = value.find(',');
      if (!NamedFault(value.substr(0, comma), config)) return false;
      if (comma == std::string_view::npos) return true;
      value = value.substr(comma + 1);
    }
  }
  if (key == "nopipe") {
    OpenFault fault;
    if (!PipeFault(value, fault)) return false;
    config.openFaults.push_back(fault);
    return true;
  }
  if (key == "failwrite" || key == "shortwrite" || key == "slowwrite" || key == "slow" ||
      key == "corruptwrite" || key == "failread" || key == "shortread" || key == "slowread" ||
      key == "corruptread") {
    Fault fault;
    if (!TransferFault(key, value, fault)) return false;
    p.faults.push_back(fault);
    return true;
  }
  return false;
}

}  // namespace

SimConfig EnvironmentDefaults() {
  SimConfig config;
  config.printer.bytesPerSecond = 200000;
  config.printer.busyMs = 1500;
  return config;
}

void ParseSimSettings(std::string_view text, SimConfig& config,
                      std::vector<std::string>& problems) {
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t start = text.find_first_not_of(" \t\n", pos);
    if (start == std::string_view::npos) break;
    size_t end = text.find_first_of(" \t\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view token = text.substr(start, end - start);
    pos = end;
    const size_t eq = token.find('=');
    const std::string_view key = token.substr(0, eq);
    const std::string_view value =
        eq == std::string_view::npos ? std::string_view() : token.substr(eq + 1);
    // A setting takes whole or not at all: it is tried on a copy.
    SimConfig tried = config;
    if (Apply(key, value, tried)) {
      config = std::move(tried);
    } else {
      problems.emplace_back(token);
    }
  }
}

SimConfig ConfigFromEnvironment() {
  SimConfig config = EnvironmentDefaults();
  if (const char* text = std::getenv("ZMR470_SIM")) {
    std::vector<std::string> problems;
    ParseSimSettings(text, config, problems);
    // Reported once: the bus reads the environment once unless a test clears it.
    static bool reported = false;
    if (!reported) {
      for (const std::string& problem : problems) {
        std::fprintf(stderr, "ZMR470_SIM: ignoring \"%s\"\n", problem.c_str());
      }
      reported = !problems.empty();
    }
  }
  if (const char* file = std::getenv("ZMR470_SIM_TRACE")) config.traceFile = file;
  return config;
}

}  // namespace zmr::sim

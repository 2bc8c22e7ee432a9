// SPDX-License-Identifier: MIT
#pragma once
// How long one transfer of the driver libraries for real printers may take, as the environment
// sets it: ZMR470_USB_TIMEOUT_MS, a whole number of milliseconds from 1 to 600000 (the older name
// ZMR_USB_TIMEOUT_MS is read when the new one is not set). The libraries use it; the programs
// read it too, to say once when it is not usable. Header only: both sides compile it.
#include <cstdlib>
#include <string>

namespace zmr::driver_api {

inline constexpr unsigned kDefaultUsbTimeoutMs = 5000;
inline constexpr unsigned kMaxUsbTimeoutMs = 600000;

struct UsbTimeoutSetting {
  unsigned ms = kDefaultUsbTimeoutMs;  // what the libraries use
  const char* name = nullptr;          // the variable that was read; null when none is set
  std::string text;                    // its value as it was set
  bool invalid = false;                // set but not a usable number: kDefaultUsbTimeoutMs used
};

// The whole number that `text` spells, when it is one from 1 to kMaxUsbTimeoutMs: digits only,
// no sign, no spaces.
inline bool ParseUsbTimeoutMs(const std::string& text, unsigned& ms) {
  if (text.empty() || text.size() > 6) return false;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < 1 || value > kMaxUsbTimeoutMs) return false;
  ms = value;
  return true;
}

inline UsbTimeoutSetting UsbTimeoutFromEnvironment() {
  UsbTimeoutSetting setting;
  for (const char* name : {"ZMR470_USB_TIMEOUT_MS", "ZMR_USB_TIMEOUT_MS"}) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') continue;
    setting.name = name;
    setting.text = text;
    setting.invalid = !ParseUsbTimeoutMs(setting.text, setting.ms);
    break;
  }
  return setting;
}

}  // namespace zmr::driver_api

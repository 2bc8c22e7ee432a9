// SPDX-License-Identifier: MIT
#pragma once
// A printer on an emulated USB bus: umockdev shows the real libusb a usb_device with the printer's
// descriptors, and answers the usbfs requests on its device node from a SimPrinter model, so that
// bulk OUT transfers feed the model and bulk IN transfers carry its replies.
//
// The bus is the process's one umockdev testbed. It must exist before anything asks whether the
// process runs under umockdev (InitEmulatedBus in main()).
#include <cstdint>
#include <memory>
#include <string>

namespace zmr::sim {
class SimPrinter;
}

namespace zmr::test {

// Creates the process's testbed; call once, first thing in main().
void InitEmulatedBus();

struct UsbDeviceDescription {
  // The kernel's name of the device: bus, then the hub ports ("1-2", "1-4.1"). Hubs on the way
  // must have been added first (AddEmulatedHub).
  std::string sysName = "1-2";
  uint16_t vendorId = 0x04CB;
  uint16_t productId = 0x5006;
  // 7: the printer class (libTUsbPrIf's); 0xFF: the maker's own interface (libZUsbXpIf's).
  uint8_t interfaceClass = 7;
  // The kernel's printer driver holds the interface until it is detached.
  bool kernelDriverBound = false;
  // Another program has claimed the interface (and does not let go).
  bool heldByOtherProgram = false;
};

// What the device node was asked, as far as the tests look at it.
struct UsbfsCounts {
  int claims = 0;      // interfaces claimed
  int releases = 0;    // interfaces released
  int detaches = 0;    // kernel driver detached
  int reattaches = 0;  // kernel driver given back
  int submits = 0;     // URBs submitted
  int discards = 0;    // URBs cancelled (a transfer timed out)
  int refused = 0;     // requests the emulation does not know
  int claimedNow = 0;  // interfaces claimed at this moment
};

class EmulatedPrinter {
 public:
  // Plugs the device in. `model` answers its pipes; null: a device that never answers a transfer.
  EmulatedPrinter(const UsbDeviceDescription& spec, sim::SimPrinter* model);
  // Unplugs it.
  ~EmulatedPrinter();
  EmulatedPrinter(const EmulatedPrinter&) = delete;
  EmulatedPrinter& operator=(const EmulatedPrinter&) = delete;

  UsbfsCounts Counts() const;
  std::string DevicePath() const { return "usb:" + spec_.sysName; }
  bool KernelDriverBound() const;

  struct State;

 private:
  UsbDeviceDescription spec_;
  std::string sysPath_;
  std::string devNode_;
  std::unique_ptr<State> state_;
  void* handler_ = nullptr;  // UMockdevIoctlBase
};

// Plugs in a hub (no device node, nothing answers) so that devices behind it have a parent.
// Returns its sysfs path for RemoveEmulatedDevice.
std::string AddEmulatedHub(const std::string& sysName);
void RemoveEmulatedDevice(const std::string& sysPath);

}  // namespace zmr::test

// SPDX-License-Identifier: MIT
#pragma once
// The process-wide set of simulated devices behind the two driver libraries.
//
// Tests configure it through Reset with a VirtualClock and read the printers, the trace and the
// open handles back; the programs leave it alone and it configures itself from the ZMR470_SIM
// environment variable (sim_env.h) with the system clock at first use.
//
// The printers on the bus, in order: `listed` printers that libTUsbPrIf lists and opens by path,
// then `indexed` printers that libZUsbXpIf opens by index. Each is a separate SimPrinter.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver_api/handle_table.h"
#include "platform/clock.h"
#include "sim/sim_printer.h"
#include "sim/sim_replay.h"

namespace zmr::sim {

// What the printers can see of the tool's transfers. Where the handles are kernel pipes
// (Windows), a write that a printer takes only in part fails whole (0 bytes), a reply is read and
// traced when it goes into the pipe after its request (not when the tool reads it), and a read
// with no reply to take is not seen at all.
#ifdef _WIN32
inline constexpr bool kSeesShortWrites = false;
inline constexpr bool kSeesReadsWhenMade = false;
#else
inline constexpr bool kSeesShortWrites = true;
inline constexpr bool kSeesReadsWhenMade = true;
#endif

// A pipe open that fails: opens of `pipe` ("PIPE00", "PIPE01", or "" for both) of any printer
// through `via`; the first `after` such opens of each printer still succeed.
struct OpenFault {
  enum class Via { kAny, kListed, kIndexed };
  Via via = Via::kAny;
  std::string pipe;
  uint32_t after = 0;
};

// A listed device that is not a printer of ours (other IDs), or any hostile text.
struct OtherDevice {
  std::string deviceId;
  std::string devicePath;
};

struct SimConfig {
  int listed = 1;   // printers listed by libTUsbPrIf
  int indexed = 0;  // printers openable by index through libZUsbXpIf
  // Printers openable by index that are plugged in while the first printer is off the bus after
  // its first mode switch (counted and opened like `indexed` ones from then on).
  int pluggedAtModeSwitch = 0;
  // Non-matching devices listed before the printers: `others` generated ones, then `extra`.
  int others = 0;
  std::vector<OtherDevice> extra;

  uint16_t vendorId = 0x04CB;
  uint16_t productId = 0x5006;
  // Texts of the listed printers; empty: generated. The generated ID is
  // "USB\VID_04CB&PID_5006&REV_0100" (the second listed printer's in lower case), the path
  // "\\?\usb#vid_04cb&pid_5006#sim000N#{...}". Texts longer than 255 bytes are handed out cut at
  // 256 bytes with no NUL; with a fixed path every listed printer has the same one.
  std::string printerDeviceId;
  std::string printerDevicePath;
  // After a mode switch a listed printer comes back under a new device path.
  bool newPathAfterModeSwitch = false;
  bool vendorIdRefused = false;  // SetVenderID returns 0
  std::vector<OpenFault> openFaults;

  PrinterConfig printer;  // every printer's settings and transfer faults

  bool trace = false;          // keep a trace in memory (SimBus::TraceEntries)
  bool traceAllBytes = false;  // with every byte of each transfer, not only the first 16 (both);
                               // the file is then a recording (lookups included)
  std::string traceFile;       // append the trace to this file (ZMR470_SIM_TRACE)

  // Play this recording instead (sim_replay.h): the bus then has no printer of its own, and the
  // settings above other than the trace's do not count.
  std::string replayFile;
};

class SimBus {
 public:
  // The process's one bus. Never destroyed: handles may still be closed while the process ends.
  static SimBus& Instance();

  // Replaces every device with new ones built from `config`. The clock must outlive the bus's
  // use (until the next Reset or Clear).
  void Reset(const SimConfig& config, Clock& clock);
  // Back to unconfigured: drops the devices and the clock. The next driver call configures the
  // bus from the environment again.
  void Clear();
  // Reset, or the first driver call, has configured the bus since the start or the last Clear.
  bool IsConfigured() const;
  // The configuration in force; SimConfig{} while unconfigured.
  SimConfig Config() const;

  // The printers (listed first, then indexed); `index` below PrinterCount(). The reference is
  // valid until the next Reset or Clear; PrinterPtr gives null for an index out of range.
  size_t PrinterCount() const;
  SimPrinter& Printer(size_t index);
  std::shared_ptr<SimPrinter> PrinterPtr(size_t index);
  // The path under which printer `index` (a listed one) is found now.
  std::string DevicePath(size_t index) const;

  // The transfers kept in memory since Reset or ClearTrace (none unless `trace` was set).
  std::vector<TraceEntry> TraceEntries() const;
  // Forgets the transfers kept so far; recording goes on.
  void ClearTrace();

  // The protocol violations of every printer on the bus (printer by printer, oldest first).
  // ByHost(Violations()) leaves out those that followed a write fault of the printer's own.
  std::vector<Violation> Violations() const;

  // In a replay: what the tool did that the recording does not have, and why the recording could
  // not be played (empty when it could).
  std::vector<Divergence> Divergences() const;
  std::string ReplayProblem() const;
  // A lookup line of a driver library's call (driver_api/trace_format.h), for a trace file that is
  // a recording.
  void TraceCall(const std::string& line);

  // Handles that the simulated libraries opened and that are not closed yet. (Where closing a
  // kernel handle is noticed only when the handles are counted, they are counted first.)
  size_t OpenHandleCount() const {
    driver_api::OpenHandleCount();
    return openHandles_.load();
  }

  // ---- What the driver libraries call (configure from the environment first if needed). ----
  // Each entry keeps the rules of its driver entry point (driver_api/driver_api.h).

  // UsbGetDeviceNum: the other devices (`others`, then `extra`), then the listed printers that
  // are on the bus now.
  int DeviceCount();
  // UsbGetDeviceInfo: the ID text and path of device `index` in DeviceCount's order, each cut to
  // at most 255 characters and a NUL. False for an index out of range or a null buffer.
  bool DeviceInfo(int index, char* deviceId, char* devicePath);
  // UsbOpenBulk3: pipe `pipeName` ("PIPE00" or "PIPE01") of the listed printer on the bus whose
  // device path is `devicePath` (read up to its NUL or ZMR_DRIVER_TEXT_SIZE bytes).
  // kInvalidHandle for an unknown path or pipe name, or when an open fault refuses the open.
  driver_api::ChannelHandle OpenByPath(const char* pipeName, const char* devicePath);
  // SetVenderID: false when `vendorIdRefused`. The indexed opens find printers only after the
  // configured vendor ID was set here.
  bool SetVendorId(uint16_t vendorId);
  // SetProductID: from now on the indexed opens find printers only when the configured product
  // ID is among the `count` IDs at `productIds` (none for null or a count below 1).
  void SetProductIds(const uint16_t* productIds, int count);
  // UsbOpenCont: a control channel (it moves nothing) of printer `index` among the indexed
  // printers on the bus that match the IDs set; kInvalidHandle when there is no such printer.
  driver_api::ChannelHandle OpenControl(int index);
  // UsbOpenBulk: pipe `pipeName` of the printer OpenControl would find for `index`;
  // kInvalidHandle as for OpenControl and OpenByPath.
  driver_api::ChannelHandle OpenByIndex(const char* pipeName, int index);

 private:
  SimBus() = default;
  struct Device;
  class PipeChannel;
  class ControlChannel;

  void EnsureConfiguredLocked();
  void ResetLocked(const SimConfig& config, Clock& clock);
  std::shared_ptr<SimPrinter> IndexedPrinterLocked(int index);
  // Printer `index` is on the bus: present, and plugged in by now.
  bool AttachedLocked(size_t index) const;
  std::string PrinterPathLocked(size_t index) const;
  std::string PrinterIdLocked(size_t index) const;
  driver_api::ChannelHandle OpenPipeLocked(size_t printer, const char* pipeName,
                                           OpenFault::Via via);

  mutable std::mutex mutex_;
  bool configured_ = false;
  SimConfig config_;
  Clock* clock_ = nullptr;
  Trace trace_;  // lives as long as the bus: printers kept by stray handles may still use it
  std::vector<std::shared_ptr<SimPrinter>> printers_;
  std::vector<std::vector<uint32_t>> opens_;  // per printer, per open fault: matching opens
  uint16_t setVendorId_ = 0;
  bool vendorIdSet_ = false;
  std::vector<uint16_t> setProductIds_;
  bool productIdsSet_ = false;
  std::atomic<size_t> openHandles_{0};
  std::shared_ptr<ReplayBus> replay_;
  std::string replayProblem_;
};

}  // namespace zmr::sim

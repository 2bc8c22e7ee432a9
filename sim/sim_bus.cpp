// SPDX-License-Identifier: MIT
#include "sim/sim_bus.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "driver_api/driver_api.h"
#include "driver_api/trace_format.h"
#include "sim/sim_env.h"

namespace zmr::sim {
namespace {

constexpr size_t kTextSize = ZMR_DRIVER_TEXT_SIZE;
constexpr const char* kInterfaceSuffix = "#{5a470000-0000-4000-8000-00000000d0c5}";

// Reads a caller's text up to its NUL or `limit` bytes, whichever comes first.
std::string BoundedText(const char* text, size_t limit) {
  if (!text) return {};
  return std::string(text, strnlen(text, limit));
}

// At most 255 characters and the NUL, as the driver contract allows: a longer text is cut.
void CopyText(const std::string& text, char* buffer) {
  const size_t n = std::min(text.size(), kTextSize - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

std::string Hex4(uint16_t value, bool upper) {
  char text[8];
  std::snprintf(text, sizeof text, upper ? "%04X" : "%04x", value);
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

// One open bulk pipe of a printer. It notes the printer's connection when it opens, so that it
// goes stale once the printer drops off the bus.
// Each transfer notes when it began, for its trace line; a mode switch notes in a recording how
// long the printer is away.
class SimBus::PipeChannel final : public driver_api::Channel {
 public:
  PipeChannel(std::shared_ptr<SimPrinter> printer, bool out, std::atomic<size_t>& count,
              Clock& clock, Trace& trace)
      : printer_(std::move(printer)),
        connection_(printer_->Connection()),
        out_(out),
        count_(count),
        clock_(clock),
        trace_(trace) {
    ++count_;
  }
  ~PipeChannel() override { --count_; }

  bool Read(uint8_t* buffer, uint32_t length, uint32_t& done) override {
    done = 0;
    const TransferStart start(clock_.TickCount());
    return !out_ && printer_->HostRead(connection_, buffer, length, done);
  }
  bool Write(const uint8_t* buffer, uint32_t length, uint32_t& done) override {
    done = 0;
    const TransferStart start(clock_.TickCount());
    const uint32_t away = printer_->Reenumerations();
    const bool ok = out_ && printer_->HostWrite(connection_, buffer, length, done);
    if (printer_->Reenumerations() != away) {
      const PrinterConfig config = printer_->Config();
      trace_.RecordLine(
          clock_.TickCount(),
          trace::OffBusLine(config.reappears ? std::optional<uint32_t>(config.reenumerationMs)
                                             : std::nullopt),
          true);
    }
    return ok;
  }
  bool ReadsOnly() override { return !out_; }
  uint32_t ReplyLength() override { return out_ ? 0 : printer_->PendingReplyLength(connection_); }
  bool ReadReply(uint8_t* buffer, uint32_t length, uint32_t& done) override {
    done = 0;
    const TransferStart start(clock_.TickCount());
    return !out_ && printer_->HostReadForPipe(connection_, buffer, length, done);
  }

 private:
  std::shared_ptr<SimPrinter> printer_;
  uint32_t connection_;
  bool out_;
  std::atomic<size_t>& count_;
  Clock& clock_;
  Trace& trace_;
};

// The control channel that UsbOpenCont hands out: it exists, and moves nothing.
class SimBus::ControlChannel final : public driver_api::InertChannel {
 public:
  explicit ControlChannel(std::atomic<size_t>& count) : count_(count) { ++count_; }
  ~ControlChannel() override { --count_; }

 private:
  std::atomic<size_t>& count_;
};

SimBus& SimBus::Instance() {
  // Never destroyed: handles may still be closed while the process ends.
  static SimBus* bus = new SimBus();
  return *bus;
}

void SimBus::Reset(const SimConfig& config, Clock& clock) {
  std::lock_guard lock(mutex_);
  ResetLocked(config, clock);
}

void SimBus::ResetLocked(const SimConfig& config, Clock& clock) {
  if (replay_) replay_->Finish();
  replay_.reset();
  replayProblem_.clear();
  config_ = config;
  clock_ = &clock;
  configured_ = true;
  trace_.Reset();
  if (config_.trace) trace_.EnableMemory(config_.traceAllBytes);
  if (!config_.traceFile.empty() &&
      !trace_.OpenFile(config_.traceFile, clock.TickCount(), config_.traceAllBytes)) {
    std::fprintf(stderr, "ZMR470_SIM_TRACE: cannot open %s\n", config_.traceFile.c_str());
  }
  printers_.clear();
  if (!config_.replayFile.empty()) {
    // The recording is the whole bus; one that cannot be played leaves it empty.
    config_.listed = config_.indexed = config_.pluggedAtModeSwitch = config_.others = 0;
    config_.extra.clear();
    replay_ = StartReplay(config_.replayFile, clock, &trace_, openHandles_, replayProblem_);
  }
  const int listed = std::max(0, config_.listed);
  const int indexed = std::max(0, config_.indexed) + std::max(0, config_.pluggedAtModeSwitch);
  for (int i = 0; i < listed + indexed; ++i) {
    printers_.push_back(std::make_shared<SimPrinter>(config_.printer, clock, &trace_, i));
  }
  opens_.assign(printers_.size(), std::vector<uint32_t>(config_.openFaults.size(), 0));
  setVendorId_ = 0;
  vendorIdSet_ = false;
  setProductIds_.clear();
  productIdsSet_ = false;
}

void SimBus::Clear() {
  std::lock_guard lock(mutex_);
  configured_ = false;
  config_ = SimConfig{};
  clock_ = nullptr;
  printers_.clear();
  opens_.clear();
  if (replay_) replay_->Finish();
  replay_.reset();
  replayProblem_.clear();
  trace_.Reset();
}

bool SimBus::IsConfigured() const {
  std::lock_guard lock(mutex_);
  return configured_;
}

SimConfig SimBus::Config() const {
  std::lock_guard lock(mutex_);
  return config_;
}

size_t SimBus::PrinterCount() const {
  std::lock_guard lock(mutex_);
  return printers_.size();
}

SimPrinter& SimBus::Printer(size_t index) {
  return *PrinterPtr(index);
}

std::shared_ptr<SimPrinter> SimBus::PrinterPtr(size_t index) {
  std::lock_guard lock(mutex_);
  return index < printers_.size() ? printers_[index] : nullptr;
}

std::string SimBus::DevicePath(size_t index) const {
  std::lock_guard lock(mutex_);
  return index < printers_.size() ? PrinterPathLocked(index) : std::string();
}

std::vector<TraceEntry> SimBus::TraceEntries() const {
  return trace_.Entries();
}

void SimBus::ClearTrace() {
  trace_.Clear();
}

std::vector<Violation> SimBus::Violations() const {
  std::vector<std::shared_ptr<SimPrinter>> printers;
  {
    std::lock_guard lock(mutex_);
    printers = printers_;
  }
  std::vector<Violation> all;
  for (const auto& printer : printers) {
    const std::vector<Violation> own = printer->Violations();
    all.insert(all.end(), own.begin(), own.end());
  }
  return all;
}

std::vector<Divergence> SimBus::Divergences() const {
  std::shared_ptr<ReplayBus> replay;
  {
    std::lock_guard lock(mutex_);
    replay = replay_;
  }
  return replay ? replay->Divergences() : std::vector<Divergence>();
}

std::string SimBus::ReplayProblem() const {
  std::lock_guard lock(mutex_);
  return replayProblem_;
}

void SimBus::TraceCall(const std::string& line) {
  std::lock_guard lock(mutex_);
  if (clock_) trace_.RecordLine(clock_->TickCount(), line, true);
}

void SimBus::EnsureConfiguredLocked() {
  if (!configured_) ResetLocked(ConfigFromEnvironment(), SystemClock());
}

std::string SimBus::PrinterIdLocked(size_t index) const {
  if (!config_.printerDeviceId.empty()) return config_.printerDeviceId;
  const std::string id = "USB\\VID_" + Hex4(config_.vendorId, true) + "&PID_" +
                         Hex4(config_.productId, true) + "&REV_0100";
  return index == 1 ? Lower(id) : id;  // some devices report their ID in lower case
}

std::string SimBus::PrinterPathLocked(size_t index) const {
  if (!config_.printerDevicePath.empty()) return config_.printerDevicePath;
  char serial[32];
  std::snprintf(serial, sizeof serial, "sim%04zu", index + 1);
  std::string path = "\\\\?\\usb#vid_" + Hex4(config_.vendorId, false) + "&pid_" +
                     Hex4(config_.productId, false) + "#" + serial;
  const uint32_t generation = printers_[index]->Reenumerations();
  if (config_.newPathAfterModeSwitch && generation > 0) path += "-" + std::to_string(generation);
  return path + kInterfaceSuffix;
}

int SimBus::DeviceCount() {
  std::lock_guard lock(mutex_);
  EnsureConfiguredLocked();
  if (replay_) return replay_->DeviceCount();
  int count = std::max(0, config_.others) + static_cast<int>(config_.extra.size());
  for (int i = 0; i < std::max(0, config_.listed); ++i) {
    if (printers_[static_cast<size_t>(i)]->IsPresent()) ++count;
  }
  return count;
}

bool SimBus::DeviceInfo(int index, char* deviceId, char* devicePath) {
  std::lock_guard lock(mutex_);
  EnsureConfiguredLocked();
  if (replay_) return replay_->DeviceInfo(index, deviceId, devicePath);
  if (index < 0 || !deviceId || !devicePath) return false;
  const int others = std::max(0, config_.others);
  if (index < others) {
    // Other devices on the bus: one of another maker, one of ours that is no printer.
    char serial[32];
    std::snprintf(serial, sizeof serial, "other%04d", index + 1);
    const bool ours = index % 2 == 1;
    const uint16_t vid = ours ? config_.vendorId : 0x1A2C;
    const uint16_t pid = ours ? static_cast<uint16_t>(config_.productId + 1) : 0x0042;
    CopyText("USB\\VID_" + Hex4(vid, true) + "&PID_" + Hex4(pid, true) + "&REV_0110", deviceId);
    CopyText("\\\\?\\usb#vid_" + Hex4(vid, false) + "&pid_" + Hex4(pid, false) + "#" + serial +
                 kInterfaceSuffix,
             devicePath);
    return true;
  }
  size_t rest = static_cast<size_t>(index - others);
  if (rest < config_.extra.size()) {
    CopyText(config_.extra[rest].deviceId, deviceId);
    CopyText(config_.extra[rest].devicePath, devicePath);
    return true;
  }
  rest -= config_.extra.size();
  for (size_t i = 0; i < static_cast<size_t>(std::max(0, config_.listed)); ++i) {
    if (!printers_[i]->IsPresent()) continue;
    if (rest-- == 0) {
      CopyText(PrinterIdLocked(i), deviceId);
      CopyText(PrinterPathLocked(i), devicePath);
      return true;
    }
  }
  return false;
}

driver_api::ChannelHandle SimBus::OpenByPath(const char* pipeName, const char* devicePath) {
  std::lock_guard lock(mutex_);
  EnsureConfiguredLocked();
  if (replay_) return replay_->OpenByPath(pipeName, devicePath);
  const std::string path = BoundedText(devicePath, kTextSize);
  if (path.empty()) return driver_api::kInvalidHandle;
  for (size_t i = 0; i < static_cast<size_t>(std::max(0, config_.listed)); ++i) {
    if (!printers_[i]->IsPresent()) continue;
    if (PrinterPathLocked(i).substr(0, kTextSize - 1) == path) {
      return OpenPipeLocked(i, pipeName, OpenFault::Via::kListed);
    }
  }
  return driver_api::kInvalidHandle;
}

bool SimBus::SetVendorId(uint16_t vendorId) {
  std::lock_guard lock(mutex_);
  EnsureConfiguredLocked();
  if (config_.vendorIdRefused) return false;
  setVendorId_ = vendorId;
  vendorIdSet_ = true;
  return true;
}

void SimBus::SetProductIds(const uint16_t* productIds, int count) {
  std::lock_guard lock(mutex_);
  EnsureConfiguredLocked();
  setProductIds_.clear();
  if (productIds && count > 0) setProductIds_.assign(productIds, productIds + count);
  productIdsSet_ = true;
}

std::shared_ptr<SimPrinter> SimBus::IndexedPrinterLocked(int index) {
  if (index < 0 || !vendorIdSet_ || setVendorId_ != config_.vendorId) return nullptr;
  if (productIdsSet_ && std::find(setProductIds_.begin(), setProductIds_.end(),
                                  config_.productId) == setProductIds_.end()) {
    return nullptr;
  }
  int remaining = index;
  for (size_t i = static_cast<size_t>(std::max(0, config_.listed)); i < printers_.size(); ++i) {
    if (!AttachedLocked(i)) continue;
    if (remaining-- == 0) return printers_[i];
  }
  return nullptr;
}

bool SimBus::AttachedLocked(size_t index) const {
  const size_t early =
      static_cast<size_t>(std::max(0, config_.listed) + std::max(0, config_.indexed));
  if (index >= early && (printers_.empty() || printers_[0]->Reenumerations() == 0)) return false;
  return printers_[index]->IsPresent();
}

driver_api::ChannelHandle SimBus::OpenControl(int index) {
  std::lock_guard lock(mutex_);
  EnsureConfiguredLocked();
  if (replay_) return replay_->OpenControl(index);
  if (!IndexedPrinterLocked(index)) return driver_api::kInvalidHandle;
  return driver_api::RegisterChannel(std::make_unique<ControlChannel>(openHandles_));
}

driver_api::ChannelHandle SimBus::OpenByIndex(const char* pipeName, int index) {
  std::lock_guard lock(mutex_);
  EnsureConfiguredLocked();
  if (replay_) return replay_->OpenByIndex(pipeName, index);
  const std::shared_ptr<SimPrinter> printer = IndexedPrinterLocked(index);
  if (!printer) return driver_api::kInvalidHandle;
  return OpenPipeLocked(static_cast<size_t>(printer->Number()), pipeName, OpenFault::Via::kIndexed);
}

driver_api::ChannelHandle SimBus::OpenPipeLocked(size_t printer, const char* pipeName,
                                                 OpenFault::Via via) {
  const std::string pipe = BoundedText(pipeName, 16);
  if (pipe != "PIPE00" && pipe != "PIPE01") return driver_api::kInvalidHandle;
  bool refused = false;
  for (size_t j = 0; j < config_.openFaults.size(); ++j) {
    const OpenFault& fault = config_.openFaults[j];
    if (fault.via != OpenFault::Via::kAny && fault.via != via) continue;
    if (!fault.pipe.empty() && fault.pipe != pipe) continue;
    if (++opens_[printer][j] > fault.after) refused = true;
  }
  if (refused) return driver_api::kInvalidHandle;
  return driver_api::RegisterChannel(std::make_unique<PipeChannel>(
      printers_[printer], pipe == "PIPE00", openHandles_, *clock_, trace_));
}

}  // namespace zmr::sim

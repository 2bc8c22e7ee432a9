// SPDX-License-Identifier: MIT
#include "emulated_printer.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "sim/sim_printer.h"

namespace zmr::test {
namespace {

UMockdevTestbed* g_testbed = nullptr;
std::atomic<int> g_nextDeviceNumber{2};
std::mutex g_hubsMutex;
std::map<std::string, std::string> g_hubs;  // sysName -> sysfs path

UMockdevTestbed* Testbed() {
  if (g_testbed == nullptr) throw std::logic_error("InitEmulatedBus() was not called");
  return g_testbed;
}

constexpr uint8_t kOutEndpoint = 0x01;
constexpr uint8_t kInEndpoint = 0x81;
constexpr uint16_t kMaxPacket = 512;  // high speed

void Put16(std::vector<uint8_t>& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value & 0xFF));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

// The device descriptor followed by the one configuration, as the sysfs "descriptors" file has
// them. A printer: one interface (of the printer class, bidirectional, or another class) with
// bulk OUT 0x01 and bulk IN 0x81. A hub: one interface of the hub class with an interrupt IN
// endpoint.
std::vector<uint8_t> Descriptors(uint16_t vendor, uint16_t product, bool hub,
                                 uint8_t interfaceClass) {
  std::vector<uint8_t> d = {18, 1};
  Put16(d, 0x0200);
  d.insert(d.end(), {static_cast<uint8_t>(hub ? 9 : 0), 0, static_cast<uint8_t>(hub ? 1 : 0), 64});
  Put16(d, vendor);
  Put16(d, product);
  Put16(d, 0x0100);
  d.insert(d.end(), {0, 0, 0, 1});
  const uint16_t total = hub ? 9 + 9 + 7 : 9 + 9 + 7 + 7;
  d.insert(d.end(), {9, 2});
  Put16(d, total);
  d.insert(d.end(), {1, 1, 0, 0xC0, 1});
  if (hub) {
    d.insert(d.end(), {9, 4, 0, 0, 1, 9, 0, 0, 0});
    d.insert(d.end(), {7, 5, 0x81, 3});
    Put16(d, 1);
    d.push_back(12);
  } else {
    d.insert(d.end(),
             {9, 4, 0, 0, 2, interfaceClass, static_cast<uint8_t>(interfaceClass == 7 ? 1 : 0),
              static_cast<uint8_t>(interfaceClass == 7 ? 2 : 0), 0});
    d.insert(d.end(), {7, 5, kOutEndpoint, 2});
    Put16(d, kMaxPacket);
    d.push_back(0);
    d.insert(d.end(), {7, 5, kInEndpoint, 2});
    Put16(d, kMaxPacket);
    d.push_back(0);
  }
  return d;
}

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(value));
  return text;
}

// Where the kernel would put the device in sysfs: under its hub, the root hub under a controller.
std::string SysfsPath(const std::string& sysName) {
  const size_t dash = sysName.find('-');
  if (dash == std::string::npos) throw std::logic_error("not a device name: " + sysName);
  const size_t dot = sysName.rfind('.');
  if (dot != std::string::npos) {
    std::lock_guard lock(g_hubsMutex);
    const auto it = g_hubs.find(sysName.substr(0, dot));
    if (it == g_hubs.end())
      throw std::logic_error("add the hub " + sysName.substr(0, dot) + " first");
    return it->second + "/" + sysName;
  }
  return "/sys/devices/pci0000:00/0000:00:14.0/usb" + sysName.substr(0, dash) + "/" + sysName;
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
  std::string text;
  char pair[3];
  for (uint8_t byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>(byte));
    text += pair;
  }
  return text;
}

// Adds a usb_device with the sysfs attributes and udev properties that libusb reads, and its
// device node when `devNode` is not empty; announces it with an "add" uevent. Returns the sysfs
// path.
std::string AddUsbDevice(const std::string& sysName, uint16_t vendor, uint16_t product, bool hub,
                         uint8_t interfaceClass, const std::string& devNode, int deviceNumber) {
  const size_t dash = sysName.find('-');
  const int bus = std::stoi(sysName.substr(0, dash));
  const std::string sysPath = SysfsPath(sysName);
  char numbers[96];
  std::string record = "P: " + sysPath.substr(4) + "\n";
  if (!devNode.empty()) record += "N: " + devNode.substr(5) + "\nE: DEVNAME=" + devNode + "\n";
  record += "E: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\n";
  std::snprintf(numbers, sizeof numbers, "E: PRODUCT=%x/%x/100\nE: BUSNUM=%03d\nE: DEVNUM=%03d\n",
                static_cast<unsigned>(vendor), static_cast<unsigned>(product), bus, deviceNumber);
  record += numbers;
  auto attribute = [&record](const std::string& name, const std::string& value) {
    record += "A: " + name + "=" + value + "\\n\n";
  };
  attribute("busnum", std::to_string(bus));
  attribute("devnum", std::to_string(deviceNumber));
  attribute("devpath", sysName.substr(dash + 1));
  attribute("speed", "480");
  attribute("idVendor", Hex4(vendor));
  attribute("idProduct", Hex4(product));
  attribute("bcdDevice", "0100");
  attribute("bConfigurationValue", "1");
  attribute("bNumConfigurations", "1");
  attribute("bNumInterfaces", " 1");
  attribute("bDeviceClass", hub ? "09" : "00");
  attribute("maxchild", hub ? "4" : "0");
  record += "H: descriptors=" + HexBytes(Descriptors(vendor, product, hub, interfaceClass)) + "\n";
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(Testbed(), record.c_str(), &error)) {
    const std::string message = error ? error->message : "add_from_string failed";
    if (error) g_error_free(error);
    throw std::runtime_error(message);
  }
  return sysPath;
}

}  // namespace

void InitEmulatedBus() {
  if (g_testbed == nullptr) g_testbed = umockdev_testbed_new();
}

std::string AddEmulatedHub(const std::string& sysName) {
  const std::string path = AddUsbDevice(sysName, 0x1D6B, 0x0002, true, 9, {}, g_nextDeviceNumber++);
  {
    std::lock_guard lock(g_hubsMutex);
    g_hubs[sysName] = path;
  }
  umockdev_testbed_uevent(Testbed(), path.c_str(), "add");
  return path;
}

void RemoveEmulatedDevice(const std::string& sysPath) {
  umockdev_testbed_uevent(Testbed(), sysPath.c_str(), "remove");
  umockdev_testbed_remove_device(Testbed(), sysPath.c_str());
  std::lock_guard lock(g_hubsMutex);
  for (auto it = g_hubs.begin(); it != g_hubs.end();) {
    it = it->second == sysPath ? g_hubs.erase(it) : std::next(it);
  }
}

// ---- The usbfs side -----------------------------------------------------------------------------

// One URB between its submission and its reaping. Holds the client's memory of the URB and of its
// buffer, resolved at submission; the reap hands the URB back to the client.
struct Urb {
  UMockdevIoctlData* urb = nullptr;
  UMockdevIoctlData* buffer = nullptr;
  Urb() = default;
  Urb(UMockdevIoctlData* u, UMockdevIoctlData* b) : urb(u), buffer(b) {}
  Urb(Urb&& other) noexcept : urb(other.urb), buffer(other.buffer) {
    other.urb = other.buffer = nullptr;
  }
  Urb& operator=(Urb&& other) noexcept {
    std::swap(urb, other.urb);
    std::swap(buffer, other.buffer);
    return *this;
  }
  ~Urb() {
    if (buffer) g_object_unref(buffer);
    if (urb) g_object_unref(urb);
  }
  usbdevfs_urb& Fields() { return *reinterpret_cast<usbdevfs_urb*>(urb->data); }
  void Finish(int status, int actualLength) {
    Fields().status = status;
    Fields().actual_length = actualLength;
  }
};

// One open file descriptor of the device node.
struct Client {
  bool claimed = false;
  uint32_t connection = 0;  // the model's connection when the interface was claimed
  std::deque<Urb> pending;  // submitted, not finished (the device does not answer)
  std::deque<Urb> done;     // finished, waiting to be reaped
};

struct EmulatedPrinter::State {
  sim::SimPrinter* model = nullptr;
  mutable std::mutex mutex;
  bool kernelDriverBound = false;
  bool detachedByClient = false;
  bool heldByOtherProgram = false;
  std::map<UMockdevIoctlClient*, Client> clients;
  UsbfsCounts counts;
  // Replies the printer has made and nobody has read yet, oldest first: they stay in its IN
  // endpoint across closes and opens until a read takes them, one reply per transfer.
  std::deque<std::vector<uint8_t>> unread;

  // Moves a reply that the model holds into the endpoint's queue.
  void CollectReply(uint32_t connection) {
    if (model == nullptr || !model->ReplyReady()) return;
    std::vector<uint8_t> reply(4096);
    uint32_t moved = 0;
    if (model->HostRead(connection, reply.data(), static_cast<uint32_t>(reply.size()), moved) &&
        moved > 0) {
      reply.resize(moved);
      unread.push_back(std::move(reply));
    }
  }

  gboolean HandleIoctl(UMockdevIoctlClient* client);

 private:
  bool ClaimedElsewhere(UMockdevIoctlClient* client) const {
    if (heldByOtherProgram) return true;
    for (const auto& [other, state] : clients) {
      if (other != client && state.claimed) return true;
    }
    return false;
  }
  void Submit(UMockdevIoctlClient* client, Client& state, UMockdevIoctlData* arg);
};

namespace {

// Resolves the first `size` bytes the ioctl argument points at; null when they cannot be read.
UMockdevIoctlData* Resolve(UMockdevIoctlData* data, size_t offset, size_t size) {
  GError* error = nullptr;
  UMockdevIoctlData* resolved = umockdev_ioctl_data_resolve(data, offset, size, &error);
  if (error != nullptr) g_error_free(error);
  return resolved;
}

template <typename T>
T* As(UMockdevIoctlData* data) {
  return reinterpret_cast<T*>(data->data);
}

}  // namespace

void EmulatedPrinter::State::Submit(UMockdevIoctlClient* client, Client& state,
                                    UMockdevIoctlData* arg) {
  UMockdevIoctlData* urbData = Resolve(arg, 0, sizeof(usbdevfs_urb));
  if (urbData == nullptr) return umockdev_ioctl_client_complete(client, -1, EFAULT);
  const usbdevfs_urb fields = *As<usbdevfs_urb>(urbData);
  const bool out = fields.endpoint == kOutEndpoint;
  if (fields.type != USBDEVFS_URB_TYPE_BULK || (!out && fields.endpoint != kInEndpoint) ||
      fields.buffer_length < 0) {
    g_object_unref(urbData);
    return umockdev_ioctl_client_complete(client, -1, EINVAL);
  }
  UMockdevIoctlData* bufferData =
      Resolve(urbData, offsetof(usbdevfs_urb, buffer), static_cast<size_t>(fields.buffer_length));
  if (bufferData == nullptr) {
    g_object_unref(urbData);
    return umockdev_ioctl_client_complete(client, -1, EFAULT);
  }
  Urb urb(urbData, bufferData);
  // An endpoint of an interface that nobody claimed is claimed on the way, as the kernel does.
  if (!state.claimed) {
    if (kernelDriverBound || ClaimedElsewhere(client))
      return umockdev_ioctl_client_complete(client, -1, EBUSY);
    state.claimed = true;
    ++counts.claimedNow;
    state.connection = model ? model->Connection() : 0;
  }
  // A printer that has dropped off the bus since the interface was claimed is gone for this
  // descriptor: the kernel refuses every further URB.
  if (model != nullptr && (!model->IsPresent() || model->Connection() != state.connection)) {
    return umockdev_ioctl_client_complete(client, -1, ENODEV);
  }
  ++counts.submits;
  const uint32_t length = static_cast<uint32_t>(fields.buffer_length);
  uint32_t moved = 0;
  bool ok = false;
  if (model != nullptr) {
    // The model's lock is taken inside; ours is held so that the order of the client's URBs is
    // the order in which the model sees them. A reply the model holds goes into the endpoint
    // before the next request can replace it, and a read takes the oldest one there.
    CollectReply(state.connection);
    if (out) {
      ok = model->HostWrite(state.connection, bufferData->data, length, moved);
    } else if (!unread.empty()) {
      std::vector<uint8_t>& reply = unread.front();
      moved = std::min<uint32_t>(length, static_cast<uint32_t>(reply.size()));
      std::memcpy(bufferData->data, reply.data(), moved);
      unread.pop_front();
      ok = true;
    }
  }
  if (ok && (!out || moved == length)) {
    urb.Finish(0, static_cast<int>(moved));
    state.done.push_back(std::move(urb));
  } else {
    // The printer takes no more (OUT) or has nothing to say (IN): it answers every further token
    // with NAK, and the URB stays until the host cancels it. What did go through stays counted.
    urb.Finish(0, out ? static_cast<int>(moved) : 0);
    state.pending.push_back(std::move(urb));
  }
  umockdev_ioctl_client_complete(client, 0, 0);
}

gboolean EmulatedPrinter::State::HandleIoctl(UMockdevIoctlClient* client) {
  const gulong request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  std::lock_guard lock(mutex);
  Client& state = clients[client];
  auto complete = [client](long result, int error) {
    umockdev_ioctl_client_complete(client, result, error);
    return TRUE;
  };

  if (request == USBDEVFS_GET_CAPABILITIES) {
    UMockdevIoctlData* caps = Resolve(arg, 0, sizeof(uint32_t));
    if (caps == nullptr) return complete(-1, EFAULT);
    *As<uint32_t>(caps) = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                          USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
    complete(0, 0);
    g_object_unref(caps);
    return TRUE;
  }
  if (request == USBDEVFS_CLAIMINTERFACE || request == USBDEVFS_RELEASEINTERFACE) {
    UMockdevIoctlData* number = Resolve(arg, 0, sizeof(unsigned int));
    if (number == nullptr) return complete(-1, EFAULT);
    const unsigned int interface = *As<unsigned int>(number);
    g_object_unref(number);
    if (interface != 0) return complete(-1, EINVAL);
    if (request == USBDEVFS_RELEASEINTERFACE) {
      if (!state.claimed) return complete(-1, EINVAL);
      state.claimed = false;
      --counts.claimedNow;
      ++counts.releases;
      return complete(0, 0);
    }
    if (state.claimed) return complete(0, 0);
    if (kernelDriverBound || ClaimedElsewhere(client)) return complete(-1, EBUSY);
    if (model != nullptr && !model->IsPresent()) return complete(-1, ENODEV);
    state.claimed = true;
    state.connection = model ? model->Connection() : 0;
    ++counts.claimedNow;
    ++counts.claims;
    return complete(0, 0);
  }
  if (request == USBDEVFS_DISCONNECT_CLAIM) {
    UMockdevIoctlData* claim = Resolve(arg, 0, sizeof(usbdevfs_disconnect_claim));
    if (claim == nullptr) return complete(-1, EFAULT);
    const usbdevfs_disconnect_claim fields = *As<usbdevfs_disconnect_claim>(claim);
    g_object_unref(claim);
    if (fields.interface != 0) return complete(-1, EINVAL);
    if (state.claimed) return complete(0, 0);
    if (ClaimedElsewhere(client)) return complete(-1, EBUSY);
    if (model != nullptr && !model->IsPresent()) return complete(-1, ENODEV);
    // libusb asks to take the interface from any driver but its own ("usbfs").
    const bool spare = (fields.flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER) != 0 &&
                       strncmp(fields.driver, "usblp", sizeof fields.driver) == 0;
    const bool only = (fields.flags & USBDEVFS_DISCONNECT_CLAIM_IF_DRIVER) != 0 &&
                      strncmp(fields.driver, "usblp", sizeof fields.driver) != 0;
    if (kernelDriverBound) {
      if (spare || only) return complete(-1, EBUSY);
      kernelDriverBound = false;
      detachedByClient = true;
      ++counts.detaches;
    }
    state.claimed = true;
    state.connection = model ? model->Connection() : 0;
    ++counts.claimedNow;
    ++counts.claims;
    return complete(0, 0);
  }
  if (request == USBDEVFS_GETDRIVER) {
    UMockdevIoctlData* query = Resolve(arg, 0, sizeof(usbdevfs_getdriver));
    if (query == nullptr) return complete(-1, EFAULT);
    auto* getDriver = As<usbdevfs_getdriver>(query);
    if (getDriver->interface != 0 || !kernelDriverBound) {
      complete(-1, getDriver->interface != 0 ? EINVAL : ENODATA);
    } else {
      std::snprintf(getDriver->driver, sizeof getDriver->driver, "usblp");
      complete(0, 0);
    }
    g_object_unref(query);
    return TRUE;
  }
  if (request == USBDEVFS_IOCTL) {
    UMockdevIoctlData* command = Resolve(arg, 0, sizeof(usbdevfs_ioctl));
    if (command == nullptr) return complete(-1, EFAULT);
    const usbdevfs_ioctl fields = *As<usbdevfs_ioctl>(command);
    g_object_unref(command);
    if (fields.ifno != 0) return complete(-1, EINVAL);
    if (fields.ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT)) {
      if (!kernelDriverBound) return complete(-1, ENODATA);
      kernelDriverBound = false;
      detachedByClient = true;
      ++counts.detaches;
      return complete(0, 0);
    }
    if (fields.ioctl_code == static_cast<int>(USBDEVFS_CONNECT)) {
      if (state.claimed || ClaimedElsewhere(client)) return complete(-1, EBUSY);
      if (detachedByClient) {
        kernelDriverBound = true;
        detachedByClient = false;
        ++counts.reattaches;
      }
      return complete(0, 0);
    }
    ++counts.refused;
    return complete(-1, ENOTTY);
  }
  if (request == USBDEVFS_SUBMITURB) {
    Submit(client, state, arg);
    return TRUE;
  }
  if (request == USBDEVFS_REAPURBNDELAY) {
    if (state.done.empty()) return complete(-1, EAGAIN);
    Urb urb = std::move(state.done.front());
    state.done.pop_front();
    UMockdevIoctlData* slot = Resolve(arg, 0, sizeof(void*));
    if (slot == nullptr) return complete(-1, EFAULT);
    // Points the client's slot at its URB and writes the URB's fields and data back.
    umockdev_ioctl_data_set_ptr(slot, 0, urb.urb);
    complete(0, 0);
    g_object_unref(slot);
    return TRUE;
  }
  if (request == USBDEVFS_DISCARDURB) {
    const gulong address = *As<gulong>(arg);
    for (auto it = state.pending.begin(); it != state.pending.end(); ++it) {
      if (it->urb->client_addr != address) continue;
      // Cancelled: reaped with -ENOENT and the bytes that went through before.
      it->Fields().status = -ENOENT;
      state.done.push_back(std::move(*it));
      state.pending.erase(it);
      ++counts.discards;
      return complete(0, 0);
    }
    return complete(-1, EINVAL);
  }
  if (request == USBDEVFS_CLEAR_HALT) return complete(0, 0);
  // Anything else (SETINTERFACE, SETCONFIGURATION, CONTROL, RESET, REAPURB, ...) is not part of
  // a printer's life here.
  ++counts.refused;
  return complete(-1, ENOTTY);
}

namespace {

gboolean OnHandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer state) {
  return static_cast<EmulatedPrinter::State*>(state)->HandleIoctl(client);
}
}  // namespace

EmulatedPrinter::EmulatedPrinter(const UsbDeviceDescription& spec, sim::SimPrinter* model)
    : spec_(spec), state_(std::make_unique<State>()) {
  state_->model = model;
  state_->kernelDriverBound = spec.kernelDriverBound;
  state_->heldByOtherProgram = spec.heldByOtherProgram;
  const int deviceNumber = g_nextDeviceNumber++;
  char node[64];
  std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d",
                std::stoi(spec.sysName.substr(0, spec.sysName.find('-'))), deviceNumber);
  devNode_ = node;
  UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
  handler_ = handler;
  g_signal_connect(handler, "handle-ioctl", G_CALLBACK(OnHandleIoctl), state_.get());
  sysPath_ = AddUsbDevice(spec.sysName, spec.vendorId, spec.productId, false, spec.interfaceClass,
                          devNode_, deviceNumber);
  GError* error = nullptr;
  if (!umockdev_testbed_attach_ioctl(Testbed(), devNode_.c_str(), handler, &error)) {
    const std::string message = error ? error->message : "attach_ioctl failed";
    if (error) g_error_free(error);
    throw std::runtime_error(message);
  }
  // Announced once its node answers, so that no one opens it unanswered.
  umockdev_testbed_uevent(Testbed(), sysPath_.c_str(), "add");
}

EmulatedPrinter::~EmulatedPrinter() {
  umockdev_testbed_detach_ioctl(Testbed(), devNode_.c_str(), nullptr);
  g_signal_handlers_disconnect_by_data(handler_, state_.get());
  g_object_unref(handler_);
  umockdev_testbed_uevent(Testbed(), sysPath_.c_str(), "remove");
  umockdev_testbed_remove_device(Testbed(), sysPath_.c_str());
}

UsbfsCounts EmulatedPrinter::Counts() const {
  std::lock_guard lock(state_->mutex);
  return state_->counts;
}

bool EmulatedPrinter::KernelDriverBound() const {
  std::lock_guard lock(state_->mutex);
  return state_->kernelDriverBound;
}

}  // namespace zmr::test

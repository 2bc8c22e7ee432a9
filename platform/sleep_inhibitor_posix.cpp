// SPDX-License-Identifier: MIT
#include "platform/sleep_inhibitor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#ifdef ZMR_HAVE_SD_BUS
#include <systemd/sd-bus.h>
#endif

namespace zmr::platform {

#ifdef ZMR_HAVE_SD_BUS
namespace {

constexpr uint64_t kCallTimeoutUs = 5'000'000;

std::string ErrorText(const char* what, int rc, const sd_bus_error* error) {
  std::string text = what;
  if (error && sd_bus_error_is_set(error)) {
    text += std::string(": ") + (error->name ? error->name : "") +
            (error->message ? std::string(" (") + error->message + ")" : std::string());
  } else {
    text += std::string(": ") + std::strerror(rc < 0 ? -rc : rc);
  }
  return text;
}

}  // namespace

std::unique_ptr<SleepInhibitor> SleepInhibitor::Take(const std::string& who, const std::string& why,
                                                     std::string* problem) {
  sd_bus* bus = nullptr;
  int rc = sd_bus_open_system(&bus);
  if (rc < 0) {
    if (problem) *problem = ErrorText("no system bus", rc, nullptr);
    return nullptr;
  }
  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  int fd = -1;
  rc = sd_bus_message_new_method_call(bus, &call, "org.freedesktop.login1",
                                      "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                      "Inhibit");
  if (rc >= 0)
    rc = sd_bus_message_append(call, "ssss", "sleep:shutdown:idle", who.c_str(), why.c_str(),
                               "block");
  if (rc >= 0) rc = sd_bus_call(bus, call, kCallTimeoutUs, &error, &reply);
  if (rc < 0) {
    if (problem) *problem = ErrorText("login manager refused the inhibitor lock", rc, &error);
  } else {
    int received = -1;
    rc = sd_bus_message_read(reply, "h", &received);
    // The descriptor belongs to the reply: keep a copy of our own.
    if (rc >= 0) fd = fcntl(received, F_DUPFD_CLOEXEC, 3);
    if (fd < 0 && problem)
      *problem = ErrorText("no inhibitor descriptor in the reply", rc, nullptr);
  }
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  sd_bus_message_unref(call);
  sd_bus_flush_close_unref(bus);
  if (fd < 0) return nullptr;
  return std::unique_ptr<SleepInhibitor>(new SleepInhibitor(fd));
}
#else
std::unique_ptr<SleepInhibitor> SleepInhibitor::Take(const std::string&, const std::string&,
                                                     std::string* problem) {
  if (problem) *problem = "built without a system bus client";
  return nullptr;
}
#endif

SleepInhibitor::~SleepInhibitor() {
  close(fd_);
}

}  // namespace zmr::platform

// SPDX-License-Identifier: MIT
#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>

namespace zmr::platform {

std::string DynamicLibrary::FileName(std::string_view name) {
  return "lib" + std::string(name) + ".so";
}

std::unique_ptr<DynamicLibrary> DynamicLibrary::Open(std::string_view name) {
  void* module = dlopen(FileName(name).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) return nullptr;
  return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(module));
}

DynamicLibrary::~DynamicLibrary() {
  dlclose(module_);
}

void DynamicLibrary::KeepCurrentFolderOutOfSearch() {}

std::string DynamicLibrary::PathOf(const void* address) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  // A relative name is the one it was loaded under; make it whole where the loader can.
  char resolved[4096];
  if (info.dli_fname[0] != '/' && realpath(info.dli_fname, resolved) != nullptr) return resolved;
  return info.dli_fname;
}

void* DynamicLibrary::Symbol(const char* name) const {
  return dlsym(module_, name);
}

}  // namespace zmr::platform

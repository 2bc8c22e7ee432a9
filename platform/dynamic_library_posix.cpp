#include "platform/dynamic_library.h"

#include <dlfcn.h>

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

void* DynamicLibrary::Symbol(const char* name) const {
  return dlsym(module_, name);
}

}  // namespace zmr::platform

#include <windows.h>

#include "platform/dynamic_library.h"

namespace zmr::platform {

std::string DynamicLibrary::FileName(std::string_view name) {
  return std::string(name) + ".dll";
}

std::unique_ptr<DynamicLibrary> DynamicLibrary::Open(std::string_view name) {
  HMODULE module = LoadLibraryA(FileName(name).c_str());
  if (!module) return nullptr;
  return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(module));
}

DynamicLibrary::~DynamicLibrary() {
  FreeLibrary(static_cast<HMODULE>(module_));
}

void* DynamicLibrary::Symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module_), name));
}

}  // namespace zmr::platform

// SPDX-License-Identifier: MIT
#include <windows.h>

#include "platform/dynamic_library.h"

namespace zmr::platform {

std::string DynamicLibrary::FileName(std::string_view name) {
  return std::string(name) + ".dll";
}

void DynamicLibrary::KeepCurrentFolderOutOfSearch() {
  SetDllDirectoryW(L"");
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

std::string DynamicLibrary::PathOf(const void* address) {
  HMODULE module = nullptr;
  if (address == nullptr || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                    GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                                static_cast<LPCSTR>(address), &module))
    return {};
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

}  // namespace zmr::platform

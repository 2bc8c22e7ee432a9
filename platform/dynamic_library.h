// SPDX-License-Identifier: MIT
#pragma once
// Loading a shared library by its plain name ("ZUsbXpIf" is libZUsbXpIf.so on Linux) through the
// system's search path, and looking up its symbols.
#include <memory>
#include <string>
#include <string_view>

namespace zmr::platform {

class DynamicLibrary {
 public:
  // Null when the library cannot be loaded.
  static std::unique_ptr<DynamicLibrary> Open(std::string_view name);
  // The platform's file name for a plain library name.
  static std::string FileName(std::string_view name);
  // Takes the current folder out of the search for libraries loaded by name, keeping the
  // program's folder, the system's folders and PATH, where the printer driver puts its
  // libraries: Windows searches the current folder too, so a library of that name in whatever
  // folder the program was started from would be loaded. Called at start, before any library
  // is loaded. (The POSIX loader never searches it: nothing to do.)
  static void KeepCurrentFolderOutOfSearch();

  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Null when the library has no such symbol.
  void* Symbol(const char* name) const;

  // The file of the loaded library (or program) that holds `address`, as the loader found it;
  // empty when no loaded file holds it.
  static std::string PathOf(const void* address);

 private:
  explicit DynamicLibrary(void* module) : module_(module) {}
  void* module_;
};

}  // namespace zmr::platform

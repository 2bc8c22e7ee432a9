// SPDX-License-Identifier: MIT
// The run log on Windows: %LOCALAPPDATA%\zmr470-update\zmr470-update.log.
#include <windows.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/run_log_file.h"

namespace zmr::platform {

std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char text[64];
  if (localtime_s(&local, &now) != 0 ||
      std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local) == 0)
    return "?";
  return text;
}

std::string RunLogPath() {
  char base[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", base, sizeof(base));
  if (length == 0 || length >= sizeof(base)) return {};
  return std::string(base, length) + "\\zmr470-update\\zmr470-update.log";
}

bool AppendRunLog(const std::string& path, std::string_view record, size_t maxBytes,
                  std::string* problem) {
  namespace fs = std::filesystem;
  auto fail = [problem, &path](const char* what) {
    if (problem) *problem = path + ": " + what;
    return false;
  };
  if (path.empty()) return fail("no place for the log");
  std::error_code error;
  const fs::path file(path);
  fs::create_directories(file.parent_path(), error);
  const auto size = fs::file_size(file, error);
  if (!error && size + record.size() > maxBytes) {
    // Keep the newest half (whole lines) and write it back.
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const size_t keep = std::min(text.size(), maxBytes / 2);
    size_t from = text.size() - keep;
    if (from > 0) {
      const size_t nl = text.find('\n', from);
      from = nl == std::string::npos ? text.size() : nl + 1;
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data() + from, static_cast<std::streamsize>(text.size() - from));
    if (!out) return fail("cannot be written");
  }
  std::ofstream out(file, std::ios::binary | std::ios::app);
  out.write(record.data(), static_cast<std::streamsize>(record.size()));
  out.close();
  if (!out) return fail("cannot be written");
  return true;
}

}  // namespace zmr::platform

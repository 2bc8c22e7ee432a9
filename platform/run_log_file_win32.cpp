// The run log on Windows: %LOCALAPPDATA%\zmr470-update\zmr470-update.log, appended to, and moved
// aside to a .old file once it has grown past its limit.
#include <windows.h>

#include <string>

#include "platform/run_log_file.h"

namespace zmr::platform {

std::string LocalTimeText() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  TIME_ZONE_INFORMATION zone{};
  const DWORD kind = GetTimeZoneInformation(&zone);
  long bias = zone.Bias + (kind == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : 0);
  const long offset = -bias;  // minutes east of UTC
  char text[64];
  wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u %c%02ld%02ld", local.wYear, local.wMonth,
            local.wDay, local.wHour, local.wMinute, local.wSecond, offset < 0 ? '-' : '+',
            (offset < 0 ? -offset : offset) / 60, (offset < 0 ? -offset : offset) % 60);
  return text;
}

std::string RunLogPath() {
  char base[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", base, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::string(base, length) + "\\zmr470-update\\zmr470-update.log";
}

bool AppendRunLog(const std::string& path, std::string_view record, size_t maxBytes,
                  std::string* problem) {
  if (path.empty()) {
    if (problem) *problem = "no place for the log";
    return false;
  }
  if (const size_t slash = path.rfind('\\'); slash != std::string::npos)
    CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
      (static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow) + record.size() >
          maxBytes) {
    MoveFileExA(path.c_str(), (path + ".old").c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (problem)
      *problem = path + ": cannot be opened (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  DWORD written = 0;
  const bool ok =
      WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
      written == record.size();
  CloseHandle(file);
  if (!ok && problem) *problem = path + ": write failed";
  return ok;
}

}  // namespace zmr::platform

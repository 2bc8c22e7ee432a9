// SPDX-License-Identifier: MIT
// The run log on Windows: %LOCALAPPDATA%\zmr470-update\zmr470-update.log. The lock is a byte
// range far beyond any end of the file (LockFileEx), so it keeps other runs out without keeping
// anyone from reading the log.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/run_log_file.h"

namespace zmr::platform {
namespace {

constexpr uint32_t kLockPollMs = 50;
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

HANDLE AsHandle(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

std::string Reason(const std::string& what, DWORD error) {
  return what + ": error " + std::to_string(error);
}

bool SizeOf(HANDLE file, uint64_t& size) {
  LARGE_INTEGER value{};
  if (!GetFileSizeEx(file, &value)) return false;
  size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

bool SeekTo(HANDLE file, uint64_t offset) {
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != FALSE;
}

bool WriteAll(HANDLE file, const char* data, size_t length) {
  while (length > 0) {
    DWORD moved = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(length, 1u << 20));
    if (!WriteFile(file, data, chunk, &moved, nullptr) || moved == 0) return false;
    data += moved;
    length -= moved;
  }
  return true;
}

// The bytes of the file from `offset` to its end (at most `length`).
std::string ReadFrom(HANDLE file, uint64_t offset, size_t length) {
  std::string text(length, '\0');
  DWORD got = 0;
  if (!SeekTo(file, offset) ||
      !ReadFile(file, text.data(), static_cast<DWORD>(length), &got, nullptr)) {
    return {};
  }
  text.resize(got);
  return text;
}

// From the first line's start, unless `text` is the whole file.
std::string FromLineStart(std::string text, bool whole) {
  if (whole) return text;
  const size_t nl = text.find('\n');
  text.erase(0, nl == std::string::npos ? text.size() : nl + 1);
  return text;
}

}  // namespace

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

RunLogFile::Opened RunLogFile::Open(const std::string& path, Clock& clock, size_t maxBytes,
                                    uint32_t lockWaitMs) {
  Opened opened;
  const size_t slash = path.find_last_of("\\/");
  if (path.empty() || slash == std::string::npos || slash + 1 == path.size()) {
    opened.problem = "no place for the log";
    return opened;
  }
  // The folders above the log's own may be links; the log's own folder may not (a junction or
  // a symbolic link there would let the file be made wherever it points).
  const std::string dir = path.substr(0, slash);
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(dir).parent_path(), error);
  CreateDirectoryA(dir.c_str(), nullptr);
  const DWORD dirAttributes = GetFileAttributesA(dir.c_str());
  if (dirAttributes == INVALID_FILE_ATTRIBUTES || !(dirAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (dirAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    opened.problem = dir + " is not a folder (a link is not followed)";
    return opened;
  }

  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    opened.problem = Reason(path, GetLastError());
    return opened;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    CloseHandle(file);
    opened.problem = path + " is not a regular file";
    return opened;
  }

  const uint32_t start = clock.TickCount();
  for (;;) {
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) break;
    const uint32_t waited = clock.TickCount() - start;
    if (waited >= lockWaitMs) {
      CloseHandle(file);
      opened.problem = path + " is locked by another process (waited " +
                       std::to_string(waited / 1000) + "." + std::to_string(waited % 1000 / 100) +
                       " s)";
      return opened;
    }
    clock.Sleep(std::min(kLockPollMs, lockWaitMs - waited));
  }

  uint64_t size = 0;
  if (SizeOf(file, size) && size + maxBytes / 16 > maxBytes) {
    // Keep the newest half (whole lines) and write it back from the start.
    const size_t keep = static_cast<size_t>(std::min<uint64_t>(size, maxBytes / 2));
    const std::string tail = FromLineStart(ReadFrom(file, size - keep, keep), keep == size);
    if (!SeekTo(file, 0) || !SetEndOfFile(file) || !WriteAll(file, tail.data(), tail.size())) {
      CloseHandle(file);
      opened.problem = Reason(path, GetLastError());
      return opened;
    }
  }
  if (SizeOf(file, size)) {
    const size_t take = static_cast<size_t>(std::min<uint64_t>(size, kRunLogTailBytes));
    opened.tail = FromLineStart(ReadFrom(file, size - take, take), take == size);
  }
  opened.log.reset(new RunLogFile(reinterpret_cast<intptr_t>(file), path));
  return opened;
}

bool RunLogFile::AppendLine(std::string_view line) {
  if (!problem_.empty()) return false;
  std::string text(line);
  text += '\n';
  HANDLE file = AsHandle(handle_);
  uint64_t before = 0;
  if (SizeOf(file, before) && SeekTo(file, before) && WriteAll(file, text.data(), text.size()))
    return true;
  const DWORD error = GetLastError();
  // What went in of the line is taken back: the log ends after its last whole line.
  if (SeekTo(file, before)) SetEndOfFile(file);
  problem_ = Reason(path_, error);
  return false;
}

RunLogFile::~RunLogFile() {
  CloseHandle(AsHandle(handle_));  // also gives the lock back
}

}  // namespace zmr::platform

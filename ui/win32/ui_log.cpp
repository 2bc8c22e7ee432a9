// SPDX-License-Identifier: MIT
#include "ui/win32/ui_log.h"

#include "ui/win32/windows_api.h"

#include "ui/win32/wide_text.h"

namespace zmr::ui {
namespace {

// The log's destination: empty when off, "-" for standard output, else a file name.
const std::wstring& Destination() {
  static const std::wstring destination = [] {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD length = GetEnvironmentVariableW(L"ZMR470_UI_LOG", buffer, MAX_PATH * 2);
    return length > 0 && length < MAX_PATH * 2 ? std::wstring(buffer, length) : std::wstring();
  }();
  return destination;
}

std::string OneLine(const std::wstring& text) {
  std::string out;
  for (char c : Narrow(text)) {
    if (c == '\r') continue;
    if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

}  // namespace

bool UiLog::Enabled() {
  return !Destination().empty();
}

void UiLog::Window(int templateId, const std::wstring& title) {
  if (Enabled()) Write("window\t" + std::to_string(templateId) + "\t" + OneLine(title));
}

void UiLog::Message(const std::wstring& title, const char* icon, const std::wstring& text) {
  if (Enabled()) Write("message\t" + OneLine(title) + "\t" + icon + "\t" + OneLine(text));
}

void UiLog::Write(const std::string& text) {
  const std::string line = text + "\n";
  const auto size = static_cast<DWORD>(line.size());
  DWORD written = 0;
  if (Destination() == L"-") {
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), size, &written, nullptr);
    return;
  }
  HANDLE file =
      CreateFileW(Destination().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  WriteFile(file, line.data(), size, &written, nullptr);
  CloseHandle(file);
}

}  // namespace zmr::ui

// SPDX-License-Identifier: MIT
#pragma once
// The core's texts are UTF-8; the Win32 API takes UTF-16.
#include <string>

namespace zmr::ui {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

}  // namespace zmr::ui

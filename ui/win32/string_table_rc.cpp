// SPDX-License-Identifier: MIT
// Writes the string table of the Windows resources (English 1033, Japanese 1041) from the table
// the core uses, so that every text exists once in the tree. Built for and run on the build
// machine: string_table_rc OUTPUT.rc
//
// Texts that are plain ASCII are written as they read; any other text is written as wide
// characters in \x escapes, one per UTF-16 unit, so the resource compiler needs no code page.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "update/string_table.h"

namespace {

// The UTF-16 units of a UTF-8 text (which the core's table is).
std::u16string Utf16(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length && i + k < text.size(); ++k)
      code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += length;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

std::string Quoted(const std::string& text) {
  bool ascii = true;
  for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  std::string out = "L\"";
  if (ascii) {
    for (char c : text) {
      if (c == '\n')
        out += "\\n";
      else if (c == '"')
        out += "\"\"";
      else if (c == '\\')
        out += "\\\\";
      else
        out += c;
    }
  } else {
    for (char16_t unit : Utf16(text)) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%04x", static_cast<unsigned>(unit));
      out += escape;
    }
  }
  return out + "\"";
}

void WriteTable(std::ofstream& out, const char* language, zmr::platform::Language which) {
  out << "LANGUAGE " << language << "\nSTRINGTABLE\nBEGIN\n";
  for (uint32_t id = 1; id < 0x10000; ++id) {
    const std::string text = zmr::LoadString(id, which);
    if (!text.empty()) out << "    " << id << ", " << Quoted(text) << "\n";
  }
  out << "END\n\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: string_table_rc OUTPUT.rc\n");
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << "// Made by the build from the core's string table; not to be edited.\n\n";
  WriteTable(out, "LANG_ENGLISH, SUBLANG_ENGLISH_US", zmr::platform::Language::English);
  WriteTable(out, "LANG_JAPANESE, SUBLANG_DEFAULT", zmr::platform::Language::Japanese);
  return out.good() ? 0 : 1;
}

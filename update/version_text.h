// SPDX-License-Identifier: MIT
#pragma once
// Texts made from what the printer reports: its version texts and check sums as shown in the
// Before and After fields, and the refusal message that quotes them. The printer's bytes may be
// anything, so every copy is bounded and nothing it sends is ever used as a format.
#include <cstddef>
#include <cstdint>
#include <string>

namespace zmr {

// The text of a version field of at most `size` bytes, up to its first NUL.
std::string BoundedText(const char* field, size_t size);

template <size_t N>
std::string BoundedText(const char (&field)[N]) {
  return BoundedText(field, N);
}

// A text from the printer as it goes into a line of the run log or a step's detail: printable
// ASCII as it stands, every other byte (controls, anything from 0x80 on) and the backslash as
// \xNN, so that no byte of the printer's can forge a line or turn how it reads.
std::string EscapedText(const std::string& text);

// Four upper-case hexadecimal digits, zero-padded ("00A6").
std::string CheckSumText(uint32_t checkSum);

// Fills a message text in the manner of printf with one "%s" (the version) and one "%04X" (the
// check sum); "%%" gives "%". Any other '%' sequence is copied as it stands.
std::string FormatVersionMessage(const std::string& format, const std::string& version,
                                 uint32_t checkSum);

}  // namespace zmr

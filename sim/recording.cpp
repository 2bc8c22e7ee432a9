// SPDX-License-Identifier: MIT
#include "sim/recording.h"

#include <charconv>
#include <cstdio>
#include <optional>

#include "driver_api/trace_format.h"

namespace zmr::sim {
namespace {

// The words of one line, without its line end.
std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t pos = 0;
  while (pos < line.size()) {
    const size_t start = line.find_first_not_of(" \t", pos);
    if (start == std::string_view::npos) break;
    size_t end = line.find_first_of(" \t", start);
    if (end == std::string_view::npos) end = line.size();
    words.push_back(line.substr(start, end - start));
    pos = end;
  }
  return words;
}

template <typename T>
bool Number(std::string_view text, T& value) {
  if (text.empty() || text.size() > 11) return false;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value, 10);
  return result.ec == std::errc() && result.ptr == end;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Everything wrong with a line is reported as this; the parser stops at the first.
struct LineError {
  std::string what;
};

std::string Quoted(std::string_view word) {
  constexpr size_t kShown = 24;
  std::string text(word.substr(0, kShown));
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < ' ' || static_cast<unsigned char>(c) >= 0x7F) c = '?';
  }
  return "'" + text + (word.size() > kShown ? "...'" : "'");
}

class LineReader {
 public:
  explicit LineReader(std::vector<std::string_view> words) : words_(std::move(words)) {}

  bool AtEnd() const { return next_ >= words_.size(); }
  std::string_view Peek() const { return AtEnd() ? std::string_view() : words_[next_]; }
  std::string_view Take(const char* what) {
    if (AtEnd()) throw LineError{"it ends where " + std::string(what) + " is due"};
    return words_[next_++];
  }
  template <typename T>
  T TakeNumber(const char* what) {
    const std::string_view word = Take(what);
    T value{};
    if (!Number(word, value)) throw LineError{Quoted(word) + " is not " + what};
    return value;
  }
  std::string TakeText(const char* what) {
    const std::string_view word = Take(what);
    const std::optional<std::string> text = trace::UnescapeText(word);
    if (!text) throw LineError{Quoted(word) + " is not " + what + " (bad %-escape)"};
    return *text;
  }
  bool TakeResult() {
    const std::string_view word = Take("ok or failed");
    if (word == "ok") return true;
    if (word == "failed") return false;
    throw LineError{Quoted(word) + " is neither ok nor failed"};
  }
  void ExpectEnd() {
    if (!AtEnd()) throw LineError{"unexpected " + Quoted(words_[next_]) + " at its end"};
  }

 private:
  std::vector<std::string_view> words_;
  size_t next_ = 0;
};

std::vector<uint8_t> HexWord(std::string_view word) {
  if (word.size() >= 3 && word.substr(word.size() - 3) == "...") {
    throw LineError{
        "only the first 16 bytes are in this line: a recording needs every byte (record with "
        "\"fulltrace\" in ZMR470_SIM, or ZMR470_USB_FULLTRACE=1 with the libusb drivers)"};
  }
  std::vector<uint8_t> bytes;
  if (word == "-") return bytes;
  if (word.size() % 2 != 0)
    throw LineError{"its bytes end in half a byte (the line is cut short?)"};
  bytes.reserve(word.size() / 2);
  for (size_t i = 0; i < word.size(); i += 2) {
    const int high = HexDigit(word[i]);
    const int low = HexDigit(word[i + 1]);
    if (high < 0 || low < 0) {
      throw LineError{Quoted(word.substr(i, 2)) + " at byte " + std::to_string(i / 2) +
                      " is not hexadecimal"};
    }
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return bytes;
}

RecordedTransfer ParseTransfer(LineReader& in, char direction) {
  RecordedTransfer t;
  t.direction = direction;
  const std::string_view pipe = in.Take("the pipe");
  if (pipe != (direction == 'W' ? "PIPE00" : "PIPE01")) {
    throw LineError{Quoted(pipe) + " is not the pipe of a " +
                    (direction == 'W' ? "write (PIPE00)" : "read (PIPE01)")};
  }
  t.length = in.TakeNumber<uint32_t>("the length asked");
  t.bytes = HexWord(in.Take("the bytes"));
  const auto count = static_cast<uint32_t>(t.bytes.size());
  bool shortSaid = false;
  uint32_t shortBy = 0;
  bool after = false;
  uint32_t afterDone = 0;
  if (in.Peek() == "short") {
    in.Take("short");
    shortSaid = true;
    shortBy = in.TakeNumber<uint32_t>("the bytes moved");
  } else if (in.Peek() == "failed") {
    in.Take("failed");
    t.ok = false;
    if (!in.AtEnd() && in.Peek() != "after" && in.Peek() != "took") {
      const std::string_view name = in.Take("the error");
      // A name (libusb's): printable, as the writers write it.
      for (const char c : name) {
        if (c <= ' ' || c > '~') throw LineError{Quoted(name) + " is not the name of an error"};
      }
      t.error = std::string(name);
    }
    if (in.Peek() == "after") {
      in.Take("after");
      after = true;
      afterDone = in.TakeNumber<uint32_t>("the bytes moved");
    }
  }
  if (in.Peek() == "took") {
    in.Take("took");
    t.tookMs = in.TakeNumber<uint32_t>("a time in ms");
  }
  in.ExpectEnd();

  if (direction == 'W') {
    // A write shows every byte the host offered; how many went is said apart.
    if (count != t.length) {
      throw LineError{"a write of " + std::to_string(t.length) + " bytes shows " +
                      std::to_string(count) + " of them (the line is cut short?)"};
    }
    if (shortSaid && shortBy >= t.length) {
      throw LineError{"short " + std::to_string(shortBy) + " of a write of " +
                      std::to_string(t.length) + " bytes"};
    }
    if (after && afterDone > t.length) {
      throw LineError{"after " + std::to_string(afterDone) + " of a write of " +
                      std::to_string(t.length) + " bytes"};
    }
    t.done = !t.ok ? afterDone : shortSaid ? shortBy : t.length;
    return t;
  }
  if (after) throw LineError{"'after' belongs to a write"};
  // A read shows the bytes it moved: never more than it asked for.
  if (count > t.length) {
    throw LineError{"a reply of " + std::to_string(count) + " bytes to a read of " +
                    std::to_string(t.length) + ": longer than the read allows"};
  }
  if (shortSaid && shortBy != count) {
    throw LineError{"short " + std::to_string(shortBy) + " with " + std::to_string(count) +
                    " bytes shown (the line is cut short?)"};
  }
  if (t.ok && !shortSaid && count != t.length) {
    throw LineError{"a read of " + std::to_string(t.length) + " bytes shows " +
                    std::to_string(count) + " and does not say it was short (cut short?)"};
  }
  t.done = count;
  return t;
}

RecordedCall ParseCall(LineReader& in, std::string_view kind) {
  RecordedCall c;
  if (kind == "LIST") {
    c.kind = RecordedCall::Kind::kList;
    c.number = in.TakeNumber<int>("a count");
  } else if (kind == "DEVICE") {
    c.kind = RecordedCall::Kind::kDevice;
    c.number = in.TakeNumber<int>("a device index");
    if (in.Peek() == "none") {
      in.Take("none");
    } else {
      c.ok = true;
      c.id = in.TakeText("a device ID");
      c.path = in.TakeText("a device path");
    }
  } else if (kind == "OPEN") {
    c.pipe = in.TakeText("a pipe name");
    const std::string_view how = in.Take("path or index");
    if (how == "path") {
      c.kind = RecordedCall::Kind::kOpenByPath;
      c.path = in.TakeText("a device path");
    } else if (how == "index") {
      c.kind = RecordedCall::Kind::kOpenByIndex;
      c.number = in.TakeNumber<int>("a device index");
    } else {
      throw LineError{Quoted(how) + " is neither path nor index"};
    }
    c.ok = in.TakeResult();
  } else if (kind == "CONTROL") {
    c.kind = RecordedCall::Kind::kControl;
    c.number = in.TakeNumber<int>("a device index");
    c.ok = in.TakeResult();
  } else {
    c.kind = RecordedCall::Kind::kOffBus;
    if (in.Peek() == "never") {
      in.Take("never");
      c.never = true;
    } else {
      c.offMs = in.TakeNumber<uint32_t>("a time in ms");
    }
  }
  in.ExpectEnd();
  return c;
}

}  // namespace

bool RecordedTransfer::IsModeSwitch() const {
  return direction == 'W' && ok && length == 4 && done == 4 && bytes.size() == 4 &&
         bytes[0] == 0x1B && bytes[1] == 'f' && (bytes[2] == 'g' || bytes[2] == 'r') &&
         bytes[3] == 0x00;
}

bool ParseRecording(std::string_view text, Recording& recording, std::string& error) {
  recording = {};
  Recording parsed;
  uint32_t number = 0;
  uint32_t lastMs = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    ++number;
    const size_t end = text.find('\n', pos);
    const bool ended = end != std::string_view::npos;
    std::string_view line = text.substr(pos, ended ? end - pos : std::string_view::npos);
    pos = ended ? end + 1 : text.size();
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    try {
      LineReader in(Words(line));
      if (in.AtEnd()) continue;
      // Every line a trace writes ends with its line break: without one the file was cut.
      if (!ended) throw LineError{"the file ends in the middle of this line (it is cut short)"};
      if (in.Peek()[0] == '#') continue;
      const auto ms = in.TakeNumber<uint32_t>("a time in ms");
      if (ms < lastMs) {
        throw LineError{"its time " + std::to_string(ms) + " ms is before the line above (" +
                        std::to_string(lastMs) +
                        " ms): two sessions in one file? Record each in a file of its own"};
      }
      lastMs = ms;
      const std::string_view kind = in.Take("what the line is");
      if (kind == "W" || kind == "R") {
        RecordedTransfer t = ParseTransfer(in, kind[0]);
        if (t.tookMs > ms) throw LineError{"it took longer than the recording has lasted"};
        t.line = number;
        t.atMs = ms;
        parsed.transfers.push_back(std::move(t));
      } else if (kind == "LIST" || kind == "DEVICE" || kind == "OPEN" || kind == "CONTROL" ||
                 kind == "OFFBUS") {
        RecordedCall c = ParseCall(in, kind);
        c.line = number;
        c.atMs = ms;
        parsed.calls.push_back(std::move(c));
      } else if (kind == "DRAINED") {
        // Read away by the driver library itself at an open: the tool never saw it.
        HexWord(in.Take("the bytes"));
        in.ExpectEnd();
      } else if (kind != "VIOLATION" && kind != "DIVERGE") {
        throw LineError{Quoted(kind) + " is not a kind of line of a recording"};
      }
    } catch (const LineError& problem) {
      error = "line " + std::to_string(number) + ": " + problem.what;
      return false;
    }
  }
  if (parsed.transfers.empty() && parsed.calls.empty()) {
    error = "it holds no line of a recording (no transfer and no device lookup)";
    return false;
  }
  recording = std::move(parsed);
  return true;
}

bool LoadRecording(const std::string& path, Recording& recording, std::string& error) {
  recording = {};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = path + ": cannot be read";
    return false;
  }
  std::string text;
  char buffer[65536];
  bool tooLarge = false;
  for (;;) {
    const size_t n = std::fread(buffer, 1, sizeof buffer, file);
    if (n == 0) break;
    if (text.size() + n > kMaxRecordingBytes) {
      tooLarge = true;
      break;
    }
    text.append(buffer, n);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    error = path + ": cannot be read";
    return false;
  }
  if (tooLarge) {
    error = path + ": larger than " + std::to_string(kMaxRecordingBytes >> 20) +
            " MB, more than a session";
    return false;
  }
  if (!ParseRecording(text, recording, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

std::string FormatRecording(const Recording& recording) {
  std::string text;
  size_t call = 0;
  auto flushCallsBefore = [&](uint32_t line) {
    for (; call < recording.calls.size() && recording.calls[call].line < line; ++call) {
      const RecordedCall& c = recording.calls[call];
      std::string body;
      switch (c.kind) {
        case RecordedCall::Kind::kList:
          body = trace::ListLine(c.number);
          break;
        case RecordedCall::Kind::kDevice:
          body = c.ok ? "DEVICE " + std::to_string(c.number) + ' ' + trace::EscapeText(c.id) + ' ' +
                            trace::EscapeText(c.path)
                      : trace::DeviceLine(c.number, nullptr, nullptr, 0);
          break;
        case RecordedCall::Kind::kOpenByPath:
          body = "OPEN " + trace::EscapeText(c.pipe) + " path " + trace::EscapeText(c.path) +
                 (c.ok ? " ok" : " failed");
          break;
        case RecordedCall::Kind::kOpenByIndex:
          body = "OPEN " + trace::EscapeText(c.pipe) + " index " + std::to_string(c.number) +
                 (c.ok ? " ok" : " failed");
          break;
        case RecordedCall::Kind::kControl:
          body = trace::ControlLine(c.number, c.ok);
          break;
        case RecordedCall::Kind::kOffBus:
          body = trace::OffBusLine(c.never ? std::nullopt : std::optional<uint32_t>(c.offMs));
          break;
      }
      text += trace::Stamped(c.atMs, body) + '\n';
    }
  };
  for (const RecordedTransfer& t : recording.transfers) {
    flushCallsBefore(t.line);
    trace::TransferLine line;
    line.ms = t.atMs;
    line.write = t.direction == 'W';
    line.length = t.length;
    line.done = t.done;
    line.ok = t.ok;
    line.bytes = t.bytes.data();
    line.byteCount = t.bytes.size();
    line.full = true;
    line.error = t.error.empty() ? nullptr : t.error.c_str();
    line.tookMs = t.tookMs;
    text += trace::FormatTransfer(line) + '\n';
  }
  flushCallsBefore(UINT32_MAX);
  return text;
}

}  // namespace zmr::sim

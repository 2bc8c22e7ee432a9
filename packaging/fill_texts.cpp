// SPDX-License-Identifier: MIT
// Writes a file of the packages from its template, with the texts of the string table and the
// terminal tool's exit statuses, so that each of them is written once in the tree. Built for and
// run on the build machine:
//
//   fill_texts [--xml] [--crlf] TEMPLATE OUTPUT
//
// In the template (a colon in each, so that CMake's configure_file leaves them alone):
//   @TEXT:<id>:<en|ja>@  the entry <id> of the string table in English or Japanese (its special
//                        characters escaped for XML with --xml)
//   @EXIT_STATUS:MAN@    the exit statuses as the list of a manual page's EXIT STATUS section
//   @EXIT_STATUS:TEXT@   the exit statuses as a plain-text table, with the closing message each
//                        stands for and what it means
// With --crlf every line of the output ends in "\r\n" (the template's ends may be either).
// The two lists end without a line break: the placeholder stands on a line of its own. Every
// other '@' is copied as it stands; a malformed @TEXT or an entry that is not in the table is an
// error.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ui/cli/exit_status.h"
#include "update/string_table.h"

namespace {

using zmr::platform::Language;

constexpr size_t kTextWidth = 92;     // the width of the plain-text table
constexpr size_t kStatusWidth = 7;    // "   18  "
constexpr size_t kMessageWidth = 32;  // the message's column, with the gap after it

bool failed = false;

void Fail(const std::string& what) {
  std::fprintf(stderr, "fill_texts: %s\n", what.c_str());
  failed = true;
}

std::string Xml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A text line of a manual page: a backslash is the escape character, and a line that starts
// with a full stop or an apostrophe would be a request.
std::string Roff(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\\' ? std::string("\\e") : std::string(1, c);
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

// `text` broken at spaces into lines of at most `width` characters (a longer word stands alone).
std::vector<std::string> Wrap(const std::string& text, size_t width) {
  std::vector<std::string> lines;
  std::istringstream words(text);
  std::string line;
  for (std::string word; words >> word;) {
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      lines.push_back(line);
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string ExitStatusMan() {
  std::string out;
  for (const zmr::cli::ExitStatusRow& row : zmr::cli::ExitStatusRows()) {
    out += ".TP\n.B " + std::to_string(row.status) + "\n";
    out += Roff(ExitStatusSummary(row, Language::English)) + "\n";
    const std::string detail = ExitStatusDetail(row, Language::English);
    if (!detail.empty()) out += Roff(detail) + "\n";
  }
  out.pop_back();
  return out;
}

// Three columns: the status, the first line of its closing message (or, for a status without
// one, what it means) and the explanation; the second and third wrapped within their columns.
std::string ExitStatusText() {
  std::string out;
  for (const zmr::cli::ExitStatusRow& row : zmr::cli::ExitStatusRows()) {
    const std::string shown = row.message != 0 ? ExitStatusMessageLine(row, Language::English)
                                               : ExitStatusSummary(row, Language::English);
    const std::vector<std::string> left = Wrap(shown, kMessageWidth - 2);
    const std::vector<std::string> right =
        Wrap(ExitStatusDetail(row, Language::English), kTextWidth - kStatusWidth - kMessageWidth);
    for (size_t i = 0; i < left.size() || i < right.size(); ++i) {
      std::string line;
      if (i == 0) {
        const std::string status = std::to_string(row.status);
        line = std::string(kStatusWidth - 2 - status.size(), ' ') + status + "  ";
      } else {
        line = std::string(kStatusWidth, ' ');
      }
      if (i < right.size()) {
        const std::string text = i < left.size() ? left[i] : std::string();
        line += text + std::string(kMessageWidth - text.size(), ' ') + right[i];
      } else {
        line += left[i];
      }
      out += line + "\n";
    }
  }
  out.pop_back();
  return out;
}

std::string Text(const std::string& spec, bool xml) {
  const size_t colon = spec.find(':');
  const std::string id = spec.substr(0, colon);
  const std::string language = colon == std::string::npos ? "" : spec.substr(colon + 1);
  char* end = nullptr;
  const unsigned long number = std::strtoul(id.c_str(), &end, 10);
  if (id.empty() || *end != '\0' || (language != "en" && language != "ja")) {
    Fail("bad placeholder @TEXT:" + spec + "@");
    return {};
  }
  const std::string text = zmr::LoadString(
      static_cast<uint32_t>(number), language == "ja" ? Language::Japanese : Language::English);
  if (text.empty()) Fail("no entry " + id + " in the string table");
  return xml ? Xml(text) : text;
}

}  // namespace

int main(int argc, char** argv) {
  bool xml = false;
  bool crlf = false;
  int first = 1;
  for (; first < argc && argv[first][0] == '-' && argv[first][1] == '-'; ++first) {
    const std::string option = argv[first];
    if (option == "--xml") {
      xml = true;
    } else if (option == "--crlf") {
      crlf = true;
    } else {
      break;
    }
  }
  if (argc - first != 2) {
    std::fprintf(stderr, "usage: fill_texts [--xml] [--crlf] TEMPLATE OUTPUT\n");
    return 2;
  }
  const char* templatePath = argv[first];
  const char* outputPath = argv[first + 1];
  std::ifstream in(templatePath, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "fill_texts: cannot read %s\n", templatePath);
    return 1;
  }
  std::ostringstream read;
  read << in.rdbuf();
  const std::string source = read.str();

  std::string out;
  size_t at = 0;
  for (size_t open = source.find('@'); open != std::string::npos; open = source.find('@', at)) {
    const size_t close = source.find('@', open + 1);
    const std::string name =
        close == std::string::npos ? "" : source.substr(open + 1, close - open - 1);
    out += source.substr(at, open - at);
    if (name.rfind("TEXT:", 0) == 0) {
      out += Text(name.substr(5), xml);
    } else if (name == "EXIT_STATUS:MAN") {
      out += ExitStatusMan();
    } else if (name == "EXIT_STATUS:TEXT") {
      out += ExitStatusText();
    } else {
      // Not one of ours (an address, a mail address): the '@' is text.
      out += '@';
      at = open + 1;
      continue;
    }
    at = close + 1;
  }
  out += source.substr(at);
  if (failed) return 1;

  if (crlf) {
    std::string lines;
    for (char c : out) {
      if (c == '\r') continue;
      if (c == '\n') lines += '\r';
      lines += c;
    }
    out = std::move(lines);
  }
  std::ofstream file(outputPath, std::ios::binary | std::ios::trunc);
  file << out;
  return file.good() ? 0 : 1;
}

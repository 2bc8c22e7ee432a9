// SPDX-License-Identifier: MIT
#include "ui/cli/run_json.h"

#include <nlohmann/json.hpp>

#include <cstdlib>

#include "images/image_set.h"
#include "update/string_table.h"
#include "update/version_text.h"

#ifndef ZMR_VERSION
#define ZMR_VERSION "0.0.0"
#endif

namespace zmr::cli {
namespace {

using json = nlohmann::ordered_json;

json TextOrNull(const std::string& text) {
  return text.empty() ? json(nullptr) : json(text);
}

// The images the run read something of; null when it read nothing.
json Versions(const std::array<std::string, kImageCount>& versions,
              const std::array<std::string, kImageCount>& checkSums) {
  json images = json::object();
  static constexpr const char* kKeys[kImageCount] = {"data1", "data2", "data3"};
  for (int i = 0; i < kImageCount; ++i) {
    if (versions[i].empty() && checkSums[i].empty()) continue;
    images[kKeys[i]] = {
        {"label", kImages[i].label}, {"version", versions[i]}, {"check_sum", checkSums[i]}};
  }
  return images.empty() ? json(nullptr) : images;
}

}  // namespace

std::string FormatRunJson(const RunJson& run) {
  json message = nullptr;
  if (run.messageId || !run.title.empty()) {
    message = {{"id", run.messageId ? json(*run.messageId) : json(nullptr)},
               {"title", run.title},
               {"text", run.text}};
  }
  const json object = {
      {"tool", {{"name", "zmr470-update-cli"}, {"version", ZMR_VERSION}}},
      {"exit_status", run.exitStatus},
      {"message", message},
      {"reason", run.reason},
      {"step", TextOrNull(run.step)},
      {"detail", run.detail},
      {"before", Versions(run.fields.beforeVersion, run.fields.beforeCheckSum)},
      {"after", Versions(run.fields.afterVersion, run.fields.afterCheckSum)},
      {"driver_folders",
       {{"TUsbPrIf", TextOrNull(run.linkedDriverFolder)},
        {"ZUsbXpIf", TextOrNull(run.loadedDriverFolder)}}},
      {"run_log", TextOrNull(run.runLog)},
  };
  // ASCII only, and a byte that is not valid UTF-8 as U+FFFD: valid JSON whatever the bytes.
  return object.dump(-1, ' ', true, json::error_handler_t::replace) + "\n";
}

std::string EnglishText(const Message& message, platform::Language shownIn,
                        const DisplayFields& fields) {
  if (shownIn == platform::Language::English) return message.text;
  const std::string text = LoadString(message.stringId, platform::Language::English);
  if (message.stringId != IDS_NOT_APPLICABLE) return text;
  const uint32_t checkSum =
      static_cast<uint32_t>(std::strtoul(fields.beforeCheckSum[kData1].c_str(), nullptr, 16));
  return FormatVersionMessage(text, fields.beforeVersion[kData1], checkSum);
}

std::string FolderOf(const std::string& file) {
  const size_t cut = file.find_last_of("/\\");
  if (cut == std::string::npos) return file.empty() ? std::string() : std::string(".");
  return cut == 0 ? file.substr(0, 1) : file.substr(0, cut);
}

}  // namespace zmr::cli

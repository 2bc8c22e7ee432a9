// SPDX-License-Identifier: MIT
#include "update/string_table.h"

#include "update/update_view.h"

namespace zmr {
namespace {

struct Entry {
  uint32_t id;
  const char* english;
  const char* japanese;
};

// UTF-8 texts; '\n' separates the lines of a message.
constexpr Entry kEntries[] = {
    {IDS_ABOUTBOX, "&About...", "&About..."},
    {IDS_UPGRADE, "Upgrade", "Upgrade"},
    {IDS_INITIALIZING, "Initializing...", "Initializing..."},
    {IDS_VERSION_CHECK, "Version Check...", "Version Check..."},
    {IDS_NOT_CONNECTED,
     "Printer is not connected.\nPlease check a cable connection, and turn the printer OFF and "
     "then ON, and download again.",
     "プリンターが接続されていません。\nケーブルの確認とプリンターの電源のOFF/"
     "ONを行い、再度ダウンロードを行ってください。"},
    {IDS_TWO_PRINTERS,
     "Two or more printers are connected.\nPlease connect only one printer, and download again.",
     "プリンターが２台以上接続されています。\n接続プリンターを１台にして、再度ダウンロードを行"
     "ってください。"},
    {IDS_PRINTING, "It is under printing.\nPlease end printing and download.",
     "印刷中です。\n印刷を完了して、ダウンロードを行ってください。"},
    {IDS_PRINTER_ERROR, "Printer Error.\nPlease remove an error and download again.",
     "プリンターにエラーが発生しています。\nエラーを解除して、ダウンロードを行ってください。"},
    {IDS_VERSION_FAILED,
     "Failed Version Information!\nPlease turn the printer OFF and then ON, and download again.",
     "バージョン情報が取得できません。\nプリンターの電源をOFF/"
     "ONして、再度ダウンロードを行ってください。"},
    {IDS_NEWEST_VERSION, "DATA in the printer is the newest version.",
     "現在のDATAのバージョンは最新です。"},
    {IDS_NOT_APPLICABLE, "This program is not applicable on this printer.\nDATA1(M) : %s / %04X",
     "現在のDATAはバージョンアップできません。\nDATA1(M) : %s / %04X"},
    // The Japanese text has no closing "。"; it is shown as it stands.
    {IDS_TIME_OUT,
     "Failed! Time out Error!\nPlease turn the printer OFF and then ON, and download again.",
     "タイムアウトしました。\nプリンターの電源をOFF/ONして、再度ダウンロードを行ってください"},
    {IDS_FAILED, "Failed!\nPlease turn the printer OFF and then ON, and download again.",
     "ダウンロードに失敗しました。\nプリンターの電源をOFF/"
     "ONして、再度ダウンロードを行ってください。"},
    {IDS_PLEASE_WAIT, "Please wait.", "しばらくお待ちください"},
    {IDS_LOADING_DATA1, "Loading DATA1(M)...\nDo not power off the printer during download.",
     "DATA1(M)をダウンロードしています。\nプリンターの電源をOFFしないでください。"},
    {IDS_LOADING_DATA2, "Loading DATA2(T)...\nDo not power off the printer during download.",
     "DATA2(T)をダウンロードしています。\nプリンターの電源をOFFしないでください。"},
    {IDS_LOADING_DATA3, "Loading DATA3(F)...\nDo not power off the printer during download.",
     "DATA3(F)をダウンロードしています。\nプリンターの電源をOFFしないでください。"},
    {IDS_SUCCESS, "Success!\nThis DATA was downloaded properly on printer.",
     "ダウンロードは正常に行えました。"},
};

}  // namespace

std::string LoadString(uint32_t id, platform::Language language) {
  for (const Entry& entry : kEntries) {
    if (entry.id == id) {
      return language == platform::Language::Japanese ? entry.japanese : entry.english;
    }
  }
  return {};
}

// Titles are fixed and not in the table: the same in every language.
const char* MessageTitleText(MessageTitle title) {
  switch (title) {
    case MessageTitle::Error:
      return "Error";
    case MessageTitle::VersionCheck:
      return "Version Check";
    case MessageTitle::Success:
      return "Success!";
  }
  return "";
}

}  // namespace zmr

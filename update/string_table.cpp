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

    // This tool's own texts.
    {IDS_SHUTDOWN_REASON, "Updating the printer. Do not turn off the computer.",
     "プリンターを更新しています。コンピューターの電源を切らないでください。"},
    {IDS_CANNOT_INTERRUPT,
     "The update cannot be interrupted now: the printer is in download mode. About %1 s left.",
     "プリンターがダウンロードモードのため、今は中断できません。残り約%1秒で終わります。"},
    {IDS_LOCK_NOT_TAKEN, "single-instance lock not taken: %1",
     "二重起動を防ぐロックを取得できませんでした: %1"},
    {IDS_RUN_LOG_WRITTEN, "Run log: %1", "実行ログ: %1"},

    {IDS_NAME_VERSION, "version", "バージョン"},
    {IDS_NAME_CHECK_SUM, "check sum", "チェックサム"},
    {IDS_NAME_OWN_FIELD, "%1 %2 carried by this tool", "このツールの%1の%2"},
    {IDS_NAME_BEFORE_FIELD, "%1 %2 before the update", "更新前の%1の%2"},
    {IDS_NAME_AFTER_FIELD, "%1 %2 after the update", "更新後の%1の%2"},
    {IDS_DESCRIBE_OWN_BLOCK, "The data this tool writes to the printer",
     "このツールがプリンターに書き込むデータ"},
    {IDS_DESCRIBE_BEFORE_BLOCK,
     "Read from the printer before the download; empty until an update is tried",
     "ダウンロードの前にプリンターから読み取った値。更新するまでは空です"},
    {IDS_DESCRIBE_AFTER_BLOCK,
     "Read back from the printer after the download; empty until an update is tried",
     "ダウンロードの後にプリンターから読み取った値。更新するまでは空です"},
    {IDS_DESCRIBE_DOWNLOAD, "Updates the printer's data; takes about a minute",
     "プリンターのデータを更新します。約1分かかります"},
    {IDS_NAME_PROGRESS, "Progress", "進行状況"},

    {IDS_EXIT_NO_OUTCOME, "The update ended without a closing message.",
     "更新が終了メッセージなしで終わりました。"},
    {IDS_EXIT_USAGE, "Usage error: an unknown option or an operand.",
     "使い方の誤り: 不明なオプションか、余分な引数があります。"},
    {IDS_EXIT_ALREADY_RUNNING, "Another instance of the tool is running; nothing is printed.",
     "別のツールが実行中です。何も表示しません。"},
    {IDS_EXIT_DRIVER_NOT_FOUND, "\"%1\": the driver library is missing.",
     "\"%1\": ドライバーライブラリがありません。"},
    {IDS_EXIT_OUTPUT_FAILED, "The help or version text could not be written.",
     "ヘルプまたはバージョンの表示を書き出せませんでした。"},
    {IDS_EXPLAIN_NO_OUTCOME, "This does not happen in a sound run.",
     "正常な実行では起こりません。"},
    {IDS_EXPLAIN_ALREADY_RUNNING,
     "The terminal tool and the desktop tool share one single-instance lock, so the two never "
     "drive the printer at once.",
     "端末版とデスクトップ版のツールは二重起動を防ぐロックを共有しているため、同時にプリンターを"
     "操作することはありません。"},
    {IDS_EXPLAIN_DRIVER_NOT_FOUND,
     "The driver library that the tool loads by name is missing or lacks one of its entry "
     "points.",
     "名前で読み込むドライバーライブラリがないか、エントリーポイントが欠けています。"},
    {IDS_EXPLAIN_SUCCESS,
     "The images were sent, and the versions read back from the printer are the ones this tool "
     "carries.",
     "データを送り、プリンターから読み戻したバージョンがこのツールのものと一致しました。"},
    {IDS_EXPLAIN_NOT_CONNECTED,
     "No printer was found, or it could not be opened (also after the switch into download "
     "mode). Check the cable, switch the printer off and on, and try again.",
     "プリンターが見つからないか、開けませんでした（ダウンロードモードへの切り替えの後も含みます）"
     "。ケーブルを確認し、プリンターの電源を入れ直してから、もう一度行ってください。"},
    {IDS_EXPLAIN_TWO_PRINTERS, "Connect only one ZMR470 during an update.",
     "更新中は ZMR470 を１台だけ接続してください。"},
    {IDS_EXPLAIN_PRINTING, "Let the printer finish printing, then try again.",
     "印刷が終わってから、もう一度行ってください。"},
    {IDS_EXPLAIN_PRINTER_ERROR, "Clear the error on the printer, then try again.",
     "プリンターのエラーを解除してから、もう一度行ってください。"},
    {IDS_EXPLAIN_VERSION_FAILED,
     "The printer did not report its versions. Switch it off and on, and try again.",
     "プリンターがバージョンを返しませんでした。電源を入れ直してから、もう一度行ってください。"},
    {IDS_EXPLAIN_NEWEST_VERSION,
     "The printer already has the DATA1(M) version this tool carries: nothing to do.",
     "プリンターには、このツールと同じ DATA1(M) のバージョンが既に入っています。更新は不要です。"},
    {IDS_EXPLAIN_NOT_APPLICABLE,
     "The printer's DATA1(M) version (shown in the message) is not one this tool updates.",
     "プリンターの DATA1(M) のバージョン（メッセージに表示）は、このツールで更新できるものでは"
     "ありません。"},
    {IDS_EXPLAIN_TIME_OUT,
     "An image took longer than %1 s to send. Switch the printer off and on, and try again.",
     "データの送信に%1秒より長くかかりました。プリンターの電源を入れ直してから、もう一度行って"
     "ください。"},
    {IDS_EXPLAIN_FAILED,
     "The printer gave no status or stayed busy, did not take the switch into download mode or "
     "an image, or read back other versions than it was sent; or the images were verified but the "
     "command to leave download mode was not sent. Switch the printer off and on, and try again.",
     "プリンターが状態を返さないか処理中のままだった、ダウンロードモードへの切り替えかデータを"
     "受け付けなかった、または送ったものと違うバージョンを読み戻しました。データは照合できたが"
     "ダウンロードモードを終えるコマンドを送れなかった場合も含みます。プリンターの電源を入れ直して"
     "から、もう一度行ってください。"},

    {IDS_APP_NAME, "ZMR470 Update Tool", "ZMR470 アップデートツール"},
    {IDS_APP_GENERIC_NAME, "Printer Data Updater", "プリンターデータ更新"},
    {IDS_APP_COMMENT, "Update the data images of a TALVERON ZMR470 printer over USB",
     "USB で接続した TALVERON ZMR470 プリンターのデータを更新します"},
    {IDS_APP_KEYWORDS, "printer;firmware;update;download;ZMR470;TALVERON;",
     "プリンター;ファームウェア;更新;ダウンロード;"},
    {IDS_APP_SUMMARY, "Update the data of a ZMR470 printer",
     "ZMR470 プリンターのデータを更新します"},
    {IDS_APP_DESCRIPTION,
     "A one-button tool that brings a TALVERON ZMR470 USB printer up to date. It carries three "
     "data images, DATA1(M), DATA2(T) and DATA3(F), finds the one printer on the USB bus, checks "
     "that it is idle and free of errors, switches it into download mode, checks that its version "
     "may be replaced, sends the images, reads the versions back, verifies them and reports the "
     "outcome in one message.",
     "TALVERON ZMR470 USB プリンターをボタン一つで最新にするツールです。DATA1(M)、DATA2(T)、"
     "DATA3(F) の三つのデータを持ち、USB 上のプリンターを見つけ、状態とバージョンを確かめてから"
     "データを送り、読み戻したバージョンを照合して結果を一つのメッセージで知らせます。"},
    {IDS_APP_DESCRIPTION_CLI,
     "The same update runs without a window as zmr470-update-cli, for headless machines and "
     "scripts. The package zmr470-update-simulator adds a simulated printer to try the tool with.",
     "同じ更新はウィンドウなしで zmr470-update-cli としても実行できます。zmr470-update-simulator "
     "パッケージを入れると、模擬プリンターで試すことができます。"},

    // The notices and the version resource.
    {IDS_FILE_DESCRIPTION, "TALVERON ZMR470 Update Tool", "TALVERON ZMR470 アップデートツール"},
    {IDS_RUN_LOG_NOT_WRITTEN, "The run log cannot be written; the update goes on without it:",
     "実行ログを書き込めません。ログなしで更新を続けます:"},
    {IDS_USB_TIMEOUT_INVALID, "is not a number of milliseconds from 1 to 600000; 5000 ms is used.",
     "は 1 から 600000 までのミリ秒の数ではありません。5000 ミリ秒を使います。"},
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

std::string FillText(std::string_view text, std::initializer_list<std::string_view> values) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      const size_t which = size_t(text[i + 1] - '1');
      if (which < values.size()) {
        out += values.begin()[which];
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
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

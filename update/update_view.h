#pragma once
// What the update procedure needs from a front end: the main window's fields, its Download
// button, message boxes and progress windows. The Qt window and the terminal implement it; so do
// the tests. Every call comes on the thread that runs the procedure.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "images/image_set.h"

namespace zmr {

enum class MessageTitle { Error, VersionCheck, Success };
enum class MessageIcon { Warning, Information };

// "Error", "Version Check", "Success!" (the same in every language).
const char* MessageTitleText(MessageTitle title);

struct Message {
  uint32_t stringId;  // the string-table entry the text came from
  std::string text;   // as loaded (and, for 2006, formatted); lines separated by '\n'
  MessageTitle title;
  MessageIcon icon;
};

// The twelve Before/After display strings, by image (kData1, kData2, kData3).
struct DisplayFields {
  std::array<std::string, kImageCount> beforeVersion;
  std::array<std::string, kImageCount> beforeCheckSum;
  std::array<std::string, kImageCount> afterVersion;
  std::array<std::string, kImageCount> afterCheckSum;
};

// Control IDs of the main window's value fields, by image.
inline constexpr std::array<int, kImageCount> kOwnVersionControl = {1005, 1006, 1007};
inline constexpr std::array<int, kImageCount> kOwnCheckSumControl = {1003, 1008, 1011};
inline constexpr std::array<int, kImageCount> kBeforeVersionControl = {1014, 1016, 1018};
inline constexpr std::array<int, kImageCount> kBeforeCheckSumControl = {1015, 1017, 1019};
inline constexpr std::array<int, kImageCount> kAfterVersionControl = {1004, 1010, 1012};
inline constexpr std::array<int, kImageCount> kAfterCheckSumControl = {1002, 1009, 1013};
inline constexpr int kDownloadButtonControl = 1000;

// The toolkit's side of one progress window: a caption, a two-line message (control 1005), a bar
// (1003) and a percentage label (1004, initially " 0 %"). CProgressDlg drives it.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  // Shows the window over the main window. False when it cannot be made.
  virtual bool Create() = 0;
  // Closes the window (called once, after the owner has been enabled again).
  virtual void Destroy() = 0;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetMessage(const std::string& text) = 0;
  virtual void SetBarRange(int32_t lower, int32_t upper) = 0;
  virtual void SetBarStep(int32_t step) = 0;
  // Returns the bar's previous position.
  virtual int32_t SetBarPosition(int32_t position) = 0;
  virtual std::string PercentText() const = 0;
  virtual void SetPercentText(const std::string& text) = 0;
  // Handles pending window events (repaint, input to the progress window) and returns.
  virtual void DrainEvents() = 0;
};

class UpdateView {
 public:
  virtual ~UpdateView() = default;
  // Shows the twelve display strings (and nothing else).
  virtual void RefreshFields(const DisplayFields& fields) = 0;
  virtual void EnableDownloadButton(bool enable) = 0;
  virtual void FocusDownloadButton() = 0;
  // The main window as the owner of progress windows: disabled while one exists.
  virtual bool IsWindowEnabled() const = 0;
  virtual void EnableWindow(bool enable) = 0;
  // Shows one message box owned by the main window and returns when the user has closed it.
  virtual void ShowMessage(const Message& message) = 0;
  // A new, not yet created progress window owned by the main window.
  virtual std::unique_ptr<ProgressWindow> MakeProgressWindow() = 0;
};

}  // namespace zmr

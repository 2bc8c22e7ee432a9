// SPDX-License-Identifier: MIT
// Writes the dialog templates of the main window and the progress window as resource script
// statements, from the table the Qt windows are laid out from, so that each control's place
// exists once in the tree. Built for and run on the build machine: dialog_templates_rc OUTPUT.rc
//
// The statements need <windows.h> and <commctrl.h>, which the including script has read.
#include <cstdio>
#include <fstream>
#include <string>

#include "ui/dialog_templates.h"

namespace {

using zmr::ui::ControlKind;
using zmr::ui::ControlTemplate;
using zmr::ui::DialogTemplate;

// A narrow resource string; the templates' texts are ASCII (false when one is not).
bool Quote(const char* text, std::string& out) {
  out = "\"";
  for (const char* c = text; *c; ++c) {
    if (static_cast<unsigned char>(*c) >= 0x80 || *c == '\n') return false;
    out += *c == '"' ? std::string("\"\"") : *c == '\\' ? std::string("\\\\") : std::string(1, *c);
  }
  out += "\"";
  return true;
}

std::string Place(const ControlTemplate& control) {
  return std::to_string(control.rect.x) + ", " + std::to_string(control.rect.y) + ", " +
         std::to_string(control.rect.width) + ", " + std::to_string(control.rect.height);
}

// The control's statement: the same keywords a hand-written script uses, so the template reads
// as one and compiles to the same bytes.
bool WriteControl(std::ofstream& out, const ControlTemplate& control) {
  std::string text;
  if (!Quote(control.text, text)) return false;
  const std::string id = std::to_string(control.id);
  std::string styles;
  const auto add = [&styles](const char* style) {
    styles += styles.empty() ? ", " : " | ";
    styles += style;
  };
  switch (control.kind) {
    case ControlKind::Static:
      if (control.style & zmr::ui::kSunken) add("SS_SUNKEN");
      if (control.style & zmr::ui::kHidden) add("NOT WS_VISIBLE");
      // A static breaks its text into lines by itself.
      out << "    " << (control.style & zmr::ui::kCentred ? "CTEXT" : "LTEXT") << " " << text
          << ", " << id << ", " << Place(control) << styles << "\n";
      return true;
    case ControlKind::PushButton:
      if (control.style & zmr::ui::kMultiLine) add("BS_MULTILINE");
      if (control.style & zmr::ui::kHidden) add("NOT WS_VISIBLE");
      out << "    " << (control.style & zmr::ui::kDefault ? "DEFPUSHBUTTON" : "PUSHBUTTON") << " "
          << text << ", " << id << ", " << Place(control) << styles << "\n";
      return true;
    case ControlKind::ProgressBar: {
      std::string style = control.style & zmr::ui::kBordered ? "WS_BORDER" : "0";
      if (control.style & zmr::ui::kHidden) style += " | NOT WS_VISIBLE";
      out << "    CONTROL " << text << ", " << id << ", PROGRESS_CLASS, " << style << ", "
          << Place(control) << "\n";
      return true;
    }
  }
  return false;
}

// Every template is a pop-up with a title bar, a system menu and a modal frame, placed by the
// code (it gives no position).
bool WriteDialog(std::ofstream& out, const DialogTemplate& dialog) {
  out << dialog.id << " DIALOGEX 0, 0, " << dialog.width << ", " << dialog.height << "\n";
  out << "STYLE DS_MODALFRAME | WS_POPUP"
      << (dialog.style & zmr::ui::kVisibleAtCreation ? " | WS_VISIBLE" : "")
      << " | WS_CAPTION | WS_SYSMENU\n";
  if (dialog.style & zmr::ui::kOnTaskBar) out << "EXSTYLE WS_EX_APPWINDOW\n";
  std::string text;
  if (*dialog.caption) {
    if (!Quote(dialog.caption, text)) return false;
    out << "CAPTION " << text << "\n";
  }
  if (!Quote(zmr::ui::kDialogFontFace, text)) return false;
  out << "FONT " << zmr::ui::kDialogFontPoints << ", " << text << "\n";
  out << "BEGIN\n";
  for (const ControlTemplate& control : dialog.controls)
    if (!WriteControl(out, control)) return false;
  out << "END\n\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dialog_templates_rc OUTPUT.rc\n");
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << "// Made by the build from ui/dialog_templates.h; not to be edited.\n\n";
  if (!WriteDialog(out, zmr::ui::kMainWindowTemplate) ||
      !WriteDialog(out, zmr::ui::kProgressWindowTemplate)) {
    std::fprintf(stderr, "dialog_templates_rc: a template text is not plain ASCII on one line\n");
    return 1;
  }
  return out.good() ? 0 : 1;
}

// SPDX-License-Identifier: MIT
#include "ui/qt/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "ui/qt/app_icon.h"
#include "ui/qt/dialog_units.h"

namespace zmr::ui {
namespace {

constexpr int kIconPixels = 32;  // an icon control shows the icon at its own size

}  // namespace

CAboutDlg::CAboutDlg(QWidget* owner, platform::Language language) : QDialog(owner) {
  setObjectName(QStringLiteral("100"));
  setWindowTitle(QStringLiteral("About"));
  setFont(DialogFont());
  setWindowIcon(AppIcon());
  const DialogUnits du(font(), language);
  setFixedSize(du.X(229), du.Y(54));

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("icon"));
  icon->setPixmap(AppIconPixmap(kIconPixels));
  icon->setGeometry(du.X(11), du.Y(17), kIconPixels, kIconPixels);

  auto* text = new QLabel(QStringLiteral("TALVERON ZMR470 Update Tool\nVer.1.02"), this);
  text->setTextFormat(Qt::PlainText);
  text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  du.Place(text, 40, 22, 130, 16);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setDefault(true);
  du.Place(ok, 172, 7, 50, 14);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  ok->setFocus();

  CentreWindow(this, owner ? owner->window() : nullptr);
}

}  // namespace zmr::ui

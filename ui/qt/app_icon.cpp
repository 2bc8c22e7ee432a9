// SPDX-License-Identifier: MIT
#include "ui/qt/app_icon.h"

#include <QString>

// The resources live in this static library; a program that links it must register them.
static void InitIconResources() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  Q_INIT_RESOURCE(icons);
}

namespace zmr::ui {

QIcon AppIcon() {
  InitIconResources();
  QIcon icon;
  for (const int size : {16, 32, 48, 256})
    icon.addFile(QStringLiteral(":/icons/icon-%1.png").arg(size), QSize(size, size));
  return icon;
}

QPixmap AppIconPixmap(int size) {
  return AppIcon().pixmap(QSize(size, size));
}

}  // namespace zmr::ui

// SPDX-License-Identifier: MIT
#include "ui/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace zmr::ui {

bool InstallQtTranslations(platform::Language language) {
  if (language != platform::Language::Japanese) return false;
  // Lives as long as the application; installed once however often this is called.
  static QTranslator* translator = nullptr;
  if (translator) return true;
  auto* loaded = new QTranslator(QCoreApplication::instance());
  if (!loaded->load(QStringLiteral("qtbase_ja"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete loaded;
    return false;
  }
  QCoreApplication::installTranslator(loaded);
  translator = loaded;
  return true;
}

}  // namespace zmr::ui

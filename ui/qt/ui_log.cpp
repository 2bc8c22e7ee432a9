// SPDX-License-Identifier: MIT
#include "ui/qt/ui_log.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace zmr::ui {
namespace {

const char* IconName(QMessageBox::Icon icon) {
  switch (icon) {
    case QMessageBox::Warning:
      return "warning";
    case QMessageBox::Information:
      return "information";
    case QMessageBox::Critical:
      return "critical";
    case QMessageBox::Question:
      return "question";
    case QMessageBox::NoIcon:
      break;
  }
  return "none";
}

}  // namespace

UiLog::UiLog(const QString& path) : path_(path) {
  QCoreApplication::instance()->installEventFilter(this);
}

UiLog::~UiLog() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

UiLog* UiLog::FromEnvironment(QObject* parent) {
  const QString path = qEnvironmentVariable("ZMR470_UI_LOG");
  if (path.isEmpty()) return nullptr;
  auto* log = new UiLog(path);
  log->setParent(parent);
  return log;
}

bool UiLog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->isWindow()) {
      if (auto* box = qobject_cast<QMessageBox*>(widget)) {
        QString text = box->text();
        text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
        Write(QStringLiteral("message\t%1\t%2\t%3")
                  .arg(box->windowTitle(), QLatin1String(IconName(box->icon())), text));
        QTimer::singleShot(0, box, [box] { box->done(QMessageBox::Ok); });
      } else if (widget->windowType() != Qt::ToolTip) {
        Write(QStringLiteral("window\t%1\t%2").arg(widget->objectName(), widget->windowTitle()));
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

void UiLog::Write(const QString& line) {
  const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
  if (path_ == QLatin1String("-")) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
    return;
  }
  QFile file(path_);
  if (file.open(QIODevice::WriteOnly | QIODevice::Append)) file.write(bytes);
}

}  // namespace zmr::ui

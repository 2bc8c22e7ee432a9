// SPDX-License-Identifier: MIT
// Draws the tool's icon (a printer taking a download) into PNG files of the sizes the windows and
// the desktop's icon theme use. The PNGs are kept in this folder; the windows' sizes are built
// into the program through icons.qrc, and all are installed into the hicolor theme. Run this
// again after changing the drawing:
//   cmake --build <build> --target zmr_draw_icon && <build>/bin/zmr_draw_icon ui/icons
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

// Drawn on a 64 x 64 grid and scaled, so every size has the same picture.
QImage DrawIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);

  // Paper going into the printer.
  p.setPen(QPen(QColor(0x5a, 0x63, 0x70), 1.5));
  p.setBrush(QColor(0xfb, 0xfb, 0xf7));
  p.drawRect(QRectF(17, 5, 30, 22));
  p.setPen(QPen(QColor(0x9a, 0xa5, 0xb1), 2));
  p.drawLine(QLineF(22, 12, 42, 12));
  p.drawLine(QLineF(22, 18, 36, 18));

  // The printer's body.
  QLinearGradient body(0, 22, 0, 52);
  body.setColorAt(0, QColor(0x4b, 0x5d, 0x73));
  body.setColorAt(1, QColor(0x26, 0x32, 0x41));
  p.setPen(QPen(QColor(0x1b, 0x24, 0x30), 1.5));
  p.setBrush(body);
  p.drawRoundedRect(QRectF(5, 22, 54, 28), 5, 5);
  // Output slot and status light.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x12, 0x18, 0x20));
  p.drawRoundedRect(QRectF(13, 40, 30, 4), 1.5, 1.5);
  p.setBrush(QColor(0x7d, 0xd8, 0x5a));
  p.drawEllipse(QRectF(48, 28, 5, 5));

  // The download badge: a round arrow pointing down into the printer.
  p.setPen(QPen(Qt::white, 2.5));
  p.setBrush(QColor(0x1f, 0x8f, 0xd6));
  p.drawEllipse(QRectF(36, 36, 26, 26));
  QPainterPath arrow;
  arrow.moveTo(46.5, 41);
  arrow.lineTo(51.5, 41);
  arrow.lineTo(51.5, 49);
  arrow.lineTo(56, 49);
  arrow.lineTo(49, 57);
  arrow.lineTo(42, 49);
  arrow.lineTo(46.5, 49);
  arrow.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(arrow);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
  // 16, 32, 48 and 256 for the Qt windows; 16, 20, 24, 32, 40, 48, 64 and 256 for icon 128 of
  // the Windows tool (ui/win32/make_icon.py); the theme's sizes for the desktop's icon theme.
  for (const int size : {16, 20, 22, 24, 32, 40, 48, 64, 128, 256}) {
    const QString file = folder.filePath(QStringLiteral("icon-%1.png").arg(size));
    if (!DrawIcon(size).save(file)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}

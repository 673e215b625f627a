// SPDX-License-Identifier: MIT
#include "viewer/ui/artwork.h"

#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace lorvane::ui {
namespace {

// '#' black, 'o' white, anything else transparent.
constexpr const char* kSplitCursor[16] = {
    ".......o........",  //
    "......o#o.......",  //
    ".....o###o......",  //
    "....o#####o.....",  //
    "......o#o.......",  //
    "oooooooooooooo..",  //
    "o############o..",  //
    "oooooooooooooo..",  //
    "o############o..",  //
    "oooooooooooooo..",  //
    "......o#o.......",  //
    "....o#####o.....",  //
    ".....o###o......",  //
    "......o#o.......",  //
    ".......o........",  //
    "................",  //
};
constexpr int kCursorSize = 16;
constexpr int kHotSpot = 7;

}  // namespace

QIcon ProgramIcon() {
  QSvgRenderer renderer(QStringLiteral(":/lorvane/icons/lorvane.svg"));
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

QCursor SplitCursor() {
  QImage bits(kCursorSize, kCursorSize, QImage::Format_Mono);
  QImage mask(kCursorSize, kCursorSize, QImage::Format_Mono);
  // Index 1 is black: a set bit draws black, a set mask bit makes the pixel opaque.
  const QList<QRgb> colours = {qRgb(255, 255, 255), qRgb(0, 0, 0)};
  bits.setColorTable(colours);
  mask.setColorTable(colours);
  bits.fill(0);
  mask.fill(0);
  for (int y = 0; y < kCursorSize; ++y) {
    for (int x = 0; x < kCursorSize; ++x) {
      const char c = kSplitCursor[y][x];
      bits.setPixel(x, y, c == '#' ? 1 : 0);
      mask.setPixel(x, y, c == '#' || c == 'o' ? 1 : 0);
    }
  }
  return QCursor(QBitmap::fromImage(bits), QBitmap::fromImage(mask), kHotSpot, kHotSpot);
}

}  // namespace lorvane::ui

// SPDX-License-Identifier: MIT
// Renders the program's SVG icon as a square PNG, for the icon theme folders.
//   usage: render-icon ICON.svg SIZE OUT.png
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: render-icon ICON.svg SIZE OUT.png\n", stderr);
    return 2;
  }
  const int size = std::atoi(argv[2]);
  QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
  if (!renderer.isValid() || size <= 0) {
    std::fprintf(stderr, "render-icon: %s: not an SVG image\n", argv[1]);
    return 1;
  }
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter);
  painter.end();
  if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
    std::fprintf(stderr, "render-icon: %s: cannot be written\n", argv[3]);
    return 1;
  }
  return 0;
}

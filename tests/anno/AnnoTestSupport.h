#pragma once

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRect>

#include "display/PaneWindow.h"

namespace annotest {

// A pane that only records what the annotation code asks of it.
class FakePane : public CPaneWindow {
 public:
  QRect clientRect() const override { return QRect(0, 0, 640, 480); }
  void invalidate() override { ++invalidations; }
  void invalidateRect(const QRect& /*rect*/) override { ++invalidations; }
  void beginCapture() override {
    ++captures;
    captured = true;
  }
  void endCapture() override {
    ++releases;
    captured = false;
  }
  QPoint cursorPos() const override { return cursor; }
  void setCursorPos(const QPoint& point) override { cursor = point; }

  int invalidations = 0;
  int captures = 0;
  int releases = 0;
  bool captured = false;
  QPoint cursor;
};

// Text needs the font database, which only a GUI application object provides.
inline bool CanDrawText() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

inline QImage BlackImage(int width = 320, int height = 240) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::black);
  return image;
}

inline bool IsBlack(const QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) != qRgb(0, 0, 0)) return false;
    }
  }
  return true;
}

// Number of non-black pixels inside `area`.
inline int LitPixels(const QImage& image, const QRect& area) {
  int lit = 0;
  const QRect clipped = area.intersected(image.rect());
  for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
    for (int x = clipped.left(); x <= clipped.right(); ++x) {
      if (image.pixel(x, y) != qRgb(0, 0, 0)) ++lit;
    }
  }
  return lit;
}

}  // namespace annotest

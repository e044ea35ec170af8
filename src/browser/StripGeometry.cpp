#include "browser/StripGeometry.h"

#include <algorithm>

namespace strip {

namespace {

constexpr int kRowLeft = 28;
constexpr int kGridLeft = 23;

int clampedCount(int count) { return std::clamp(count, 0, kMaxWindows); }

}  // namespace

int FirstRowCount(int stripWidth, int thumbnailWidth) {
  if (thumbnailWidth <= 0) return 0;
  return clampedCount((stripWidth - 55) / (thumbnailWidth + kGap));
}

int RowCount(int stripWidth, int side) {
  if (side <= 0) return 0;
  return clampedCount((stripWidth - 56) / (side + kGap));
}

QRect RowWindowRect(int index, int count, int stripHeight, int width, int height) {
  return QRect(kRowLeft + count / 2 + index * (width + kGap), (stripHeight - height) / 2, width,
               height);
}

QList<QRect> GridWindowRects(const QSize& strip, int columns, int rows) {
  QList<QRect> rects;
  if (columns <= 0 || rows <= 0) return rects;
  const int cellWidth = (strip.width() - 2 * kGridLeft) / columns;
  const int cellHeight = strip.height() / rows;
  const int count = std::min(columns * rows, kMaxWindows);
  int x = kGridLeft;
  int y = 0;
  for (int cell = 0; cell < count; ++cell) {
    rects.append(QRect(x + kGap, y + kGap, std::max(0, cellWidth - 2 * kGap),
                       std::max(0, cellHeight - 2 * kGap)));
    x += cellWidth;
    if ((cell + 1) % columns == 0) {
      x = kGridLeft;
      y += cellHeight;
    }
  }
  return rects;
}

}  // namespace strip

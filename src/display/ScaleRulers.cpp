#include "display/ScaleRulers.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "display/OutlinedText.h"
#include "display/OverlayText.h"
#include "image/Scale.h"

namespace rulers {

namespace {

const QColor kGrey(200, 200, 200);

// A box given by its edges with the right and bottom edge outside it.
QRect box(int left, int top, int right, int bottom) {
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

}  // namespace

QRect Segment::pixels() const {
  if (from.y() == to.y()) {
    if (to.x() > from.x()) return QRect(QPoint(from.x(), from.y()), QPoint(to.x() - 1, from.y()));
    if (to.x() < from.x()) return QRect(QPoint(to.x() + 1, from.y()), QPoint(from.x(), from.y()));
    return {};
  }
  if (to.y() > from.y()) return QRect(QPoint(from.x(), from.y()), QPoint(from.x(), to.y() - 1));
  return QRect(QPoint(from.x(), to.y() + 1), QPoint(from.x(), from.y()));
}

float PixelsPerCm(double cmPerPixel, float zoom) {
  return CScale(zoom).Divide(static_cast<float>(1.0 / cmPerPixel));
}

int LabelFontTenths(int displayHeight) {
  if (displayHeight < 40) return 20;
  if (displayHeight > 500) return 120;
  return 20 + static_cast<int>((displayHeight - 40) * 0.21739130434782608);
}

Ruler Layout(Orientation orientation, const QSize& client, double cmPerPixel, float zoom) {
  Ruler ruler;
  ruler.orientation = orientation;
  const bool vertical = orientation == Orientation::Vertical;
  const int extent = vertical ? client.height() : client.width();
  if (!(cmPerPixel > 0) || !(zoom > 0) || extent <= 10) return ruler;

  const float perCm = PixelsPerCm(cmPerPixel, zoom);
  for (int k = 1; k <= 10; ++k) ruler.lengths[k - 1] = static_cast<int>(k * perCm);
  const auto length = [&](int k) { return ruler.lengths[static_cast<std::size_t>(k - 1)]; };

  const int limit = extent / 2 - 20;
  int n = 10;
  for (int smaller : {5, 3, 1}) {
    if (length(n) <= limit) break;
    n = smaller;
  }
  ruler.count = n;
  const int full = length(n);
  ruler.farEnd = extent / 2 + full / 2;
  ruler.nearEnd = ruler.farEnd - full;
  for (int k = 1; k < n; ++k) ruler.marks.push_back(ruler.farEnd - length(k));

  const int far = ruler.farEnd;
  const int near = ruler.nearEnd;
  if (vertical) {
    const int w = client.width();
    const int x = w - 6;
    ruler.shadows = {box(w - 14, near - 1, w - 4, near + 2), box(w - 7, near - 1, w - 4, far + 2),
                     box(w - 14, far - 1, w - 4, far + 2)};
    for (int y : ruler.marks) ruler.shadows.push_back(box(w - 11, y - 1, w - 4, y + 2));
    ruler.lines = {{QPoint(x, far), QPoint(x, near - 1)}, {QPoint(w - 13, far), QPoint(x, far)}};
    for (int y : ruler.marks) ruler.lines.push_back({QPoint(w - 10, y), QPoint(x, y)});
    ruler.lines.push_back({QPoint(w - 13, near), QPoint(x, near)});
    ruler.label = QStringLiteral("%1Cm").arg(n);
  } else {
    const int h = client.height();
    const int y = h - 6;
    ruler.shadows = {box(near - 1, h - 14, near + 2, h - 4), box(near - 1, h - 7, far + 2, h - 4),
                     box(far - 1, h - 14, far + 2, h - 4)};
    for (int x : ruler.marks) ruler.shadows.push_back(box(x - 1, h - 11, x + 2, h - 4));
    ruler.lines = {{QPoint(far, y), QPoint(near - 1, y)}, {QPoint(far, h - 13), QPoint(far, y)}};
    for (int x : ruler.marks) ruler.lines.push_back({QPoint(x, h - 10), QPoint(x, y)});
    ruler.lines.push_back({QPoint(near, h - 13), QPoint(near, y)});
  }
  return ruler;
}

QRect LabelCell(const Ruler& ruler, const QSize& client, const QFontMetrics& metrics,
                const std::vector<QRect>& taken) {
  const int right = client.width() - 6;
  const QRect room = QRect(QPoint(0, 0), client).adjusted(1, 1, -1, -1);
  const auto clear = [&](const QRect& cell) {
    const QRect extent = OutlinedExtent(cell);
    if (!room.contains(extent)) return false;
    return std::none_of(taken.begin(), taken.end(),
                        [&](const QRect& text) { return OutlinedExtent(text).intersects(extent); });
  };
  const QRect below = TextCell(metrics, right, ruler.farEnd + 4, ruler.label, TA_RIGHT | TA_TOP);
  if (clear(below)) return below;
  const QRect above =
      TextCell(metrics, right, ruler.nearEnd - 4, ruler.label, TA_RIGHT | TA_BOTTOM);
  if (clear(above)) return above;
  return MovedInside(below, room);
}

void Paint(QPainter& painter, const QSize& client, double cmPerPixelX, double cmPerPixelY,
           float zoom, int displayHeight, const std::vector<QRect>& taken) {
  painter.save();
  painter.setFont(overlay::PointFont(overlay::Face::Arials, LabelFontTenths(displayHeight)));
  const Ruler both[] = {Layout(Orientation::Vertical, client, cmPerPixelX, zoom),
                        Layout(Orientation::Horizontal, client, cmPerPixelY, zoom)};
  for (const Ruler& ruler : both) {
    if (ruler.count == 0) continue;
    for (const QRect& shadow : ruler.shadows) painter.fillRect(shadow, Qt::black);
    for (const Segment& line : ruler.lines) painter.fillRect(line.pixels(), kGrey);
    if (!ruler.label.isEmpty()) {
      const QRect cell = LabelCell(ruler, client, QFontMetrics(painter.font()), taken);
      DrawOutlinedText(painter, cell.x(), cell.y(), ruler.label, kGrey);
    }
  }
  painter.restore();
}

}  // namespace rulers

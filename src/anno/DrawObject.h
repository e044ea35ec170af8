#pragma once

#include <QColor>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QSize>
#include <QString>
#include <Qt>

class QPainter;

// Drawing helpers of the measurements. A rectangle is given by two corners in either order:
// the outline's first pixel and the pixel just past its last, as everywhere in the pane.
class CDrawObject {
 public:
  // Arrowheads appear only on segments longer than this (pane pixels).
  static constexpr double kArrowHeadLength = 12.0;
  static constexpr double kArrowHeadHalfAngle = 30.0;

  static void DrawLine(QPainter& painter, const QPoint& from, const QPoint& to, Qt::PenStyle style,
                       int width, const QColor& colour);
  // Outline only; the inside keeps what is under it.
  static void DrawRectOutline(QPainter& painter, const QPoint& corner1, const QPoint& corner2,
                              Qt::PenStyle style, int width, const QColor& colour);
  // A 1-pixel line from `from` to `to`, with a head at `to` when the segment is long enough.
  static void DrawArrow(QPainter& painter, const QPoint& from, const QPoint& to,
                        const QColor& colour);
  // The filled head of the arrow from `from` to `to`: the tip and the two points 12 pixels back
  // along the segment, turned by +30 and -30 degrees about the tip. Empty for a segment of 12
  // pixels or less.
  static QPolygon ArrowHead(const QPoint& from, const QPoint& to);

  // Distance from `point` to the line through a and b, from the side lengths of the triangle
  // (a, b, point). When a and b coincide there is no line: the distance to that point.
  static double DistanceToLine(const QPointF& point, const QPointF& a, const QPointF& b);

  // The live value box of a measurement drag: the text's size, widened to `minWidth` (which
  // grows to the widest box seen so a changing value does not make the box flicker), placed at
  // anchor + (5, 5) and enlarged by 4 pixels on every side.
  static QRect PreviewBoxRect(const QSize& textSize, const QPoint& anchor, int& minWidth);
  // Fills the box in the shadow grey and centres the text in it in the measurement grey.
  static void DrawPreviewBox(QPainter& painter, const QPoint& anchor, const QString& text,
                             int& minWidth);
};

// Colours of the on-image measurements.
namespace annocolour {
inline QColor Line() { return QColor(200, 200, 200); }
inline QColor Shadow() { return QColor(64, 64, 64); }
inline QColor HandleLight() { return QColor(220, 220, 220); }
}  // namespace annocolour

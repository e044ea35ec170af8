#include "anno/DrawObject.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QtMath>
#include <algorithm>
#include <cmath>

void CDrawObject::DrawLine(QPainter& painter, const QPoint& from, const QPoint& to,
                           Qt::PenStyle style, int width, const QColor& colour) {
  painter.save();
  painter.setPen(QPen(colour, width, style));
  painter.drawLine(from, to);
  painter.restore();
}

void CDrawObject::DrawRectOutline(QPainter& painter, const QPoint& corner1, const QPoint& corner2,
                                  Qt::PenStyle style, int width, const QColor& colour) {
  const int left = std::min(corner1.x(), corner2.x());
  const int right = std::max(corner1.x(), corner2.x());
  const int top = std::min(corner1.y(), corner2.y());
  const int bottom = std::max(corner1.y(), corner2.y());
  painter.save();
  painter.setPen(QPen(colour, width, style));
  painter.setBrush(Qt::NoBrush);
  // The right and bottom corners lie just outside the outline.
  painter.drawRect(QRect(left, top, std::max(0, right - left - 1), std::max(0, bottom - top - 1)));
  painter.restore();
}

QPolygon CDrawObject::ArrowHead(const QPoint& from, const QPoint& to) {
  const double dx = from.x() - to.x();
  const double dy = from.y() - to.y();
  const double length = std::hypot(dx, dy);
  if (length <= kArrowHeadLength) return {};
  const double backX = dx / length * kArrowHeadLength;
  const double backY = dy / length * kArrowHeadLength;
  const double c = std::cos(qDegreesToRadians(kArrowHeadHalfAngle));
  const double s = std::sin(qDegreesToRadians(kArrowHeadHalfAngle));
  const QPoint left(to.x() + qRound(backX * c - backY * s), to.y() + qRound(backX * s + backY * c));
  const QPoint right(to.x() + qRound(backX * c + backY * s),
                     to.y() + qRound(-backX * s + backY * c));
  return QPolygon({to, left, right});
}

void CDrawObject::DrawArrow(QPainter& painter, const QPoint& from, const QPoint& to,
                            const QColor& colour) {
  DrawLine(painter, from, to, Qt::SolidLine, 1, colour);
  const QPolygon head = ArrowHead(from, to);
  if (head.isEmpty()) return;
  painter.save();
  painter.setPen(QPen(colour, 1));
  painter.setBrush(colour);
  painter.drawPolygon(head);
  painter.restore();
}

double CDrawObject::DistanceToLine(const QPointF& point, const QPointF& a, const QPointF& b) {
  const double base = std::hypot(b.x() - a.x(), b.y() - a.y());
  const double sideA = std::hypot(point.x() - a.x(), point.y() - a.y());
  if (base == 0.0) return sideA;
  const double sideB = std::hypot(point.x() - b.x(), point.y() - b.y());
  const double s = (base + sideA + sideB) / 2.0;
  // Rounding can take the product just below zero for a point on the line.
  const double area = std::sqrt(std::max(0.0, s * (s - base) * (s - sideA) * (s - sideB)));
  return 2.0 * area / base;
}

QRect CDrawObject::PreviewBoxRect(const QSize& textSize, const QPoint& anchor, int& minWidth) {
  const int width = std::max(textSize.width(), minWidth);
  minWidth = width;
  return QRect(anchor + QPoint(5, 5), QSize(width, textSize.height())).adjusted(-4, -4, 4, 4);
}

void CDrawObject::DrawPreviewBox(QPainter& painter, const QPoint& anchor, const QString& text,
                                 int& minWidth) {
  const QSize textSize = QFontMetrics(painter.font()).size(Qt::TextSingleLine, text);
  const QRect box = PreviewBoxRect(textSize, anchor, minWidth);
  painter.save();
  painter.fillRect(box, annocolour::Shadow());
  painter.setPen(annocolour::Line());
  painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text);
  painter.restore();
}

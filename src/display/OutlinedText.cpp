#include "display/OutlinedText.h"

#include <QFontMetrics>
#include <QPainter>
#include <array>

QRect TextCell(const QPainter& painter, int x, int y, const QString& text, int align) {
  return TextCell(QFontMetrics(painter.font()), x, y, text, align);
}

QRect TextCell(const QFontMetrics& metrics, int x, int y, const QString& text, int align) {
  const int width = metrics.horizontalAdvance(text);
  int left = x;
  if ((align & TA_CENTER) == TA_CENTER) {
    left = x - width / 2;
  } else if ((align & TA_RIGHT) != 0) {
    left = x - width;
  }
  int top = y;
  if ((align & TA_BASELINE) == TA_BASELINE) {
    top = y - metrics.ascent();
  } else if ((align & TA_BOTTOM) != 0) {
    top = y - metrics.height();
  }
  return QRect(left, top, width, metrics.height());
}

QRect OutlinedExtent(const QRect& cell) { return cell.adjusted(-1, -1, 1, 1); }

QRect MovedInside(const QRect& cell, const QRect& area) {
  const QRect extent = OutlinedExtent(cell);
  int dx = 0;
  int dy = 0;
  if (extent.right() > area.right()) dx = area.right() - extent.right();
  if (extent.left() + dx < area.left()) dx = area.left() - extent.left();
  if (extent.bottom() > area.bottom()) dy = area.bottom() - extent.bottom();
  if (extent.top() + dy < area.top()) dy = area.top() - extent.top();
  return cell.translated(dx, dy);
}

void DrawOutlinedText(QPainter& painter, int x, int y, const QString& text, const QColor& colour,
                      int align, const QColor& opaqueBackground) {
  static constexpr std::array<QPoint, 8> kOutline = {QPoint(-1, 0), QPoint(1, 0),   QPoint(0, -1),
                                                     QPoint(0, 1),  QPoint(-1, -1), QPoint(1, -1),
                                                     QPoint(-1, 1), QPoint(1, 1)};
  const QRect cell = TextCell(painter, x, y, text, align);
  const int ascent = QFontMetrics(painter.font()).ascent();
  const QPen savedPen = painter.pen();
  const auto drawAt = [&](const QPoint& offset, const QColor& textColour) {
    const QRect moved = cell.translated(offset);
    if (opaqueBackground.isValid()) painter.fillRect(moved, opaqueBackground);
    painter.setPen(textColour);
    painter.drawText(QPoint(moved.left(), moved.top() + ascent), text);
  };
  for (const QPoint& offset : kOutline) drawAt(offset, Qt::black);
  drawAt(QPoint(0, 0), colour);
  painter.setPen(savedPen);
}

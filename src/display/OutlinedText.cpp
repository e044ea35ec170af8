#include "display/OutlinedText.h"

#include <QFontMetrics>
#include <QPainter>
#include <array>

QRect TextCell(const QPainter& painter, int x, int y, const QString& text, int align) {
  const QFontMetrics metrics(painter.font());
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

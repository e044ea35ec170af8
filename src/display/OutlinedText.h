#pragma once

#include <QColor>
#include <QRect>
#include <QString>

class QFontMetrics;
class QPainter;

// Text alignment flags of the on-image drawing, with the values the pane code has always used:
// the reference point is the text's left, right or centre and its top, bottom or baseline.
enum TextAlign : int {
  TA_LEFT = 0,
  TA_TOP = 0,
  TA_RIGHT = 2,
  TA_CENTER = 6,
  TA_BOTTOM = 8,
  TA_BASELINE = 24,
};

// The cell the text occupies when drawn with its reference point at (x, y): its advance width
// by the font's full height, placed by the alignment flags.
QRect TextCell(const QPainter& painter, int x, int y, const QString& text, int align);
QRect TextCell(const QFontMetrics& metrics, int x, int y, const QString& text, int align);

// The pixels outlined text in cell paints: its black outline reaches one pixel further.
QRect OutlinedExtent(const QRect& cell);
// cell moved, not shrunk, so that its outlined text lies inside area; one too large for the
// area keeps to its left or top edge.
QRect MovedInside(const QRect& cell, const QRect& area);

// Text readable on any image: black at the eight neighbouring pixels, in the order (-1, 0),
// (+1, 0), (0, -1), (0, +1), (-1, -1), (+1, -1), (-1, +1), (+1, +1), then colour at (x, y).
// With an opaque background each of the nine draws first fills its cell with that colour.
// The painter's pen is restored afterwards.
void DrawOutlinedText(QPainter& painter, int x, int y, const QString& text, const QColor& colour,
                      int align = TA_LEFT | TA_TOP, const QColor& opaqueBackground = QColor());

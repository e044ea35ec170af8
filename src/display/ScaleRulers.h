#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <array>
#include <vector>

class QFontMetrics;
class QPainter;

// The two calibrated rulers over a pane: a vertical one near the right edge, labelled with its
// length, and an unlabelled horizontal one near the bottom. Each is 10, 5, 3 or 1 cm long,
// the longest that fits in the middle half of the pane, and is computed afresh at every paint.
namespace rulers {

enum class Orientation { Vertical, Horizontal };

// A grey line drawn from `from` towards `to`; like a pen moved to `from` and drawn to `to`, the
// end point itself is not painted.
struct Segment {
  QPoint from;
  QPoint to;
  // The pixels the segment paints (the lines are all horizontal or vertical).
  QRect pixels() const;
};

struct Ruler {
  Orientation orientation = Orientation::Vertical;
  int count = 0;                  // centimetres: 10, 5, 3 or 1
  std::array<int, 10> lengths{};  // screen pixels of 1 .. 10 cm
  int farEnd = 0;                 // bottom (vertical) or right end (horizontal)
  int nearEnd = 0;                // farEnd minus the length of `count` centimetres
  std::vector<int> marks;         // the centimetre marks, starting next to the far end
  // Black boxes drawn first, in order; right and bottom edges exclusive (QRect::right() is not).
  std::vector<QRect> shadows;
  std::vector<Segment> lines;  // grey, over the shadows, in order
  QString label;               // "10Cm"; empty on the horizontal ruler
};

// Screen pixels per centimetre, in single precision as the zoom is kept: (1 / spacing) / zoom.
float PixelsPerCm(double cmPerPixel, float zoom);

// Tenths of a point for the label, from the displayed image height: 2 points up to 40 pixels,
// 12 points from 500, linear in between.
int LabelFontTenths(int displayHeight);

// The ruler of a pane of `client` size, or nothing (count 0) when the spacing is not above 0,
// the zoom not above 0 or the extent along the ruler is 10 pixels or less.
Ruler Layout(Orientation orientation, const QSize& client, double cmPerPixel, float zoom);

// Where the vertical ruler's label is drawn: right-aligned to the ruler, 4 pixels below its
// bottom end, or 4 pixels above its top end where below it would reach over the pane's border
// or into one of the texts in `taken` (the overlay's cells); inside the pane either way.
QRect LabelCell(const Ruler& ruler, const QSize& client, const QFontMetrics& metrics,
                const std::vector<QRect>& taken);

// Paints both rulers: shadows in black, lines and the label in light grey (outlined), the
// label clear of the texts in `taken`.
void Paint(QPainter& painter, const QSize& client, double cmPerPixelX, double cmPerPixelY,
           float zoom, int displayHeight, const std::vector<QRect>& taken = {});

}  // namespace rulers

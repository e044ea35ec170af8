#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

#include "display/OverlaySwitches.h"

class CDateTime;
class CImageEach;
class QPainter;

// The information text in the four corners of a pane: patient, hospital, exposure, series,
// acquisition and anatomy, laid out for the pane's size and painted as outlined light grey text.
namespace overlay {

// The two faces of the on-image texts, mapped to fonts every Linux desktop has.
enum class Face {
  System,  // the large face of the patient lines
  Arials,  // everything else, and the ruler label
};
// A font of `tenths` of a point in face. Text is not smoothed, so the black outline stays crisp
// on any image.
QFont PointFont(Face face, int tenths);
constexpr int kLargeTenths = 150;
constexpr int kSmallTenths = 100;

struct Line {
  QString text;
  QPoint anchor;  // top-left corner, or top-right when rightAligned
  bool rightAligned = false;
  Face face = Face::Arials;
  // Where the text is drawn; its outline reaches one pixel further, still inside the pane.
  QRect cell;
};

struct Layout {
  std::vector<Line> lines;
  // Where the current frame number is printed (null when it is not): cine playback repaints it
  // at every frame.
  QRect frameNumberRect;
};

// "2008.03.15"; empty for a date that is not valid or never set (the zero value).
QString FormatDate(const CDateTime& value);
// The birth part of the sex line: the birth date (empty for 01/01/1900 or no date) followed by
// the age as "[3M]", "[12D]" or "[45Y]" when the date is valid and the code lies in 1 .. 2999.
QString BirthText(const CDateTime& birth, int ageCode);

// The lines of record for a pane of client size; none when cmPerPixel is not above 0 or the
// pane is 10 pixels high or less. A line that would reach over the pane's border is moved in
// (and cut short with an ellipsis when wider than the pane).
Layout Compute(const CImageEach& record, const OverlaySwitches& switches, const QSize& client,
               double cmPerPixel);

void Paint(QPainter& painter, const Layout& layout);

}  // namespace overlay

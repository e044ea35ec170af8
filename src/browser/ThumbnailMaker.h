#pragma once

// The thumbnail of one image file: a 100 × 100 16-bit grey picture, black around the image
// fitted into it with its proportions kept, windowed as the viewer first shows the file
// (MONOCHROME1 bone-white). Only the first frame is decoded, and the full-size pixels are
// freed before the call returns. Safe to call on any thread.

#include <QImage>
#include <QSize>
#include <QString>

namespace thumbnail {

inline constexpr int kSide = 100;

enum class Outcome {
  Missing,     // no such file: shown empty, without a message
  Unreadable,  // not readable as a DICOM file: the operator is told
  NoPicture,   // read, but no pixels could be taken out: listed without a picture
  Ready,       // picture holds the thumbnail
};

struct Result {
  Outcome outcome = Outcome::Missing;
  QImage picture;  // Format_Grayscale16, kSide × kSide, when Ready
};

// The size an image of width × height takes inside the thumbnail: 100 × (height × 100 / width)
// when it is wider than high, else (width × 100 / height) × 100. Empty for an empty image.
QSize FitSize(int width, int height);

Result Make(const QString& path);

}  // namespace thumbnail

#pragma once

// Small image files for the strip's tests, made with DCMTK.

#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/DicomBuilder.h"

namespace browsertest {

// Grey pixels from value(x, y), 12 bits stored, window 4000 wide around 2000 (so stored value v
// shows as level v × 255 / 4000), frames copies of the same picture.
inline testsupport::DicomBuilder greyImage(int columns, int rows,
                                           const std::function<std::uint16_t(int, int)>& value,
                                           int frames = 1) {
  std::vector<std::uint16_t> pixels;
  pixels.reserve(std::size_t(columns) * std::size_t(rows) * std::size_t(frames));
  for (int frame = 0; frame < frames; ++frame) {
    for (int y = 0; y < rows; ++y) {
      for (int x = 0; x < columns; ++x) pixels.push_back(value(x, y));
    }
  }
  testsupport::DicomBuilder builder;
  builder.pixels16(columns, rows, pixels, 12)
      .set(DCM_WindowCenter, "2000")
      .set(DCM_WindowWidth, "4000");
  return builder;
}

inline bool writeFlat(const QString& path, int columns, int rows, std::uint16_t value,
                      int frames = 1) {
  const auto flat = [value](int, int) { return value; };
  return greyImage(columns, rows, flat, frames).save(path);
}

// The 8-bit level a thumbnail pixel holds (thumbnails spread each level over 16 bits).
inline int levelAt(const QImage& thumbnail, int x, int y) {
  return reinterpret_cast<const std::uint16_t*>(thumbnail.constScanLine(y))[x] / 257;
}

}  // namespace browsertest

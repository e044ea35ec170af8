#pragma once

// A main frame stand-in for the pane and view tests, and small in-memory image records.

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "display/Filters.h"
#include "display/PaneHost.h"
#include "frame/OpenImages.h"
#include "image/ImageEach.h"
#include "support/DicomBuilder.h"

namespace panetest {

class FakePaneHost : public CPaneHost {
 public:
  COpenImages& openImages() override { return images; }
  double windowValue() const override { return window; }
  void setWindowValue(double value) override { window = value; }
  int windowType() const override { return type; }
  void setRawSource(bool isRaw) override { raw = isRaw; }
  int openImage(const QString& path, bool) override {
    opened << path;
    return openResult;
  }
  const OverlaySwitches& overlaySwitches() const override { return overlay; }

  COpenImages images;
  double window = 0.000368;
  int type = 0;
  bool raw = false;
  QStringList opened;
  int openResult = 0;
  OverlaySwitches overlay;
};

// A loaded 12-bit record of width × height pixels, all of value, windowed over the whole range
// (0 black, 4095 white).
inline std::unique_ptr<CImageEach> makeImage(std::uint16_t value, int width = 64, int height = 48,
                                             const QString& filePath = QString()) {
  auto record = std::make_unique<CImageEach>();
  const std::vector<std::uint16_t> pixels(std::size_t(width) * height, value);
  record->SetRawImage(pixels.data(), width, height, 12, 4096, 2048);
  record->loaded = true;
  record->filePath = filePath;
  return record;
}

// A 4 x 2 record of three frames whose pixels are 0, 100 and 200 (frame index × 100), written
// to path as DICOM with one more attribute and read back; null when either step fails.
inline std::unique_ptr<CImageEach> makeThreeFrameImage(const QString& path, const DcmTagKey& tag,
                                                       const char* value) {
  std::vector<std::uint16_t> values;
  for (int f = 0; f < 3; ++f) values.insert(values.end(), 8, std::uint16_t(100 * f));
  testsupport::DicomBuilder builder;
  builder.pixels16(4, 2, values, 12).set(tag, value);
  auto record = std::make_unique<CImageEach>();
  if (!builder.save(path) || record->OpenDicom(path, 0, 1) != 0) return nullptr;
  record->loaded = true;
  return record;
}

// Ends every filter a test left running and gives the glass its first size and factor again.
inline void endAllFilters() {
  CFilterZoom::Destroy();
  CFilterPanning::Destroy();
  CFilterWindowLevel::Destroy();
  CFilterGlass::Destroy();
  CFilterGlass::settings() = CFilterGlass::Settings();
}

inline QColor centrePixel(QWidget& widget) {
  const QImage picture = widget.grab().toImage();
  return picture.pixelColor(picture.width() / 2, picture.height() / 2);
}

}  // namespace panetest

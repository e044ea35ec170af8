#include "browser/ThumbnailMaker.h"

#include <QFileInfo>
#include <QRgb>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "image/ImageEach.h"

namespace thumbnail {

namespace {

// Source columns (or rows) [first[i], first[i + 1]) make target column i; a target larger than
// the source repeats source pixels.
std::vector<int> spanStarts(int source, int target) {
  std::vector<int> first(static_cast<std::size_t>(target) + 1);
  for (int i = 0; i <= target; ++i) {
    first[static_cast<std::size_t>(i)] =
        static_cast<int>(static_cast<long long>(i) * source / target);
  }
  return first;
}

// Averages every source pixel of each target pixel's box (one pass over the frame, no
// full-size intermediate picture), then maps the average to a grey level with level().
// greyAt(row, x) gives the value of pixel x of a source row.
template <class GreyAt, class Level>
QImage boxAverage(const imaging::Bitmap& source, QSize target, GreyAt greyAt, Level level) {
  const std::vector<int> columns = spanStarts(source.width(), target.width());
  const std::vector<int> rows = spanStarts(source.height(), target.height());
  QImage picture(kSide, kSide, QImage::Format_Grayscale16);
  picture.fill(0);
  const int left = (kSide - target.width()) / 2;
  const int top = (kSide - target.height()) / 2;
  std::vector<std::uint64_t> sums(static_cast<std::size_t>(target.width()));
  for (int ty = 0; ty < target.height(); ++ty) {
    std::fill(sums.begin(), sums.end(), 0);
    const int y0 = rows[static_cast<std::size_t>(ty)];
    const int y1 = std::max(y0 + 1, rows[static_cast<std::size_t>(ty) + 1]);
    for (int y = y0; y < y1; ++y) {
      const std::uint8_t* row = source.row(y);
      for (int tx = 0; tx < target.width(); ++tx) {
        const int x0 = columns[static_cast<std::size_t>(tx)];
        const int x1 = std::max(x0 + 1, columns[static_cast<std::size_t>(tx) + 1]);
        // One row of a box fits 32 bits: at most 65535 values of at most 65535.
        std::uint32_t sum = 0;
        for (int x = x0; x < x1; ++x) sum += greyAt(row, x);
        sums[static_cast<std::size_t>(tx)] += sum;
      }
    }
    auto* out = reinterpret_cast<std::uint16_t*>(picture.scanLine(top + ty)) + left;
    for (int tx = 0; tx < target.width(); ++tx) {
      const int x0 = columns[static_cast<std::size_t>(tx)];
      const int x1 = std::max(x0 + 1, columns[static_cast<std::size_t>(tx) + 1]);
      const auto count = static_cast<std::uint64_t>(x1 - x0) * static_cast<std::uint64_t>(y1 - y0);
      // Each 8-bit level spread over the 16-bit range, as 0x00 -> 0x0000 and 0xFF -> 0xFFFF.
      out[tx] =
          static_cast<std::uint16_t>(level(static_cast<int>(sums[std::size_t(tx)] / count)) * 257);
    }
  }
  return picture;
}

}  // namespace

QSize FitSize(int width, int height) {
  if (width <= 0 || height <= 0) return {};
  if (height < width) return QSize(kSide, std::max(1, height * kSide / width));
  return QSize(std::max(1, width * kSide / height), kSide);
}

Result Make(const QString& path) {
  if (!QFileInfo(path).isFile()) return {};
  CImageEach record;
  if (record.OpenDicom(path, 0, 0) != 0) return {Outcome::Unreadable, {}};
  CBaseImage& image = record.image;
  const imaging::Bitmap& pixels = image.bitmap();
  const QSize target = FitSize(pixels.width(), pixels.height());
  if (!image.IsAllocated() || target.isEmpty()) return {Outcome::NoPicture, {}};

  // The window the viewer installs when it first shows the file.
  int windowWidth = 0;
  int windowCentre = 0;
  image.GetWindow(windowWidth, windowCentre);
  image.SetWindow(windowWidth, windowCentre);
  if (pixels.bitsPerPixel() == 16) {
    const std::uint32_t* table = image.greyTable();
    const auto grey = [](const std::uint8_t* row, int x) {
      return reinterpret_cast<const std::uint16_t*>(row)[x];
    };
    const auto level = [table](int value) { return static_cast<int>(table[value] & 0xFF); };
    return {Outcome::Ready, boxAverage(pixels, target, grey, level)};
  }
  // Colour: its luminance through the viewer's intensity and contrast curve.
  const std::vector<std::uint8_t> curve =
      CBaseImage::PaintCurve(image.paintIntensity(), image.paintContrast());
  const auto grey = [](const std::uint8_t* row, int x) {
    const std::uint8_t* p = row + 3 * x;
    return static_cast<unsigned>(qGray(p[0], p[1], p[2]));
  };
  const auto level = [&curve](int value) { return static_cast<int>(curve[std::size_t(value)]); };
  return {Outcome::Ready, boxAverage(pixels, target, grey, level)};
}

}  // namespace thumbnail

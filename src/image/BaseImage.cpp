#include "image/BaseImage.h"

#include <QColor>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/PipelineSettings.h"
#include "ui/MessageSink.h"

namespace {

constexpr std::uint32_t kOpaque = 0xff000000u;

std::uint32_t greyEntry(int level) {
  const std::uint32_t byte = static_cast<std::uint8_t>(level);
  return (byte << 16) | (byte << 8) | byte;
}

// Source column or row for each destination one, as a stretch without smoothing maps them.
std::vector<int> sourceIndexes(int destStart, int destLength, int visibleStart, int visibleEnd,
                               int srcStart, int srcLength) {
  std::vector<int> indexes;
  indexes.reserve(static_cast<std::size_t>(std::max(0, visibleEnd - visibleStart)));
  for (int d = visibleStart; d < visibleEnd; ++d) {
    const long long offset = static_cast<long long>(d - destStart) * srcLength / destLength;
    indexes.push_back(srcStart + static_cast<int>(offset));
  }
  return indexes;
}

}  // namespace

CBaseImage::CBaseImage() : m_greyTable(new std::uint32_t[kTableSize]()) {}

CBaseImage::~CBaseImage() = default;

bool CBaseImage::Create(int width, int height, int bits) {
  m_display.free();
  return m_image.create(width, height, bits);
}

void CBaseImage::Reset() {
  m_image.free();
  m_display.free();
  m_originalLeftSide = 0;
  m_originalTopSide = 1;
  m_bitsStored = 0;
  ResetView();
  m_windowWidth = m_windowCentre = 0;
  m_inverted = false;
  m_paintIntensity = m_paintContrast = 0;
  SetFileValueScale(1.0, 0.0, 0, false);
  m_tableLowBit = 0;
  m_tableHighBit = 15;
  m_tableEntries = kTableSize;
  std::fill(m_greyTable.get(), m_greyTable.get() + kTableSize, 0u);
}

void CBaseImage::GetInfo(int& width, int& height, int& bitsPerPixel) const {
  width = m_image.width();
  height = m_image.height();
  bitsPerPixel = m_image.bitsPerPixel();
}

int CBaseImage::PixelKind() const {
  return m_image.isGrey() && m_image.bitsPerPixel() > 8 ? 2 : 1;
}

void CBaseImage::SetWindow(int width, int centre) {
  if (PixelKind() == 1) {
    SetPaintWindow(width, centre, true);
    return;
  }
  std::uint32_t* table = m_greyTable.get();
  if (width == 1 || width == 2) {
    // The linear table would leave nothing (width 1) or mid-grey (width 2) as its brightest
    // level: a 0/1 mask would show black. LINEAR puts the threshold half a value below the
    // centre; mirrored values put it half a value above, so that the picture stays the file's
    // and Invert gives its exact negative.
    const long long firstWhite = static_cast<long long>(centre) + (mirroredToFile() ? 1 : 0);
    for (int v = 0; v < kTableSize; ++v) table[v] = greyEntry(v >= firstWhite ? 255 : 0);
  } else {
    // 64-bit: a window read from a damaged file may lie near the ends of the int range.
    const long long d = width == 0 ? 1 : std::llabs(static_cast<long long>(width));
    const long long half = width / 2;
    long long low = centre - half;
    long long high = centre + half;
    for (int v = 0; v < kTableSize; ++v) {
      long long e = std::max(v - low, 0LL);
      if (e >= d) e = d - 1;
      // The bounds are corrected inside the loop on purpose: the corrected values hold for
      // every later entry, as windows stored with earlier versions expect.
      if (low == 0) low = 1;
      if (high == low) high = low + 1;
      // Clamped: with the bounds corrected above, the top entries would exceed 255 and wrap
      // to black as a byte.
      table[v] = greyEntry(static_cast<int>(std::clamp(e * 255 / (high - low), 0LL, 255LL)));
    }
  }
  m_tableLowBit = 0;
  m_tableHighBit = 15;
  m_tableEntries = kTableSize;
  m_windowWidth = width;
  m_windowCentre = centre;
}

bool CBaseImage::SetWindowFromData() {
  int lowest = 0;
  int highest = 0;
  if (PixelKind() != 2 || !m_image.minMax(lowest, highest)) return false;
  const int range = highest - lowest;
  if (range <= 1) {
    // One or two values (a mask): the threshold between them, at the lowest when mirrored.
    SetWindow(1, mirroredToFile() ? lowest : lowest + 1);
  } else {
    SetWindow(range, lowest + range / 2);
  }
  return true;
}

void CBaseImage::SetWindowBitRange(int width, int centre) {
  int lowBit = 0;
  int highBit = 0;
  if (!m_image.isGrey() || m_image.bitsPerPixel() != 16 ||
      !m_image.significantBits(lowBit, highBit)) {
    return;
  }
  if (highBit == 0) highBit = 15;
  const int entries = 1 << pipelineSettings().windowLevelBits;
  const int half = width / 2;
  const int low = centre - half;
  const int high = centre + half;
  std::uint32_t* table = m_greyTable.get();
  std::fill(table, table + kTableSize, 0u);
  for (int v = 0; v < entries; ++v) {
    int level = 0;
    if (v > high) {
      level = 255;
    } else if (v >= low && high > low) {
      level = (v - low) * 255 / (high - low);
    }
    table[v] = greyEntry(level);
  }
  m_tableLowBit = lowBit;
  m_tableHighBit = highBit;
  m_tableEntries = entries;
  m_windowWidth = width;
  m_windowCentre = centre;
}

void CBaseImage::StoreWindow(int width, int centre) {
  m_windowWidth = width;
  m_windowCentre = centre;
}

void CBaseImage::GetWindow(int& width, int& centre) const {
  width = m_windowWidth;
  centre = m_windowCentre;
}

void CBaseImage::SetFileValueScale(double slope, double intercept, int signedShift,
                                   bool mirrored) {
  m_fileSlope = slope == 0.0 ? 1.0 : slope;
  m_fileIntercept = intercept;
  m_fileSignedShift = signedShift;
  m_fileMirrored = mirrored;
}

void CBaseImage::ToFileWindow(int& width, int& centre) const {
  if (PixelKind() != 2) return;
  const double stored = m_fileMirrored != m_inverted ? maxStoredValue() - centre : centre;
  centre = static_cast<int>(std::lround((stored - m_fileSignedShift) * m_fileSlope + m_fileIntercept));
  width = static_cast<int>(std::lround(width * std::fabs(m_fileSlope)));
}

void CBaseImage::SetPaintWindow(int intensity, int contrast, bool store) {
  m_paintIntensity = std::clamp(intensity, -kPaintLimit, kPaintLimit);
  m_paintContrast = std::clamp(contrast, -kPaintLimit, kPaintLimit);
  if (store) StoreWindow(m_paintIntensity, m_paintContrast);
}

std::vector<std::uint8_t> CBaseImage::PaintCurve(int intensity, int contrast) {
  // Thousandths: contrast stretches around mid-grey, intensity shifts the whole range.
  std::vector<std::uint8_t> curve(256);
  for (int v = 0; v < 256; ++v) {
    const int stretched = (v - 128) * (1000 + contrast) / 1000 + 128;
    curve[v] = static_cast<std::uint8_t>(std::clamp(stretched + intensity * 255 / 1000, 0, 255));
  }
  return curve;
}

int CBaseImage::maxStoredValue() const {
  if (m_image.bitsPerPixel() != 16) return 255;
  return m_bitsStored > 0 && m_bitsStored < 16 ? (1 << m_bitsStored) - 1 : 65535;
}

bool CBaseImage::Invert() {
  if (!m_image.isAllocated()) return false;
  m_inverted = !m_inverted;
  const int maxValue = maxStoredValue();
  m_image.invert(maxValue);
  m_display.free();
  // The data is mirrored within the stored range; mirroring the centre as well keeps the
  // same brightness and contrast, so the picture becomes its exact negative.
  if (PixelKind() == 2) SetWindow(m_windowWidth, maxValue - m_windowCentre);
  return true;
}

bool CBaseImage::Flip() {
  if (!m_image.isAllocated()) return false;
  m_image.flip();
  m_display.free();
  auto swapTopBottom = [](int& side) {
    if (side == 1 || side == 3) side = 4 - side;
  };
  swapTopBottom(m_originalLeftSide);
  swapTopBottom(m_originalTopSide);
  return true;
}

bool CBaseImage::Mirror() {
  if (!m_image.isAllocated()) return false;
  m_image.mirror();
  m_display.free();
  auto swapLeftRight = [](int& side) {
    if (side == 0 || side == 2) side = 2 - side;
  };
  swapLeftRight(m_originalLeftSide);
  swapLeftRight(m_originalTopSide);
  return true;
}

bool CBaseImage::Rotate(int degrees) {
  if (!m_image.isAllocated() || !m_image.rotate(degrees * 100)) return false;
  m_display.free();
  const int quarterTurns = degrees / 90;
  m_originalLeftSide = ((m_originalLeftSide + quarterTurns) % 4 + 4) % 4;
  m_originalTopSide = ((m_originalTopSide + quarterTurns) % 4 + 4) % 4;
  return true;
}

void CBaseImage::swapViewAxes() {
  std::swap(m_displayWidth, m_displayHeight);
  std::swap(m_sourceWidth, m_sourceHeight);
  std::swap(m_displayX, m_displayY);
  std::swap(m_sourceX, m_sourceY);
}

bool CBaseImage::RotateRight() {
  if (!Rotate(90)) return false;
  swapViewAxes();
  return true;
}

bool CBaseImage::RotateLeft() {
  if (!Rotate(270)) return false;
  swapViewAxes();
  return true;
}

void CBaseImage::ResetView() {
  m_displayX = m_displayY = 0;
  m_sourceX = m_sourceY = 0;
  m_displayWidth = m_sourceWidth = m_image.width();
  m_displayHeight = m_sourceHeight = m_image.height();
  m_zoom.set(1.0f);
}

void CBaseImage::SetZoom(float value) {
  m_zoom.set(value);
  const int newWidth = static_cast<int>(m_image.width() / value);
  const int newHeight = static_cast<int>(m_image.height() / value);
  m_displayX -= (newWidth - m_displayWidth) / 2;
  m_displayY -= (newHeight - m_displayHeight) / 2;
  m_displayWidth = newWidth;
  m_displayHeight = newHeight;
}

void CBaseImage::ZoomBy(float delta) {
  SetZoom(std::clamp(m_zoom.value() + delta, 0.5f, 10.0f));
}

QRect CBaseImage::FitToRect(const QRect& rect) {
  const int imageWidth = m_image.width();
  const int imageHeight = m_image.height();
  if (imageWidth <= 0 || imageHeight <= 0) return {};
  const float ratio = std::min(static_cast<float>(rect.height()) / imageHeight,
                               static_cast<float>(rect.width()) / imageWidth);
  m_displayWidth = std::max(1, static_cast<int>(imageWidth * ratio));
  m_displayHeight = std::max(1, static_cast<int>(imageHeight * ratio));
  m_zoom.set(static_cast<float>(imageWidth) / m_displayWidth);
  CenterInRect(rect);
  RebuildDisplayBitmap();
  return displayRect();
}

void CBaseImage::RebuildDisplayBitmap() {
  const PipelineSettings& settings = pipelineSettings();
  if (settings.interpolation != 0 && (settings.isVet > 0 || 1.0f / m_zoom.value() > 1.0f)) {
    buildDisplayBitmap();
    SetWindow(m_windowWidth, m_windowCentre);
  } else {
    m_display.free();
  }
}

void CBaseImage::buildDisplayBitmap() {
  m_display.free();
  const int sourceX = std::max(0, static_cast<int>(-m_displayX * m_zoom.value()));
  const int sourceY = std::max(0, static_cast<int>(-m_displayY * m_zoom.value()));
  imaging::Bitmap visible = m_image.copyRect(sourceX, sourceY, m_image.width(), m_image.height());
  if (visible.isAllocated() && visible.resizeInterpolated(m_displayWidth, m_displayHeight)) {
    m_display = std::move(visible);
  }
}

void CBaseImage::CenterInRect(const QRect& rect) {
  const int left = rect.x();
  const int top = rect.y();
  const int right = rect.x() + rect.width();
  const int bottom = rect.y() + rect.height();
  m_displayX = left + (right - m_displayWidth - left) / 2;
  m_displayY = top + (bottom - m_displayHeight - top) / 2;
}

QPoint CBaseImage::ScreenToImage(const QPoint& point) const {
  return m_zoom.Map(QPoint(point.x() - m_displayX, point.y() - m_displayY));
}

void CBaseImage::FillBackground(QImage& target, const QRect& rect, QRgb colour) {
  m_backgroundColour = colour;
  const QColor fill = QColor::fromRgb(colour);
  const int right = rect.x() + rect.width();
  const int bottom = rect.y() + rect.height();
  auto fillBand = [&](int x1, int y1, int x2, int y2) {
    const QRect band = QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)) & target.rect();
    if (band.isEmpty()) return;
    for (int y = band.top(); y <= band.bottom(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(target.scanLine(y));
      std::fill(line + band.left(), line + band.right() + 1, fill.rgb());
    }
  };
  if (m_displayX > 0) fillBand(rect.x(), rect.y(), m_displayX, bottom);
  if (m_displayX + m_displayWidth < rect.width())
    fillBand(m_displayX + m_displayWidth, rect.y(), right, bottom);
  if (m_displayY > 0) fillBand(rect.x(), rect.y(), right, m_displayY);
  if (m_displayY + m_displayHeight < rect.height())
    fillBand(rect.x(), m_displayY + m_displayHeight, right, bottom);
}

void CBaseImage::Paint(QImage& target) const {
  if (!m_image.isAllocated() || target.isNull()) return;
  Q_ASSERT(target.depth() == 32);
  const imaging::Bitmap* source = &m_image;
  QRect from = sourceRect();
  QRect to = displayRect();
  if (m_display.isAllocated()) {
    source = &m_display;
    from = QRect(0, 0, m_display.width(), m_display.height());
    to = QRect(std::max(0, m_displayX), std::max(0, m_displayY), m_display.width(),
               m_display.height());
  }
  if (from.isEmpty() || to.isEmpty()) return;
  const QRect clip = m_clipRect.isEmpty() ? target.rect() : (m_clipRect & target.rect());
  const QRect visible = to & clip;
  if (visible.isEmpty()) return;

  const std::vector<int> columns = sourceIndexes(to.x(), to.width(), visible.left(),
                                                 visible.right() + 1, from.x(), from.width());
  const std::vector<int> rows = sourceIndexes(to.y(), to.height(), visible.top(),
                                              visible.bottom() + 1, from.y(), from.height());
  const int sourceWidth = source->width();
  const int sourceHeight = source->height();

  if (source->bitsPerPixel() == 16) {
    const std::uint32_t* table = m_greyTable.get();
    const bool fullTable = m_tableLowBit == 0 && m_tableEntries == kTableSize;
    const int mask = (1 << (m_tableHighBit - m_tableLowBit + 1)) - 1;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      auto* out = reinterpret_cast<std::uint32_t*>(target.scanLine(visible.top() + int(r))) +
                  visible.left();
      const int sy = rows[r];
      if (sy < 0 || sy >= sourceHeight) continue;
      const std::uint16_t* in = source->grey16() + static_cast<std::size_t>(sy) * sourceWidth;
      for (std::size_t c = 0; c < columns.size(); ++c) {
        const int sx = columns[c];
        if (sx < 0 || sx >= sourceWidth) continue;
        int index = in[sx];
        if (!fullTable) index = std::min((index >> m_tableLowBit) & mask, m_tableEntries - 1);
        out[c] = kOpaque | table[index];
      }
    }
    return;
  }

  const std::vector<std::uint8_t> curve = PaintCurve(m_paintIntensity, m_paintContrast);
  const bool colour = source->bitsPerPixel() == 24;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    auto* out = reinterpret_cast<std::uint32_t*>(target.scanLine(visible.top() + int(r))) +
                visible.left();
    const int sy = rows[r];
    if (sy < 0 || sy >= sourceHeight) continue;
    const std::uint8_t* in = source->row(sy);
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const int sx = columns[c];
      if (sx < 0 || sx >= sourceWidth) continue;
      if (colour) {
        const std::uint8_t* p = in + 3 * sx;
        out[c] = qRgb(curve[p[0]], curve[p[1]], curve[p[2]]);
      } else {
        const std::uint8_t level = curve[in[sx]];
        out[c] = qRgb(level, level, level);
      }
    }
  }
}

std::uint8_t* CBaseImage::GetRawData() {
  if (!m_image.isAllocated()) {
    ShowMessage(QStringLiteral("GetRawData error"), QStringLiteral("Image"), MB_ICONEXCLAMATION);
    return nullptr;
  }
  return m_image.data();
}

void CBaseImage::PutRawData(const void* pixels) {
  if (!m_image.isAllocated() || pixels == nullptr) {
    ShowMessage(QStringLiteral("PutRawData error"), QStringLiteral("Image"), MB_ICONEXCLAMATION);
    return;
  }
  std::memcpy(m_image.data(), pixels, m_image.byteSize());
  m_display.free();
}

bool CBaseImage::PutFrame(const imaging::Bitmap& frame) {
  if (!m_image.isAllocated() || frame.byteSize() != m_image.byteSize() ||
      frame.bitsPerPixel() != m_image.bitsPerPixel()) {
    return false;
  }
  const bool smoothed = m_display.isAllocated();
  // The two original sides tell every turn since opening: a picture that was mirrored an odd
  // number of times has its top side a quarter turn behind its left side, and equals the
  // frame mirrored once and then turned.
  const bool mirrored = m_originalTopSide != (m_originalLeftSide + 1) % 4;
  const int quarterTurns = mirrored ? (m_originalLeftSide + 2) % 4 : m_originalLeftSide;
  if (!mirrored && quarterTurns == 0) {
    std::memcpy(m_image.data(), frame.data(), m_image.byteSize());
  } else {
    imaging::Bitmap turned = frame;
    if (mirrored) turned.mirror();
    if (quarterTurns != 0 && !turned.rotate(quarterTurns * 9000)) return false;
    m_image = std::move(turned);
  }
  if (m_inverted) m_image.invert(maxStoredValue());
  m_display.free();
  if (smoothed) RebuildDisplayBitmap();
  return true;
}

bool CBaseImage::CopyFrom(const CBaseImage& other) {
  if (&other == this) return true;
  if (!CopyRectFrom(other, 0, 0, other.m_image.width(), other.m_image.height())) return false;
  m_displayX = other.m_displayX;
  m_displayY = other.m_displayY;
  m_displayWidth = other.m_displayWidth;
  m_displayHeight = other.m_displayHeight;
  m_sourceX = other.m_sourceX;
  m_sourceY = other.m_sourceY;
  m_sourceWidth = other.m_sourceWidth;
  m_sourceHeight = other.m_sourceHeight;
  m_originalLeftSide = other.m_originalLeftSide;
  m_originalTopSide = other.m_originalTopSide;
  return true;
}

bool CBaseImage::CopyRectFrom(const CBaseImage& other, int x, int y, int width, int height) {
  if (&other == this) return true;
  imaging::Bitmap copy = other.m_image.copyRect(x, y, width, height);
  if (!copy.isAllocated()) {
    ShowMessage(QStringLiteral("BaseImage copy error"), QStringLiteral("Image"),
                MB_ICONEXCLAMATION);
    return false;
  }
  m_image = std::move(copy);
  m_display.free();
  m_bitsStored = other.m_bitsStored;
  int windowWidth = 0;
  int centre = 0;
  other.GetWindow(windowWidth, centre);
  StoreWindow(windowWidth, centre);
  std::memcpy(m_greyTable.get(), other.m_greyTable.get(), sizeof(std::uint32_t) * kTableSize);
  m_tableLowBit = other.m_tableLowBit;
  m_tableHighBit = other.m_tableHighBit;
  m_tableEntries = other.m_tableEntries;
  m_paintIntensity = other.m_paintIntensity;
  m_paintContrast = other.m_paintContrast;
  m_inverted = other.m_inverted;
  SetFileValueScale(other.m_fileSlope, other.m_fileIntercept, other.m_fileSignedShift,
                    other.m_fileMirrored);
  m_zoom = other.m_zoom;
  m_windowValue = other.m_windowValue;
  m_windowType = other.m_windowType;
  m_backgroundColour = other.m_backgroundColour;
  m_clipRect = other.m_clipRect;
  return true;
}

#include "anno/AnnoGeometry.h"

#include <cmath>
#include <limits>

namespace {

constexpr int kInitialA = 1;
constexpr int kInitialB = 2;

// New side code by operation (row) and old side code (column).
constexpr int kOrientationTable[4][4] = {
    {0, 3, 2, 1},  // mirror
    {2, 1, 0, 3},  // flip
    {1, 2, 3, 0},  // rotate left
    {3, 0, 1, 2},  // rotate right
};

bool IsSideCode(int value) { return value >= 0 && value <= 3; }

// trunc(value) + origin as an int; out-of-range values saturate and NaN (a zero scale applied
// to a zero coordinate) gives the origin.
int TruncPlusOrigin(float value, int origin) {
  if (std::isnan(value)) return origin;
  const double result = std::trunc(static_cast<double>(value)) + origin;
  if (result >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (result <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(result);
}

}  // namespace

CAnnoDrawGeometry::CAnnoDrawGeometry(double cmPerPixel)
    : m_cmPerPixelX(cmPerPixel), m_cmPerPixelY(cmPerPixel) {}

void CAnnoDrawGeometry::SetImageSize(int width, int height) {
  m_width = width;
  m_height = height;
}

void CAnnoDrawGeometry::SetOrigin(int x, int y) {
  m_originX = x;
  m_originY = y;
}

void CAnnoDrawGeometry::SetCmPerPixel(double x, double y) {
  m_cmPerPixelX = x;
  m_cmPerPixelY = y;
}

void CAnnoDrawGeometry::SetOrientation(int a, int b) {
  m_orientA = a;
  m_orientB = b;
}

int CAnnoDrawGeometry::OrientationCode() const {
  static constexpr int kPairs[8][2] = {{1, 2}, {2, 3}, {3, 0}, {0, 1},
                                       {3, 2}, {1, 0}, {2, 1}, {0, 3}};
  for (int code = 0; code < 8; ++code) {
    if (kPairs[code][0] == m_orientA && kPairs[code][1] == m_orientB) return code;
  }
  return -1;
}

void CAnnoDrawGeometry::ChangeOrientation(int operation) {
  if (!IsSideCode(operation) || !IsSideCode(m_orientA) || !IsSideCode(m_orientB)) {
    m_orientA = kInitialA;
    m_orientB = kInitialB;
  }
  if (!IsSideCode(operation)) return;
  m_orientA = kOrientationTable[operation][m_orientA];
  m_orientB = kOrientationTable[operation][m_orientB];
}

QPoint CAnnoDrawGeometry::ImageToPane(const CFloatPoint& point) const {
  const float x = point.x;
  const float y = point.y;
  const float w = static_cast<float>(m_width);
  const float h = static_cast<float>(m_height);
  float u = x;
  float v = y;
  switch (OrientationCode()) {
    case 1:
      u = y;
      v = h - x;
      break;
    case 2:
      u = w - x;
      v = h - y;
      break;
    case 3:
      u = w - y;
      v = x;
      break;
    case 4:
      u = w - x;
      v = y;
      break;
    case 5:
      u = x;
      v = h - y;
      break;
    case 6:
      u = w - y;
      v = h - x;
      break;
    case 7:
      u = y;
      v = x;
      break;
    default:
      break;
  }
  return QPoint(TruncPlusOrigin(u / m_scale, m_originX), TruncPlusOrigin(v / m_scale, m_originY));
}

CFloatPoint CAnnoDrawGeometry::PaneToImage(const QPoint& point) const {
  // Subtract in 64 bits: a pane point far from the origin must not overflow int.
  const float dx = static_cast<float>(static_cast<long long>(point.x()) - m_originX) * m_scale;
  const float dy = static_cast<float>(static_cast<long long>(point.y()) - m_originY) * m_scale;
  const float w = static_cast<float>(m_width);
  const float h = static_cast<float>(m_height);
  switch (OrientationCode()) {
    case 1:
      return CFloatPoint(h - dy, dx);
    case 2:
      return CFloatPoint(w - dx, h - dy);
    case 3:
      return CFloatPoint(dy, w - dx);
    case 4:
      return CFloatPoint(w - dx, dy);
    case 5:
      return CFloatPoint(dx, h - dy);
    case 6:
      return CFloatPoint(h - dy, w - dx);
    case 7:
      return CFloatPoint(dy, dx);
    default:
      return CFloatPoint(dx, dy);
  }
}

#pragma once

#include <QPoint>

// A point in image pixel coordinates. z is 0 in practice; it takes part in length calculations.
class CFloatPoint {
 public:
  CFloatPoint() = default;
  CFloatPoint(float px, float py, float pz = 0.0f) : x(px), y(py), z(pz) {}
  virtual ~CFloatPoint() = default;
  CFloatPoint(const CFloatPoint&) = default;
  CFloatPoint& operator=(const CFloatPoint&) = default;

  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// The mapping between image pixels and pane pixels that every annotation manager and drawer
// works with: bitmap size, where image pixel (0, 0) lands in the pane, the scale factor (image
// pixels per screen pixel), the physical size of a pixel and the orientation the rotate, mirror
// and flip commands left the image in.
//
// The orientation is a pair of side codes 0..3, (1, 2) for the image as loaded. Stored points
// stay in the coordinates of the loaded image; the pair turns and mirrors them on their way to
// the pane and back.
class CAnnoDrawGeometry {
 public:
  // Default pixel spacing (0.143 mm) in cm; the pane passes the configured value.
  static constexpr double kDefaultCmPerPixel = 0.0143;

  // Orientation operations, as the main frame's commands apply them.
  // kLoadedOrientation puts the pair back to (1, 2), as a picture reopened from its file is.
  enum Operation {
    kLoadedOrientation = -1,
    kMirror = 0,
    kFlip = 1,
    kRotateLeft = 2,
    kRotateRight = 3
  };

  // Both cm-per-pixel values start at cmPerPixel; the pair starts at (1, 2), the scale at 1.
  explicit CAnnoDrawGeometry(double cmPerPixel = kDefaultCmPerPixel);

  int ImageWidth() const { return m_width; }
  int ImageHeight() const { return m_height; }
  void SetImageSize(int width, int height);

  int OriginX() const { return m_originX; }
  int OriginY() const { return m_originY; }
  void SetOrigin(int x, int y);

  float Scale() const { return m_scale; }
  void SetScale(float factor) { m_scale = factor; }

  double CmPerPixelX() const { return m_cmPerPixelX; }
  double CmPerPixelY() const { return m_cmPerPixelY; }
  void SetCmPerPixel(double x, double y);

  int OrientationA() const { return m_orientA; }
  int OrientationB() const { return m_orientB; }
  void SetOrientation(int a, int b);
  // 0..7 for the eight orientations of the image, -1 for a pair that is none of them.
  int OrientationCode() const;
  // Applies one Operation to the pair. Any other value puts the pair back to (1, 2); so does a
  // pair holding a side code outside 0..3 before the operation is applied.
  void ChangeOrientation(int operation);

  // Image point to pane point: oriented, divided by the scale and truncated towards zero, then
  // moved by the origin. Results beyond the int range saturate. A pair without an orientation
  // code maps as the image was loaded.
  QPoint ImageToPane(const CFloatPoint& point) const;
  // Pane point to image point, the inverse of ImageToPane up to its truncation.
  CFloatPoint PaneToImage(const QPoint& point) const;

 private:
  int m_width = 0;
  int m_height = 0;
  int m_originX = 0;
  int m_originY = 0;
  float m_scale = 1.0f;
  double m_cmPerPixelX;
  double m_cmPerPixelY;
  int m_orientA = 1;
  int m_orientB = 2;
};

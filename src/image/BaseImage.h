#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>
#include <cstdint>
#include <memory>
#include <vector>

#include "image/Scale.h"
#include "imaging/Bitmap.h"

// The pixel container of an open image: the bitmap, an optional resampled copy for display,
// the window and its 65536-entry grey table, the orientation after rotations and flips, and
// the geometry that places the image in a pane. It paints into a QImage the pane draws.
class CBaseImage {
 public:
  static constexpr int kTableSize = 65536;
  static constexpr int kPaintLimit = 999;  // intensity and contrast of the 8-bit path

  CBaseImage();
  virtual ~CBaseImage();
  CBaseImage(const CBaseImage&) = delete;
  CBaseImage& operator=(const CBaseImage&) = delete;

  bool Create(int width, int height, int bits);
  // Back to a container just made: no bitmap, no turn or inversion, zoom 1, no window.
  void Reset();
  void GetInfo(int& width, int& height, int& bitsPerPixel) const;
  // 2 for a grey bitmap of more than 8 bits per pixel, else 1 (8-bit grey and colour).
  int PixelKind() const;
  bool IsAllocated() const { return m_image.isAllocated(); }
  // Frees the resampled display copy; painting then uses the image bitmap until the next fit.
  void ReleaseDisplayBitmap() { m_display.free(); }

  // Widths 1 and 2 follow the standard's LINEAR function, a threshold: values from the centre
  // up show white, those below black (one value higher where the data is mirrored against
  // the file, see SetFileValueScale). Other widths build the linear table.
  void SetWindow(int width, int centre);
  // The window over the lowest..highest value present: the lowest shows black, the highest
  // white. False (nothing changed) without a 16-bit grey image.
  bool SetWindowFromData();
  void SetWindowBitRange(int width, int centre);
  void StoreWindow(int width, int centre);
  void GetWindow(int& width, int& centre) const;
  // How stored values read in the file's own pixel values, so that the window the operator is
  // shown is the one the file speaks of: file value = ((v mirrored in the stored range when
  // mirrored) - signedShift) x slope + intercept. A MONOCHROME1 file is stored mirrored (bone
  // shows white); Invert mirrors once more.
  void SetFileValueScale(double slope, double intercept, int signedShift, bool mirrored);
  // A window of this container (grey 16-bit path) in the file's values; the 8-bit path's
  // intensity and contrast are given back as they are.
  void ToFileWindow(int& width, int& centre) const;
  void SetPaintWindow(int intensity, int contrast, bool store);
  // The 256 output levels of the 8-bit path for an intensity and a contrast (-999..999).
  static std::vector<std::uint8_t> PaintCurve(int intensity, int contrast);

  bool Invert();
  bool Flip();
  bool Mirror();
  bool Rotate(int degrees);
  bool RotateRight();
  bool RotateLeft();

  void ResetView();
  void SetZoom(float value);
  void ZoomBy(float delta);
  QRect FitToRect(const QRect& rect);
  // After a zoom or pan: resamples the displayed part again when interpolation applies to this
  // zoom (and re-installs the window), else drops the resampled copy.
  void RebuildDisplayBitmap();
  void CenterInRect(const QRect& rect);
  QPoint ScreenToImage(const QPoint& point) const;

  void FillBackground(QImage& target, const QRect& rect, QRgb colour);
  void Paint(QImage& target) const;

  // Null (after telling the user) when there is no image.
  std::uint8_t* GetRawData();
  void PutRawData(const void* pixels);
  // Replaces the pixels with another frame of the same file, given as the file holds it: the
  // frame is turned, mirrored and inverted as the shown picture is, and the smoothed display
  // copy is made again when one is in use. False when the sizes do not match.
  bool PutFrame(const imaging::Bitmap& frame);

  bool CopyFrom(const CBaseImage& other);
  bool CopyRectFrom(const CBaseImage& other, int x, int y, int width, int height);

  // State read by the pane, the filters and the export.
  const imaging::Bitmap& bitmap() const { return m_image; }
  imaging::Bitmap& bitmap() { return m_image; }
  const imaging::Bitmap& displayBitmap() const { return m_display; }
  const std::uint32_t* greyTable() const { return m_greyTable.get(); }
  int bitsStored() const { return m_bitsStored; }
  void setBitsStored(int bits) { m_bitsStored = bits; }
  int originalLeftSide() const { return m_originalLeftSide; }
  int originalTopSide() const { return m_originalTopSide; }
  QRect displayRect() const { return QRect(m_displayX, m_displayY, m_displayWidth, m_displayHeight); }
  void setDisplayOrigin(int x, int y) { m_displayX = x; m_displayY = y; }
  QRect sourceRect() const { return QRect(m_sourceX, m_sourceY, m_sourceWidth, m_sourceHeight); }
  const CScale& zoom() const { return m_zoom; }
  double windowValue() const { return m_windowValue; }
  void setWindowValue(double value) { m_windowValue = value; }
  int windowType() const { return m_windowType; }
  void setWindowType(int type) { m_windowType = type; }
  bool isInverted() const { return m_inverted; }
  QRgb backgroundColour() const { return m_backgroundColour; }
  QRect clipRect() const { return m_clipRect; }
  void setClipRect(const QRect& rect) { m_clipRect = rect; }
  int paintIntensity() const { return m_paintIntensity; }
  int paintContrast() const { return m_paintContrast; }

 private:
  // Largest stored value, the mirror point of Invert.
  int maxStoredValue() const;
  // Stored values run against the file's (MONOCHROME1, or inverted by the operator).
  bool mirroredToFile() const { return m_fileMirrored != m_inverted; }
  void buildDisplayBitmap();
  void swapViewAxes();

  int m_originalLeftSide = 0;  // 0 left, 1 top, 2 right, 3 bottom
  int m_originalTopSide = 1;
  int m_bitsStored = 0;
  imaging::Bitmap m_image;
  imaging::Bitmap m_display;
  int m_displayX = 0;
  int m_displayY = 0;
  int m_displayWidth = 0;
  int m_displayHeight = 0;
  int m_sourceX = 0;
  int m_sourceY = 0;
  int m_sourceWidth = 0;
  int m_sourceHeight = 0;
  CScale m_zoom;
  int m_windowWidth = 0;
  int m_windowCentre = 0;
  double m_windowValue = 0;
  int m_windowType = 0;
  bool m_inverted = false;
  QRgb m_backgroundColour = 0;
  QRect m_clipRect;
  int m_paintIntensity = 0;
  int m_paintContrast = 0;
  double m_fileSlope = 1.0;
  double m_fileIntercept = 0.0;
  int m_fileSignedShift = 0;
  bool m_fileMirrored = false;
  // Which bits of a stored value index the table: (v >> lowBit) masked to the range, clamped
  // to the table's used entries. SetWindow uses all 16 bits and all 65536 entries.
  int m_tableLowBit = 0;
  int m_tableHighBit = 15;
  int m_tableEntries = kTableSize;
  // Entries are the bytes (blue, green, red, 0), i.e. 0x00RRGGBB; allocated once.
  std::unique_ptr<std::uint32_t[]> m_greyTable;
};

#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "anno/AnnoManager.h"
#include "db/ValueRecords.h"
#include "image/BaseImage.h"
#include "imaging/Bitmap.h"

// The record of one open image: its pixel container, the frames of a multi-frame file, the
// attributes read from the file and the per-image display state.
class CImageEach {
 public:
  static constexpr int kMaxPathLength = 255;
  // The pair a data set gets when it carries no window of its own.
  static constexpr int kDefaultWindowWidth = 16384;
  static constexpr int kDefaultWindowCentre = 8192;

  CImageEach() = default;
  virtual ~CImageEach() = default;
  CImageEach(const CImageEach&) = delete;
  CImageEach& operator=(const CImageEach&) = delete;

  // 0, -1 for an empty or too long path, or the imaging error code (negative) when the file
  // cannot be read as a data set. When only the pixels cannot be taken out, the attributes
  // are still read, the result is 0 and pixelError() tells why the container is empty.
  int OpenDicom(const QString& path, int applyBitRangeLut, int loadFrames);
  // 0, -1 when the file is shorter than width × height pixels, -100 without memory.
  int OpenRaw(const QString& path, int width, int height, int bits);
  // 0, or -100 when no pixel buffer could be obtained.
  int SetRawImage(const std::uint16_t* pixels, int width, int height, int bits, int windowWidth,
                  int windowCentre);
  // Shows frame `index` (-1: the current one) of a multi-frame file.
  void SelectFrame(int index);

  bool loaded = false;
  int initialWindowWidth = 0;
  int initialWindowCentre = 0;
  long valueA = 0, valueB = 0, valueC = 0, valueD = 0, valueE = 0;
  QString lut;
  QString par;
  int layoutAtOpening = 0;
  int filmKind = 4;
  int filmFlag = 3;
  int filmSizeX = 2488;
  int filmSizeY = 3020;
  bool landscape = false;
  int width = 0;
  int height = 0;
  CBaseImage image;
  CDScanInfo scanInfo;
  // Years as they are; months + 1000; days + 2000.
  int patientAge = 0;
  QString rawFilePath;
  // The DICOM file the record was opened from ("_org.dcm" read as ".dcm"); empty for raw images.
  QString filePath;
  int frameCount = 0;
  int currentFrame = 0;
  // The annotations of the image; the pane draws and feeds the first. They live and die with
  // the record.
  std::array<CAnnoObjectManager, 3> annotations;

  const std::vector<imaging::Bitmap>& frames() const { return m_frames; }
  int pixelError() const { return m_pixelError; }

 private:
  std::vector<std::uint16_t> m_raw;  // freed as soon as the bitmap is built
  std::vector<imaging::Bitmap> m_frames;
  int m_pixelError = 0;
};

// Conversions of attribute texts into record values.
namespace attribute {
// "045Y" → 45, "003M" → 1003, "010D" → 2010, "3 month" → 1003, "2W" → 2014.
int encodeAge(const QString& ageText);
// The row spacing: the text up to its first "\", trailing "0" characters removed, as a real.
double spacing(const QString& spacingText);
// Real × 100, truncated, as dose-area products are kept.
long hundredths(double value);
// "HHMMSS[.frac]" or "HH:MM[:SS]"; false when no time of day can be read.
bool parseTime(const QString& text, int& hour, int& minute, int& second);
// Leading integer / real of a text, 0 when none (the C library rules).
long toInteger(const QString& text);
double toReal(const QString& text);
}  // namespace attribute

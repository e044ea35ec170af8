#pragma once

#include <QString>
#include <cstdint>
#include <vector>

class CImageEach;

// A device-independent bitmap, 8-bit grey with a 256-level grey palette or 24-bit colour:
// rows stored bottom-up, each padded to a multiple of 4 bytes. Written as a BMP file.
class CBaseBitmap {
 public:
  virtual ~CBaseBitmap() = default;

  // channels: 1 (grey) or 3 (colour).
  bool Create(int width, int height, std::uint8_t fill, int channels = 1);
  // Takes top-down rows of width bytes each (grey) or width R, G, B triples (colour).
  bool LoadPixels(const std::uint8_t* topDown);
  bool SaveBmp(const QString& path) const;

  int width() const { return m_width; }
  int height() const { return m_height; }
  int stride() const { return (m_width * m_channels + 3) & ~3; }

 private:
  int m_width = 0;
  int m_height = 0;
  int m_channels = 1;
  std::vector<std::uint8_t> m_bits;  // bottom-up, padded rows
};

// The 8-bit table of an export: n = 2^bitsStored entries over the window (width, centre).
// A width below 2 would divide by zero and is taken as 2 (the narrowest window with a middle).
std::vector<std::uint8_t> exportTable(int bitsStored, int windowWidth, int windowCentre);

// Writes the image through its current window as an 8-bit grey BMP, JPEG (quality 80) or PNG
// picture (a colour image in colour, as painted) named folder/prefix + StuID + series + image
// number + "." + format. The source is the file at sourcePath when given, else activeImage.
// Returns the written path, or "" when nothing was written. Opens the file with the desktop's
// viewer unless silent is non-zero.
QString ExportImage(const QString& sourcePath, const QString& folder, const QString& prefix,
                    int silent, const QString& format, const CImageEach* activeImage = nullptr);

// Encoders of top-down 8-bit pixels, grey (channels 1) or R, G, B (channels 3). False on
// failure; a partly written file is removed.
bool writeJpeg(const QString& path, const std::uint8_t* pixels, int width, int height, int quality,
               int channels = 1);
bool writePng(const QString& path, const std::uint8_t* pixels, int width, int height,
              int channels = 1);

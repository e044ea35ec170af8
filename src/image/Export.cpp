#include "image/Export.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QUrl>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <jpeglib.h>
#include <png.h>

#include "image/ImageEach.h"

namespace {

void putLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file) std::fclose(file);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Closes the written file; a file that could not be completed is removed.
bool finishFile(FilePtr& file, const QString& path) {
  const bool complete = std::fflush(file.get()) == 0 && std::fclose(file.release()) == 0;
  if (!complete) QFile::remove(path);
  return complete;
}

FilePtr openForWriting(const QString& path) {
  return FilePtr(std::fopen(QFile::encodeName(path).constData(), "wb"));
}

// The top-left width × height part of the image as the export shows it: 8-bit grey levels,
// or for a colour image 8-bit R, G, B (channels() of them a pixel).
int exportChannels(const CBaseImage& image) { return image.bitmap().bitsPerPixel() == 24 ? 3 : 1; }

std::vector<std::uint8_t> exportPixels(const CBaseImage& image, int width, int height) {
  const imaging::Bitmap& bitmap = image.bitmap();
  const int channels = exportChannels(image);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height * channels);
  if (bitmap.bitsPerPixel() == 16) {
    int windowWidth = 0;
    int windowCentre = 0;
    image.GetWindow(windowWidth, windowCentre);
    const std::vector<std::uint8_t> table =
        exportTable(image.bitsStored(), windowWidth, windowCentre);
    const std::size_t last = table.size() - 1;
    for (int y = 0; y < height; ++y) {
      const std::uint16_t* in = bitmap.grey16() + static_cast<std::size_t>(y) * bitmap.width();
      std::uint8_t* row = out.data() + static_cast<std::size_t>(y) * width;
      for (int x = 0; x < width; ++x) row[x] = table[std::min<std::size_t>(in[x], last)];
    }
    return out;
  }
  const std::vector<std::uint8_t> curve =
      CBaseImage::PaintCurve(image.paintIntensity(), image.paintContrast());
  // Colour keeps its channels, each through the paint curve as the pane shows it.
  const std::size_t rowBytes = static_cast<std::size_t>(width) * channels;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = bitmap.row(y);
    std::uint8_t* row = out.data() + static_cast<std::size_t>(y) * rowBytes;
    for (std::size_t i = 0; i < rowBytes; ++i) row[i] = curve[in[i]];
  }
  return out;
}

// Pictures are cut to whole multiples of 4 pixels from the top left; a side shorter than 4
// would be cut to nothing, so it is kept whole.
int exportSide(int side) { return side < 4 ? side : side - side % 4; }

}  // namespace

bool CBaseBitmap::Create(int width, int height, std::uint8_t fill, int channels) {
  if (width <= 0 || height <= 0 || (channels != 1 && channels != 3)) return false;
  m_width = width;
  m_height = height;
  m_channels = channels;
  m_bits.assign(static_cast<std::size_t>(stride()) * height, fill);
  return true;
}

bool CBaseBitmap::LoadPixels(const std::uint8_t* topDown) {
  if (m_bits.empty() || topDown == nullptr) return false;
  const std::size_t rowBytes = static_cast<std::size_t>(m_width) * m_channels;
  for (int y = 0; y < m_height; ++y) {
    std::uint8_t* row = m_bits.data() + static_cast<std::size_t>(m_height - 1 - y) * stride();
    std::memcpy(row, topDown + static_cast<std::size_t>(y) * rowBytes, rowBytes);
    // A 24-bit BMP row holds blue, green, red.
    if (m_channels == 3)
      for (std::size_t i = 0; i < rowBytes; i += 3) std::swap(row[i], row[i + 2]);
  }
  return true;
}

bool CBaseBitmap::SaveBmp(const QString& path) const {
  if (m_bits.empty()) return false;
  // Grey pictures carry a 256-level grey palette; 24-bit colour needs none.
  const std::uint32_t paletteEntries = m_channels == 1 ? 256 : 0;
  const std::uint32_t kHeaderBytes = 14 + 40 + paletteEntries * 4;
  std::vector<std::uint8_t> header;
  header.reserve(kHeaderBytes);
  header.push_back('B');
  header.push_back('M');
  putLittleEndian(header, kHeaderBytes + static_cast<std::uint32_t>(m_bits.size()), 4);
  putLittleEndian(header, 0, 4);             // reserved
  putLittleEndian(header, kHeaderBytes, 4);  // offset of the pixel bits
  putLittleEndian(header, 40, 4);            // information header size
  putLittleEndian(header, static_cast<std::uint32_t>(m_width), 4);
  putLittleEndian(header, static_cast<std::uint32_t>(m_height), 4);  // positive: bottom-up
  putLittleEndian(header, 1, 2);                                     // planes
  putLittleEndian(header, 8 * m_channels, 2);                        // bits per pixel
  putLittleEndian(header, 0, 4);                                     // no compression
  putLittleEndian(header, static_cast<std::uint32_t>(m_bits.size()), 4);
  putLittleEndian(header, 0, 4);    // horizontal resolution
  putLittleEndian(header, 0, 4);    // vertical resolution
  putLittleEndian(header, paletteEntries, 4);  // colours used
  putLittleEndian(header, 0, 4);               // important colours
  for (std::uint32_t i = 0; i < paletteEntries; ++i)
    putLittleEndian(header, i | (i << 8) | (i << 16), 4);

  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(reinterpret_cast<const char*>(header.data()), qint64(header.size()));
  file.write(reinterpret_cast<const char*>(m_bits.data()), qint64(m_bits.size()));
  return file.commit();
}

std::vector<std::uint8_t> exportTable(int bitsStored, int windowWidth, int windowCentre) {
  const int bits = bitsStored > 0 && bitsStored <= 16 ? bitsStored : 16;
  const long long entries = 1LL << bits;
  const long long width = std::max(windowWidth, 2);
  const long long half = width / 2;
  const long long centre = windowCentre;
  const long long low = centre - half;
  const long long high = centre + half;
  std::vector<std::uint8_t> table(static_cast<std::size_t>(entries));
  for (long long i = 0; i < entries; ++i) {
    long long level = 0;
    if (i > high) {
      level = 255;
    } else if (i >= low) {
      level = ((half - centre) * 255 + i * 255) / (2 * half);
    }
    table[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(level);
  }
  return table;
}

bool writeJpeg(const QString& path, const std::uint8_t* pixels, int width, int height, int quality,
               int channels) {
  FilePtr file = openForWriting(path);
  if (!file) return false;
  struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
  } errors;
  jpeg_compress_struct cinfo;
  cinfo.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = [](j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
  };
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&cinfo);
    file.reset();
    QFile::remove(path);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file.get());
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = channels;
  cinfo.in_color_space = channels == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels + static_cast<std::size_t>(cinfo.next_scanline) *
                                                     width * channels);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return finishFile(file, path);
}

bool writePng(const QString& path, const std::uint8_t* pixels, int width, int height,
              int channels) {
  FilePtr file = openForWriting(path);
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    file.reset();
    QFile::remove(path);
    return false;
  }
  png_init_io(png, file.get());
  // Fast settings: exports are written while the operator waits; the picture is the same.
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    png_write_row(png, pixels + static_cast<std::size_t>(y) * width * channels);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return finishFile(file, path);
}

QString ExportImage(const QString& sourcePath, const QString& folder, const QString& prefix,
                    int silent, const QString& format, const CImageEach* activeImage) {
  std::unique_ptr<CImageEach> loaded;
  const CImageEach* record = activeImage;
  if (!sourcePath.isEmpty()) {
    loaded = std::make_unique<CImageEach>();
    if (loaded->OpenDicom(sourcePath, 0, 0) != 0) return {};
    record = loaded.get();
  }
  if (record == nullptr || !record->image.IsAllocated()) return {};

  const QString kind = format.toLower();
  // The study ID comes from the file: it must not lead the name out of the chosen folder.
  QString studyId = record->scanInfo.Stu.StuID;
  studyId.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
  const QString name = QStringLiteral("%1%2%3%4.%5")
                           .arg(prefix, studyId)
                           .arg(record->scanInfo.Img.SeriesNo, 2, 10, QLatin1Char('0'))
                           .arg(record->scanInfo.Img.ImageNo, 2, 10, QLatin1Char('0'))
                           .arg(kind);
  const QString path = QDir(folder).filePath(name);

  const imaging::Bitmap& bitmap = record->image.bitmap();
  const int width = exportSide(bitmap.width());
  const int height = exportSide(bitmap.height());
  if (width <= 0 || height <= 0) return {};
  const std::vector<std::uint8_t> pixels = exportPixels(record->image, width, height);
  const int channels = exportChannels(record->image);

  bool written = false;
  if (kind == QLatin1String("jpg")) {
    written = writeJpeg(path, pixels.data(), width, height, 80, channels);
  } else if (kind == QLatin1String("png")) {
    written = writePng(path, pixels.data(), width, height, channels);
  } else {
    CBaseBitmap dib;
    written = dib.Create(width, height, 0, channels) && dib.LoadPixels(pixels.data()) &&
              dib.SaveBmp(path);
  }
  if (!written) return {};
  if (silent == 0) QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  return path;
}

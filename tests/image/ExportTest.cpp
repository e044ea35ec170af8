#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cstring>
#include <vector>

#include "image/Export.h"
#include "image/ImageEach.h"
#include "support/DicomBuilder.h"

using testsupport::DicomBuilder;

namespace {

// ---------------------------------------------------------------------------------------------
// Export table

struct TableCase {
  int bitsStored;
  int width;
  int centre;
  int value;
  int level;
};

std::ostream& operator<<(std::ostream& out, const TableCase& c) {
  return out << c.bitsStored << " bits W=" << c.width << " C=" << c.centre << " v=" << c.value;
}

class ExportTableLevels : public ::testing::TestWithParam<TableCase> {};

TEST_P(ExportTableLevels, EntryHasTheLevel) {
  const TableCase& c = GetParam();
  const std::vector<std::uint8_t> table = exportTable(c.bitsStored, c.width, c.centre);
  ASSERT_LT(std::size_t(c.value), table.size());
  EXPECT_EQ(int(table[c.value]), c.level);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ExportTableLevels,
    ::testing::Values(TableCase{16, 4096, 2048, 0, 0}, TableCase{16, 4096, 2048, 2048, 127},
                      TableCase{16, 4096, 2048, 4095, 254}, TableCase{16, 4096, 2048, 4096, 255},
                      TableCase{16, 4096, 2048, 65535, 255}, TableCase{12, 4096, 2048, 4095, 254},
                      TableCase{16, 1000, 1000, 499, 0}, TableCase{16, 1000, 1000, 500, 0},
                      TableCase{16, 1000, 1000, 750, 63}, TableCase{16, 1000, 1000, 1250, 191},
                      TableCase{16, 1000, 1000, 1501, 255},
                      // Widths below 2 are taken as 2: low 99, high 101.
                      TableCase{16, 0, 100, 98, 0}, TableCase{16, 0, 100, 99, 0},
                      TableCase{16, 0, 100, 100, 127}, TableCase{16, 0, 100, 101, 255},
                      TableCase{16, 1, 100, 100, 127}, TableCase{16, -50, 100, 100, 127},
                      TableCase{16, -50, 100, 102, 255}));

TEST(ExportTable, HasTwoToTheBitsStoredEntries) {
  const std::vector<std::pair<int, std::size_t>> cases = {{8, 256},    {12, 4096}, {14, 16384},
                                                          {16, 65536}, {0, 65536}, {17, 65536}};
  for (const auto& [bits, size] : cases) {
    EXPECT_EQ(exportTable(bits, 4096, 2048).size(), size) << bits << " bits";
  }
}

// ---------------------------------------------------------------------------------------------
// ExportImage

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }

  // A 16-bit record from memory, with the study ID and numbers the file name is made of.
  static void fill(CImageEach& record, int width, int height,
                   const std::vector<std::uint16_t>& values, int bits, int windowWidth,
                   int windowCentre) {
    ASSERT_EQ(record.SetRawImage(values.data(), width, height, bits, windowWidth, windowCentre), 0);
    record.scanInfo.Stu.StuID = QStringLiteral("ST1");
    record.scanInfo.Img.SeriesNo = 2;
    record.scanInfo.Img.ImageNo = 5;
  }
  static int level(const QImage& picture, int x, int y) { return qGray(picture.pixel(x, y)); }
  QStringList files() const { return QDir(dir.path()).entryList(QDir::Files); }

  QTemporaryDir dir;
};

TEST_F(ExportTest, BmpAndPngCarryTheExactWindowedLevels) {
  // Window W 1000, C 1000: 499 → 0, 750 → 63, 1000 → 127, 1250 → 191, 1500 → 255. The rows
  // differ so that an upside-down picture would show.
  const std::vector<std::uint16_t> row0 = {0, 499, 500, 750, 1000, 1250, 1500, 4095};
  const std::vector<int> levels0 = {0, 0, 0, 63, 127, 191, 255, 255};
  std::vector<std::uint16_t> values(row0);
  values.insert(values.end(), row0.rbegin(), row0.rend());
  values.insert(values.end(), 8, 1000);
  values.insert(values.end(), 8, 0);
  CImageEach record;
  fill(record, 8, 4, values, 12, 1000, 1000);
  for (const char* format : {"bmp", "png"}) {
    const QString path =
        ExportImage(QString(), dir.path(), QString(), 1, QString::fromLatin1(format), &record);
    ASSERT_FALSE(path.isEmpty()) << format;
    const QImage picture(path);
    ASSERT_FALSE(picture.isNull()) << format;
    ASSERT_EQ(picture.size(), QSize(8, 4)) << format;
    EXPECT_TRUE(picture.isGrayscale()) << format;
    for (int x = 0; x < 8; ++x) {
      EXPECT_EQ(level(picture, x, 0), levels0[x]) << format << " x=" << x;
      EXPECT_EQ(level(picture, x, 1), levels0[7 - x]) << format << " x=" << x;
      EXPECT_EQ(level(picture, x, 2), 127) << format << " x=" << x;
      EXPECT_EQ(level(picture, x, 3), 0) << format << " x=" << x;
    }
  }
}

TEST_F(ExportTest, JpegIsAGreyPictureOfTheSameSize) {
  // Left half black, right half white: flat 8 × 8 blocks survive quality 80 nearly unchanged.
  std::vector<std::uint16_t> values;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) values.push_back(x < 8 ? 0 : 4095);
  }
  CImageEach record;
  fill(record, 16, 16, values, 12, 4096, 2048);
  const QString path =
      ExportImage(QString(), dir.path(), QString(), 1, QStringLiteral("jpg"), &record);
  ASSERT_TRUE(path.endsWith(QLatin1String(".jpg")));
  const QImage picture(path);
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), QSize(16, 16));
  EXPECT_TRUE(picture.isGrayscale());
  EXPECT_NEAR(level(picture, 3, 3), 0, 4);
  EXPECT_NEAR(level(picture, 12, 12), 254, 4);
}

TEST_F(ExportTest, ValuesAboveTheTableUseItsLastEntry) {
  // 12 bits stored: 4096 entries, so 4095 and everything above it map to entry 4095 (254).
  CImageEach record;
  fill(record, 4, 4,
       std::vector<std::uint16_t>{4094, 4095, 4096, 65535, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 12,
       4096, 2048);
  const QString path =
      ExportImage(QString(), dir.path(), QString(), 1, QStringLiteral("bmp"), &record);
  const QImage picture(path);
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(level(picture, 0, 0), 254);
  EXPECT_EQ(level(picture, 1, 0), 254);
  EXPECT_EQ(level(picture, 2, 0), 254);
  EXPECT_EQ(level(picture, 3, 0), 254);
}

TEST_F(ExportTest, SizeIsCutToMultiplesOfFourFromTheTopLeft) {
  constexpr int kSide = 2050;
  std::vector<std::uint16_t> values(std::size_t(kSide) * kSide);
  // Each pixel's value tells its position, so a wrong row stride shows.
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      values[std::size_t(y) * kSide + x] = std::uint16_t((x + 3 * y) % 4096);
    }
  }
  CImageEach record;
  fill(record, kSide, kSide, values, 12, 4096, 2048);
  const QString path =
      ExportImage(QString(), dir.path(), QString(), 1, QStringLiteral("bmp"), &record);
  const QImage picture(path);
  ASSERT_EQ(picture.size(), QSize(2048, 2048));
  const std::vector<std::uint8_t> table = exportTable(12, 4096, 2048);
  for (const QPoint p :
       {QPoint(0, 0), QPoint(2047, 0), QPoint(0, 2047), QPoint(2047, 2047), QPoint(1000, 1500)}) {
    EXPECT_EQ(level(picture, p.x(), p.y()), table[(p.x() + 3 * p.y()) % 4096])
        << p.x() << "," << p.y();
  }
}

// A side shorter than 4 pixels has no multiple of 4 to be cut to: it is exported whole, in
// every format, grey and colour alike; longer sides are still cut.
TEST_F(ExportTest, SidesShorterThanFourAreExportedWhole) {
  const std::vector<std::pair<QSize, QSize>> sizes = {
      {{1, 1}, {1, 1}}, {{2, 3}, {2, 3}}, {{3, 3}, {3, 3}}, {{5, 2}, {4, 2}}, {{3, 5}, {3, 4}}};
  for (const auto& [size, exported] : sizes) {
    const int count = size.width() * size.height();
    CImageEach grey;
    // A ramp through the window, so that a shifted or transposed picture shows.
    std::vector<std::uint16_t> values;
    for (int i = 0; i < count; ++i) values.push_back(std::uint16_t(500 + 1000 * i / count));
    fill(grey, size.width(), size.height(), values, 12, 1000, 1000);
    CImageEach colour;
    ASSERT_TRUE(colour.image.Create(size.width(), size.height(), 24));
    std::memset(colour.image.bitmap().data(), 200, colour.image.bitmap().byteSize());
    colour.image.ResetView();
    colour.image.StoreWindow(0, 0);
    for (const CImageEach* record : {&grey, &colour}) {
      for (const char* format : {"bmp", "jpg", "png"}) {
        const QString what = QStringLiteral("%1x%2 %3 %4")
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(record == &grey ? "grey" : "colour")
                                 .arg(QString::fromLatin1(format));
        SCOPED_TRACE(what.toStdString());
        QTemporaryDir folder;
        const QString path = ExportImage(QString(), folder.path(), QString(), 1,
                                         QString::fromLatin1(format), record);
        ASSERT_FALSE(path.isEmpty());
        const QImage picture(path);
        ASSERT_EQ(picture.size(), exported);
        if (QLatin1String(format) == QLatin1String("jpg")) continue;  // lossy levels
        const std::vector<std::uint8_t> table = exportTable(12, 1000, 1000);
        for (int y = 0; y < exported.height(); ++y) {
          for (int x = 0; x < exported.width(); ++x) {
            const int expected =
                record == &grey ? table[values[std::size_t(y * size.width() + x)]] : 200;
            EXPECT_EQ(level(picture, x, y), expected) << x << "," << y;
          }
        }
      }
    }
  }
}

TEST_F(ExportTest, WritesOnlyTheChosenFile) {
  for (const char* format : {"bmp", "jpg", "png"}) {
    QTemporaryDir folder;
    CImageEach record;
    fill(record, 8, 8, std::vector<std::uint16_t>(64, 100), 12, 1000, 1000);
    const QString path = ExportImage(QString(), folder.path(), QStringLiteral("P"), 1,
                                     QString::fromLatin1(format), &record);
    ASSERT_FALSE(path.isEmpty()) << format;
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files),
              QStringList{QStringLiteral("PST10205.") + QString::fromLatin1(format)})
        << format;
  }
}

TEST_F(ExportTest, FileNameIsPrefixStudySeriesAndImage) {
  struct Case {
    const char* studyId;
    long series;
    long image;
    const char* format;
    const char* name;
  };
  const std::vector<Case> cases = {
      {"ST1", 2, 5, "bmp", "EX_ST10205.bmp"},
      {"ST1", 12, 34, "PNG", "EX_ST11234.png"},
      {"ST1", 123, 4, "Jpg", "EX_ST112304.jpg"},
      // Separators in the study ID must not lead the file out of the folder.
      {"../a/b\\c", 1, 1, "bmp", "EX_.._a_b_c0101.bmp"},
  };
  for (const Case& c : cases) {
    CImageEach record;
    fill(record, 4, 4, std::vector<std::uint16_t>(16, 100), 12, 1000, 1000);
    record.scanInfo.Stu.StuID = QString::fromLatin1(c.studyId);
    record.scanInfo.Img.SeriesNo = c.series;
    record.scanInfo.Img.ImageNo = c.image;
    const QString path = ExportImage(QString(), dir.path(), QStringLiteral("EX_"), 1,
                                     QString::fromLatin1(c.format), &record);
    EXPECT_EQ(path, QDir(dir.path()).filePath(QString::fromLatin1(c.name))) << c.name;
    EXPECT_TRUE(QFile::exists(path)) << c.name;
  }
}

TEST_F(ExportTest, UnwritableFolderGivesNothing) {
  const QString missing = dir.filePath(QStringLiteral("missing/deeper"));
  for (const char* format : {"bmp", "jpg", "png"}) {
    CImageEach record;
    fill(record, 8, 8, std::vector<std::uint16_t>(64, 100), 12, 1000, 1000);
    EXPECT_EQ(ExportImage(QString(), missing, QString(), 1, QString::fromLatin1(format), &record),
              QString())
        << format;
  }
  EXPECT_TRUE(files().isEmpty());
}

TEST_F(ExportTest, NothingToExportGivesNothing) {
  EXPECT_EQ(ExportImage(QString(), dir.path(), QString(), 1, QStringLiteral("bmp"), nullptr),
            QString());
  CImageEach empty;
  EXPECT_EQ(ExportImage(QString(), dir.path(), QString(), 1, QStringLiteral("bmp"), &empty),
            QString());
  EXPECT_EQ(ExportImage(dir.filePath(QStringLiteral("absent.dcm")), dir.path(), QString(), 1,
                        QStringLiteral("bmp")),
            QString());
  EXPECT_TRUE(files().isEmpty());
}

TEST_F(ExportTest, SourceFileIsLoadedAndExportedThroughItsWindow) {
  DicomBuilder b;
  b.pixels16(4, 4, std::vector<std::uint16_t>(16, 1000), 12)
      .set(DCM_WindowWidth, "1000")
      .set(DCM_WindowCenter, "750")
      .set(DCM_StudyID, "S9")
      .set(DCM_SeriesNumber, "1")
      .set(DCM_InstanceNumber, "3");
  const QString source = dir.filePath(QStringLiteral("source.dcm"));
  ASSERT_TRUE(b.save(source));
  QTemporaryDir out;
  const QString path =
      ExportImage(source, out.path(), QStringLiteral("x"), 1, QStringLiteral("png"));
  EXPECT_EQ(path, QDir(out.path()).filePath(QStringLiteral("xS90103.png")));
  const QImage picture(path);
  ASSERT_EQ(picture.size(), QSize(4, 4));
  EXPECT_EQ(level(picture, 0, 0), exportTable(12, 1000, 750)[1000]);
}

TEST_F(ExportTest, InvertedImageExportsItsNegative) {
  CImageEach record;
  fill(record, 4, 4, std::vector<std::uint16_t>(16, 750), 12, 1000, 1000);
  ASSERT_TRUE(record.image.Invert());  // 750 → 3345, centre 1000 → 3095
  const QImage picture(
      ExportImage(QString(), dir.path(), QString(), 1, QStringLiteral("bmp"), &record));
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(level(picture, 0, 0), 191);  // 750 showed 63 before: 255 - 63 - 1 by truncation
}

TEST_F(ExportTest, ColourImageExportsInColourInEveryFormat) {
  // Row 0: red, green, blue, a dark mixed colour; the other rows black. The 16 x 16 picture
  // gives JPEG flat 8 x 8 blocks on the right (red above, blue below) to keep.
  CImageEach record;
  ASSERT_TRUE(record.image.Create(16, 16, 24));
  const std::vector<QRgb> row0 = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                  qRgb(10, 20, 30)};
  imaging::Bitmap& bitmap = record.image.bitmap();
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      QRgb colour = qRgb(0, 0, 0);
      if (y == 0 && x < 4) colour = row0[std::size_t(x)];
      if (x >= 8) colour = y < 8 ? qRgb(200, 0, 0) : qRgb(0, 0, 200);
      std::uint8_t* p = bitmap.row(y) + 3 * x;
      p[0] = std::uint8_t(qRed(colour));
      p[1] = std::uint8_t(qGreen(colour));
      p[2] = std::uint8_t(qBlue(colour));
    }
  }
  record.image.ResetView();
  record.image.StoreWindow(0, 0);
  for (const char* format : {"bmp", "png"}) {
    const QImage picture(
        ExportImage(QString(), dir.path(), QString(), 1, QString::fromLatin1(format), &record));
    ASSERT_EQ(picture.size(), QSize(16, 16)) << format;
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(picture.pixel(x, 0) & 0xFFFFFF, row0[std::size_t(x)] & 0xFFFFFF) << format << x;
    EXPECT_EQ(picture.pixel(0, 1) & 0xFFFFFF, 0u) << format;
    EXPECT_EQ(picture.pixel(12, 3) & 0xFFFFFF, qRgb(200, 0, 0) & 0xFFFFFF) << format;
  }
  const QImage jpeg(
      ExportImage(QString(), dir.path(), QString(), 1, QStringLiteral("jpg"), &record));
  ASSERT_EQ(jpeg.size(), QSize(16, 16));
  EXPECT_FALSE(jpeg.isGrayscale());
  EXPECT_NEAR(qRed(jpeg.pixel(12, 3)), 200, 12);
  EXPECT_NEAR(qBlue(jpeg.pixel(12, 3)), 0, 12);
  EXPECT_NEAR(qBlue(jpeg.pixel(12, 12)), 200, 12);
  EXPECT_NEAR(qRed(jpeg.pixel(12, 12)), 0, 12);
}

// A colour file keeps its colour through the export and through the pane's painting (as the
// command line's render paints it).
TEST_F(ExportTest, ColourFilesStayColourInTheExportAndThePane) {
  for (const char* name : {"us_rgb_320x240_le.dcm", "sc_rgb_16bit.dcm"}) {
    const QString source =
        QStringLiteral(TORASCAN_TESTDATA_DIR "/dicom/") + QString::fromLatin1(name);
    const auto hasColour = [](const QImage& picture) {
      for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
          if (qRed(picture.pixel(x, y)) != qGreen(picture.pixel(x, y))) return true;
      return false;
    };
    for (const char* format : {"bmp", "png", "jpg"}) {
      const QImage picture(
          ExportImage(source, dir.path(), QString(), 1, QString::fromLatin1(format)));
      ASSERT_FALSE(picture.isNull()) << name << " " << format;
      EXPECT_TRUE(hasColour(picture)) << name << " " << format;
    }
    CImageEach record;
    ASSERT_EQ(record.OpenDicom(source, 0, 0), 0) << name;
    QImage pane(200, 200, QImage::Format_RGB32);
    const QRect client(0, 0, 200, 200);
    record.image.FitToRect(client);
    record.image.FillBackground(pane, client, qRgb(0, 0, 0));
    record.image.Paint(pane);
    EXPECT_TRUE(hasColour(pane)) << name;
  }
}

// ---------------------------------------------------------------------------------------------
// The BMP holder

TEST(BaseBitmap, PadsRowsAndStoresThemBottomUp) {
  QTemporaryDir dir;
  const int width = 5;
  const int height = 3;
  std::vector<std::uint8_t> pixels;
  for (int i = 0; i < width * height; ++i) pixels.push_back(std::uint8_t(10 * i));
  CBaseBitmap bitmap;
  ASSERT_TRUE(bitmap.Create(width, height, 0));
  EXPECT_EQ(bitmap.stride(), 8);
  ASSERT_TRUE(bitmap.LoadPixels(pixels.data()));
  const QString path = dir.filePath(QStringLiteral("b.bmp"));
  ASSERT_TRUE(bitmap.SaveBmp(path));

  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  ASSERT_EQ(bytes.size(), 14 + 40 + 256 * 4 + 8 * height);
  EXPECT_TRUE(bytes.startsWith("BM"));
  // The first stored row is the bottom one.
  EXPECT_EQ(std::uint8_t(bytes[14 + 40 + 1024]), pixels[std::size_t(width) * (height - 1)]);

  const QImage picture(path);
  ASSERT_EQ(picture.size(), QSize(width, height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      EXPECT_EQ(qGray(picture.pixel(x, y)), pixels[std::size_t(y) * width + x]) << x << "," << y;
    }
  }
}

TEST(BaseBitmap, RefusesEmptySizesAndSavingNothing) {
  CBaseBitmap bitmap;
  const std::uint8_t pixel = 0;
  EXPECT_FALSE(bitmap.LoadPixels(&pixel));
  EXPECT_FALSE(bitmap.SaveBmp(QStringLiteral("unused.bmp")));
  EXPECT_FALSE(bitmap.Create(0, 5, 0));
  EXPECT_FALSE(bitmap.Create(5, -1, 0));
}

}  // namespace

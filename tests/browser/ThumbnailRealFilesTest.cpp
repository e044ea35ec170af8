// Thumbnails of real radiographs from other sources (read-only, outside the project).
#include <gtest/gtest.h>

#include <QDirIterator>
#include <cmath>

#include "BrowserTestSupport.h"
#include "browser/ThumbnailMaker.h"

using browsertest::levelAt;
using thumbnail::Outcome;

namespace {

QString realFile(const char* name) {
  return QStringLiteral(TORASCAN_TESTDATA_DIR "/dicom/") + QLatin1String(name);
}

double meanDifference(const QImage& a, const QImage& b) {
  double sum = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) sum += std::abs(levelAt(a, x, y) - levelAt(b, x, y));
  }
  return sum / (a.width() * a.height());
}

// One hip image stored four ways: the lossless ones give the very same thumbnail, the lossy one
// nearly the same.
TEST(ThumbnailRealFiles, OneImageInEveryEncodingGivesOneThumbnail) {
  const thumbnail::Result reference = thumbnail::Make(realFile("cr_hip_1760x2140_unc.dcm"));
  ASSERT_EQ(reference.outcome, Outcome::Ready);
  for (const char* lossless : {"cr_hip_1760x2140_jpll.dcm", "cr_hip_1760x2140_jlsl.dcm"}) {
    const thumbnail::Result made = thumbnail::Make(realFile(lossless));
    ASSERT_EQ(made.outcome, Outcome::Ready) << lossless;
    EXPECT_EQ(made.picture, reference.picture) << lossless;
  }
  const thumbnail::Result lossy = thumbnail::Make(realFile("cr_hip_1760x2140_jply.dcm"));
  ASSERT_EQ(lossy.outcome, Outcome::Ready);
  EXPECT_LT(meanDifference(lossy.picture, reference.picture), 2.0);
}

// Radiographs of every shape keep their proportions: black beside or above and below the
// picture, and something to see inside it.
TEST(ThumbnailRealFiles, RadiographsKeepTheirProportions) {
  struct Case {
    const char* file;
    int width, height;
  };
  const Case cases[] = {{"cr_hip_1760x2140_unc.dcm", 1760, 2140},
                        {"cr_hand_2048x2500_j2kr.dcm", 2048, 2500},
                        {"cr_mono1_1976x1576_mlut_jpll.dcm", 1976, 1576},
                        {"mg_2394x3062_3win_voilut_jpll.dcm", 2394, 3062},
                        {"dx_mono2_1420x1416_16bit_j2kr.dcm", 1420, 1416}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const thumbnail::Result made = thumbnail::Make(realFile(c.file));
    ASSERT_EQ(made.outcome, Outcome::Ready);
    const QRect inside(QPoint((100 - thumbnail::FitSize(c.width, c.height).width()) / 2,
                              (100 - thumbnail::FitSize(c.width, c.height).height()) / 2),
                       thumbnail::FitSize(c.width, c.height));
    int lit = 0;
    for (int y = 0; y < 100; ++y) {
      for (int x = 0; x < 100; ++x) {
        const int level = levelAt(made.picture, x, y);
        if (!inside.contains(x, y)) {
          ASSERT_EQ(level, 0) << x << "," << y;
        } else {
          lit += level > 0;
        }
      }
    }
    EXPECT_GT(lit, inside.width() * inside.height() / 4);
  }
}

// Whatever a file holds, it gives one of the outcomes and never a crash; a picture is always a
// whole 100 x 100 16-bit thumbnail.
TEST(ThumbnailRealFiles, EveryFileGivesAnOutcome) {
  QDirIterator files(QStringLiteral(TORASCAN_TESTDATA_DIR "/dicom"), QDir::Files,
                     QDirIterator::Subdirectories);
  int ready = 0;
  while (files.hasNext()) {
    const QString path = files.next();
    const thumbnail::Result made = thumbnail::Make(path);
    if (made.outcome == Outcome::Ready) {
      ++ready;
      EXPECT_EQ(made.picture.size(), QSize(100, 100)) << path.toStdString();
      EXPECT_EQ(made.picture.format(), QImage::Format_Grayscale16) << path.toStdString();
    } else {
      EXPECT_TRUE(made.picture.isNull()) << path.toStdString();
    }
  }
  EXPECT_GT(ready, 30);
}

}  // namespace

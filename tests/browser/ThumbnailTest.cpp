// Thumbnails as the strip shows them: fitted, windowed like the viewer, made from the first
// frame; and kept in memory and on disk until their file changes.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "BrowserTestSupport.h"
#include "browser/ThumbnailCache.h"
#include "browser/ThumbnailMaker.h"

using browsertest::greyImage;
using browsertest::levelAt;
using browsertest::writeFlat;
using thumbnail::Outcome;

namespace {

TEST(ThumbnailFit, KeepsProportionsInsideOneHundredPixels) {
  struct Case {
    int width, height;
    QSize fit;
  };
  const Case cases[] = {{3000, 3000, {100, 100}}, {200, 100, {100, 50}}, {100, 200, {50, 100}},
                        {2500, 2048, {100, 81}},  {99, 100, {99, 100}},  {4000, 10, {100, 1}},
                        {10, 4000, {1, 100}},     {0, 10, {}},           {10, 0, {}}};
  for (const Case& c : cases) {
    EXPECT_EQ(thumbnail::FitSize(c.width, c.height), c.fit) << c.width << " x " << c.height;
  }
}

class ThumbnailMake : public ::testing::Test {
 protected:
  QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
  QTemporaryDir dir;
};

// A wide image: the picture fills the middle band, black above and below; the window of the
// file maps 1000 and 3000 to levels 63 and 191.
TEST_F(ThumbnailMake, WideImageSitsInTheMiddleBandWindowedByItsFile) {
  const QString path = file("wide.dcm");
  ASSERT_TRUE(greyImage(400, 200, [](int x, int) { return x < 200 ? 1000 : 3000; }).save(path));
  const thumbnail::Result made = thumbnail::Make(path);
  ASSERT_EQ(made.outcome, Outcome::Ready);
  ASSERT_EQ(made.picture.size(), QSize(100, 100));
  ASSERT_EQ(made.picture.format(), QImage::Format_Grayscale16);
  EXPECT_NEAR(levelAt(made.picture, 20, 50), 63, 1);
  EXPECT_NEAR(levelAt(made.picture, 80, 50), 191, 1);
  for (const int y : {0, 24, 75, 99}) EXPECT_EQ(levelAt(made.picture, 50, y), 0) << y;
  for (const int y : {25, 74}) EXPECT_GT(levelAt(made.picture, 20, y), 0) << y;
}

// Bone shows white on a MONOCHROME1 file as in the viewer: its low values are the bright ones.
TEST_F(ThumbnailMake, MonochromeOneShowsLowValuesWhite) {
  const QString path = file("m1.dcm");
  auto builder = greyImage(200, 200, [](int x, int) { return x < 100 ? 1000 : 3000; });
  builder.set(DCM_PhotometricInterpretation, "MONOCHROME1")
      .remove(DCM_WindowCenter)
      .remove(DCM_WindowWidth);
  ASSERT_TRUE(builder.save(path));
  const thumbnail::Result made = thumbnail::Make(path);
  ASSERT_EQ(made.outcome, Outcome::Ready);
  EXPECT_GT(levelAt(made.picture, 20, 50), 250);
  EXPECT_LT(levelAt(made.picture, 80, 50), 5);
}

// Fine detail averages to grey instead of turning into stripes of one or the other value.
TEST_F(ThumbnailMake, FineDetailAveragesInsteadOfAliasing) {
  const QString path = file("lines.dcm");
  ASSERT_TRUE(greyImage(1000, 1000, [](int x, int) { return x % 2 == 0 ? 0 : 4000; }).save(path));
  const thumbnail::Result made = thumbnail::Make(path);
  ASSERT_EQ(made.outcome, Outcome::Ready);
  for (int x = 0; x < 100; x += 7) EXPECT_NEAR(levelAt(made.picture, x, 50), 127, 2) << x;
}

TEST_F(ThumbnailMake, MultiFrameFileShowsItsFirstFrame) {
  const QString path = file("cine.dcm");
  std::vector<std::uint16_t> frames;
  for (const std::uint16_t value : {1000, 2000, 3000}) frames.insert(frames.end(), 64 * 64, value);
  testsupport::DicomBuilder builder;
  builder.pixels16(64, 64, frames, 12).set(DCM_WindowCenter, "2000").set(DCM_WindowWidth, "4000");
  ASSERT_TRUE(builder.save(path));
  const thumbnail::Result made = thumbnail::Make(path);
  ASSERT_EQ(made.outcome, Outcome::Ready);
  EXPECT_NEAR(levelAt(made.picture, 50, 50), 63, 1);
}

TEST_F(ThumbnailMake, ColourImageShowsItsLuminance) {
  const QString path = file("rgb.dcm");
  std::vector<std::uint8_t> red;
  for (int i = 0; i < 32 * 32; ++i) red.insert(red.end(), {255, 0, 0});
  ASSERT_TRUE(testsupport::DicomBuilder().rgb(32, 32, red).save(path));
  const thumbnail::Result made = thumbnail::Make(path);
  ASSERT_EQ(made.outcome, Outcome::Ready);
  EXPECT_EQ(levelAt(made.picture, 50, 50), qGray(255, 0, 0));
}

TEST_F(ThumbnailMake, FilesWithoutAPictureSayWhy) {
  const QString missing = file("missing.dcm");
  const QString text = file("notes.dcm");
  QFile notes(text);
  ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
  notes.write("not an image\n");
  notes.close();
  const QString noPixels = file("nopixels.dcm");
  ASSERT_TRUE(testsupport::DicomBuilder().save(noPixels));
  const std::pair<QString, Outcome> cases[] = {
      {missing, Outcome::Missing}, {text, Outcome::Unreadable}, {noPixels, Outcome::NoPicture}};
  for (const auto& [path, outcome] : cases) {
    const thumbnail::Result made = thumbnail::Make(path);
    EXPECT_EQ(made.outcome, outcome) << path.toStdString();
    EXPECT_TRUE(made.picture.isNull()) << path.toStdString();
  }
}

// ---------------------------------------------------------------------------------------------
// The caches

class ThumbnailCacheTest : public ::testing::Test {
 protected:
  QString file(const char* name) const { return files.filePath(QString::fromLatin1(name)); }
  QString diskFolder() const { return disk.path() + QStringLiteral("/thumbnails"); }

  // The result the cache hands over for path, waiting for it when it is made.
  static thumbnail::Result fetch(CThumbnailCache& cache, const QString& path) {
    if (auto known = cache.Find(path)) return *known;
    thumbnail::Result result;
    bool ready = false;
    cache.SetReadyHandler([&](const QString& readyPath, const thumbnail::Result& made) {
      if (readyPath != path) return;
      result = made;
      ready = true;
    });
    cache.Request({path});
    EXPECT_TRUE(QTest::qWaitFor([&] { return ready; }, 20000)) << path.toStdString();
    cache.SetReadyHandler(nullptr);
    return result;
  }
  QStringList diskFiles() const {
    return QDir(diskFolder()).entryList(QDir::Files | QDir::NoDotAndDotDot);
  }
  // Writes a flat image of another value over path, keeping its size and modification time.
  static void rewriteKeepingSizeAndTime(const QString& path, std::uint16_t value) {
    const QDateTime modified = QFileInfo(path).lastModified();
    const qint64 size = QFileInfo(path).size();
    ASSERT_TRUE(writeFlat(path, 64, 64, value));
    QFile rewritten(path);
    ASSERT_TRUE(rewritten.open(QIODevice::ReadWrite));
    ASSERT_TRUE(rewritten.setFileTime(modified, QFileDevice::FileModificationTime));
    ASSERT_EQ(rewritten.size(), size);
  }

  QTemporaryDir files;
  QTemporaryDir disk;
};

TEST_F(ThumbnailCacheTest, SecondRequestIsServedFromMemory) {
  const QString path = file("a.dcm");
  ASSERT_TRUE(writeFlat(path, 64, 64, 1000));
  CThumbnailCache cache(diskFolder());
  EXPECT_FALSE(cache.Find(path).has_value());
  const thumbnail::Result first = fetch(cache, path);
  ASSERT_EQ(first.outcome, Outcome::Ready);
  // Neither the file's pixels nor the disk copy are read again.
  rewriteKeepingSizeAndTime(path, 3000);
  ASSERT_TRUE(QDir(diskFolder()).removeRecursively());
  const auto again = cache.Find(path);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->picture, first.picture);
  EXPECT_FALSE(cache.Busy());
}

TEST_F(ThumbnailCacheTest, NewProcessIsServedFromDisk) {
  const QString path = file("a.dcm");
  ASSERT_TRUE(writeFlat(path, 64, 64, 1000));
  thumbnail::Result first;
  {
    CThumbnailCache cache(diskFolder());
    first = fetch(cache, path);
  }
  ASSERT_EQ(diskFiles().size(), 1);
  rewriteKeepingSizeAndTime(path, 3000);
  ASSERT_NEAR(levelAt(thumbnail::Make(path).picture, 50, 50), 191, 1);  // the file did change
  CThumbnailCache later(diskFolder());
  EXPECT_FALSE(later.Find(path).has_value());
  EXPECT_EQ(fetch(later, path).picture, first.picture);
}

// The same cache, or a later one: a file written again in another size or at another time is
// made again, from memory and from disk alike.
TEST_F(ThumbnailCacheTest, ChangedFileIsMadeAgain) {
  struct Case {
    const char* name;
    bool otherSize;
    bool sameCache;
  };
  const Case cases[] = {{"size.dcm", true, true},
                        {"time.dcm", false, true},
                        {"size-later.dcm", true, false},
                        {"time-later.dcm", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = file(c.name);
    ASSERT_TRUE(writeFlat(path, 64, 64, 1000));
    auto cache = std::make_unique<CThumbnailCache>(diskFolder());
    ASSERT_NEAR(levelAt(fetch(*cache, path).picture, 50, 50), 63, 1);
    const QDateTime modified = QFileInfo(path).lastModified();
    ASSERT_TRUE(writeFlat(path, c.otherSize ? 80 : 64, 64, 3000));
    QFile changed(path);
    ASSERT_TRUE(changed.open(QIODevice::ReadWrite));
    ASSERT_TRUE(changed.setFileTime(c.otherSize ? modified : modified.addSecs(60),
                                    QFileDevice::FileModificationTime));
    changed.close();
    if (!c.sameCache) cache = std::make_unique<CThumbnailCache>(diskFolder());
    EXPECT_FALSE(cache->Find(path).has_value());
    EXPECT_NEAR(levelAt(fetch(*cache, path).picture, 50, 50), 191, 1);
  }
}

TEST_F(ThumbnailCacheTest, DamagedDiskCopyIsMadeAgain) {
  const QString path = file("a.dcm");
  ASSERT_TRUE(writeFlat(path, 64, 64, 1000));
  QByteArray sound;
  {
    CThumbnailCache cache(diskFolder());
    fetch(cache, path);
    ASSERT_EQ(diskFiles().size(), 1);
    QFile copy(QDir(diskFolder()).filePath(diskFiles().first()));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    sound = copy.readAll();
  }
  QByteArray wrongSize;
  {
    QBuffer buffer(&wrongSize);
    buffer.open(QIODevice::WriteOnly);
    QImage small(10, 10, QImage::Format_Grayscale16);
    small.fill(Qt::white);
    small.save(&buffer, "PNG");
  }
  const std::pair<const char*, QByteArray> damages[] = {{"garbage", QByteArray("not a picture")},
                                                        {"cut short", sound.left(sound.size() / 2)},
                                                        {"another picture", wrongSize}};
  for (const auto& [what, bytes] : damages) {
    SCOPED_TRACE(what);
    const QString copyPath = QDir(diskFolder()).filePath(diskFiles().first());
    QFile copy(copyPath);
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly | QIODevice::Truncate));
    copy.write(bytes);
    copy.close();
    CThumbnailCache cache(diskFolder());
    const thumbnail::Result made = fetch(cache, path);
    ASSERT_EQ(made.outcome, Outcome::Ready);
    EXPECT_NEAR(levelAt(made.picture, 50, 50), 63, 1);
    // The copy is sound again.
    QImage reread;
    ASSERT_TRUE(reread.load(copyPath, "PNG"));
    EXPECT_EQ(reread, made.picture);
  }
}

TEST_F(ThumbnailCacheTest, MemoryKeepsOnlyTheMostRecentlyUsed) {
  CThumbnailCache cache(diskFolder(), 2);
  const QString paths[] = {file("1.dcm"), file("2.dcm"), file("3.dcm")};
  for (const QString& path : paths) ASSERT_TRUE(writeFlat(path, 16, 16, 1000));
  fetch(cache, paths[0]);
  fetch(cache, paths[1]);
  ASSERT_TRUE(cache.Find(paths[0]).has_value());  // now the most recently used
  fetch(cache, paths[2]);
  EXPECT_TRUE(cache.Find(paths[0]).has_value());
  EXPECT_FALSE(cache.Find(paths[1]).has_value());
  EXPECT_TRUE(cache.Find(paths[2]).has_value());
}

// Only pictures go to disk: an unreadable file is tried again by the next process, as the
// operator is told about it each time.
TEST_F(ThumbnailCacheTest, UnreadableFileIsRememberedInMemoryOnly) {
  const QString path = file("notes.dcm");
  QFile notes(path);
  ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
  notes.write("not an image\n");
  notes.close();
  CThumbnailCache cache(diskFolder());
  EXPECT_EQ(fetch(cache, path).outcome, Outcome::Unreadable);
  const auto known = cache.Find(path);
  ASSERT_TRUE(known.has_value());
  EXPECT_EQ(known->outcome, Outcome::Unreadable);
  EXPECT_TRUE(diskFiles().isEmpty());
}

}  // namespace

#include <QDir>
#include <QFile>
#include <QProcess>
#include <functional>

#include "DbTestSupport.h"
#include "app/AppSettings.h"

namespace {

using Series = DbTest;
using Images = DbTest;

QList<long> imageNumbers(CDRImgInfo& images) {
  QList<long> numbers;
  for (; !images.IsEOF(); images.MoveNext()) numbers.append(images.ImageNo);
  images.Close();
  return numbers;
}

TEST_F(Series, NextSeriesNoIsTheHighestPlusOne) {
  CDRSerInfo series(path);
  EXPECT_EQ(series.NextSeriesNo("P1", "S1", 1), 1);
  addSeries(1, 1);
  addSeries(1, 5);
  addSeries(1, 2);
  addSeries(2, 9, "P2", "S2");
  EXPECT_EQ(series.NextSeriesNo("P1", "S1", 1), 6);
  EXPECT_EQ(series.NextSeriesNo("", "", 2), 10);
  EXPECT_EQ(series.NextSeriesNo("P3", "", 0), 1);
  EXPECT_FALSE(series.IsOpen());
}

TEST_F(Series, OpenSeriesByEveryGivenCriterion) {
  CDRSerInfo series(path);
  CDSerInfo row;
  row.StuSeq = 4;
  row.SeriesNo = 2;
  row.PatID = QStringLiteral("P1");
  row.StuID = QStringLiteral("S1");
  row.Laterality = QStringLiteral("L");
  row.BodyPart = QStringLiteral("HAND");
  row.PatientPosition = QStringLiteral("PA");
  row.SeriesDate = CDateTime(2024, 7, 1, 10, 0, 0);
  row.InstanceCount = 9;  // appended as 0
  const long key = series.InsertNew(row);
  EXPECT_EQ(key, 1);
  EXPECT_EQ(row.SerSeq, key);
  addSeries(4, 3);

  ASSERT_EQ(series.OpenSeries("P1", "S1", 2, "L", "HAND", "PA", 4), 1);
  EXPECT_EQ(series.SerSeq, key);
  EXPECT_EQ(series.SeriesDate, row.SeriesDate);
  EXPECT_EQ(series.InstanceCount, 0);
  series.Close();
  EXPECT_EQ(series.OpenSeries("", "", 0, "", "", "", 4), 1);
  EXPECT_EQ(series.GetRecordCount(), 2);
  EXPECT_EQ(series.OpenSeries("", "", 0, "R", "", "", 4), 0);
}

TEST_F(Series, DeletesNeedTheirCriteria) {
  addSeries(1, 1, "P1", "S1");
  addSeries(1, 2, "P1", "S1");
  addSeries(2, 1, "P1", "S2");
  const long other = addSeries(3, 1, "P2", "S3");
  CDRSerInfo series(path);
  auto rows = [this] { return scalar("SELECT COUNT(*) AS n FROM SerInfo"); };

  series.DeleteSeriesOf("", "", 1);
  series.DeleteBySerSeq(0);
  EXPECT_EQ(series.DeleteByStudy(0, 0), 0);
  EXPECT_EQ(series.DeleteByStudy(0, 1), 0);  // not series number 1 of every study
  EXPECT_EQ(rows(), 4);

  series.DeleteSeriesOf("P1", "S1", 2);
  EXPECT_EQ(rows(), 3);
  EXPECT_EQ(series.DeleteByStudy(2, 0), 1);
  EXPECT_EQ(rows(), 2);
  series.DeleteBySerSeq(other);
  EXPECT_EQ(rows(), 1);
  series.DeleteSeriesOf("P1", "", 0);
  EXPECT_EQ(rows(), 0);
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(Series, CountsAndRecounts) {
  const long first = addSeries(1, 1);
  const long empty = addSeries(1, 2);
  addSeries(2, 1);
  addImage(first, 1);
  addImage(first, 2);
  CDRSerInfo series(path);
  EXPECT_EQ(series.CountSeries(1), 2);
  EXPECT_EQ(series.CountSeries(7), 0);
  EXPECT_EQ(series.RecountStudyImages(1), 2);
  EXPECT_EQ(series.RecountStudyImages(7), 0);

  CDRImgInfo images(path);
  EXPECT_EQ(images.CountImages(empty), 0);
  addImage(empty, 1);
  series.RecountSeries(empty);
  EXPECT_EQ(
      scalar(QStringLiteral("SELECT InstanceCount AS n FROM SerInfo WHERE SerSeq = %1").arg(empty)),
      1);
  CDRImgInfo(path).DeleteImages(empty, 0);
  series.RecountSeries(empty);
  EXPECT_EQ(
      scalar(QStringLiteral("SELECT InstanceCount AS n FROM SerInfo WHERE SerSeq = %1").arg(empty)),
      0);
  EXPECT_TRUE(sink.isEmpty());
}

// A key names its own rows, 0 included: no row has key 0, so nothing is counted, numbering
// starts at 1 and no other row is read or rewritten.
TEST_F(Series, KeyedCountsAndNumbersCoverOnlyTheirKey) {
  const long first = addSeries(1, 1);
  const long empty = addSeries(1, 2);
  const long other = addSeries(2, 1);
  for (long number : {1, 2, 7}) addImage(first, number);
  addImage(other, 30);
  CDRSerInfo series(path);
  CDRImgInfo images(path);
  struct Case {
    const char* call;
    std::function<long()> result;
    long expected;
  };
  const Case cases[] = {
      {"CountImages(first)", [&] { return images.CountImages(first); }, 3},
      {"CountImages(empty)", [&] { return images.CountImages(empty); }, 0},
      {"CountImages(0)", [&] { return images.CountImages(0); }, 0},
      {"NextImageNo(first)", [&] { return images.NextImageNo(first); }, 8},
      {"NextImageNo(0)", [&] { return images.NextImageNo(0); }, 1},
      {"OpenImages(0, 0)", [&] { return long(images.OpenImages(0, 0)); }, 0},
      {"OpenImages(0, 1)", [&] { return long(images.OpenImages(0, 1)); }, 0},
      {"CountSeries(1)", [&] { return series.CountSeries(1); }, 2},
      {"CountSeries(0)", [&] { return series.CountSeries(0); }, 0},
      {"RecountStudyImages(1)", [&] { return series.RecountStudyImages(1); }, 3},
      {"RecountStudyImages(0)", [&] { return series.RecountStudyImages(0); }, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.result(), c.expected) << c.call;
  // Study 2's count was never recounted: a walk over every series would have set it.
  EXPECT_EQ(
      scalar(QStringLiteral("SELECT InstanceCount AS n FROM SerInfo WHERE SerSeq = %1").arg(other)),
      0);
  EXPECT_TRUE(sink.isEmpty());
}

// Every column of the image table makes the round trip: the row read back equals the value
// record appended, field by field (the key is the engine's, SendToDICOM is always false).
TEST_F(Images, EveryColumnIsStoredAndReadBack) {
  CDRImgInfo source(path);
  QStringList columns;
  CFieldExchange names(CFieldExchange::Names, &columns);
  source.DoFieldExchange(names);
  ASSERT_EQ(columns.size(), 73);
  // A distinct value for each column: its position, as text or number.
  QVariantList row;
  for (qsizetype i = 0; i < columns.size(); ++i) row.append(QString::number(i + 1));
  CFieldExchange load(&row, 0);
  source.DoFieldExchange(load);
  source.ImageDateTime = CDateTime(2024, 12, 31, 23, 59, 58);
  source.AcquisitionDateTime = CDateTime(1899, 12, 30);
  source.RescaleSlope = 0.125;
  source.FullPath = QStringLiteral("/archive/O'Brien/\uae40.dcm");
  source.SendToDICOM = true;
  CDImgInfo image;
  source.CopyTo(image);

  CDRImgInfo images(path);
  const long key = images.InsertNew(image);
  ASSERT_EQ(key, 1);
  EXPECT_EQ(image.ImgSeq, 1);
  ASSERT_EQ(images.OpenImages(image.SerSeq, 0), 1);
  EXPECT_EQ(images.PreviewRAWSize, 0);  // only the table has them: not taken from the record
  EXPECT_FALSE(images.SendToDICOM);

  QVariantList stored;
  CFieldExchange storedValues(&stored);
  images.DoFieldExchange(storedValues);
  QVariantList expected;
  CFieldExchange expectedValues(&expected);
  source.ImgSeq = key;
  source.SendToDICOM = false;
  source.PreviewRAWSize = 0;
  source.PreviewDCMSize = 0;
  source.DoFieldExchange(expectedValues);
  ASSERT_EQ(stored.size(), expected.size());
  for (qsizetype i = 0; i < stored.size(); ++i) {
    EXPECT_EQ(stored[i], expected[i]) << columns[i].toStdString();
  }
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(Images, FailedAppendIsReportedAsImageInsertError) {
  CdbDatabase(path).Execute(QStringLiteral("DROP TABLE ImgInfo"));
  CDImgInfo image;
  EXPECT_EQ(CDRImgInfo(path).InsertNew(image), -1);
  EXPECT_EQ(image.ImgSeq, 0);
  ASSERT_EQ(sink.count(), 1);
  EXPECT_EQ(sink.messages()[0].text, "Img. InsertNew Error");
  EXPECT_EQ(sink.messages()[0].caption, "Main control");
}

TEST_F(Images, NextNumbersIgnoreGaps) {
  CDRImgInfo images(path);
  EXPECT_EQ(images.NextImgSeq(), 1);
  EXPECT_EQ(images.NextImageNo(5), 1);
  addImage(5, 1);
  addImage(5, 2);
  addImage(5, 7);
  addImage(6, 30);
  EXPECT_EQ(images.NextImageNo(5), 8);
  EXPECT_EQ(images.NextImageNo(6), 31);
  EXPECT_EQ(images.NextImageNo(9), 1);
  EXPECT_EQ(images.NextImgSeq(), 5);
  EXPECT_FALSE(images.IsOpen());
}

TEST_F(Images, OpenImagesInTheSortDirection) {
  for (long number : {2, 3, 1}) addImage(5, number, {}, QStringLiteral("1.2.%1").arg(number));
  addImage(6, 1, {}, QStringLiteral("1.2.1"));
  CDRImgInfo images(path);
  struct Case {
    int direction;
    QList<long> numbers;
  };
  for (const Case& c : {Case{-1, {1, 2, 3}}, Case{0, {3, 2, 1}}, Case{1, {1, 2, 3}}}) {
    images.m_nSortDir = c.direction;
    ASSERT_EQ(images.OpenImages(5, 0), 1);
    EXPECT_EQ(imageNumbers(images), c.numbers) << c.direction;
  }
  ASSERT_EQ(images.OpenImages(5, 3), 1);
  EXPECT_EQ(imageNumbers(images), QList<long>({3}));
  EXPECT_EQ(images.OpenImages(7, 0), 0);

  ASSERT_EQ(images.OpenBySOPInstanceUID(6, "1.2.1"), 1);
  EXPECT_EQ(images.SerSeq, 6);
  EXPECT_EQ(images.GetRecordCount(), 1);
  EXPECT_EQ(images.OpenBySOPInstanceUID(0, "1.2.1"), 1);
  EXPECT_EQ(images.GetRecordCount(), 2);
  EXPECT_EQ(images.OpenBySOPInstanceUID(5, "1.2.9"), 0);
}

class ImageFiles : public DbTest {
 protected:
  // Writes a file and its folders.
  void touch(const QString& file) {
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  }
  QString root = dir.filePath(QStringLiteral("store"));
  QString dayFolder = root + QStringLiteral("/G/F");
};

// The row's path ends in X.DCM while the files are stored in small letters; all four go, then
// the emptied day folder and its parent.
TEST_F(ImageFiles, DeleteImagesRemovesTheFourFilesAndTheEmptiedFolders) {
  for (const char* name : {"x.dcm", "x.raw", "x.tnb", "x_org.dcm"}) {
    touch(dayFolder + QLatin1Char('/') + QLatin1String(name));
  }
  addImage(5, 1, dayFolder + QStringLiteral("/X.DCM"));
  CDRImgInfo(path).DeleteImages(5, 0);
  EXPECT_FALSE(QDir(root + QStringLiteral("/G")).exists());
  EXPECT_TRUE(QDir(root).exists());
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM ImgInfo"), 0);
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(ImageFiles, DeleteImagesByNumberKeepsTheOtherImagesAndTheirFolder) {
  for (long number = 1; number <= 3; ++number) {
    const QString file = dayFolder + QStringLiteral("/img%1.dcm").arg(number);
    touch(file);
    touch(CDRImgInfo::ImageFiles(file).at(1));
    addImage(5, number, file);
  }
  CDRImgInfo images(path);
  images.DeleteImages(0, 3);  // no series: nothing
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM ImgInfo"), 3);
  images.DeleteImages(5, 3);
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM ImgInfo"), 2);
  EXPECT_FALSE(QFile::exists(dayFolder + QStringLiteral("/img3.dcm")));
  EXPECT_FALSE(QFile::exists(dayFolder + QStringLiteral("/img3.raw")));
  EXPECT_TRUE(QFile::exists(dayFolder + QStringLiteral("/img2.dcm")));
  // Rows whose files are already gone are deleted all the same.
  QFile::remove(dayFolder + QStringLiteral("/img1.dcm"));
  images.DeleteImages(5, 0);
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM ImgInfo"), 0);
  EXPECT_FALSE(QDir(dayFolder).exists());
}

// A row the engine refuses to delete keeps its files: no row may point at files that are gone.
TEST_F(ImageFiles, FilesStayWhenTheirRowCannotBeDeleted) {
  const QString file = dayFolder + QStringLiteral("/kept.dcm");
  touch(file);
  addImage(5, 1, file);
  addImage(5, 2, dayFolder + QStringLiteral("/other.dcm"));
  CdbDatabase db(path);
  if (TestDatabase::onServer()) {
    ASSERT_TRUE(db.Execute(QStringLiteral(
        "CREATE FUNCTION keep() RETURNS trigger AS $$ BEGIN RAISE EXCEPTION 'kept'; END $$ "
        "LANGUAGE plpgsql")));
    ASSERT_TRUE(db.Execute(QStringLiteral(
        "CREATE TRIGGER keep BEFORE DELETE ON ImgInfo FOR EACH ROW EXECUTE FUNCTION keep()")));
  } else {
    ASSERT_TRUE(db.Execute(QStringLiteral(
        "CREATE TRIGGER keep BEFORE DELETE ON ImgInfo BEGIN SELECT RAISE(ABORT, 'kept'); END")));
  }
  CDRImgInfo(path).DeleteImages(5, 0);
  EXPECT_TRUE(QFile::exists(file));
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM ImgInfo"), 2);
  ASSERT_EQ(sink.count(), 1);  // one message, and the walk ended
  EXPECT_EQ(sink.messages()[0].caption, "DBException");
}

TEST_F(ImageFiles, TheStorageRootIsNeverRemoved) {
  const QString file = root + QStringLiteral("/day/a.dcm");
  touch(file);
  addImage(5, 1, file);
  AppSettings& settings = theAppSettings();
  const QString previous = settings.dataRoot;
  settings.dataRoot = root;
  CDRImgInfo(path).DeleteImages(5, 0);
  settings.dataRoot = previous;
  EXPECT_FALSE(QDir(root + QStringLiteral("/day")).exists());
  EXPECT_TRUE(QDir(root).exists());
}

TEST(ImageFileNames, CompanionsReplaceTheDicomEnding) {
  EXPECT_EQ(
      CDRImgInfo::ImageFiles("/a.dcm/b/X.DCM"),
      QStringList({"/a.dcm/b/X.DCM", "/a.dcm/b/X.raw", "/a.dcm/b/X.tnb", "/a.dcm/b/X_org.dcm"}));
  EXPECT_EQ(CDRImgInfo::ImageFiles("/a/b/noending"), QStringList({"/a/b/noending"}));
}

}  // namespace

// The browser's record operations on a real archive: DICOM files indexed by the importer, then
// deleted or renumbered, the rows and the files checked afterwards.
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <map>

#include "browser/ImportTestSupport.h"
#include "browser/RecordOperations.h"
#include "imaging/DicomDataSet.h"
#include "image/DicomTags.h"
#include "login/Passwords.h"

namespace {

// One image's place: patient, study, series number, image number.
struct Placed {
  std::string patient;
  std::string study;
  int series;
  int image;
};

class RecordOperations : public ImportTest {
 public:  // the table's cases call the helpers
  void SetUp() override {
    ImportTest::SetUp();
    if (IsSkipped()) return;
    QDir().mkpath(store);
  }

  // Indexes one file per place under the storage folder; acquisition numbers are the image
  // number plus 100, so that they can be told apart from it.
  void archive(std::initializer_list<Placed> places, const QString& accession = "A1") {
    for (const Placed& place : places) {
      const std::string uid = "1.2.9." + std::to_string(++m_files);
      testsupport::DicomBuilder file = radiograph(uid);
      file.set(DCM_PatientID, place.patient)
          .set(DCM_StudyID, place.study)
          .set(DCM_StudyInstanceUID, "1.2.8." + place.patient + "." + place.study)
          .set(DCM_SeriesInstanceUID,
               "1.2.7." + place.patient + "." + place.study + "." + std::to_string(place.series))
          .set(DCM_AccessionNumber, accession.toStdString())
          .set(DCM_SeriesNumber, std::to_string(place.series))
          .set(DCM_InstanceNumber, std::to_string(place.image))
          .set(DCM_AcquisitionNumber, std::to_string(place.image + 100));
      const QString path = QStringLiteral("%1/%2/%3_%4_%5.dcm")
                               .arg(store, QString::fromStdString(place.study))
                               .arg(place.series)
                               .arg(place.image)
                               .arg(m_files);
      QDir().mkpath(QFileInfo(path).absolutePath());
      ASSERT_TRUE(file.save(path));
      ASSERT_EQ(importer.ImportImageFile(path, patID), kImportDone) << path.toStdString();
    }
  }

  long key(const QString& sql) { return value(sql, QStringLiteral("k")).toLongLong(); }
  long serSeq(int seriesNo, const QString& stuID = "S1") {
    return key(QStringLiteral("SELECT SerSeq AS k FROM SerInfo WHERE SeriesNo = %1 AND StuID = '%2'")
                   .arg(seriesNo)
                   .arg(stuID));
  }
  long imgSeq(long serSeq, long imageNo) {
    return key(QStringLiteral("SELECT ImgSeq AS k FROM ImgInfo WHERE SerSeq = %1 AND ImageNo = %2")
                   .arg(serSeq)
                   .arg(imageNo));
  }
  QString fullPath(long imgSeq) {
    return value(QStringLiteral("SELECT FullPath FROM ImgInfo WHERE ImgSeq = %1").arg(imgSeq),
                 "FullPath")
        .toString();
  }
  long stuSeq(const QString& stuID) {
    return key(QStringLiteral("SELECT StuSeq AS k FROM StuInfo WHERE StuID = '%1'").arg(stuID));
  }

  // The files under the storage folder.
  QStringList storedFiles() {
    QStringList files;
    QDirIterator it(store, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files.append(it.next());
    files.sort();
    return files;
  }

  // ImageNo and AcqNo of each row of the series, with the instance and acquisition numbers its
  // file holds, by ImgSeq.
  struct Numbers {
    long imageNo, acqNo, fileInstance, fileAcquisition, fileSeries;
    bool operator==(const Numbers&) const = default;
  };
  std::map<long, Numbers> numbers(long serSeq) {
    std::map<long, Numbers> result;
    CdbDatabase rows(dbPath);
    rows.Open(CGMDaoRecordset::dbOpenSnapshot,
              QStringLiteral("SELECT ImgSeq, ImageNo, AcqNo, FullPath FROM ImgInfo WHERE SerSeq = ?"),
              {qlonglong(serSeq)});
    for (; !rows.IsEOF(); rows.MoveNext()) {
      imaging::DicomDataSet data;
      const QString file = rows.GetFieldValue("FullPath").toString();
      EXPECT_EQ(data.load(file.toStdString()), 0) << file.toStdString();
      const auto number = [&](imaging::DicomTag element) {
        return std::stol(data.text(element).value_or("-1"));
      };
      result[rows.GetFieldValue("ImgSeq").toLongLong()] = {
          rows.GetFieldValue("ImageNo").toLongLong(), rows.GetFieldValue("AcqNo").toLongLong(),
          number(tag::InstanceNumber), number(tag::AcquisitionNumber), number(tag::SeriesNumber)};
    }
    return result;
  }
  // ImageNo by SOP Instance UID, of the series (of every image for 0).
  std::map<QString, long> imageNumbers(long serSeq = 0) {
    std::map<QString, long> result;
    CdbDatabase rows(dbPath);
    rows.Open(CGMDaoRecordset::dbOpenSnapshot,
              QStringLiteral("SELECT ImageNo, SOPInstanceUID FROM ImgInfo WHERE SerSeq = ? OR ? = 0"),
              {qlonglong(serSeq), qlonglong(serSeq)});
    for (; !rows.IsEOF(); rows.MoveNext()) {
      result[rows.GetFieldValue("SOPInstanceUID").toString()] =
          rows.GetFieldValue("ImageNo").toLongLong();
    }
    return result;
  }
  // The series' image numbers by the number each image had when the test remembered them.
  std::map<long, long> imageNumbersByOrigin(long serSeq) {
    std::map<long, long> result;
    for (const auto& [uid, number] : imageNumbers(serSeq)) result[origin.at(uid)] = number;
    return result;
  }

  QString store = dir.filePath(QStringLiteral("store"));
  CRecordOperations operations{database, {store}};
  std::map<QString, long> origin;
  int m_files = 0;
};

// Each delete of the table on the same archive: two patients, P1 with studies S1 (series 1 of
// two images, series 2 of one) and S2 (one image), P2 with S3 (one image).
TEST_F(RecordOperations, DeletesCascadeUpAndDownTheTree) {
  struct Case {
    const char* what;
    std::function<RecordChange(RecordOperations&)> run;
    std::vector<long> rowsAfter;  // patients, studies, series, images
    int refresh;
    int filesAfter;
  };
  const Case cases[] = {
      {"one of two images of a series",
       [](RecordOperations& t) { return t.operations.DeleteImages({t.imgSeq(t.serSeq(1), 2)}); },
       {2, 3, 4, 4},
       RecordChange::kImages,
       4},
      {"the last image of a series: the series goes, the study stays",
       [](RecordOperations& t) { return t.operations.DeleteImages({t.imgSeq(t.serSeq(2), 1)}); },
       {2, 3, 3, 4},
       RecordChange::kSeriesList,
       4},
      {"one of two series: the study stays, the series list is rebuilt",
       [](RecordOperations& t) { return t.operations.DeleteSeries({t.serSeq(1)}); },
       {2, 3, 3, 3},
       RecordChange::kSeriesList,
       3},
      {"the only series of a study: the study goes, the patient with another stays",
       [](RecordOperations& t) { return t.operations.DeleteSeries({t.serSeq(1, "S2")}); },
       {2, 2, 3, 4},
       RecordChange::kStudySearch,
       4},
      {"one of two studies of a patient",
       [](RecordOperations& t) { return t.operations.DeleteStudies({t.stuSeq("S1")}); },
       {2, 2, 2, 2},
       RecordChange::kStudySearch,
       2},
      {"the last study of a patient: the patient goes too",
       [](RecordOperations& t) { return t.operations.DeleteStudies({t.stuSeq("S3")}); },
       {1, 2, 3, 4},
       RecordChange::kPatientSearch,
       4},
      {"two studies selected, one patient left without studies",
       [](RecordOperations& t) {
         return t.operations.DeleteStudies({t.stuSeq("S2"), t.stuSeq("S3")});
       },
       {1, 1, 2, 3},
       RecordChange::kPatientSearch,
       3},
      {"the last image of a patient: everything of that patient goes",
       [](RecordOperations& t) {
         return t.operations.DeleteImages({t.imgSeq(t.serSeq(1, "S3"), 1)});
       },
       {1, 2, 3, 4},
       RecordChange::kPatientSearch,
       4},
      {"a patient",
       [](RecordOperations& t) { return t.operations.DeletePatients({"P1"}, {}); },
       {1, 1, 1, 1},
       RecordChange::kPatientSearch,
       1},
      {"all",
       [](RecordOperations& t) { return t.operations.DeleteAll({}, {}); },
       {0, 0, 0, 0},
       RecordChange::kPatientSearch,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(execute("DELETE FROM ImgInfo") && execute("DELETE FROM SerInfo") &&
                execute("DELETE FROM StuInfo") && execute("DELETE FROM PatInfo"));
    QDir(store).removeRecursively();
    archive({{"P1", "S1", 1, 1}, {"P1", "S1", 1, 2}, {"P1", "S1", 2, 1}, {"P1", "S2", 1, 1},
             {"P2", "S3", 1, 1}});
    const RecordChange change = c.run(*this);
    EXPECT_TRUE(change.ok) << change.error.toStdString();
    EXPECT_EQ(coreRows(), c.rowsAfter);
    EXPECT_EQ(change.refresh, c.refresh);
    EXPECT_EQ(storedFiles().size(), c.filesAfter);
    EXPECT_EQ(change.removedFiles.size(), 5 - c.filesAfter);
    // Totals follow what is left.
    EXPECT_EQ(value("SELECT COUNT(*) AS n FROM StuInfo s WHERE TotalInstance <> (SELECT COUNT(*) "
                    "FROM ImgInfo i JOIN SerInfo r ON i.SerSeq = r.SerSeq WHERE r.StuSeq = "
                    "s.StuSeq) OR TotalSeries <> (SELECT COUNT(*) FROM SerInfo r WHERE r.StuSeq "
                    "= s.StuSeq)",
                    "n")
                  .toLongLong(),
              0);
    EXPECT_EQ(value("SELECT COUNT(*) AS n FROM SerInfo r WHERE InstanceCount <> (SELECT COUNT(*) "
                    "FROM ImgInfo i WHERE i.SerSeq = r.SerSeq)",
                    "n")
                  .toLongLong(),
              0);
    EXPECT_EQ(rows("PendingFile"), 0);
  }
  EXPECT_TRUE(sink.isEmpty());
}

// Images are deleted by their keys: one numbered 0, or one of two sharing a number, goes alone
// with its file; a key that names no image any more fails and changes nothing.
TEST_F(RecordOperations, DeletingImagesTakesExactlyTheChosenOnes) {
  archive({{"P1", "S1", 1, 1}, {"P1", "S1", 1, 2}, {"P1", "S1", 1, 3}, {"P1", "S1", 1, 4}});
  const long series = serSeq(1);
  const long zero = imgSeq(series, 1);
  const long twin = imgSeq(series, 3);
  const long other = imgSeq(series, 2);
  ASSERT_TRUE(
      execute(QStringLiteral("UPDATE ImgInfo SET ImageNo = 0 WHERE ImgSeq = %1").arg(zero)));
  ASSERT_TRUE(
      execute(QStringLiteral("UPDATE ImgInfo SET ImageNo = 2 WHERE ImgSeq = %1").arg(twin)));
  const QString zeroFile = fullPath(zero);
  const QString twinFile = fullPath(twin);
  const QString otherFile = fullPath(other);

  RecordChange change = operations.DeleteImages({zero, twin, zero});  // zero named twice
  ASSERT_TRUE(change.ok) << change.error.toStdString();
  EXPECT_EQ(change.images, (QList<long>{zero, twin}));
  EXPECT_EQ(change.refresh, RecordChange::kImages);
  EXPECT_EQ(coreRows(), (std::vector<long>{1, 1, 1, 2}));
  EXPECT_FALSE(QFile::exists(zeroFile));
  EXPECT_FALSE(QFile::exists(twinFile));
  EXPECT_TRUE(QFile::exists(otherFile)) << "the image sharing the number stays";
  EXPECT_EQ(value("SELECT InstanceCount AS n FROM SerInfo", "n").toLongLong(), 2);

  change = operations.DeleteImages({other, twin});  // twin went above
  EXPECT_FALSE(change.ok);
  EXPECT_EQ(change.error, "Image dose not exist.");
  EXPECT_EQ(coreRows(), (std::vector<long>{1, 1, 1, 2}));
  EXPECT_TRUE(QFile::exists(otherFile));
  EXPECT_EQ(rows("PendingFile"), 0);
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(RecordOperations, DeletingAPatientRemovesItsWorklistEntries) {
  archive({{"P1", "S1", 1, 1}}, "ACC'1");
  ASSERT_TRUE(execute("INSERT INTO Worklist (StuAccessNo, PatID) VALUES ('ACC''1', 'P1')"));
  ASSERT_TRUE(execute("INSERT INTO Worklist (StuAccessNo, PatID) VALUES ('OTHER', 'P9')"));
  const RecordChange change = operations.DeletePatients({"P1"}, {});
  ASSERT_TRUE(change.ok);
  EXPECT_EQ(change.patients, QStringList{"P1"});
  EXPECT_EQ(rows("Worklist"), 1);
}

// A file is removed only inside the storage folders and only once no row names it.
TEST_F(RecordOperations, FilesOutsideStorageOrStillNamedStay) {
  archive({{"P1", "S1", 1, 1}, {"P1", "S1", 1, 2}});
  // A file indexed where it lay, outside the storage folder.
  testsupport::DicomBuilder outside = radiograph("1.2.9.100");
  outside.set(DCM_PatientID, "P2").set(DCM_StudyID, "S9");
  ASSERT_EQ(import(outside, "outside.dcm"), kImportDone);
  // A second row naming the file of image 2 (an archive that indexed it twice).
  const QString shared = value("SELECT FullPath FROM ImgInfo WHERE ImageNo = 2", "FullPath").toString();
  ASSERT_TRUE(execute(QStringLiteral("INSERT INTO ImgInfo (SerSeq, ImageNo, FullPath, "
                                     "SOPInstanceUID) SELECT SerSeq + 1000, 1, FullPath, "
                                     "SOPInstanceUID FROM ImgInfo WHERE ImageNo = 2")));

  RecordChange change = operations.DeletePatients({"P1", "P2"}, {});
  ASSERT_TRUE(change.ok);
  EXPECT_EQ(change.removedFiles.size(), 1);
  EXPECT_TRUE(QFile::exists(shared));
  EXPECT_TRUE(QFile::exists(dir.filePath("outside.dcm")));
  EXPECT_TRUE(change.keptFiles.contains(dir.filePath("outside.dcm")));
  EXPECT_TRUE(change.keptFiles.contains(shared));
  EXPECT_TRUE(QFile::exists(dbPath) || TestDatabase::onServer());
}

// A refused row delete undoes the whole operation: every row and every file stays.
TEST_F(RecordOperations, ARefusedDeleteChangesNothing) {
  archive({{"P1", "S1", 1, 1}, {"P1", "S2", 1, 1}});
  ASSERT_TRUE(refuse("BEFORE DELETE ON StuInfo", "kept", "OLD.StuID = 'S2'"));
  const RecordChange change = operations.DeletePatients({"P1"}, {});
  EXPECT_FALSE(change.ok);
  EXPECT_EQ(coreRows(), (std::vector<long>{1, 2, 2, 2}));
  EXPECT_EQ(storedFiles().size(), 2);
  EXPECT_EQ(rows("PendingFile"), 0);
  EXPECT_EQ(change.error, "Failed in study information delete.");
}

// Dragging within a series, both ways: the numbers in the rows and in the three files of each
// image (the "_org.dcm" and ".tnb" siblings where they exist).
TEST_F(RecordOperations, RenumberingWithinASeries) {
  struct Case {
    long moving, before;
    std::map<long, long> numbers;  // origin -> new image number
  };
  const Case cases[] = {
      {5, 2, {{1, 1}, {2, 3}, {3, 4}, {4, 5}, {5, 2}, {6, 6}}},
      {2, 5, {{1, 1}, {2, 5}, {3, 2}, {4, 3}, {5, 4}, {6, 6}}},
      {6, 1, {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.moving << " onto " << c.before);
    ASSERT_TRUE(execute("DELETE FROM ImgInfo") && execute("DELETE FROM SerInfo") &&
                execute("DELETE FROM StuInfo") && execute("DELETE FROM PatInfo"));
    QDir(store).removeRecursively();
    archive({{"P1", "S1", 1, 1}, {"P1", "S1", 1, 2}, {"P1", "S1", 1, 3}, {"P1", "S1", 1, 4},
             {"P1", "S1", 1, 5}, {"P1", "S1", 1, 6}});
    origin = imageNumbers();
    const long series = serSeq(1);
    // The original of every image beside it.
    for (const auto& [imgSeq, n] : numbers(series)) {
      const QString file =
          value(QStringLiteral("SELECT FullPath FROM ImgInfo WHERE ImgSeq = %1").arg(imgSeq),
                "FullPath")
              .toString();
      ASSERT_TRUE(QFile::copy(file, CDRImgInfo::ImageFiles(file).at(3)));
    }
    const RecordChange change = operations.MoveInSeries(series, c.moving, c.before);
    ASSERT_TRUE(change.ok) << change.error.toStdString();
    std::map<long, long> expected;
    for (const auto& [from, to] : c.numbers) expected[from] = to;
    EXPECT_EQ(imageNumbersByOrigin(series), expected);
    for (const auto& [imgSeq, n] : numbers(series)) {
      EXPECT_EQ(n.fileInstance, n.imageNo);
      EXPECT_EQ(n.fileAcquisition, n.acqNo);
      EXPECT_EQ(n.acqNo, n.imageNo + 100);  // the acquisition numbers travel with the places
    }
    for (const QString& file : storedFiles()) {
      EXPECT_FALSE(file.endsWith(".renumbering")) << file.toStdString();
      if (!file.endsWith("_org.dcm")) continue;
      imaging::DicomDataSet original;
      ASSERT_EQ(original.load(file.toStdString()), 0);
      const QString dicom = file.chopped(8) + ".dcm";
      imaging::DicomDataSet image;
      ASSERT_EQ(image.load(dicom.toStdString()), 0);
      EXPECT_EQ(original.text(tag::InstanceNumber), image.text(tag::InstanceNumber));
    }
  }
}

// Image 2 of series 1 (three images) in front of image 2 of series 2 (three images): the target
// makes room, the source closes the gap, the moved file takes the target's series number.
TEST_F(RecordOperations, RenumberingAcrossSeries) {
  archive({{"P1", "S1", 1, 1}, {"P1", "S1", 1, 2}, {"P1", "S1", 1, 3}, {"P1", "S1", 2, 1},
           {"P1", "S1", 2, 2}, {"P1", "S1", 2, 3}});
  const long source = serSeq(1);
  const long target = serSeq(2);
  const QString moved =
      value(QStringLiteral("SELECT SOPInstanceUID FROM ImgInfo WHERE SerSeq = %1 AND ImageNo = 2")
                .arg(source),
            "SOPInstanceUID")
          .toString();
  const RecordChange change = operations.MoveToSeries(source, 2, target, 2);
  ASSERT_TRUE(change.ok) << change.error.toStdString();
  EXPECT_EQ(change.renumbered.size(), 4);  // target 2 and 3, the moved image, source 3
  const std::map<long, Numbers> targetNumbers = numbers(target);
  ASSERT_EQ(targetNumbers.size(), 4);
  std::set<long> targetImages;
  for (const auto& [imgSeq, n] : targetNumbers) {
    targetImages.insert(n.imageNo);
    EXPECT_EQ(n.fileInstance, n.imageNo);
    EXPECT_EQ(n.fileAcquisition, n.acqNo);
    EXPECT_EQ(n.fileSeries, 2);
  }
  EXPECT_EQ(targetImages, (std::set<long>{1, 2, 3, 4}));
  EXPECT_EQ(value(QStringLiteral("SELECT ImageNo FROM ImgInfo WHERE SOPInstanceUID = '%1'")
                      .arg(moved),
                  "ImageNo")
                .toLongLong(),
            2);
  const std::map<long, Numbers> sourceNumbers = numbers(source);
  std::set<long> sourceImages;
  for (const auto& [imgSeq, n] : sourceNumbers) {
    sourceImages.insert(n.imageNo);
    EXPECT_EQ(n.fileInstance, n.imageNo);
  }
  EXPECT_EQ(sourceImages, (std::set<long>{1, 2}));
  EXPECT_EQ(value("SELECT InstanceCount AS n FROM SerInfo WHERE SeriesNo = 2", "n").toLongLong(), 4);
  EXPECT_EQ(value("SELECT TotalInstance AS n FROM StuInfo", "n").toLongLong(), 6);

  // The last image of a series moved away: the emptied series goes.
  ASSERT_TRUE(operations.MoveToSeries(source, 1, target, 1).ok);
  ASSERT_TRUE(operations.MoveToSeries(source, 1, target, 1).ok);
  EXPECT_EQ(rows("SerInfo"), 1);
  EXPECT_EQ(numbers(target).size(), 6);
}

// A renumbering whose image file cannot be rewritten changes nothing and leaves no copy.
TEST_F(RecordOperations, AnUnwritableImageAbandonsTheRenumbering) {
  archive({{"P1", "S1", 1, 1}, {"P1", "S1", 1, 2}, {"P1", "S1", 1, 3}});
  const QString file = value("SELECT FullPath FROM ImgInfo WHERE ImageNo = 2", "FullPath").toString();
  QFile::remove(file);
  {
    QFile broken(file);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("no DICOM here");
  }
  const RecordChange change = operations.MoveInSeries(serSeq(1), 3, 1);
  EXPECT_FALSE(change.ok);
  EXPECT_EQ(value("SELECT COUNT(*) AS n FROM ImgInfo WHERE ImageNo = AcqNo - 100", "n").toLongLong(),
            3);
  for (const QString& stored : storedFiles()) EXPECT_FALSE(stored.endsWith(".renumbering"));
  EXPECT_EQ(rows("PendingFile"), 0);
  EXPECT_FALSE(operations.MoveInSeries(serSeq(1), 7, 1).ok);  // no image 7
}

// Work a crash cut off after its commit is finished by the next operation: a rename of a
// rewritten copy and the removal of a deleted image's files.
TEST_F(RecordOperations, TheNextOperationFinishesTheJournal) {
  archive({{"P1", "S1", 1, 1}, {"P1", "S1", 1, 2}});
  const QString kept = value("SELECT FullPath FROM ImgInfo WHERE ImageNo = 1", "FullPath").toString();
  const QString gone = value("SELECT FullPath FROM ImgInfo WHERE ImageNo = 2", "FullPath").toString();
  const QString uid = value("SELECT SOPInstanceUID FROM ImgInfo WHERE ImageNo = 2",
                            "SOPInstanceUID").toString();
  ASSERT_TRUE(operations.FinishPendingFiles());  // makes the journal
  ASSERT_TRUE(execute(QStringLiteral("DELETE FROM ImgInfo WHERE ImageNo = 2")));
  ASSERT_TRUE(QFile::copy(gone, CRecordOperations::TemporaryName(kept) + ".src"));
  QFile::rename(CRecordOperations::TemporaryName(kept) + ".src", CRecordOperations::TemporaryName(kept));
  const QString stray = CRecordOperations::TemporaryName(gone);
  ASSERT_TRUE(QFile::copy(gone, stray));
  ASSERT_TRUE(execute(QStringLiteral("INSERT INTO PendingFile (Work, Path, TempPath, SOPInstanceUID) "
                                     "VALUES ('rename', '%1', '%2', ''), ('image', '%3', '', '%4'), "
                                     "('temp', '%5', '', '')")
                          .arg(kept, CRecordOperations::TemporaryName(kept), gone, uid, stray)));
  ASSERT_TRUE(operations.FinishPendingFiles());
  EXPECT_EQ(storedFiles(), QStringList{kept});
  imaging::DicomDataSet data;
  ASSERT_EQ(data.load(kept.toStdString()), 0);
  EXPECT_EQ(data.text(tag::SopInstanceUid), uid.toStdString());  // the copy took the place
  EXPECT_EQ(rows("PendingFile"), 0);
}

// torascan-cli delete and renumber: the operator's password from standard input, the change as
// JSON, exit 1 when the login or the operation fails.
TEST_F(RecordOperations, CommandLineAsksForTheOperatorsPassword) {
  archive({{"P1", "S1", 1, 1}, {"P1", "S1", 1, 2}, {"P1", "S1", 1, 3}});
  ASSERT_TRUE(execute(QStringLiteral("INSERT INTO Operator (OperatorName, Password) VALUES "
                                     "('Kim', '%1')")
                          .arg(HashPassword("secret"))));
  const long series = serSeq(1);
  struct Run {
    QStringList args;
    QByteArray password;
    int exitCode;
    std::vector<long> rowsAfter;
  };
  const Run runs[] = {
      {{"delete", "--image", QStringLiteral("%1:1").arg(series)}, "wrong\n", 1, {1, 1, 1, 3}},
      {{"renumber", "--series", QString::number(series), "--move", "3", "--before", "1"},
       "secret\n", 0, {1, 1, 1, 3}},
      {{"delete", "--image", QStringLiteral("%1:1").arg(series)}, "secret\n", 0, {1, 1, 1, 2}},
      {{"renumber", "--series", QString::number(series), "--move", "9", "--before", "1"},
       "secret\n", 1, {1, 1, 1, 2}},
      {{"delete", "--patient", "P1"}, "secret\n", 0, {0, 0, 0, 0}},
  };
  for (const Run& run : runs) {
    SCOPED_TRACE(run.args.join(' ').toStdString());
    QProcess cli;
    // A SQLite archive's folder is its storage unless told otherwise; a server has none.
    const QStringList storage =
        TestDatabase::onServer() ? QStringList{"--storage", store} : QStringList{};
    cli.start(QStringLiteral(TORASCAN_CLI),
              run.args + storage + QStringList{"--db", dbPath, "--operator", "Kim"});
    cli.write(run.password);
    cli.closeWriteChannel();
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), run.exitCode) << cli.readAllStandardError().toStdString();
    EXPECT_EQ(coreRows(), run.rowsAfter);
    if (run.exitCode == 0) {
      const QJsonObject json = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
      EXPECT_TRUE(json.value("ok").toBool());
    }
  }
  EXPECT_TRUE(storedFiles().isEmpty());
}

// --image SERSEQ:IMAGENO deletes the image of that number, and nothing when the number names
// no image or two.
TEST_F(RecordOperations, CommandLineDeletesTheImageItsNumberNamesAlone) {
  archive({{"P1", "S1", 1, 1}, {"P1", "S1", 1, 2}, {"P1", "S1", 1, 3}});
  ASSERT_TRUE(execute(QStringLiteral("INSERT INTO Operator (OperatorName, Password) VALUES "
                                     "('Kim', '%1')")
                          .arg(HashPassword("secret"))));
  const long series = serSeq(1);
  ASSERT_TRUE(execute(
      QStringLiteral("UPDATE ImgInfo SET ImageNo = 2 WHERE ImgSeq = %1").arg(imgSeq(series, 3))));
  const struct {
    QString image;
    int exitCode;
    long imagesAfter;
    const char* error;
  } runs[] = {
      {QStringLiteral("%1:2").arg(series), 1, 3, "2 images carry that number"},
      {QStringLiteral("%1:7").arg(series), 1, 3, "no such image"},
      {QStringLiteral("%1:1").arg(series), 0, 2, ""},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.image.toStdString());
    const QStringList storage =
        TestDatabase::onServer() ? QStringList{"--storage", store} : QStringList{};
    QProcess cli;
    cli.start(QStringLiteral(TORASCAN_CLI), QStringList{"delete", "--image", run.image} + storage +
                                                QStringList{"--db", dbPath, "--operator", "Kim"});
    cli.write("secret\n");
    cli.closeWriteChannel();
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), run.exitCode);
    EXPECT_TRUE(cli.readAllStandardError().contains(run.error));
    EXPECT_EQ(rows("ImgInfo"), run.imagesAfter);
  }
  EXPECT_EQ(storedFiles().size(), 2);
}

}  // namespace

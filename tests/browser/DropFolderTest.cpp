// The watched drop folder: every complete file indexed and moved into the archive, unreadable
// ones set aside with their reason, files being written left alone, and what a pass finds after
// an interrupted one.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <filesystem>
#include <map>
#include <system_error>

#include <sys/stat.h>

#include "ImportTestSupport.h"
#include "browser/DropFolder.h"
#include "imaging/ImagingError.h"

using testsupport::DicomBuilder;

namespace {

class DropFolderTest : public ImportTest {
 protected:
  QString dropPath = dir.filePath(QStringLiteral("save/CR_1205"));
  QString archivePath = dir.filePath(QStringLiteral("save/archive"));

  void SetUp() override {
    ImportTest::SetUp();
    ASSERT_TRUE(QDir().mkpath(dropPath));
  }

  // A radiograph of study `study` with instance `instance`, dropped under `name`.
  QString drop(const QString& name, int study, int instance) {
    DicomBuilder file = image(study, instance);
    const QString path = QDir(dropPath).filePath(name);
    EXPECT_TRUE(file.save(path));
    return path;
  }
  static DicomBuilder image(int study, int instance) {
    DicomBuilder file = radiograph(uid(study, instance));
    file.set(DCM_StudyInstanceUID, studyUid(study))
        .set(DCM_StudyID, "S" + std::to_string(study))
        .set(DCM_InstanceNumber, std::to_string(instance));
    return file;
  }
  static std::string uid(int study, int instance) {
    return "1.2.826.0.1.3680043.2.1125.5." + std::to_string(study) + "." +
           std::to_string(instance);
  }
  static std::string studyUid(int study) {
    return "1.2.826.0.1.3680043.2.1125.4." + std::to_string(study);
  }
  // Where the archive keeps an instance.
  QString archived(int study, int instance) const {
    return QStringLiteral("%1/%2/%3.dcm")
        .arg(archivePath, QString::fromStdString(studyUid(study)),
             QString::fromStdString(uid(study, instance)));
  }
  QString dropped(const QString& name) const { return QDir(dropPath).filePath(name); }
  QStringList dropEntries() const {
    return QDir(dropPath).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                        QDir::NoDotAndDotDot,
                                    QDir::Name);
  }
  // SOP Instance UID -> FullPath of every image row.
  std::map<QString, QString> imageRows() {
    std::map<QString, QString> result;
    CdbDatabase query(dbPath);
    EXPECT_TRUE(query.Open(CGMDaoRecordset::dbOpenSnapshot,
                           QStringLiteral("SELECT SOPInstanceUID, FullPath FROM ImgInfo")));
    for (; !query.IsEOF(); query.MoveNext()) {
      const QString uid = query.GetFieldValue(QStringLiteral("SOPInstanceUID")).toString();
      EXPECT_EQ(result.count(uid), 0u) << "indexed twice: " << uid.toStdString();
      result[uid] = query.GetFieldValue(QStringLiteral("FullPath")).toString();
    }
    return result;
  }
  QStringList rejectedLog() const {
    QFile log(QDir(dropPath).filePath(QStringLiteral("rejected/rejected.log")));
    if (!log.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }
  static QByteArray bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  CDropFolder watcher{database, dropPath, CDropFolder::DefaultArchiveFolder(dropPath)};
};

TEST_F(DropFolderTest, MovesEveryFileIntoItsStudyFolderAndTheRowsNameTheMovedFiles) {
  EXPECT_EQ(watcher.archiveFolder(), QDir::cleanPath(archivePath)) << "archive beside the drop";
  const QByteArray first = bytes(drop(QStringLiteral("a.dcm"), 1, 1));
  drop(QStringLiteral("b.dcm"), 1, 2);
  drop(QStringLiteral("c.dcm"), 2, 1);

  const DropBatch batch = watcher.PollDropFolder();
  EXPECT_EQ(batch.imported, 3);
  EXPECT_TRUE(batch.rejected.isEmpty());
  EXPECT_TRUE(batch.failed.isEmpty());
  EXPECT_EQ(dropEntries(), QStringList());
  const auto rows = imageRows();
  ASSERT_EQ(rows.size(), 3u);
  for (const auto& [study, instance] : {std::pair{1, 1}, {1, 2}, {2, 1}}) {
    const QString path = archived(study, instance);
    EXPECT_EQ(rows.at(QString::fromStdString(uid(study, instance))), path);
    EXPECT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
  }
  EXPECT_EQ(bytes(archived(1, 1)), first);
  EXPECT_EQ(coreRows(), (std::vector<long>{1, 2, 2, 3}));
  EXPECT_EQ(watcher.PollDropFolder().imported, 0) << "an empty folder is no work";
}

TEST_F(DropFolderTest, UnreadableFilesGoToRejectedWithTheirReasonAndTheRestIsIndexed) {
  QTemporaryDir other;
  const QString direct = other.filePath(QStringLiteral("full.dcm"));
  ASSERT_TRUE(image(1, 9).save(direct));
  const QByteArray whole = bytes(direct);
  const struct {
    const char* name;
    QByteArray content;
    const char* reason;
  } bad[] = {
      {"0-text.dcm", "not an image at all\n", "not a DICOM file"},
      {"1-truncated.dcm", whole.left(whole.size() - 40), ""},
      {"2-no-uid.dcm", {}, "no SOP Instance UID"},
  };
  for (const auto& c : bad) {
    QFile file(dropped(QLatin1String(c.name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(c.content);
  }
  DicomBuilder noUid = image(1, 8);
  noUid.remove(DCM_SOPInstanceUID);
  ASSERT_TRUE(noUid.save(dropped(QStringLiteral("2-no-uid.dcm"))));
  // Good files sort after the bad ones: they are not held up.
  drop(QStringLiteral("3-good.dcm"), 1, 1);
  drop(QStringLiteral("4-good.dcm"), 1, 2);

  const DropBatch batch = watcher.PollDropFolder();
  EXPECT_EQ(batch.imported, 2);
  EXPECT_TRUE(batch.failed.isEmpty());
  ASSERT_EQ(batch.rejected.size(), 3);
  EXPECT_EQ(dropEntries(), QStringList{QStringLiteral("rejected")});
  const QStringList log = rejectedLog();
  ASSERT_EQ(log.size(), 3) << log.join('\n').toStdString();
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(bad[i].name);
    const QString name = QLatin1String(bad[i].name);
    EXPECT_EQ(batch.rejected[i].name, name);
    EXPECT_TRUE(QFileInfo::exists(dropped(QStringLiteral("rejected/") + name)));
    const QStringList fields = log[i].split(QLatin1Char('\t'));
    ASSERT_EQ(fields.size(), 3);
    EXPECT_TRUE(QDateTime::fromString(fields[0], Qt::ISODate).isValid());
    EXPECT_EQ(fields[1], name);
    EXPECT_FALSE(fields[2].isEmpty());
    EXPECT_TRUE(fields[2].contains(QLatin1String(bad[i].reason), Qt::CaseInsensitive))
        << fields[2].toStdString();
  }
  EXPECT_EQ(imageRows().size(), 2u);

  // The same name rejected again is kept beside the first, not over it.
  QFile again(dropped(QStringLiteral("0-text.dcm")));
  ASSERT_TRUE(again.open(QIODevice::WriteOnly));
  again.write("another one\n");
  again.close();
  EXPECT_EQ(watcher.PollDropFolder().rejected.size(), 1);
  EXPECT_EQ(bytes(dropped(QStringLiteral("rejected/0-text.dcm"))), "not an image at all\n");
  EXPECT_EQ(bytes(dropped(QStringLiteral("rejected/0-text.dcm.2"))), "another one\n");
  EXPECT_TRUE(rejectedLog().last().contains(QLatin1String("\t0-text.dcm.2\t")));
}

TEST_F(DropFolderTest, FilesBeingWrittenFoldersAndLinksAreLeftAlone) {
  const QStringList writing = {QStringLiteral(".vantrel-7.part"), QStringLiteral("copy.dcm.part"),
                               QStringLiteral(".hidden.dcm")};
  for (const QString& name : writing) drop(name, 1, 1);
  ASSERT_TRUE(QDir(dropPath).mkdir(QStringLiteral("sub")));
  drop(QStringLiteral("sub/inner.dcm"), 1, 2);
  const QString elsewhere = dir.filePath(QStringLiteral("elsewhere.dcm"));
  ASSERT_TRUE(image(1, 3).save(elsewhere));
  ASSERT_TRUE(QFile::link(elsewhere, dropped(QStringLiteral("link.dcm"))));
  drop(QStringLiteral("done.dcm"), 1, 4);

  EXPECT_EQ(watcher.WaitingFiles(), QStringList{QStringLiteral("done.dcm")});
  const DropBatch batch = watcher.PollDropFolder();
  EXPECT_EQ(batch.imported, 1);
  QStringList left = writing + QStringList{QStringLiteral("link.dcm"), QStringLiteral("sub")};
  left.sort();
  EXPECT_EQ(dropEntries(), left);
  EXPECT_TRUE(QFileInfo::exists(elsewhere));
  EXPECT_EQ(imageRows().size(), 1u);
}

TEST_F(DropFolderTest, TheSameFileTwiceIsOneRowAndAnotherFileOfThatUidIsKeptAside) {
  const QString first = drop(QStringLiteral("x.dcm"), 1, 1);
  const QByteArray content = bytes(first);
  ASSERT_EQ(watcher.PollDropFolder().imported, 1);

  drop(QStringLiteral("x.dcm"), 1, 1);  // sent again: the same bytes
  DropBatch batch = watcher.PollDropFolder();
  EXPECT_EQ(batch.imported, 0);
  EXPECT_EQ(batch.duplicates, 1);
  EXPECT_EQ(dropEntries(), QStringList());

  // The same instance UID with other data: the indexed file stays, the new one is not deleted.
  DicomBuilder changed = image(1, 1);
  changed.set(DCM_PatientName, "Other^Name");
  ASSERT_TRUE(changed.save(dropped(QStringLiteral("y.dcm"))));
  batch = watcher.PollDropFolder();
  EXPECT_EQ(batch.duplicates, 0);
  ASSERT_EQ(batch.rejected.size(), 1);
  EXPECT_TRUE(batch.rejected[0].reason.contains(archived(1, 1)));
  EXPECT_TRUE(QFileInfo::exists(dropped(QStringLiteral("rejected/y.dcm"))));
  const auto rows = imageRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows.begin()->second, archived(1, 1));
  EXPECT_EQ(bytes(archived(1, 1)), content);
}

// A receiver writes the calling AE title into the meta header: the same image sent by two
// modalities differs there and nowhere else.
TEST_F(DropFolderTest, TheSameImageFromAnotherSenderIsADuplicate) {
  DicomBuilder first = image(1, 1);
  first.setMeta(DCM_SourceApplicationEntityTitle, "MODALITY_A");
  ASSERT_TRUE(first.save(dropped(QStringLiteral("a.dcm"))));
  const QByteArray content = bytes(dropped(QStringLiteral("a.dcm")));
  ASSERT_EQ(watcher.PollDropFolder().imported, 1);

  DicomBuilder again = image(1, 1);
  again.setMeta(DCM_SourceApplicationEntityTitle, "ANOTHER_SENDER");
  ASSERT_TRUE(again.save(dropped(QStringLiteral("b.dcm"))));
  ASSERT_NE(bytes(dropped(QStringLiteral("b.dcm"))), content);
  const DropBatch batch = watcher.PollDropFolder();
  EXPECT_EQ(batch.duplicates, 1);
  EXPECT_EQ(batch.rejected.size(), 0);
  EXPECT_EQ(dropEntries(), QStringList());
  EXPECT_EQ(imageRows().size(), 1u);
  EXPECT_EQ(bytes(archived(1, 1)), content);
}

TEST_F(DropFolderTest, TheSameInstanceInAnotherSeriesGetsAFileOfItsOwn) {
  drop(QStringLiteral("a.dcm"), 1, 1);
  ASSERT_EQ(watcher.PollDropFolder().imported, 1);
  DicomBuilder resent = image(1, 1);
  resent.set(DCM_SeriesNumber, "2");
  ASSERT_TRUE(resent.save(dropped(QStringLiteral("b.dcm"))));
  ASSERT_EQ(watcher.PollDropFolder().imported, 1);

  CdbDatabase query(dbPath);
  ASSERT_TRUE(query.Open(CGMDaoRecordset::dbOpenSnapshot,
                         QStringLiteral("SELECT FullPath FROM ImgInfo ORDER BY ImgSeq")));
  const QString firstPath = query.GetFieldValue(QStringLiteral("FullPath")).toString();
  query.MoveNext();
  const QString secondPath = query.GetFieldValue(QStringLiteral("FullPath")).toString();
  EXPECT_EQ(firstPath, archived(1, 1));
  EXPECT_EQ(secondPath, archived(1, 1).replace(QLatin1String(".dcm"), QLatin1String("_2.dcm")));
  EXPECT_TRUE(QFileInfo::exists(firstPath));
  EXPECT_TRUE(QFileInfo::exists(secondPath));
}

// What a killed pass can leave, made by hand: the next pass indexes each file exactly once.
TEST_F(DropFolderTest, APassAfterAnInterruptedOneIndexesEachFileOnce) {
  const auto link = [](const QString& from, const QString& to) {
    std::error_code error;
    std::filesystem::create_hard_link(QFile::encodeName(from).toStdString(),
                                      QFile::encodeName(to).toStdString(), error);
    return !error;
  };
  // Killed after the row committed, before the dropped name went: both names are there.
  const QString late = drop(QStringLiteral("late.dcm"), 1, 2);
  ASSERT_EQ(watcher.PollDropFolder().imported, 1);
  ASSERT_TRUE(link(archived(1, 2), late));
  // Killed after the archive name was made, before the row committed: a name no row names
  // (here with a piece of the data only, as a copy would leave it).
  const QString early = drop(QStringLiteral("early.dcm"), 1, 1);
  const QByteArray content = bytes(early);
  QFile stray(archived(1, 1));
  ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
  stray.write(content.left(100));
  stray.close();

  const DropBatch batch = watcher.PollDropFolder();
  EXPECT_EQ(batch.imported, 1);
  EXPECT_EQ(batch.duplicates, 1);
  EXPECT_EQ(dropEntries(), QStringList());
  const auto rows = imageRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows.at(QString::fromStdString(uid(1, 1))), archived(1, 1));
  EXPECT_EQ(rows.at(QString::fromStdString(uid(1, 2))), archived(1, 2));
  EXPECT_EQ(bytes(archived(1, 1)), content);
  EXPECT_TRUE(QFileInfo::exists(archived(1, 2)));
}

TEST_F(DropFolderTest, AFileThatCannotBeMovedStaysInTheDropFolderWithNoRowsWritten) {
  // The archive's place is taken by a file: no study folder can be made there.
  QFile blocker(archivePath);
  ASSERT_TRUE(QDir().mkpath(QFileInfo(archivePath).path()));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  drop(QStringLiteral("a.dcm"), 1, 1);

  const DropBatch batch = watcher.PollDropFolder();
  EXPECT_EQ(batch.imported, 0);
  ASSERT_EQ(batch.failed.size(), 1);
  EXPECT_EQ(batch.failed[0].code, kImportNotPlaced);
  EXPECT_EQ(dropEntries(), QStringList{QStringLiteral("a.dcm")});
  EXPECT_EQ(coreRows(), (std::vector<long>{0, 0, 0, 0})) << "patient, study, series rolled back";

  ASSERT_TRUE(QFile::remove(archivePath));
  EXPECT_EQ(watcher.PollDropFolder().imported, 1) << "and the next pass takes it";
}

TEST_F(DropFolderTest, AnArchiveOnAnotherFileSystemGetsACopy) {
  QTemporaryDir shm(QStringLiteral("/dev/shm/torascan-archive-XXXXXX"));
  struct stat a {}, b {};
  if (!shm.isValid() || ::stat(QFile::encodeName(shm.path()).constData(), &a) != 0 ||
      ::stat(QFile::encodeName(dropPath).constData(), &b) != 0 || a.st_dev == b.st_dev) {
    GTEST_SKIP() << "no second file system to put the archive on";
  }
  CDropFolder elsewhere(database, dropPath, shm.path());
  const QByteArray content = bytes(drop(QStringLiteral("a.dcm"), 1, 1));
  EXPECT_EQ(elsewhere.PollDropFolder().imported, 1);
  const QString copy = QStringLiteral("%1/%2/%3.dcm")
                           .arg(shm.path(), QString::fromStdString(studyUid(1)),
                                QString::fromStdString(uid(1, 1)));
  EXPECT_EQ(bytes(copy), content);
  EXPECT_EQ(imageRows().at(QString::fromStdString(uid(1, 1))), copy);
  EXPECT_EQ(dropEntries(), QStringList());
  EXPECT_EQ(QDir(QFileInfo(copy).path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{QFileInfo(copy).fileName()})
      << "no partial copy left";
}

}  // namespace

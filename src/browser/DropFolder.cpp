#include "browser/DropFolder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcistrmf.h>
#include <dcmtk/dcmdata/dcmetinf.h>

#include "app/DurableFiles.h"
#include "image/ImageEach.h"
#include "image/InstanceUid.h"
#include "imaging/ImagingError.h"

// How a file gets from the drop folder into the archive without ever being lost or indexed
// twice, whenever the process may be killed:
//
//   1. the import's transaction begins and writes the patient, study and series rows;
//   2. Place() hard-links the dropped file under its archive name (a copy where the archive
//      lies on another file system): the file now has two names, the dropped one untouched;
//      the file's data and the archive folder's entry are synced to the disk;
//   3. the image row, naming the archive path, is written and the transaction commits, the
//      commit synced to the disk as well;
//   4. only then is the dropped name removed.
//
// Killed before 3 commits, the engine rolls the rows back: the file is still in the drop folder
// and at most an archive name that no row names is left, which the next pass replaces. Killed
// between 3 and 4, the row names an existing file and the dropped copy is still there: the next
// pass finds the image indexed, sees the same file and removes the dropped name. So every file
// is in the drop folder or indexed (or both for a moment), and no row names a missing file. The
// syncs make the same hold after a power cut: the dropped name, the last copy on the disk,
// goes only once the archive name and its row are there for good.

namespace {

namespace fs = std::filesystem;

// Meta header values are short; a longer one is left unread rather than allocated.
constexpr Uint32 kMaxMetaValueLength = 4096;

fs::path fsPath(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

bool exists(const QString& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(fsPath(path), error));
}

// A UID as a file or folder name: itself when it is a plain UID, otherwise its SHA-1 in hex (an
// empty or odd UID still names one place, and never one outside the archive).
QString nameOf(const QString& uid) {
  if (IsSafeInstanceUid(uid)) return uid;
  return QString::fromLatin1(
      QCryptographicHash::hash(uid.toUtf8(), QCryptographicHash::Sha1).toHex());
}

// Names of files being written: hidden ones and partial ones.
bool beingWritten(const QString& name) {
  return name.startsWith(QLatin1Char('.')) || name.endsWith(QLatin1String(".part"));
}

// Files that cannot be read as an image to index. Gone files (another process took them) and
// a lack of memory are no fault of the file.
bool unreadable(int code) {
  if (code == kImportNoInstanceUid || code == kImportDirectory) return true;
  return code <= imaging::kErrFileRead && code >= imaging::kErrPixelFormat &&
         code != imaging::kErrNoMemory;
}

// Where a file's data set begins (after the preamble and the meta header; 0 in a file without
// them) and its transfer syntax from the meta header; nullopt when the header cannot be read.
struct DataSetPart {
  qint64 start = 0;
  std::string syntax;
};
std::optional<DataSetPart> dataSetPart(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  if (!file.seek(128) || file.read(4) != "DICM") return DataSetPart{};
  DcmInputFileStream stream(QFile::encodeName(path).constData());
  DcmMetaInfo meta;
  meta.transferInit();
  const OFCondition read = meta.read(stream, EXS_Unknown, EGL_noChange, kMaxMetaValueLength);
  meta.transferEnd();
  if (read.bad()) return std::nullopt;
  OFString syntax;
  meta.findAndGetOFString(DCM_TransferSyntaxUID, syntax);
  return DataSetPart{qint64(stream.tell()), syntax.c_str()};
}

// The same file, or one that holds the same data set in the same transfer syntax. The meta
// header is left out: it tells who sent the file (Source AE Title) and who wrote it, and an
// image sent again by another sender is still the same image.
bool sameDataSet(const QString& a, const QString& b) {
  std::error_code error;
  if (fs::equivalent(fsPath(a), fsPath(b), error)) return true;
  const auto partA = dataSetPart(a);
  const auto partB = dataSetPart(b);
  QFile first(a);
  QFile second(b);
  if (!partA || !partB || partA->syntax != partB->syntax || !first.open(QIODevice::ReadOnly) ||
      !second.open(QIODevice::ReadOnly) ||
      first.size() - partA->start != second.size() - partB->start || !first.seek(partA->start) ||
      !second.seek(partB->start))
    return false;
  constexpr qint64 kChunk = 1 << 20;
  while (!first.atEnd()) {
    if (first.read(kChunk) != second.read(kChunk)) return false;
  }
  return true;
}

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// The file under a second name, its data on the disk: a hard link, or a copy completed under a
// partial name and then renamed where links cannot be made (another file system, or one without
// links). The one who dropped the file may not have synced it.
bool addName(const QString& source, const QString& target, QString& reason) {
  std::error_code error;
  fs::create_hard_link(fsPath(source), fsPath(target), error);
  if (!error) {
    if (SyncFileData(target)) return true;
    reason = QStringLiteral("cannot sync %1: %2").arg(target, systemError());
    QFile::remove(target);
    return false;
  }
  const QString partial = target + QStringLiteral(".part");
  QFile::remove(partial);
  if (QFile::copy(source, partial)) {
    if (!SyncFileData(partial))
      error = std::error_code(errno, std::generic_category());
    else
      fs::rename(fsPath(partial), fsPath(target), error);
    if (!error) return true;
    QFile::remove(partial);
  }
  reason = QStringLiteral("cannot put the file into %1: %2")
               .arg(target, QString::fromLocal8Bit(error.message()));
  return false;
}

}  // namespace

QString CDropFolder::DefaultArchiveFolder(const QString& dropFolder) {
  const QString drop = QDir::cleanPath(QDir(dropFolder).absolutePath());
  return QDir::cleanPath(QFileInfo(drop).path() + QLatin1Char('/') + QLatin1String(kArchiveFolder));
}

CDropFolder::CDropFolder(CDaoDatabase& database, const QString& dropFolder,
                         const QString& archiveFolder)
    : m_database(database),
      m_import(database),
      m_images(&database),
      m_drop(QDir::cleanPath(QDir(dropFolder).absolutePath())),
      m_archive(QDir::cleanPath(QDir(archiveFolder).absolutePath())) {
  m_import.SetPlacement(this);
}

QStringList CDropFolder::WaitingFiles() const {
  // Without QDir::Hidden, dot files are not listed; links are left alone.
  QStringList names = QDir(m_drop).entryList(QDir::Files | QDir::NoSymLinks, QDir::Name);
  names.removeIf(beingWritten);
  return names;
}

DropBatch CDropFolder::PollDropFolder(const std::atomic<bool>* stop) {
  DropBatch batch;
  const QDir drop(m_drop);
  const QStringList waiting = WaitingFiles();
  if (waiting.isEmpty()) return batch;
  // The commit that lets a dropped name go must be on the disk before the name goes.
  if (!m_database.SetDurableCommits(true)) {
    for (const QString& name : waiting)
      batch.failed.append({name, kImportDatabaseError, m_database.LastError()});
    return batch;
  }
  for (const QString& name : waiting) {
    if (stop != nullptr && stop->load()) break;
    const QString source = drop.filePath(name);
    m_placed.clear();
    QString patID;
    const int code = m_import.ImportImageFile(source, patID);
    if (code == kImportDone && !m_import.WasDuplicate()) {
      QFile::remove(source);
      ++batch.imported;
    } else if (code == kImportDone) {
      const QString& indexed = m_import.DuplicatePath();
      if (QDir::cleanPath(indexed) == source) {
        // Indexed where it lies (an import run on the drop folder): removing it would leave
        // the row without its file.
        batch.failed.append({name, code, QStringLiteral("indexed in the drop folder itself")});
        continue;
      }
      if (sameDataSet(source, indexed)) {
        QFile::remove(source);
        ++batch.duplicates;
        continue;
      }
      const QString reason =
          exists(indexed)
              ? QStringLiteral("already indexed as %1, which holds other data").arg(indexed)
              : QStringLiteral("already indexed as %1, which is missing").arg(indexed);
      if (Reject(name, reason)) batch.rejected.append({name, code, reason});
    } else {
      // The rows were rolled back: an archive name made for them names nothing.
      if (!m_placed.isEmpty()) QFile::remove(m_placed);
      if (code == imaging::kErrFileNotFound) continue;
      const DropFileOutcome outcome{name, code, m_import.LastError()};
      if (unreadable(code) && Reject(name, outcome.reason)) {
        batch.rejected.append(outcome);
      } else {
        batch.failed.append(outcome);
      }
    }
  }
  m_database.SetDurableCommits(false);
  return batch;
}

QString CDropFolder::Place(const QString& source, const CDStuInfo& study, const CDImgInfo& image,
                           QString& reason) {
  const QString folder = m_archive + QLatin1Char('/') + nameOf(study.StuInstanceUID);
  if (!MakeFolderDurably(folder)) {
    reason = QStringLiteral("cannot create the folder %1: %2").arg(folder, systemError());
    return {};
  }
  // The instance's name, or one with a number when a row of another series names that file.
  // A file there that no row names was left by an interrupted pass and is replaced.
  const QString stem = folder + QLatin1Char('/') + nameOf(image.SOPInstanceUID);
  QString target = stem + QStringLiteral(".dcm");
  for (int n = 2; exists(target) && m_images.NamesFile(image.SOPInstanceUID, target); ++n)
    target = QStringLiteral("%1_%2.dcm").arg(stem).arg(n);
  if (target.size() > CImageEach::kMaxPathLength) {
    reason = QStringLiteral("the archive path %1 has 256 characters or more").arg(target);
    return {};
  }
  QFile::remove(target);
  if (!addName(source, target, reason)) return {};
  m_placed = target;
  if (!SyncFolder(folder)) {
    reason = QStringLiteral("cannot sync the folder %1: %2").arg(folder, systemError());
    return {};
  }
  if (m_placedHook && !m_placedHook(target, image, reason)) return {};
  return target;
}

bool CDropFolder::Reject(const QString& name, const QString& reason) {
  const QDir rejected(m_drop + QLatin1Char('/') + QLatin1String(kRejectedFolder));
  if (!rejected.mkpath(QStringLiteral("."))) return false;
  QString kept = name;
  for (int n = 2; exists(rejected.filePath(kept)); ++n)
    kept = QStringLiteral("%1.%2").arg(name).arg(n);
  QFile log(rejected.filePath(QLatin1String(kRejectedLog)));
  if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) return false;
  log.write(QStringLiteral("%1\t%2\t%3\n")
                .arg(QDateTime::currentDateTime().toString(Qt::ISODate), kept, reason)
                .toUtf8());
  log.close();
  return QFile::rename(m_drop + QLatin1Char('/') + name, rejected.filePath(kept));
}

#include "ReceivedInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcelem.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmnet/dimse.h>

#include "app/DurableFiles.h"
#include "image/InstanceUid.h"
#include "imaging/DicomDataSet.h"

namespace {

// Images of one UID waiting side by side before the receiver gives up on a name.
constexpr int kMaxNamesPerUid = 1000;

// A UI value as it was sent, its trailing padding removed; nullopt when it is absent or empty.
std::optional<std::string> uidOf(DcmItem& dataset, const DcmTagKey& tag) {
  DcmElement* element = nullptr;
  char* value = nullptr;
  Uint32 length = 0;
  if (dataset.findAndGetElement(tag, element).bad() || element->getString(value, length).bad() ||
      value == nullptr)
    return std::nullopt;
  std::string uid(value, length);
  while (!uid.empty() && (uid.back() == '\0' || uid.back() == ' ')) uid.pop_back();
  if (uid.empty()) return std::nullopt;
  return uid;
}

InstanceCheck failed(Uint16 status, const QString& reason) { return {status, reason}; }

QString systemError(const char* what, const QString& path) {
  return QStringLiteral("%1 %2: %3")
      .arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(errno)));
}

// Renames unless `to` exists (errno EEXIST then). Where the file system cannot rename so, a
// hard link does the same, and the partial name is removed after it.
bool renameWithoutReplacing(const char* from, const char* to) {
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (::link(from, to) != 0) return false;
  ::unlink(from);
  return true;
}

}  // namespace

InstanceCheck CheckReceivedInstance(const QString& path, const char* sopClassUid,
                                    const char* sopInstanceUid) {
  imaging::DicomDataSet file;
  if (const int code = file.load(QFile::encodeName(path).toStdString()); code != 0)
    return failed(STATUS_STORE_Error_CannotUnderstand,
                  QStringLiteral("the data set cannot be read (error %1)").arg(code));
  DcmItem& dataset = *file.dataset();
  const auto instance = uidOf(dataset, DCM_SOPInstanceUID);
  const auto sopClass = uidOf(dataset, DCM_SOPClassUID);
  if (!instance || !sopClass)
    return failed(STATUS_STORE_Error_CannotUnderstand,
                  QStringLiteral("the data set has no SOP Instance UID or SOP Class UID"));
  // A NUL inside the value survives into std::string and fails the check, as does "../".
  if (!IsSafeInstanceUid(QString::fromLatin1(instance->data(), qsizetype(instance->size()))))
    return failed(STATUS_STORE_Error_CannotUnderstand,
                  QStringLiteral("the SOP Instance UID is no valid UID"));
  if (*instance != sopInstanceUid || *sopClass != sopClassUid)
    return failed(STATUS_STORE_Error_DataSetDoesNotMatchSOPClass,
                  QStringLiteral("the data set's SOP Class or Instance UID is not the command's"));
  return {};
}

QString KeepDurably(const QString& partial, const QString& stem) {
  if (!SyncFileData(partial)) return systemError("cannot sync", partial);
  const QString folder = QFileInfo(partial).path();
  const QByteArray from = QFile::encodeName(partial);
  for (int n = 1; n <= kMaxNamesPerUid; ++n) {
    const QString name =
        n == 1 ? stem + QStringLiteral(".dcm") : QStringLiteral("%1_%2.dcm").arg(stem).arg(n);
    const QByteArray to = QFile::encodeName(QDir(folder).filePath(name));
    if (renameWithoutReplacing(from.constData(), to.constData())) {
      // The rename lives in the folder: without this a power cut may forget it.
      if (!SyncFolder(folder)) return systemError("cannot sync the folder", folder);
      return {};
    }
    if (errno != EEXIST) return systemError("cannot rename to", QString::fromLocal8Bit(to));
  }
  return QStringLiteral("%1 images of the UID %2 wait in the folder already")
      .arg(kMaxNamesPerUid)
      .arg(stem);
}

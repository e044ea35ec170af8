#include "browser/ProgramFolderImport.h"

#include <cerrno>
#include <cstring>
#include <exception>

#include "app/AppSettings.h"
#include "app/DirectoryUtils.h"
#include "browser/ImportImage.h"
#include "ui/MessageSink.h"

namespace {

const QString kDicomEnding = QStringLiteral(".dcm");

}  // namespace

QStringList ProgramFolderFiles(const QString& programFolder, int runMode) {
  QString folder = programFolder;
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  QStringList files;
  if (runMode == RunModeEmbedded) {
    CFileInfoArray found;
    found.AddFolder(folder, QLatin1Char('*') + kDicomEnding, true, CFileInfoArray::PathAscending,
                    false);
    for (int i = 0; i < found.GetSize(); ++i) files.append(found.at(i).path);
  } else if (runMode == RunModeDisc) {
    CollectFilesContaining(folder, kDicomEnding, files);
  }
  return files;
}

bool IsProgramFolderImage(const QString& path) {
  const QString lower = path.toLower();
  return lower.indexOf(kDicomEnding) > 0 && !lower.contains(QStringLiteral("_org.dcm"));
}

int ImportProgramFolder(CImageImport& importer, const QStringList& files,
                        const std::function<void()>& step) {
  int indexed = 0;
  try {
    for (const QString& file : files) {
      QString patID;
      if (IsProgramFolderImage(file) && importer.ImportImageFile(file, patID) == kImportDone)
        ++indexed;
      if (step) step();
    }
  } catch (const std::exception&) {
    const int code = errno;
    ShowMessage(QStringLiteral("%1 failed with error %2: %3")
                    .arg(AppSettings::title())
                    .arg(code)
                    .arg(QString::fromLocal8Bit(std::strerror(code))),
                QStringLiteral("Error"), MB_OK);
  }
  return indexed;
}

#include "app/WorkingFolder.h"

#include <QDir>
#include <QFileInfo>

#include "app/DirectoryUtils.h"

namespace {

// The folder as the file system resolves it (links followed), with a trailing separator so
// that "/a/b" is not taken for a parent of "/a/bc".
QString resolved(const QString& folder) {
  const QFileInfo info(folder);
  QString path =
      info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
  if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
  return path;
}

}  // namespace

bool IsRemovableWorkingFolder(const QString& folder, const QStringList& protectedFolders) {
  if (folder.trimmed().isEmpty()) return false;
  const QString target = resolved(folder);
  QStringList guarded = protectedFolders;
  guarded << QDir::rootPath() << QDir::homePath();
  for (const QString& kept : guarded) {
    if (kept.isEmpty()) continue;
    // Neither the folder itself nor anything that contains it.
    if (resolved(kept).startsWith(target)) return false;
  }
  return true;
}

bool RemoveWorkingFolder(const QString& folder, bool createdByProgram,
                         const QStringList& protectedFolders) {
  return createdByProgram && DeleteFolderTree(folder, protectedFolders);
}

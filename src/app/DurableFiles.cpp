#include "app/DurableFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

bool syncPath(const QString& path, int flags, int (*sync)(int)) {
  const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = sync(fd) == 0;
  const int error = errno;
  ::close(fd);
  errno = error;
  return synced;
}

}  // namespace

bool SyncFileData(const QString& path) { return syncPath(path, O_RDONLY, ::fdatasync); }

bool SyncFolder(const QString& folder) { return syncPath(folder, O_RDONLY | O_DIRECTORY, ::fsync); }

bool MakeFolderDurably(const QString& folder) {
  QString existing = QDir::cleanPath(QDir(folder).absolutePath());
  QStringList made;  // outermost last
  while (!QFileInfo(existing).isDir()) {
    const QString parent = QFileInfo(existing).path();
    if (parent == existing) break;
    made.append(existing);
    existing = parent;
  }
  if (made.isEmpty()) return true;
  if (!QDir().mkpath(folder)) return false;
  for (auto it = made.crbegin(); it != made.crend(); ++it)
    if (!SyncFolder(QFileInfo(*it).path())) return false;
  return true;
}

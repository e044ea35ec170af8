#include "app/InstallLayout.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/AppSettings.h"

namespace {

// The same folder however it is written, through links too where it exists.
bool sameFolder(const QString& a, const QString& b) {
  const auto canonical = [](const QString& folder) {
    const QString resolved = QFileInfo(folder).canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(folder) : resolved;
  };
  return canonical(a) == canonical(b);
}

}  // namespace

InstallLayout InstallLayout::ProgramFolder(const QString& folder) {
  const QString path = AppSettings::normaliseProgramFolder(folder);
  return {path, path, path, path, path, false, QString()};
}

// The TORASCAN_INSTALL_ folders come from the build (src/CMakeLists.txt), the same that
// cmake/Packaging.cmake installs into.
InstallLayout InstallLayout::Installed() {
  const auto folder = [](const char* path) {
    return AppSettings::normaliseProgramFolder(QString::fromUtf8(path));
  };
  return {folder(TORASCAN_INSTALL_COMMANDS),       folder(TORASCAN_INSTALL_PROGRAMS),
          folder(TORASCAN_INSTALL_RESOURCES),      folder(TORASCAN_INSTALL_SETTINGS),
          folder(TORASCAN_INSTALL_DATA),           true,
          QStringLiteral("/run/torascan/receiver")};
}

InstallLayout InstallLayout::ForExecutable(const QString& executableFolder,
                                           const InstallLayout& installed) {
  if (sameFolder(executableFolder, installed.commands) ||
      sameFolder(executableFolder, installed.programs))
    return installed;
  return ProgramFolder(executableFolder);
}

InstallLayout InstallLayout::ForThisProcess() {
  return ForExecutable(QCoreApplication::applicationDirPath());
}

QFileDevice::Permissions DocumentPermissions() {
  // The mask is read where the system shows it, as changing it to read it would race with
  // threads creating files.
  mode_t mask = 022;
  QFile status(QStringLiteral("/proc/self/status"));
  if (status.open(QIODevice::ReadOnly)) {
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
      if (!line.startsWith("Umask:")) continue;
      bool ok = false;
      const uint value = line.mid(6).trimmed().toUInt(&ok, 8);
      if (ok) mask = mode_t(value);
      break;
    }
  }
  QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
  if (!(mask & S_IRGRP)) permissions |= QFileDevice::ReadGroup;
  if (!(mask & S_IWGRP)) permissions |= QFileDevice::WriteGroup;
  if (!(mask & S_IROTH)) permissions |= QFileDevice::ReadOther;
  if (!(mask & S_IWOTH)) permissions |= QFileDevice::WriteOther;
  return permissions;
}

void InstallLayout::ShareFilesWithGroup() const {
  if (!installed) return;
  const mode_t mask = ::umask(0);
  ::umask(mask & ~S_IWGRP & ~S_IRGRP);
}

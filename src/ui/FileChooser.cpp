#include "ui/FileChooser.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>
#include <algorithm>

namespace {

const QString kAllFiles = QStringLiteral(".*");

bool isNetworkFileSystem(const QByteArray& type) {
  static const QByteArrayList kNetwork{"nfs",        "nfs4",  "cifs", "smbfs", "smb3",
                                       "fuse.sshfs", "sshfs", "9p",   "afs"};
  return kNetwork.contains(type);
}

// A folder as the chooser keeps it: absolute and cleaned ("/" for an empty text).
QString cleanFolder(const QString& folder) {
  if (folder.trimmed().isEmpty()) return QStringLiteral("/");
  return QDir::cleanPath(QDir(folder).absolutePath());
}

}  // namespace

QString DriveLabel(const QString& path, const QString& volumeName,
                   const QByteArray& fileSystemType) {
  if (!volumeName.isEmpty()) return QStringLiteral("%1 (%2)").arg(volumeName, path);
  if (fileSystemType.isEmpty()) return QStringLiteral("Unknown Disk (%1)").arg(path);
  if (isNetworkFileSystem(fileSystemType)) return QStringLiteral("Network (%1)").arg(path);
  if (fileSystemType == "iso9660" || fileSystemType == "udf")
    return QStringLiteral("CD-ROM (%1)").arg(path);
  if (fileSystemType == "tmpfs" || fileSystemType == "ramfs")
    return QStringLiteral("Ram Disk (%1)").arg(path);
  return QStringLiteral("Local Disk (%1)").arg(path);
}

QList<CDriveRoot> SystemDrives() {
  const QStorageInfo root = QStorageInfo::root();
  const QString rootPath = QStringLiteral("/");
  QList<CDriveRoot> drives{{rootPath, DriveLabel(rootPath, root.name(), root.fileSystemType())}};
  const QString home = cleanFolder(QDir::homePath());
  if (home != rootPath) drives.append({home, QStringLiteral("Home (%1)").arg(home)});
  QList<CDriveRoot> volumes;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    const QString path = cleanFolder(volume.rootPath());
    if (!volume.isValid() || !volume.isReady() || path == rootPath || path == home) continue;
    // Disks, sticks, discs and shares; not the loop images of packaged software or the
    // memory file systems of the system.
    const QByteArray device = volume.device();
    const bool disk = device.startsWith("/dev/") && !device.startsWith("/dev/loop");
    if (!disk && !isNetworkFileSystem(volume.fileSystemType())) continue;
    volumes.append({path, DriveLabel(path, volume.name(), volume.fileSystemType())});
  }
  std::sort(volumes.begin(), volumes.end(),
            [](const CDriveRoot& a, const CDriveRoot& b) { return a.path < b.path; });
  return drives + volumes;
}

CFileChooser::CFileChooser(const QString& initialFolder, const QString& filter,
                           QList<CDriveRoot> drives)
    : m_drives(std::move(drives)) {
  static const QRegularExpression patternSeparator(QStringLiteral("[,;]"));
  const QStringList pieces = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
  for (qsizetype i = 0; i + 1 < pieces.size(); i += 2) {
    const QString pattern = pieces[i + 1].split(patternSeparator).first().trimmed();
    m_types.append({pieces[i], pattern.mid(1)});
  }
  if (!m_types.isEmpty()) m_selectedType = 0;
  SetFolder(initialFolder);
}

void CFileChooser::SetFolder(const QString& folder) {
  m_folder = cleanFolder(folder);
  fillDrives();
  fillFiles();
}

void CFileChooser::SelectDrive(int index) {
  if (index >= 0 && index < m_driveEntries.size()) SetFolder(m_driveEntries[index].path);
}

void CFileChooser::Up() {
  if (m_selectedDrive <= 0 || m_driveEntries[m_selectedDrive].indent == 0) return;
  SetFolder(m_driveEntries[m_selectedDrive - 1].path);
}

void CFileChooser::Open(int entryIndex) {
  if (entryIndex < 0 || entryIndex >= m_entries.size() || !m_entries[entryIndex].folder) return;
  SetFolder(QDir(m_folder).filePath(m_entries[entryIndex].name));
}

void CFileChooser::SelectType(int index) {
  if (index < 0 || index >= m_types.size()) return;
  m_selectedType = index;
  fillFiles();
}

void CFileChooser::SortBy(int column) {
  if (column == m_sortColumn) {
    m_ascending = !m_ascending;
  } else {
    m_sortColumn = column;
    m_ascending = true;
  }
  std::stable_sort(m_entries.begin(), m_entries.end(),
                   [this](const CFileListEntry& a, const CFileListEntry& b) {
                     return Compare(a, b, m_sortColumn, m_ascending) < 0;
                   });
}

void CFileChooser::fillDrives() {
  m_driveEntries.clear();
  m_selectedDrive = 0;
  // The drive of the folder: the deepest one that is the folder or holds it.
  int owner = -1;
  for (int i = 0; i < m_drives.size(); ++i) {
    const QString& root = m_drives[i].path;
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    const bool holds = m_folder == root || m_folder.startsWith(prefix);
    if (holds && (owner < 0 || root.size() > m_drives[owner].path.size())) owner = i;
  }
  for (int i = 0; i < m_drives.size(); ++i) {
    m_driveEntries.append({m_drives[i].label, m_drives[i].path, 0});
    if (i != owner) continue;
    m_selectedDrive = static_cast<int>(m_driveEntries.size()) - 1;
    // The chain of folders below the drive; each entry stands for the folder up to it.
    qsizetype pos = m_drives[i].path.size();
    int indent = 1;
    while (pos < m_folder.size()) {
      if (m_folder[pos] == QLatin1Char('/')) {
        ++pos;
        continue;
      }
      const qsizetype separator = m_folder.indexOf(QLatin1Char('/'), pos);
      const QString piece = m_folder.mid(pos, separator < 0 ? -1 : separator - pos);
      const QString path = separator < 0 ? m_folder : m_folder.left(separator + 1);
      m_driveEntries.append({piece, path, indent++});
      m_selectedDrive = static_cast<int>(m_driveEntries.size()) - 1;
      if (separator < 0) break;
      pos = separator + 1;
    }
  }
}

void CFileChooser::fillFiles() {
  m_entries.clear();
  if (m_selectedType < 0) return;
  const QString extension = FileExt();
  const bool allFiles = extension == kAllFiles;
  // Hidden entries (names starting with ".") stay hidden, as in the desktop's file manager.
  const QFileInfoList found = QDir(m_folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot);
  for (const QFileInfo& info : found) {
    CFileListEntry entry{info.fileName(), 0, info.lastModified(), info.isDir()};
    if (!entry.folder) {
      const qsizetype dot = entry.name.lastIndexOf(QLatin1Char('.'));
      if (!allFiles && (dot < 0 || entry.name.mid(dot).toUpper() != extension)) continue;
      entry.size = info.size();
    }
    m_entries.append(entry);
  }
  // Sorting twice by the same column restores the direction.
  m_ascending = !m_ascending;
  SortBy(m_sortColumn);
}

QString CFileChooser::CellText(const CFileListEntry& entry, int column) {
  switch (column) {
    case kName:
      return entry.name;
    case kSize:
      return entry.folder ? QString() : QString::number(entry.size);
    case kDate:
      return entry.lastWrite.isValid()
                 ? entry.lastWrite.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                 : QString();
  }
  return {};
}

int CFileChooser::Compare(const CFileListEntry& a, const CFileListEntry& b, int column,
                          bool ascending) {
  int order = 0;
  switch (column) {
    case kName:
      if (a.folder != b.folder)
        order = a.folder ? -1 : 1;
      else
        order = a.name.compare(b.name, Qt::CaseInsensitive);
      break;
    case kSize:
      order = (a.size > b.size) - (a.size < b.size);
      break;
    case kDate:
      order = (a.lastWrite > b.lastWrite) - (a.lastWrite < b.lastWrite);
      break;
  }
  return ascending ? order : -order;
}

QList<const CFileListEntry*> CFileChooser::entriesAt(const QList<int>& rows) const {
  QList<int> ordered = rows;
  std::sort(ordered.begin(), ordered.end());
  QList<const CFileListEntry*> found;
  for (const int row : ordered) {
    if (row >= 0 && row < m_entries.size()) found.append(&m_entries[row]);
  }
  return found;
}

QString CFileChooser::NameBoxText(const QList<int>& selected) const {
  QString text;
  for (const CFileListEntry* entry : entriesAt(selected)) text += QLatin1Char(' ') + entry->name;
  return text;
}

QString CFileChooser::FileExt() const {
  if (m_selectedType < 0) return {};
  const QString& extension = m_types[m_selectedType].extension;
  return extension == kAllFiles ? extension : extension.toUpper();
}

QStringList CFileChooser::SelectedFiles(const QList<int>& selected) const {
  QStringList files;
  for (const CFileListEntry* entry : entriesAt(selected)) {
    if (!entry->folder) files.append(QDir(m_folder).filePath(entry->name));
  }
  return files;
}

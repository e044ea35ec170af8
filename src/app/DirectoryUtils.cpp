#include "app/DirectoryUtils.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <algorithm>

#include "app/WorkingFolder.h"

namespace {

constexpr QDir::Filters kEveryEntry =
    QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;

bool readableFolder(const QString& folder) {
  const QFileInfo info(folder);
  return info.isDir() && info.isReadable() && info.isExecutable();
}

}  // namespace

bool FolderHasEntries(const QString& folder) {
  if (!readableFolder(folder)) return true;
  return QDirIterator(folder, kEveryEntry).hasNext();
}

bool DeleteFolderTree(const QString& folder, const QStringList& protectedFolders) {
  if (!IsRemovableWorkingFolder(folder, protectedFolders)) return false;
  return QDir(folder).removeRecursively();
}

int CollectFilesContaining(const QString& folder, const QString& text, QStringList& list) {
  if (!readableFolder(folder)) return 1;
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (path.toLower().indexOf(text) > 0) list.append(path);
  }
  return 0;
}

int CFolderList::List(const QString& folder) {
  QString path = folder.trimmed();
  if (path.isEmpty()) return -1;
  if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
  m_strPath = path;
  if (!readableFolder(path)) return -1;
  const QFileInfoList entries = QDir(path).entryInfoList(kEveryEntry, QDir::Name);
  for (const QFileInfo& entry : entries) {
    (entry.isDir() ? m_folders : m_files).append(entry.fileName());
  }
  return 0;
}

QString CFolderList::FileNameAt(int index) const {
  return index >= 0 && index < GetFileCount() ? m_files.at(index) : QString();
}

void CFolderList::Clear() {
  m_files.clear();
  m_folders.clear();
}

void CFileInfoArray::Add(const CFileInfo& record, int sortOrder) {
  auto firstWhere = [this](auto predicate) {
    return std::find_if(m_records.begin(), m_records.end(), predicate);
  };
  QList<CFileInfo>::iterator position = m_records.end();
  switch (sortOrder) {
    case SizeAscending:
      position = firstWhere([&](const CFileInfo& r) { return r.size >= record.size; });
      break;
    case SizeDescending:
      position = firstWhere([&](const CFileInfo& r) { return r.size <= record.size; });
      break;
    case PathAscending:
      position = firstWhere([&](const CFileInfo& r) { return r.path >= record.path; });
      break;
    case PathDescending:
      position = firstWhere([&](const CFileInfo& r) { return r.path <= record.path; });
      break;
    default:
      break;
  }
  m_records.insert(position, record);
}

int CFileInfoArray::AddFolder(const QString& folder, const QString& mask, bool recurse,
                              int sortOrder, bool includeFolders, const std::atomic<bool>* stop,
                              std::atomic<long>* counter) {
  const QString base = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
  auto stopped = [stop] { return stop && stop->load(); };
  auto record = [&](const QFileInfo& entry) {
    CFileInfo info;
    info.path = base + entry.fileName();
    info.isFolder = entry.isDir();
    info.permissions = entry.permissions();
    info.size = entry.isDir() ? 0 : entry.size();
    info.created = entry.birthTime().isValid() ? entry.birthTime() : entry.metadataChangeTime();
    info.lastAccess = entry.lastRead();
    info.lastWrite = entry.lastModified();
    Add(info, sortOrder);
    if (counter) counter->fetch_add(1);
  };
  int added = 0;
  const QDir dir(base);
  const QFileInfoList folders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot |
                                                  QDir::NoSymLinks | QDir::Hidden | QDir::System);
  for (const QFileInfo& entry : folders) {
    if (includeFolders) {
      record(entry);
      ++added;
    }
    if (recurse) {
      added += AddFolder(base + entry.fileName(), mask, recurse, sortOrder, includeFolders, stop,
                         counter);
    }
    if (stopped()) return added;
  }
  const QFileInfoList files = dir.entryInfoList({mask}, QDir::Files | QDir::Hidden | QDir::System);
  for (const QFileInfo& entry : files) {
    record(entry);
    ++added;
    if (stopped()) return added;
  }
  return added;
}

#pragma once

// Small file-system helpers for the image records, the watched-folder import and the main
// frame: test, list, search and remove folders. They show no message; file-system errors are
// ignored as described with each.

#include <QDateTime>
#include <QFileDevice>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>

// True when the folder holds any entry, and also when it is missing or cannot be read (so a
// caller that removes empty folders leaves it alone); false only for an existing empty folder.
bool FolderHasEntries(const QString& folder);

// Removes everything below the folder and then the folder itself; links inside go, not what
// they point at. Entries that cannot be removed stay, with the folders that hold them. True
// when the folder is gone. A folder that resolves (links, "..", trailing separators) to the
// root, the home folder or one of protectedFolders (the application's are
// AppSettings::protectedFolders()), or that holds one of them, is refused: false, nothing
// touched.
bool DeleteFolderTree(const QString& folder, const QStringList& protectedFolders);

// Appends to list every file below folder (all depths) whose full path, in small letters,
// contains text after its first character (callers pass text in small letters). The path is
// appended as the file system spells it. 0, or 1 when the folder cannot be read.
int CollectFilesContaining(const QString& folder, const QString& text, QStringList& list);

// One folder's entry names: files and sub-folders apart.
class CFolderList {
 public:
  // Reads the folder (surrounding blanks trimmed, a trailing "/" added); names in name order.
  // 0, or -1 for an empty text or a folder that cannot be read.
  int List(const QString& folder);
  int GetFileCount() const { return static_cast<int>(m_files.size()); }
  // The file name at index; empty when index is not below the count.
  QString FileNameAt(int index) const;
  void Clear();

  QString m_strPath;  // the folder as read, ending in "/"
  QStringList m_files;
  QStringList m_folders;
};

// One found file or folder.
struct CFileInfo {
  QString path;
  bool isFolder = false;
  QFileDevice::Permissions permissions;
  qint64 size = 0;
  QDateTime created;  // local time
  QDateTime lastAccess;
  QDateTime lastWrite;
  qint64 userValue = 0;
};

// Files (and optionally folders) found under a folder, kept in a chosen order.
class CFileInfoArray {
 public:
  enum SortOrder {
    NoSort = 0,
    SizeAscending = 2,
    SizeDescending = 3,
    PathAscending = 4,  // letter case counts
    PathDescending = 5
  };

  // Adds the folder's sub-folders (when includeFolders; walked when recurse) and then its
  // files matching mask (letter case ignored, e.g. "*.dcm"), each placed by sortOrder (another
  // value appends). Links to folders are neither listed nor walked, so a link back up the tree
  // cannot make the walk endless; links to files are listed like files. The walk stops as soon as
  // stop is set; counter, when given, goes up by one for every record added (atomically: another
  // thread may watch it). Returns the number of records added.
  int AddFolder(const QString& folder, const QString& mask, bool recurse, int sortOrder,
                bool includeFolders, const std::atomic<bool>* stop = nullptr,
                std::atomic<long>* counter = nullptr);

  int GetSize() const { return static_cast<int>(m_records.size()); }
  const CFileInfo& at(int index) const { return m_records.at(index); }

 private:
  void Add(const CFileInfo& record, int sortOrder);

  QList<CFileInfo> m_records;
};

#pragma once

// What the file chooser CFileDialogEx shows and does, without a window: the drive combo (the
// drives, then the chain of folders down to the current folder), the file types of a filter,
// the current folder's folders and files of the chosen type in a sortable order, navigation and
// the results read after OK.
//
// Drives here: the root "/", the home folder and the mounted volumes of real devices; the drive
// of a folder is the deepest of them that holds it.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

struct CDriveRoot {
  QString path;  // cleaned, no trailing "/" except for the root itself
  QString label;
};

// The drives of this machine: "/" first, the home folder, then the mounted volumes of devices
// and network shares in path order.
QList<CDriveRoot> SystemDrives();
// A volume's label: "%s (%s)" with its name and path when it has a name, otherwise by its file
// system type "Network (%s)", "CD-ROM (%s)", "Ram Disk (%s)", "Local Disk (%s)", or
// "Unknown Disk (%s)" when the type is not known.
QString DriveLabel(const QString& path, const QString& volumeName,
                   const QByteArray& fileSystemType);

struct CDriveComboEntry {
  QString text;
  QString path;
  int indent = 0;  // 0 for a drive, 1 for the first folder below it, and so on
};

struct CFileType {
  QString description;
  // The first pattern of the pair without its first character: "*.bmp" gives ".bmp", "*.*" ".*".
  QString extension;
};

struct CFileListEntry {
  QString name;
  qint64 size = 0;
  QDateTime lastWrite;
  bool folder = false;
};

class CFileChooser {
 public:
  enum Column { kName = 0, kSize = 1, kDate = 2 };

  // filter: description "|" pattern "|" description "|" pattern ... (empty pieces skipped).
  CFileChooser(const QString& initialFolder, const QString& filter, QList<CDriveRoot> drives);

  // ---- navigation (each refills the drive combo and the list)
  void SetFolder(const QString& folder);
  void SelectDrive(int index);
  // To the folder above, by the drive combo; on a drive nothing changes.
  void Up();
  // A double click: into a listed folder; a file does nothing.
  void Open(int entryIndex);
  void SelectType(int index);
  // A click on a column heading: the same column flips the direction, another one sorts
  // ascending.
  void SortBy(int column);

  // ---- what the window shows
  const QString& folder() const { return m_folder; }
  const QList<CDriveComboEntry>& driveEntries() const { return m_driveEntries; }
  int selectedDrive() const { return m_selectedDrive; }
  const QList<CFileType>& types() const { return m_types; }
  int selectedType() const { return m_selectedType; }
  // Folders always, files of the chosen type, in the sort order.
  const QList<CFileListEntry>& entries() const { return m_entries; }
  int sortColumn() const { return m_sortColumn; }
  bool sortAscending() const { return m_ascending; }
  // Name, size (empty for a folder) and last-write time "yyyy-MM-dd HH:mm".
  static QString CellText(const CFileListEntry& entry, int column);
  // Negative when a comes first: by name folders before files (reversed when descending), names
  // ignoring case; by size; by last-write time.
  static int Compare(const CFileListEntry& a, const CFileListEntry& b, int column, bool ascending);

  // ---- results
  // The file-name box after a click: a blank before each selected entry's name.
  QString NameBoxText(const QList<int>& selected) const;
  // The chosen type's extension, in capitals unless it is ".*".
  QString FileExt() const;
  // Full paths of the selected files; folders are left out.
  QStringList SelectedFiles(const QList<int>& selected) const;

 private:
  // The entries of the rows, in list order.
  QList<const CFileListEntry*> entriesAt(const QList<int>& rows) const;
  void fillDrives();
  void fillFiles();

  QList<CDriveRoot> m_drives;
  QString m_folder;
  QList<CDriveComboEntry> m_driveEntries;
  int m_selectedDrive = 0;
  QList<CFileType> m_types;
  int m_selectedType = -1;
  QList<CFileListEntry> m_entries;
  int m_sortColumn = kName;
  bool m_ascending = true;
};

#pragma once

#include <QStringList>

#include "ui/FileChooser.h"
#include "ui/widgets/BaseSkinDlg.h"

class CButtonSTEx2;
class CColoredCombo;
class QComboBox;
class QListView;
class QStandardItemModel;
class QTreeView;

// The program's own file chooser: a drive-and-folder combo, the current folder's folders and
// files of the chosen type in three sortable columns (or as small icons), a file-name box and a
// file-type box. Save mode (the export) chooses a folder, a name and a type; open mode (the
// configuration) chooses a folder. What it lists and where it goes is CFileChooser.
class CFileDialogEx : public CBaseSkinDlg {
  Q_OBJECT

 public:
  static constexpr int kSaveMode = 1;
  // Object names of the controls tests reach: "ctl<id>".
  static constexpr int kDriveCombo = 1896;
  static constexpr int kUp = 1119;
  static constexpr int kListButton = 1525;
  static constexpr int kIconButton = 1875;
  static constexpr int kFileList = 1658;
  static constexpr int kFileName = 1894;
  static constexpr int kFileType = 1895;

  // mode kSaveMode labels OK "SAVE"; any other value keeps "Open". The title is kept for the
  // caller; the window is titled "File".
  CFileDialogEx(QWidget* parent, const QString& initialFolder, const QString& filter,
                const QString& title, int mode, QList<CDriveRoot> drives = SystemDrives());

  // After OK: the folder shown when the dialog closed, the file-name box text without its
  // surrounding blanks, the chosen type's extension and the selected files.
  QString GetFolderPath() const { return m_chooser.folder(); }
  QString GetFileName() const { return m_fileName; }
  QString GetFileExt() const { return m_chooser.FileExt(); }
  const QStringList& SelectedFiles() const { return m_selectedFiles; }
  const QString& Title() const { return m_title; }

  CFileChooser& chooser() { return m_chooser; }
  // Shows the chooser's current state: drive combo and list.
  void Refill();

 protected:
  void accept() override;
  void reject() override;

 private:
  void fillDriveCombo();
  void fillFileList();
  QList<int> selectedRows() const;
  void showDetails(bool details);

  CFileChooser m_chooser;
  QString m_title;
  QString m_fileName;
  QStringList m_selectedFiles;
  QComboBox* m_drives = nullptr;
  QStandardItemModel* m_model = nullptr;
  QTreeView* m_details = nullptr;
  QListView* m_icons = nullptr;
  CColoredCombo* m_name = nullptr;
  CColoredCombo* m_types = nullptr;
};

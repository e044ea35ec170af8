// The file chooser: drives and the folder chain, types, listing, sorting, results; and the
// window on top of it.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

#include "ui/FileChooser.h"
#include "ui/widgets/FileDialogEx.h"

namespace {

const QString kExportFilter =
    QStringLiteral("BMP Files (*.bmp)|*.bmp|JPG Files (*.jpg)|*.jpg|PNG Files (*.png)|*.png");
const QString kAllFiles = QStringLiteral("All Files (*.*)|*.*||");

void touch(const QString& path, int size, const QDateTime& lastWrite = {}) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(size, 'x'));
  file.flush();  // a later flush would set the time again
  if (lastWrite.isValid()) file.setFileTime(lastWrite, QFileDevice::FileModificationTime);
}

// A folder standing for the home drive, holding dcm/x.
class FileChooserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir().mkpath(home() + "/dcm/x"));
  }
  QString home() const { return QDir::cleanPath(dir.path()); }
  QList<CDriveRoot> drives() const {
    return {{"/", "Local Disk (/)"}, {home(), "Home (" + home() + ")"}};
  }
  static QStringList names(const CFileChooser& chooser) {
    QStringList list;
    for (const CFileListEntry& entry : chooser.entries()) list << entry.name;
    return list;
  }

  QTemporaryDir dir;
};

TEST_F(FileChooserTest, DriveComboShowsTheChainOfTheFolderAndUpClimbsItToTheDrive) {
  CFileChooser chooser(home() + "/dcm/x", kAllFiles, drives());
  const QList<CDriveComboEntry>& entries = chooser.driveEntries();
  ASSERT_EQ(entries.size(), 4);
  EXPECT_EQ(entries[0].path, "/");
  EXPECT_EQ(entries[1].indent, 0);
  EXPECT_EQ(entries[2].text, "dcm");
  EXPECT_EQ(entries[2].path, home() + "/dcm/");
  EXPECT_EQ(entries[2].indent, 1);
  EXPECT_EQ(entries[3].text, "x");
  EXPECT_EQ(entries[3].path, home() + "/dcm/x");
  EXPECT_EQ(entries[3].indent, 2);
  EXPECT_EQ(chooser.selectedDrive(), 3);

  chooser.Up();
  EXPECT_EQ(chooser.folder(), home() + "/dcm");
  chooser.Up();
  EXPECT_EQ(chooser.folder(), home());
  EXPECT_EQ(chooser.selectedDrive(), 1);
  chooser.Up();
  EXPECT_EQ(chooser.folder(), home()) << "on a drive nothing changes";

  // A folder on no other drive hangs below the root; a missing one still shows its chain.
  chooser.SetFolder("/no/such/folder");
  EXPECT_EQ(chooser.driveEntries().size(), 2 + 3);
  EXPECT_EQ(chooser.driveEntries()[1].path, "/no/");
  EXPECT_EQ(chooser.driveEntries()[3].path, "/no/such/folder");
  EXPECT_TRUE(chooser.entries().isEmpty());
  chooser.SelectDrive(4);
  EXPECT_EQ(chooser.folder(), home());
}

TEST_F(FileChooserTest, TypeBoxListsFoldersAndTheFilesOfTheChosenExtension) {
  for (const char* name : {"A.JPG", "b.jpg", "d.jpeg", "noext", "c.bmp"})
    touch(home() + "/" + name, 1);
  CFileChooser all(home(), kAllFiles, drives());
  ASSERT_EQ(all.types().size(), 1);
  EXPECT_EQ(all.FileExt(), ".*");
  EXPECT_EQ(names(all), QStringList({"dcm", "A.JPG", "b.jpg", "c.bmp", "d.jpeg", "noext"}));

  CFileChooser exporting(home(), kExportFilter, drives());
  ASSERT_EQ(exporting.types().size(), 3);
  EXPECT_EQ(exporting.types()[1].description, "JPG Files (*.jpg)");
  EXPECT_EQ(names(exporting), QStringList({"dcm", "c.bmp"}));
  exporting.SelectType(1);
  EXPECT_EQ(names(exporting), QStringList({"dcm", "A.JPG", "b.jpg"}));
  EXPECT_EQ(exporting.FileExt(), ".JPG");
}

TEST_F(FileChooserTest, ColumnsSortBothWaysWithFoldersApartByName) {
  const QDateTime base(QDate(2024, 3, 5), QTime(10, 0));
  touch(home() + "/b.txt", 300, base);
  touch(home() + "/A.txt", 5000000, base.addDays(2));
  touch(home() + "/c.txt", 10, base.addDays(1));
  ASSERT_TRUE(QDir().mkpath(home() + "/Zeta"));
  CFileChooser chooser(home(), kAllFiles, drives());
  EXPECT_EQ(names(chooser), QStringList({"dcm", "Zeta", "A.txt", "b.txt", "c.txt"}));
  chooser.SortBy(CFileChooser::kName);
  EXPECT_EQ(names(chooser), QStringList({"c.txt", "b.txt", "A.txt", "Zeta", "dcm"}));
  chooser.SortBy(CFileChooser::kSize);
  EXPECT_EQ(names(chooser).mid(2), QStringList({"c.txt", "b.txt", "A.txt"}));
  chooser.SortBy(CFileChooser::kSize);
  EXPECT_EQ(names(chooser).first(), "A.txt");
  chooser.SortBy(CFileChooser::kDate);
  EXPECT_EQ(names(chooser).mid(0, 3), QStringList({"b.txt", "c.txt", "A.txt"}));
  // The order holds when the list is filled again.
  chooser.SetFolder(home());
  EXPECT_EQ(names(chooser).mid(0, 3), QStringList({"b.txt", "c.txt", "A.txt"}));

  const CFileListEntry& big = chooser.entries()[2];
  EXPECT_EQ(CFileChooser::CellText(big, CFileChooser::kSize), "5000000");
  EXPECT_EQ(CFileChooser::CellText(big, CFileChooser::kDate), "2024-03-07 10:00");
  EXPECT_EQ(CFileChooser::CellText({"dcm", 4096, base, true}, CFileChooser::kSize), "");
}

TEST_F(FileChooserTest, SelectionGivesTheNameBoxTextAndTheChosenFilesOnly) {
  touch(home() + "/a.bmp", 1);
  CFileChooser chooser(home(), kExportFilter, drives());
  ASSERT_EQ(names(chooser), QStringList({"dcm", "a.bmp"}));
  EXPECT_EQ(chooser.NameBoxText({1}), " a.bmp");
  EXPECT_EQ(chooser.NameBoxText({1, 0}), " dcm a.bmp");
  EXPECT_EQ(chooser.NameBoxText({}), "");
  EXPECT_EQ(chooser.SelectedFiles({1, 0}), QStringList({home() + "/a.bmp"}));
  chooser.Open(1);
  EXPECT_EQ(chooser.folder(), home()) << "a file does not open";
  chooser.Open(0);
  EXPECT_EQ(chooser.folder(), home() + "/dcm");
}

TEST(DriveLabel, NameOrFileSystemTypeSaysWhatTheVolumeIs) {
  const struct {
    const char* name;
    const char* type;
    const char* label;
  } cases[] = {{"USB STICK", "vfat", "USB STICK (/m)"},
               {"", "ext4", "Local Disk (/m)"},
               {"", "nfs4", "Network (/m)"},
               {"", "iso9660", "CD-ROM (/m)"},
               {"", "tmpfs", "Ram Disk (/m)"},
               {"", "", "Unknown Disk (/m)"}};
  for (const auto& c : cases) EXPECT_EQ(DriveLabel("/m", c.name, c.type), c.label);
  const QList<CDriveRoot> drives = SystemDrives();
  ASSERT_FALSE(drives.isEmpty());
  EXPECT_EQ(drives.first().path, "/");
}

TEST_F(FileChooserTest, SaveModeReturnsTheFolderTheTypedNameAndTheType) {
  touch(home() + "/old.png", 1);
  CFileDialogEx dialog(nullptr, home(), kExportFilter, "File", CFileDialogEx::kSaveMode, drives());
  EXPECT_EQ(dialog.findChild<QPushButton*>("ctl1")->text(), "SAVE");
  EXPECT_EQ(dialog.windowTitle(), "File");
  auto* types = dialog.findChild<QComboBox*>("ctl1895");
  types->setCurrentIndex(2);
  emit types->activated(2);
  auto* list = dialog.findChild<QTreeView*>("ctl1658");
  ASSERT_EQ(list->model()->rowCount(), 2);
  EXPECT_EQ(list->model()->index(1, 0).data().toString(), "old.png");
  dialog.findChild<QComboBox*>("ctl1894")->setEditText(" chest ");
  dialog.findChild<QPushButton*>("ctl1")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.GetFolderPath(), home());
  EXPECT_EQ(dialog.GetFileName(), "chest");
  EXPECT_EQ(dialog.GetFileExt(), ".PNG");
  EXPECT_TRUE(dialog.SelectedFiles().isEmpty());

  CFileDialogEx open(nullptr, home(), kAllFiles, "Path", 0, drives());
  EXPECT_EQ(open.findChild<QPushButton*>("ctl1")->text(), "Open");
}

}  // namespace

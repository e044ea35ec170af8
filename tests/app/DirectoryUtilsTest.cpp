#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <utility>

#include "app/DirectoryUtils.h"
#include "app/WorkingFolder.h"

namespace {

class DirectoryUtils : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }

  // Writes a file of size bytes, making its folders.
  QString file(const QString& relative, int size = 0) {
    const QString path = dir.filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QByteArray(size, 'x'));
    return path;
  }
  QString folder(const QString& relative) {
    const QString path = dir.filePath(relative);
    QDir().mkpath(path);
    return path;
  }

  QTemporaryDir dir;
};

TEST_F(DirectoryUtils, FolderHasEntriesIsFalseOnlyForAnExistingEmptyFolder) {
  EXPECT_FALSE(FolderHasEntries(folder("empty")));
  EXPECT_TRUE(FolderHasEntries(dir.filePath("missing")));  // callers never try to delete it
  file("hidden/.dot");
  EXPECT_TRUE(FolderHasEntries(dir.filePath("hidden")));
  folder("parent/child");
  EXPECT_TRUE(FolderHasEntries(dir.filePath("parent")));
  EXPECT_TRUE(FolderHasEntries(file("plain.txt")));  // a file is no empty folder
}

TEST_F(DirectoryUtils, DeleteFolderTreeRemovesEverythingBelowAndTheFolder) {
  file("tree/a.dcm", 10);
  file("tree/sub/.hidden");
  const QString readOnly = file("tree/sub/deeper/locked.raw", 3);
  QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
  folder("tree/empty");
  const QString outside = file("outside/kept.dcm");
  ASSERT_TRUE(QFile::link(QFileInfo(outside).absolutePath(), dir.filePath("tree/sub/link")));
  EXPECT_TRUE(DeleteFolderTree(dir.filePath("tree"), {dir.filePath("program")}));
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("tree")));
  EXPECT_TRUE(QFileInfo::exists(outside)) << "a link inside goes, not what it points at";
  EXPECT_TRUE(DeleteFolderTree(dir.filePath("missing"), {}));  // nothing to do
}

// The program folder, the storage root and the home folder survive however they are spelled:
// with trailing separators, through "..", through a link, or as a folder that holds them.
class ProtectedFolders : public DirectoryUtils {
 protected:
  void SetUp() override {
    DirectoryUtils::SetUp();
    m_hadHome = qEnvironmentVariableIsSet("HOME");
    m_home = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home));  // never the real home folder
    for (const QString kept : {"home", "apps/program", "data/store"}) {
      folder(kept + "/sub");
      file(kept + "/marker");
    }
    folder("links");
    for (const auto& [link, target] : {std::pair{"links/home", home},
                                       {"links/program", program},
                                       {"links/store", storage},
                                       {"links/apps", dir.filePath("apps")}}) {
      ASSERT_TRUE(QFile::link(target, dir.filePath(link)));
    }
  }
  void TearDown() override {
    if (m_hadHome) {
      qputenv("HOME", m_home);
    } else {
      qunsetenv("HOME");
    }
  }

  bool markersKept() const {
    for (const QString& kept : {home, program, storage}) {
      if (!QFileInfo::exists(kept + "/marker")) return false;
    }
    return true;
  }

  const QString home = dir.filePath("home");
  const QString program = dir.filePath("apps/program");
  const QString storage = dir.filePath("data/store");

 private:
  bool m_hadHome = false;
  QByteArray m_home;
};

TEST_F(ProtectedFolders, AreNeverDeleted) {
  const QString refused[] = {home,
                             home + "/",
                             home + "/sub/..",
                             dir.filePath("links/home"),
                             dir.filePath("links/home/"),
                             program,
                             program + "//",
                             program + "/../program",
                             program + "/sub/../",
                             dir.filePath("links/program"),
                             dir.filePath("apps"),
                             dir.filePath("links/apps"),
                             dir.filePath("apps/program/sub/../.."),
                             storage,
                             storage + "/",
                             dir.filePath("data/./store/sub/.."),
                             dir.filePath("links/store"),
                             dir.filePath("data"),
                             dir.path(),
                             dir.path() + "/"};
  for (const QString& folder : refused) {
    EXPECT_FALSE(DeleteFolderTree(folder, {program, storage})) << folder.toStdString();
    ASSERT_TRUE(markersKept()) << folder.toStdString();
  }
  EXPECT_TRUE(QFileInfo(dir.filePath("links/program")).isSymLink());

  // Folders beside and below them are ordinary ones.
  file("apps/program-old/x.dcm");
  EXPECT_TRUE(DeleteFolderTree(dir.filePath("apps/program-old"), {program, storage}));
  EXPECT_TRUE(DeleteFolderTree(storage + "/sub", {program, storage}));
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("apps/program-old")));
  EXPECT_FALSE(QFileInfo::exists(storage + "/sub"));
  EXPECT_TRUE(markersKept());
}

// The root is checked through the guard the delete uses, never handed to the delete itself:
// should the guard fail, the test would wipe whatever the user may write.
TEST_F(ProtectedFolders, TheRootInAnySpellingIsRefusedByTheGuard) {
  ASSERT_TRUE(QFile::link("/", dir.filePath("links/root")));
  for (const QString& folder :
       {QString("/"), QString("//"), QString("/."), QString("/tmp/.."), dir.path() + "/../../../..",
        dir.filePath("links/root"), dir.filePath("links/root/")}) {
    EXPECT_FALSE(IsRemovableWorkingFolder(folder, {})) << folder.toStdString();
  }
}

TEST_F(DirectoryUtils, CollectFilesContainingSearchesAllDepthsWithoutLetterCase) {
  const QString upper = file("a/IMG1.DCM");
  const QString deep = file("a/b/c/img2.dcm");
  const QString original = file("a/b/img2_org.dcm");
  file("a/b/notes.txt");
  folder("a/folder.dcm");
  QStringList found{"kept"};
  EXPECT_EQ(CollectFilesContaining(dir.filePath("a") + "/", ".dcm", found), 0);
  found.sort();
  QStringList expected{"kept", upper, deep, original};
  expected.sort();
  EXPECT_EQ(found, expected);  // paths as the file system spells them, folders left out

  // The text must follow the path's first character.
  QStringList atStart;
  CollectFilesContaining(dir.filePath("a"), dir.path().left(4).toLower(), atStart);
  EXPECT_TRUE(atStart.isEmpty());
  QStringList missing;
  EXPECT_EQ(CollectFilesContaining(dir.filePath("missing"), ".dcm", missing), 1);
  EXPECT_TRUE(missing.isEmpty());
}

TEST_F(DirectoryUtils, FolderListSeparatesFilesAndFolders) {
  file("drop/b.dcm");
  file("drop/a.dcm");
  folder("drop/sub");
  CFolderList list;
  EXPECT_EQ(list.List(""), -1);
  EXPECT_EQ(list.List("   "), -1);
  EXPECT_EQ(list.List(dir.filePath("missing")), -1);
  ASSERT_EQ(list.List("  " + dir.filePath("drop") + " "), 0);
  EXPECT_EQ(list.m_strPath, dir.filePath("drop") + "/");
  EXPECT_EQ(list.GetFileCount(), 2);
  EXPECT_EQ(list.FileNameAt(0), "a.dcm");
  EXPECT_EQ(list.FileNameAt(1), "b.dcm");
  EXPECT_EQ(list.FileNameAt(2), "");
  EXPECT_EQ(list.FileNameAt(-1), "");
  EXPECT_EQ(list.m_folders, QStringList({"sub"}));
  list.Clear();
  EXPECT_EQ(list.GetFileCount(), 0);
  EXPECT_TRUE(list.m_folders.isEmpty());
}

TEST_F(DirectoryUtils, FileInfoArrayKeepsTheChosenOrder) {
  const QString root = dir.filePath("scan") + "/";
  file("scan/B.dcm", 3);
  file("scan/a.dcm", 1);
  file("scan/sub/c.DCM", 2);
  file("scan/sub/skip.txt", 9);
  struct Case {
    int order;
    QStringList names;
  };
  const Case cases[] = {
      {CFileInfoArray::SizeAscending, {"scan/a.dcm", "scan/sub/c.DCM", "scan/B.dcm"}},
      {CFileInfoArray::SizeDescending, {"scan/B.dcm", "scan/sub/c.DCM", "scan/a.dcm"}},
      {CFileInfoArray::PathAscending, {"scan/B.dcm", "scan/a.dcm", "scan/sub/c.DCM"}},
      {CFileInfoArray::PathDescending, {"scan/sub/c.DCM", "scan/a.dcm", "scan/B.dcm"}},
  };
  for (const Case& c : cases) {
    CFileInfoArray files;
    EXPECT_EQ(files.AddFolder(root, "*.dcm", true, c.order, false), 3);
    QStringList names;
    for (int i = 0; i < files.GetSize(); ++i) {
      names.append(QDir(dir.path()).relativeFilePath(files.at(i).path));
    }
    EXPECT_EQ(names, c.names) << c.order;
  }
  CFileInfoArray unsorted;
  EXPECT_EQ(unsorted.AddFolder(root, "*.dcm", false, 0, false), 2);  // no recursion
  CFileInfoArray withFolders;
  std::atomic<long> counter = 0;
  EXPECT_EQ(withFolders.AddFolder(root, "*.dcm", true, 4, true, nullptr, &counter), 4);
  EXPECT_EQ(counter, 4);
  EXPECT_TRUE(withFolders.at(2).isFolder);  // "scan/sub" sorts before "scan/sub/c.DCM"
  EXPECT_EQ(withFolders.at(0).size, 3);
}

// A link back up the tree would be walked again and again: links to folders are neither walked
// nor listed, links to files are listed like the files they name.
TEST_F(DirectoryUtils, WalksEndAtLinksToFolders) {
  file("loop/a.dcm");
  file("loop/sub/b.dcm");
  ASSERT_TRUE(QFile::link(dir.filePath("loop"), dir.filePath("loop/sub/back")));
  ASSERT_TRUE(QFile::link(dir.filePath("loop/a.dcm"), dir.filePath("loop/sub/c.dcm")));
  CFileInfoArray files;
  ASSERT_EQ(
      files.AddFolder(dir.filePath("loop"), "*.dcm", true, CFileInfoArray::PathAscending, true), 4);
  QStringList names;
  for (int i = 0; i < files.GetSize(); ++i) {
    names.append(QDir(dir.path()).relativeFilePath(files.at(i).path));
  }
  EXPECT_EQ(names.join(' ').toStdString(), "loop/a.dcm loop/sub loop/sub/b.dcm loop/sub/c.dcm");

  QStringList found;
  EXPECT_EQ(CollectFilesContaining(dir.filePath("loop"), ".dcm", found), 0);
  EXPECT_EQ(found.size(), 3);
}

TEST_F(DirectoryUtils, FileInfoArrayStopsWhenTheFlagIsSet) {
  for (int i = 0; i < 5; ++i) file(QStringLiteral("many/%1.dcm").arg(i));
  std::atomic<bool> stop = true;
  CFileInfoArray files;
  EXPECT_EQ(files.AddFolder(dir.filePath("many"), "*.dcm", true, 0, false, &stop), 1);
  EXPECT_EQ(files.GetSize(), 1);
}

}  // namespace

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/DirectoryUtils.h"

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
  DeleteFolderTree(dir.filePath("tree"));
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("tree")));
  EXPECT_TRUE(QFileInfo::exists(dir.path()));
  DeleteFolderTree(dir.filePath("missing"));  // nothing to do, nothing reported
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

TEST_F(DirectoryUtils, FileInfoArrayStopsWhenTheFlagIsSet) {
  for (int i = 0; i < 5; ++i) file(QStringLiteral("many/%1.dcm").arg(i));
  std::atomic<bool> stop = true;
  CFileInfoArray files;
  EXPECT_EQ(files.AddFolder(dir.filePath("many"), "*.dcm", true, 0, false, &stop), 1);
  EXPECT_EQ(files.GetSize(), 1);
}

}  // namespace

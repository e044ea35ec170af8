#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/WorkingFolder.h"

namespace {

TEST(WorkingFolder, OnlyAFolderOutsideEveryProtectedOneIsRemovable) {
  QTemporaryDir base;
  const QString program = base.filePath("program");
  const QString work = base.filePath("data/Norvika");
  QDir().mkpath(program);
  QDir().mkpath(work);
  struct Case {
    QString folder;
    bool removable;
  };
  for (const Case& c : {Case{work, true}, Case{program, false},  // the program folder
                        Case{base.path(), false},                // a parent of it
                        Case{program + "/../program/", false},   // the same, spelled otherwise
                        Case{QDir::homePath(), false}, Case{"/", false}, Case{"", false},
                        Case{base.filePath("prog"), true}}) {  // a name prefix is no parent
    EXPECT_EQ(IsRemovableWorkingFolder(c.folder, {program}), c.removable) << c.folder.toStdString();
  }
}

TEST(WorkingFolder, RemovedOnlyWhenTheProgramCreatedIt) {
  QTemporaryDir base;
  const QString work = base.filePath("Norvika");
  QDir().mkpath(work + "/day");
  QFile file(work + "/day/Pelmora.db");
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  EXPECT_FALSE(RemoveWorkingFolder(work, false, {}));
  EXPECT_TRUE(QDir(work).exists()) << "a folder found at start-up is the user's";
  EXPECT_TRUE(RemoveWorkingFolder(work, true, {}));
  EXPECT_FALSE(QDir(work).exists());
}

}  // namespace

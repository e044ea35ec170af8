// The scan of the program folder in the embedded and the disc modes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <stdexcept>

#include "app/AppSettings.h"
#include "browser/ImportTestSupport.h"
#include "browser/ProgramFolderImport.h"
#include "browser/widgets/DlgBrowser.h"
#include "frame/widgets/MainFrame.h"

namespace {

TEST(ProgramFolderImage, DicomEndingAnywhereButNeverTheOriginalDataSet) {
  const struct {
    const char* path;
    bool imported;
  } cases[] = {{"/p/a.dcm", true},
               {"/p/A.DCM", true},
               {"/p/x.Dcm", true},
               {"/p/x.dcm.bak", true},
               {"/p/a_org.dcm", false},
               {"/p/A_ORG.DCM", false},
               {"/p/x_org.dcm/b.dcm", false},
               {".dcm", false},
               {"/p/readme.txt", false},
               {"/p/dcm", false}};
  for (const auto& c : cases) EXPECT_EQ(IsProgramFolderImage(c.path), c.imported) << c.path;
}

class ProgramFolderScan : public ImportTest {
 protected:
  void SetUp() override {
    ImportTest::SetUp();
    ASSERT_TRUE(QDir().mkpath(folder + "/sub"));
    int uid = 0;
    for (const char* name : {"a.dcm", "B.DCM", "a_org.dcm", "sub/C.Dcm", "x.dcm.bak"}) {
      ASSERT_TRUE(radiograph("1.2.7." + std::to_string(++uid)).save(folder + "/" + name));
    }
    longest = pathOfLength(folder, 255);
    ASSERT_TRUE(radiograph("1.2.7.255").save(longest));
    ASSERT_TRUE(radiograph("1.2.7.256").save(pathOfLength(folder, 256)));
    QFile notes(folder + "/readme.txt");
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
  }
  QSet<QString> storedPaths() {
    CdbDatabase query(dbPath);
    QSet<QString> paths;
    query.Open(CGMDaoRecordset::dbOpenSnapshot, "SELECT FullPath FROM ImgInfo");
    for (; !query.IsEOF(); query.MoveNext()) paths << query.GetFieldValue("FullPath").toString();
    return paths;
  }

  QString folder = dir.filePath("program");
  QString longest;
};

TEST_F(ProgramFolderScan, EachModeImportsItsFilesOnceUnderTheirOwnPaths) {
  const QSet<QString> embedded{folder + "/a.dcm", folder + "/B.DCM", folder + "/sub/C.Dcm",
                               longest};
  const struct {
    int runMode;
    int files;  // considered and counted by the progress dialog
    int indexed;
    QSet<QString> stored;
  } cases[] = {{RunModeStation, 0, 0, {}},
               {RunModeEmbedded, 6, 4, embedded},
               {RunModeEmbedded, 6, 4, embedded},  // a second scan adds nothing
               {RunModeDisc, 7, 5, embedded + QSet<QString>{folder + "/x.dcm.bak"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.runMode);
    const QStringList files = ProgramFolderFiles(folder + "/", c.runMode);
    int steps = 0;
    EXPECT_EQ(ImportProgramFolder(importer, files, [&steps] { ++steps; }), c.indexed);
    EXPECT_EQ(steps, c.files);
    EXPECT_EQ(storedPaths(), c.stored);
  }
  EXPECT_TRUE(sink.isEmpty()) << sink.texts().join('\n').toStdString();
}

TEST_F(ProgramFolderScan, AnExceptionEndsTheScanWithTheSystemsErrorBox) {
  const QStringList files = ProgramFolderFiles(folder, RunModeEmbedded);
  EXPECT_EQ(ImportProgramFolder(importer, files, [] { throw std::runtime_error("pump"); }), 1);
  ASSERT_EQ(sink.count(), 1);
  EXPECT_TRUE(sink.messages()[0].text.startsWith("toraScan failed with error "));
  EXPECT_EQ(sink.messages()[0].caption, "Error");
  EXPECT_EQ(sink.messages()[0].style, MB_OK);
  EXPECT_EQ(storedPaths().size(), 1);
}

TEST_F(ProgramFolderScan, TheBrowserIndexesTheProgramFolderWhenItFirstOpens) {
  AppSettings& app = theAppSettings();
  const QString savedFolder = app.programFolder;
  const QString savedDatabase = app.imageDatabasePath;
  const int savedRunMode = app.RunMode;
  app.programFolder = folder + "/";
  app.imageDatabasePath = dbPath;
  app.RunMode = RunModeDisc;
  {
    CMainFrame frame;
    frame.ShowBrowser();
    EXPECT_EQ(frame.browser()->lists().patients().rowCount(), 1);
  }
  app.programFolder = savedFolder;
  app.imageDatabasePath = savedDatabase;
  app.RunMode = savedRunMode;
  EXPECT_EQ(storedPaths().size(), 5);
}

}  // namespace

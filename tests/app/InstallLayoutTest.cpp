#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include "app/AppSettings.h"
#include "app/CompanionSettings.h"
#include "app/InstallLayout.h"
#include "db/ImageDatabase.h"

namespace {

void writeAll(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(data);
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An installed copy's folders (commands, programs, resources, settings, data) inside one
// temporary folder, each created and ending in "/".
class InstalledFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp.isValid());
    const auto folder = [this](const char* name) {
      EXPECT_TRUE(QDir().mkpath(tmp.filePath(name)));
      return tmp.filePath(name) + QLatin1Char('/');
    };
    installed = {folder("usr/bin"),
                 folder("usr/lib/torascan"),
                 folder("usr/share/torascan"),
                 folder("etc/torascan"),
                 folder("var/lib/torascan"),
                 true,
                 QString()};
  }
  QTemporaryDir tmp;
  InstallLayout installed;
};

}  // namespace

TEST_F(InstalledFolders, AnExecutableInTheInstalledFoldersUsesThemAndAnyOtherItsOwnFolder) {
  ASSERT_TRUE(QFile::link(tmp.filePath("usr/bin"), tmp.filePath("bin")));
  const struct {
    const char* executableFolder;
    bool installed;
  } cases[] = {
      {"usr/bin", true},
      {"usr/bin/", true},
      {"usr/lib/torascan", true},
      {"usr/lib/../bin", true},
      {"bin", true},  // a link to it, as merged /usr has
      {"usr/share/torascan", false},
      {"usr/lib", false},
      {"build/program", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.executableFolder);
    const QString folder = tmp.filePath(c.executableFolder);
    const InstallLayout layout = InstallLayout::ForExecutable(folder, installed);
    EXPECT_EQ(layout.installed, c.installed);
    if (c.installed) {
      EXPECT_EQ(layout.settings, installed.settings);
      EXPECT_EQ(layout.data, installed.data);
      EXPECT_EQ(layout.resources, installed.resources);
      EXPECT_EQ(layout.programs, installed.programs);
    } else {
      // The program folder holds everything, as the build's always has.
      const QString own = AppSettings::normaliseProgramFolder(folder);
      for (const QString& path :
           {layout.commands, layout.programs, layout.resources, layout.settings, layout.data})
        EXPECT_EQ(path, own);
    }
  }
}

// Installed, the settings come from the settings folder, the databases go to the data folder,
// the read-only files stay where they were installed, and the configuration writes both
// settings files where they were read: never into the read-only folders.
TEST_F(InstalledFolders, SettingsAndDataLiveApartFromTheReadOnlyFiles) {
  writeAll(installed.settings + "Pelmora.ini",
           "; station\n[SYSTEM]\nWholeSpineType=1\nSkinType=ward.skf\n");
  writeAll(installed.settings + "Vantrel.ini", "[RECEIVER]\nLocalPort=1300\n");
  QSettings registry(tmp.filePath("registry.ini"), QSettings::IniFormat);
  AppSettings settings;
  settings.setRegistry(&registry);
  ASSERT_TRUE(settings.load(installed));

  EXPECT_EQ(settings.RunMode, RunModeStation);
  EXPECT_EQ(settings.iniPath, installed.settings + "Pelmora.ini");
  EXPECT_EQ(settings.imageDatabasePath, installed.data + "Pelmora.db");
  EXPECT_EQ(settings.reportDatabasePath, installed.data + "toraScan.db");
  EXPECT_EQ(settings.skinFilePath, installed.resources + "Skins/ward.skf");
  EXPECT_EQ(settings.programFolder, installed.resources);
  EXPECT_EQ(settings.companionFolder, installed.programs);
  EXPECT_TRUE(settings.protectedFolders().contains(installed.data));

  CompanionSettings receiver = CompanionSettings::Read(settings.settingsFolder);
  EXPECT_EQ(receiver.localPort, "1300");
  receiver.savePath = tmp.filePath("var/lib/torascan/dcm");
  ASSERT_EQ(settings.SaveReceiverSettings(receiver), QString());
  EXPECT_TRUE(readAll(installed.settings + "Vantrel.ini")
                  .contains("SavePath=" + receiver.savePath.toUtf8()));
  EXPECT_TRUE(readAll(installed.settings + "Pelmora.ini")
                  .contains("WholeSpinePath=" + receiver.wholeSpinePath().toUtf8()));
  EXPECT_TRUE(QDir(installed.resources).isEmpty());
  EXPECT_TRUE(QDir(installed.programs).isEmpty());
}

// Operators share an installed station through its group: what one creates there (databases,
// received images) the next must be able to write. The program folder keeps the user's mask.
TEST_F(InstalledFolders, InstalledProgramsCreateGroupWritableFilesAndDatabases) {
  const mode_t before = ::umask(022);
  InstallLayout::ProgramFolder(tmp.path()).ShareFilesWithGroup();
  writeAll(tmp.filePath("own"), "x");
  QString error;
  ASSERT_TRUE(imagedb::createDatabase(tmp.filePath("own.db"), &error)) << error.toStdString();
  installed.ShareFilesWithGroup();
  writeAll(installed.data + "image.dcm", "x");
  const bool created = imagedb::createDatabase(installed.data + "Pelmora.db", &error);
  ::umask(before);
  ASSERT_TRUE(created) << error.toStdString();

  for (const char* own : {"own", "own.db"}) {
    SCOPED_TRACE(own);
    const QFileDevice::Permissions permissions = QFileInfo(tmp.filePath(own)).permissions();
    EXPECT_FALSE(permissions & QFileDevice::WriteGroup);
    EXPECT_TRUE(permissions & QFileDevice::ReadOther);
  }
  for (const char* shared : {"image.dcm", "Pelmora.db"}) {
    SCOPED_TRACE(shared);
    const QFileDevice::Permissions permissions = QFileInfo(installed.data + shared).permissions();
    EXPECT_TRUE(permissions & QFileDevice::WriteGroup);
    EXPECT_TRUE(permissions & QFileDevice::ReadGroup);
    EXPECT_FALSE(permissions & QFileDevice::WriteOther);
  }
}

// The receiver's service indexes what the station's receiver fills: the drop folder of its
// Vantrel.ini and the database in the station's data folder, found from where the tool runs.
TEST(StationWatch, TakesTheReceiversDropFolderAndTheStationsDatabase) {
  QTemporaryDir station;
  ASSERT_TRUE(station.isValid());
  const QString cli = station.filePath("torascan-cli");
  ASSERT_TRUE(QFile::copy(TORASCAN_CLI, cli));
  writeAll(station.filePath("Vantrel.ini"),
           "[RECEIVER]\nLocalPort=1300\nSavePath=" + station.filePath("dcm").toUtf8() + "\n");
  ASSERT_TRUE(QDir().mkpath(station.filePath("dcm/CR_1300")));
  ASSERT_TRUE(QFile::copy(TORASCAN_TESTDATA_DIR "/dicom/mr_small_le.dcm",
                          station.filePath("dcm/CR_1300/received.dcm")));

  QProcess watch;
  watch.start(cli, {"watch", "--station", "--once"});
  ASSERT_TRUE(watch.waitForFinished(60000));
  const QString out = QString::fromUtf8(watch.readAllStandardOutput());
  EXPECT_EQ(watch.exitCode(), 0) << watch.readAllStandardError().toStdString();
  EXPECT_TRUE(out.contains("\"imported\":1")) << out.toStdString();
  EXPECT_TRUE(QFileInfo::exists(station.filePath("Pelmora.db")));
  EXPECT_FALSE(QFileInfo::exists(station.filePath("dcm/CR_1300/received.dcm")));
}

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "app/AppSettings.h"

namespace {

void writeAll(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(data);
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray();
  return f.readAll();
}

// A program folder, a disc working folder and a registry, all inside one temporary folder.
class AppSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp.isValid());
    ASSERT_TRUE(QDir().mkpath(program()));
    registry = std::make_unique<QSettings>(tmp.filePath("registry.ini"), QSettings::IniFormat);
    settings.setRegistry(registry.get());
    settings.setScreenSize(1920, 1050);
    settings.setDiscWorkingFolder(work());
  }
  QString program() const { return tmp.filePath("program"); }
  QString work() const { return tmp.filePath("data/Norvika"); }
  void writeIni(const QByteArray& text) { writeAll(program() + "/Pelmora.ini", text); }

  QTemporaryDir tmp;
  std::unique_ptr<QSettings> registry;
  AppSettings settings;
};

}  // namespace

TEST_F(AppSettingsTest, FixedValues) {
  EXPECT_EQ(AppSettings::title(), "toraScan");
  EXPECT_EQ(AppSettings::version(), "1.0.0.1");
  EXPECT_EQ(settings.windowLevelBits, 14);
  EXPECT_EQ(settings.dateDisplayOrder, 0);
  EXPECT_EQ(settings.dateSeparator, ".");
  EXPECT_EQ(settings.listFontHeight, 20);
  EXPECT_EQ(settings.currentLayout, 0);
  EXPECT_TRUE(settings.fontFace.isEmpty());
  EXPECT_EQ(settings.dialogTextColour, 0u);
  EXPECT_EQ(settings.dialogBackColour, 0u);
  EXPECT_EQ(settings.RunMode, RunModeStation);  // until start-up decides
  EXPECT_EQ(RunModeEmbedded, 1);
  EXPECT_EQ(RunModeStation, 2);
  EXPECT_EQ(RunModeDisc, 3);
}

TEST_F(AppSettingsTest, SettingsFileWithoutSystemSectionGivesDiscModeFullScreenAndDefaultSkin) {
  writeIni("[VA]\nIsSeriesInfo=0\n");
  ASSERT_TRUE(settings.load(program()));
  EXPECT_EQ(settings.RunMode, RunModeDisc);
  EXPECT_EQ(settings.windowX, 0);
  EXPECT_EQ(settings.windowY, 0);
  EXPECT_EQ(settings.windowWidth, 1920);
  EXPECT_EQ(settings.windowHeight, 1050);
  EXPECT_EQ(settings.frameDefaultWidth, 1920);
  EXPECT_EQ(settings.frameDefaultHeight, 1050);
  EXPECT_EQ(settings.skinType, "default.skf");
  EXPECT_EQ(settings.skinFilePath, program() + "/Skins/default.skf");
  EXPECT_EQ(settings.isSeriesInfo, 0);
  EXPECT_FALSE(settings.startsCompanion());
  // Disc mode: working folder, storage root and WholeSpinePath move.
  EXPECT_EQ(settings.dataRoot, work());
  EXPECT_EQ(settings.wholeSpinePath, program() + "/");
  EXPECT_EQ(settings.imageDatabasePath, work() + "/Pelmora.db");
  EXPECT_TRUE(QFileInfo(work()).isDir());
  EXPECT_TRUE(settings.discWorkingFolderCreated);
}

TEST_F(AppSettingsTest, WithoutAnySettingsFileEverySettingTakesItsDefault) {
  ASSERT_TRUE(settings.load(program()));
  EXPECT_EQ(settings.RunMode, RunModeDisc);
  EXPECT_EQ(settings.dispOrder, 0);
  EXPECT_EQ(settings.wholeSpineType, 0);
  EXPECT_EQ(settings.istoraScan, 0);
  EXPECT_EQ(settings.isVet, 0);
  EXPECT_EQ(settings.interpolation, 0);
  for (int v : {settings.isPatientInfo, settings.isAcquisitionInfo, settings.isHospitalInfo,
                settings.isXrayParamInfo, settings.isAnatomicalInfo, settings.isSeriesInfo,
                settings.isWindowLevel}) {
    EXPECT_EQ(v, 1);
  }
  EXPECT_EQ(settings.printFontSmall, 90);
  EXPECT_EQ(settings.printFontMiddle, 120);
  EXPECT_EQ(settings.printFontLarge, 200);
  EXPECT_EQ(settings.iniPath, program() + "/Pelmora.ini");
  EXPECT_FALSE(QFileInfo::exists(settings.iniPath));  // nothing is written back
}

TEST_F(AppSettingsTest, IstoraScanOneBeatsWholeSpineTypeOneButTheCompanionStillStarts) {
  writeIni("[SYSTEM]\nIstoraScan=1\nWholeSpineType=1\n");
  ASSERT_TRUE(settings.load(program()));
  EXPECT_EQ(settings.RunMode, RunModeEmbedded);
  EXPECT_TRUE(settings.startsCompanion());
  EXPECT_EQ(settings.imageDatabasePath, program() + "/Pelmora.db");
}

TEST_F(AppSettingsTest, RunModeRule) {
  EXPECT_EQ(AppSettings::decideRunMode(1, 0), RunModeEmbedded);
  EXPECT_EQ(AppSettings::decideRunMode(1, 1), RunModeEmbedded);
  EXPECT_EQ(AppSettings::decideRunMode(0, 1), RunModeStation);
  EXPECT_EQ(AppSettings::decideRunMode(2, 1), RunModeStation);
  EXPECT_EQ(AppSettings::decideRunMode(0, 0), RunModeDisc);
  EXPECT_EQ(AppSettings::decideRunMode(0, 2), RunModeDisc);  // only 1 selects the station
}

TEST_F(AppSettingsTest, StationModeReadsEveryKeyOfTheTable) {
  writeIni(
      "[SYSTEM]\nDispOrder=1\nWholeSpineType=1\nWholeSpinePath=/home/x/dcm\nSkinType=blue.qss\n"
      "IstoraScan=0\ntoraScanX=10\ntoraScanY=20\ntoraScanWidth=800\ntoraScanHeigth=600\n"
      "IsVet=1\nInterpolation=2\n"
      "[VA]\nIsPatientInfo=0\nIsAcquisitionInfo=0\nIsHospitalInfo=0\nIsXrayParamInfo=0\n"
      "IsAnatomicalInfo=0\nIsSeriesInfo=0\nIsWindowLevel=0\n"
      "[PRTRPT]\nSmall=10\nMiddle=20\nLarge=30\n"
      "[SEND]\nMaxTries=3\nRetryPause=60\n");
  ASSERT_TRUE(settings.load(program()));
  EXPECT_EQ(settings.RunMode, RunModeStation);
  EXPECT_EQ(settings.dispOrder, 1);
  EXPECT_EQ(settings.wholeSpinePath, "/home/x/dcm");
  EXPECT_EQ(settings.dataRoot, "/");
  EXPECT_EQ(settings.skinFilePath, program() + "/Skins/blue.qss");
  EXPECT_EQ(settings.windowX, 10);
  EXPECT_EQ(settings.windowY, 20);
  EXPECT_EQ(settings.windowWidth, 800);
  EXPECT_EQ(settings.windowHeight, 600);
  EXPECT_EQ(settings.isVet, 1);
  EXPECT_EQ(settings.interpolation, 2);
  for (int v : {settings.isPatientInfo, settings.isAcquisitionInfo, settings.isHospitalInfo,
                settings.isXrayParamInfo, settings.isAnatomicalInfo, settings.isSeriesInfo,
                settings.isWindowLevel}) {
    EXPECT_EQ(v, 0);
  }
  EXPECT_EQ(settings.printFontSmall, 10);
  EXPECT_EQ(settings.printFontMiddle, 20);
  EXPECT_EQ(settings.printFontLarge, 30);
  EXPECT_EQ(settings.sendMaxTries, 3);
  EXPECT_EQ(settings.sendFirstPauseSeconds, 60);
  EXPECT_EQ(settings.imageDatabasePath, program() + "/Pelmora.db");
  EXPECT_FALSE(QFileInfo::exists(work()));  // no working folder outside the disc mode
  EXPECT_EQ(theIniFile().Path(), program() + "/Pelmora.ini");
}

TEST(AppSettingsDataRoot, LeadingPartUpToAndIncludingTheFirstSeparator) {
  EXPECT_EQ(AppSettings::dataRootOf("/home/x/dcm"), "/");
  EXPECT_EQ(AppSettings::dataRootOf("/"), "/");
  EXPECT_EQ(AppSettings::dataRootOf("images/x"), "images/");
  EXPECT_EQ(AppSettings::dataRootOf("nodelimiter"), "");
  EXPECT_EQ(AppSettings::dataRootOf(""), "");
}

TEST(AppSettingsDataRoot, DefaultPathIsWritableUnderHomeAndItsRootIsTheFileSystemRoot) {
  AppSettings fresh;
  EXPECT_EQ(AppSettings::defaultWholeSpinePath(), QDir::homePath() + "/dcm/CR_1205");
  EXPECT_EQ(fresh.wholeSpinePath, AppSettings::defaultWholeSpinePath());
  EXPECT_EQ(fresh.dataRoot, "/");
}

TEST(AppSettingsProgramFolder, EndsInExactlyOneSeparator) {
  EXPECT_EQ(AppSettings::normaliseProgramFolder("/"), "/");
  EXPECT_EQ(AppSettings::normaliseProgramFolder("/opt/tora"), "/opt/tora/");
  EXPECT_EQ(AppSettings::normaliseProgramFolder("/opt/tora/"), "/opt/tora/");
  EXPECT_EQ(AppSettings::normaliseProgramFolder("/opt//tora/./"), "/opt/tora/");
  EXPECT_EQ(AppSettings::normaliseProgramFolder(""), QDir::currentPath() + "/");
}

TEST_F(AppSettingsTest, ProgramFolderAtTheRootKeepsOneSeparator) {
  // The root holds no settings file here, so this is the disc mode with its working folder in
  // the temporary folder.
  ASSERT_TRUE(settings.load("/"));
  EXPECT_EQ(settings.programFolder, "/");
  EXPECT_EQ(settings.iniPath, "/Pelmora.ini");
  EXPECT_EQ(settings.skinFilePath, "/Skins/default.skf");
  EXPECT_EQ(settings.wholeSpinePath, "/");
}

TEST_F(AppSettingsTest, DiscModeCopiesTheDatabaseOverAnEarlierCopyAndClearsReadOnly) {
  const QString source = program() + "/Pelmora.db";
  writeAll(source, "fresh database");
  QFile::setPermissions(source, QFile::ReadOwner | QFile::ReadUser);  // read-only medium
  ASSERT_TRUE(QDir().mkpath(work()));
  const QString copy = work() + "/Pelmora.db";
  writeAll(copy, "stale copy from an earlier run");
  QFile::setPermissions(copy, QFile::ReadOwner | QFile::ReadUser);

  ASSERT_TRUE(settings.load(program()));
  EXPECT_EQ(settings.imageDatabasePath, copy);
  EXPECT_EQ(readAll(copy), QByteArray("fresh database"));
  EXPECT_TRUE(QFileInfo(copy).isWritable());
  EXPECT_FALSE(settings.discWorkingFolderCreated);  // it existed already
  QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(AppSettingsTest, DiscModeWithoutASourceDatabaseDropsTheStaleCopy) {
  ASSERT_TRUE(QDir().mkpath(work()));
  writeAll(work() + "/Pelmora.db", "stale");
  ASSERT_TRUE(settings.load(program()));
  EXPECT_FALSE(QFileInfo::exists(work() + "/Pelmora.db"));
}

TEST_F(AppSettingsTest, DiscModeReportsAWorkingFolderThatCannotBeMade) {
  writeAll(tmp.filePath("blocker"), "a file where a folder should be");
  settings.setDiscWorkingFolder(tmp.filePath("blocker/Norvika"));
  writeAll(program() + "/Pelmora.db", "db");
  EXPECT_FALSE(settings.load(program()));
}

TEST_F(AppSettingsTest, DefaultDiscWorkingFolderIsInTheUsersDataFolder) {
  AppSettings plain;
  EXPECT_TRUE(plain.discWorkingFolder().endsWith("/Norvika"));
  EXPECT_EQ(settings.discWorkingFolder(), work());
}

// ---- GetDefaultPixelSpacing

TEST_F(AppSettingsTest, PixelSpacingWithNothingSetIsTheBuiltInDefaultWrittenToTheRegistry) {
  ASSERT_TRUE(settings.load(program()));
  EXPECT_FALSE(registry->contains("Cor/PixelSpacing"));
  EXPECT_DOUBLE_EQ(settings.GetDefaultPixelSpacing(), 0.143);
  EXPECT_EQ(registry->value("Cor/PixelSpacing").toString(), "0.143");
}

TEST_F(AppSettingsTest, PixelSpacingFallsBackToCorWhenCor1IsMissing) {
  writeIni("[Cor]\nPixelSpacing=0.2\n");
  ASSERT_TRUE(settings.load(program()));
  EXPECT_DOUBLE_EQ(settings.GetDefaultPixelSpacing(), 0.2);
  EXPECT_EQ(registry->value("Cor/PixelSpacing").toString(), "0.2");
}

TEST_F(AppSettingsTest, PixelSpacingRegistryZeroMeansCor1AndItIsCopiedOnFirstUse) {
  writeIni("[Cor]\nPixelSpacing=0.2\n[Cor1]\nPixelSpacing=0.15\n");
  registry->setValue("Cor/PixelSpacing", "0");
  ASSERT_TRUE(settings.load(program()));
  EXPECT_DOUBLE_EQ(settings.GetDefaultPixelSpacing(), 0.15);
  EXPECT_EQ(registry->value("Cor/PixelSpacing").toString(), "0.15");
  // Later calls use the registry: a changed Cor1 no longer matters.
  writeIni("[Cor]\nPixelSpacing=0.2\n[Cor1]\nPixelSpacing=0.5\n");
  EXPECT_DOUBLE_EQ(settings.GetDefaultPixelSpacing(), 0.15);
}

TEST_F(AppSettingsTest, PixelSpacingRegistryValueWins) {
  writeIni("[Cor]\nPixelSpacing=0.2\n[Cor1]\nPixelSpacing=0.15\n");
  registry->setValue("Cor/PixelSpacing", "0.1mm");
  ASSERT_TRUE(settings.load(program()));
  EXPECT_DOUBLE_EQ(settings.GetDefaultPixelSpacing(), 0.1);  // leading number, as _wtof
  EXPECT_EQ(registry->value("Cor/PixelSpacing").toString(), "0.1mm");
}

TEST(AppSettingsNumbers, LeadingDoubleReadsLikeWtof) {
  EXPECT_DOUBLE_EQ(AppSettings::LeadingDouble("0.143"), 0.143);
  EXPECT_DOUBLE_EQ(AppSettings::LeadingDouble("  -1.5e2x"), -150.0);
  EXPECT_DOUBLE_EQ(AppSettings::LeadingDouble(".5"), 0.5);
  EXPECT_DOUBLE_EQ(AppSettings::LeadingDouble("1."), 1.0);
  EXPECT_DOUBLE_EQ(AppSettings::LeadingDouble("2e"), 2.0);
  EXPECT_DOUBLE_EQ(AppSettings::LeadingDouble("abc"), 0.0);
  EXPECT_DOUBLE_EQ(AppSettings::LeadingDouble(""), 0.0);
}

TEST_F(AppSettingsTest, ProfileIntRoundTrip) {
  EXPECT_EQ(settings.GetProfileInt("PROCESSING", "INVERTSEL", 0), 0);
  ASSERT_TRUE(settings.WriteProfileInt("PROCESSING", "INVERTSEL", 1));
  EXPECT_EQ(settings.GetProfileInt("PROCESSING", "INVERTSEL", 0), 1);
}

// The test runner gives each test process a home of its own: the application's own registry,
// its storage root and data folders must lie there, never in the home of the developer or
// user running the tests.
TEST(TestIsolation, SettingsStorageAndDataFoldersLieOutsideTheRealHome) {
  const QString realHome = QString::fromLocal8Bit(qgetenv("TORASCAN_TEST_REAL_HOME"));
  ASSERT_FALSE(realHome.isEmpty());
  const QString home = QDir::homePath();
  ASSERT_NE(QDir(home).canonicalPath(), QDir(realHome).canonicalPath());
  AppSettings own;  // no registry injected: the native settings file
  ASSERT_TRUE(own.WriteProfileString("Test", "Isolated", "1"));
  const QSettings native(QSettings::NativeFormat, QSettings::UserScope, AppSettings::title(),
                         AppSettings::title());
  ASSERT_EQ(native.value("Test/Isolated").toString(), "1");
  const QString paths[] = {native.fileName(), AppSettings::defaultWholeSpinePath(),
                           QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                           QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)};
  for (const QString& path : paths) {
    SCOPED_TRACE(path.toStdString());
    EXPECT_TRUE(path.startsWith(home + QLatin1Char('/')));
    EXPECT_FALSE(path.startsWith(realHome + QLatin1Char('/')));
  }
}

// A shared archive: both databases on the server the settings name; otherwise both are files in
// the program folder.
TEST_F(AppSettingsTest, DatabaseEngineChoosesWhereBothDatabasesLive) {
  writeIni("[SYSTEM]\nWholeSpineType=1\n");
  ASSERT_TRUE(settings.load(program()));
  EXPECT_EQ(settings.imageDatabasePath, program() + "/Pelmora.db");
  EXPECT_EQ(settings.reportDatabasePath, program() + "/toraScan.db");

  writeIni("[SYSTEM]\nWholeSpineType=1\n[DATABASE]\nEngine=PostgreSQL\nHost=archive.ward\n"
           "Port=5433\nName=images\nUser=ward\nReportName=reports\n");
  ASSERT_TRUE(settings.load(program()));
  EXPECT_EQ(settings.imageDatabasePath, "postgresql://ward@archive.ward:5433/images");
  EXPECT_EQ(settings.reportDatabasePath, "postgresql://ward@archive.ward:5433/reports");

  writeIni("[SYSTEM]\nWholeSpineType=1\n[DATABASE]\nEngine=postgresql\nUser=ward\n");
  ASSERT_TRUE(settings.load(program()));
  EXPECT_EQ(settings.reportDatabasePath, "postgresql://ward@localhost:5432/torascan_reports");
}

// The companion's settings file: its defaults and the drop folder derived from it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/AppSettings.h"
#include "app/CompanionSettings.h"
#include "app/IniFile.h"
#include "support/StationFolder.h"

namespace {

TEST(CompanionSettings, MissingFileGivesTheDefaultsAndTheDefaultDropFolder) {
  QTemporaryDir folder;
  const CompanionSettings settings = CompanionSettings::Read(folder.path());
  EXPECT_EQ(settings.localAE, "VANTREL");
  EXPECT_EQ(settings.localPort, "1205");
  EXPECT_EQ(settings.savePath, QDir::homePath() + "/dcm");
  EXPECT_EQ(settings.modality, "CR");
  EXPECT_TRUE(settings.acceptedCallingAE.isEmpty());
  EXPECT_EQ(settings.wholeSpinePath(), QDir::homePath() + "/dcm/CR_1205");
}

TEST(CompanionSettings, ReceiverKeysGiveTheDropFolderAndTheAcceptedCallers) {
  QTemporaryDir folder;
  QFile file(QDir(folder.path()).filePath("Vantrel.ini"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(
      "[RECEIVER]\nLocalAE=WARD3\nLocalPort=104\nSavePath=/data/images\nModality=DX\n"
      "AcceptedCallingAE = MOD1 , ECHOER,, \n");
  file.close();
  const CompanionSettings settings = CompanionSettings::Read(folder.path());
  EXPECT_EQ(settings.localAE, "WARD3");
  EXPECT_EQ(settings.wholeSpinePath(), "/data/images/DX_104");
  EXPECT_EQ(settings.acceptedCallingAE, QStringList({"MOD1", "ECHOER"}));
}

}  // namespace

namespace {

TEST(CompanionSettings, AETitleAndPortAreCheckedAsAPeerWouldNeedThem) {
  const struct {
    const char* value;
    bool fits;
  } titles[] = {
      {"VANTREL", true},
      {"A", true},
      {"SIXTEEN_LETTERS_", true},
      {"  PADDED  ", true},
      {"WARD 3 (CR)", true},
      {"", false},
      {"   ", false},
      {"SEVENTEEN_LETTERS", false},
      {"A\\B", false},
      {"TAB\tBED", false},
      {"\xc3\x84RZTE", false},
  };
  for (const auto& t : titles) {
    SCOPED_TRACE(t.value);
    const QString reason = CompanionSettings::CheckAETitle(QString::fromUtf8(t.value));
    EXPECT_EQ(reason.isEmpty(), t.fits) << reason.toStdString();
    if (!t.fits) {
      EXPECT_TRUE(reason.contains(QString::fromUtf8(t.value)));
    }
  }
  const struct {
    const char* value;
    quint16 port;  // 0: refused
  } ports[] = {{"1205", 1205}, {"1", 1}, {"65535", 65535}, {" 104 ", 104}, {"0", 0},  {"65536", 0},
               {"99999", 0},   {"", 0},  {"12o5", 0},      {"-1", 0},      {"+5", 0}, {"1 2", 0}};
  for (const auto& p : ports) {
    SCOPED_TRACE(p.value);
    CompanionSettings settings;
    settings.localPort = QString::fromLatin1(p.value);
    EXPECT_EQ(CompanionSettings::CheckPort(settings.localPort).isEmpty(), p.port != 0);
    EXPECT_EQ(settings.port(), p.port);
  }
}

}  // namespace

namespace {

using testsupport::ReadFile;

// A station-mode program folder without a companion file.
class SaveReceiverSettings : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder.isValid()); }
  void writeCompanion(const QByteArray& text) {
    QFile file(folder.companionFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  testsupport::StationFolder folder;
  AppSettings& app = folder.settings;
  const char* kIni = testsupport::StationFolder::kIni;
};

TEST_F(SaveReceiverSettings, DefaultsCreateTheCompanionFileAndSetTheDropFolderEverywhere) {
  const CompanionSettings defaults = CompanionSettings::Read(folder.path());
  EXPECT_EQ(app.SaveReceiverSettings(defaults), QString());
  const QString dropFolder = QDir::homePath() + "/dcm/CR_1205";
  EXPECT_EQ(ReadFile(folder.companionFile()),
            ("[RECEIVER]\nLocalAE=VANTREL\nLocalPort=1205\nSavePath=" + QDir::homePath() +
             "/dcm\n[SYSTEM]\nWholeSpinePath=" + dropFolder + "\n")
                .toUtf8());
  EXPECT_EQ(ReadFile(folder.iniFile()),
            QByteArray(kIni) + "WholeSpinePath=" + dropFolder.toUtf8() + "\n");
  EXPECT_EQ(app.wholeSpinePath, dropFolder);
  EXPECT_EQ(app.dataRoot, "/");
}

TEST_F(SaveReceiverSettings, TheDropFolderTakesTheCompanionsModalityAndTheEditedValues) {
  const struct {
    const char* savePath;
    const char* dropFolder;
    const char* dataRoot;
  } cases[] = {{"/data/images", "/data/images/DX_104", "/"},
               {" images ", "images/DX_104", "images/"}};
  writeCompanion("[RECEIVER]\nModality=DX\nAcceptedCallingAE=MOD1\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.savePath);
    CompanionSettings edited = CompanionSettings::Read(folder.path());
    edited.localAE = " WARD3 ";
    edited.localPort = "104";
    edited.savePath = c.savePath;
    ASSERT_EQ(app.SaveReceiverSettings(edited), QString());
    EXPECT_EQ(app.wholeSpinePath, c.dropFolder);
    EXPECT_EQ(app.dataRoot, c.dataRoot);
    const CompanionSettings stored = CompanionSettings::Read(folder.path());
    EXPECT_EQ(stored.localAE, "WARD3");
    EXPECT_EQ(stored.modality, "DX");
    EXPECT_EQ(stored.acceptedCallingAE, QStringList{"MOD1"});
    EXPECT_EQ(stored.wholeSpinePath(), c.dropFolder);
    EXPECT_EQ(CIniFile(folder.companionFile()).ReadString("SYSTEM", "WholeSpinePath"),
              c.dropFolder);
    EXPECT_EQ(CIniFile(folder.iniFile()).ReadString("SYSTEM", "WholeSpinePath"), c.dropFolder);
  }
}

TEST_F(SaveReceiverSettings, RefusedValuesOrAnUnwritableFileChangeNothingAndSayWhy) {
  writeCompanion("[RECEIVER]\nLocalAE=OLD\n");
  const QByteArray companionBefore = ReadFile(folder.companionFile());
  const QString dropFolderBefore = app.wholeSpinePath;
  const struct {
    const char* aeTitle;
    const char* port;
    const char* reason;
  } cases[] = {{"A\\B", "1205", "The AE title \"A\\B\""},
               {"", "1205", "The AE title \"\""},
               {"VANTREL", "0", "The port \"0\""},
               {"VANTREL", "70000", "The port \"70000\""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    CompanionSettings edited;
    edited.localAE = c.aeTitle;
    edited.localPort = c.port;
    EXPECT_TRUE(app.SaveReceiverSettings(edited).startsWith(c.reason));
  }
  EXPECT_EQ(ReadFile(folder.companionFile()), companionBefore);
  // The companion file's place taken by a folder: it cannot be written.
  ASSERT_TRUE(QFile::remove(folder.companionFile()));
  ASSERT_TRUE(QDir().mkdir(folder.companionFile()));
  EXPECT_EQ(app.SaveReceiverSettings(CompanionSettings()),
            "Can't write " + folder.companionFile() + ".");
  ASSERT_TRUE(QDir().rmdir(folder.companionFile()));
  EXPECT_FALSE(QFile::exists(folder.companionFile()));
  EXPECT_EQ(ReadFile(folder.iniFile()), QByteArray(kIni));
  EXPECT_EQ(app.wholeSpinePath, dropFolderBefore);
}

TEST_F(SaveReceiverSettings, EitherFileThatCannotBeWrittenLeavesTheOtherAsItWas) {
  // The receiver and the watcher must never disagree on the drop folder: whichever of the two
  // files cannot be written (its place taken by a folder), the other keeps its old text.
  writeCompanion("[RECEIVER]\nLocalAE=OLD\n");
  const QString dropFolderBefore = app.wholeSpinePath;
  for (const QString& blocked : {folder.companionFile(), folder.iniFile()}) {
    SCOPED_TRACE(blocked.toStdString());
    const QString other = blocked == folder.iniFile() ? folder.companionFile() : folder.iniFile();
    const QByteArray otherBefore = ReadFile(other);
    const QString aside = blocked + ".aside";
    ASSERT_TRUE(QFile::rename(blocked, aside));
    ASSERT_TRUE(QDir().mkdir(blocked));
    CompanionSettings edited;
    edited.localPort = "104";
    EXPECT_EQ(app.SaveReceiverSettings(edited), "Can't write " + blocked + ".");
    EXPECT_EQ(ReadFile(other), otherBefore);
    EXPECT_EQ(app.wholeSpinePath, dropFolderBefore);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2)
        << "no temporary file is left behind";
    ASSERT_TRUE(QDir().rmdir(blocked));
    ASSERT_TRUE(QFile::rename(aside, blocked));
  }
}

TEST_F(SaveReceiverSettings, EarlierDropFoldersAreDrainedUntilALaterRunFindsThemEmpty) {
  // This run's companion keeps filling the folder it started with until the next start.
  const QString first = app.wholeSpinePath;
  CompanionSettings edited;
  edited.savePath = folder.filePath("second");
  ASSERT_EQ(app.SaveReceiverSettings(edited), QString());
  const QString second = app.wholeSpinePath;
  edited.savePath = folder.filePath("third");
  ASSERT_EQ(app.SaveReceiverSettings(edited), QString());
  const QString third = app.wholeSpinePath;
  EXPECT_EQ(app.drainFolders(), QStringList({first, second}));
  EXPECT_FALSE(app.ForgetDrainFolder(first)) << "this run's companion may still fill it";
  EXPECT_TRUE(app.ForgetDrainFolder(second));
  EXPECT_EQ(app.drainFolders(), QStringList{first});

  // The next run, from what the settings file says.
  AppSettings next;
  ASSERT_TRUE(next.load(folder.path()));
  EXPECT_EQ(next.wholeSpinePath, third);
  EXPECT_EQ(next.drainFolders(), QStringList{first});
  // Back to the first folder: it is watched again, and the one this run started with drained.
  edited = CompanionSettings();
  ASSERT_EQ(next.SaveReceiverSettings(edited), QString());
  ASSERT_EQ(next.wholeSpinePath, first);
  EXPECT_EQ(next.drainFolders(), QStringList{third});

  AppSettings later;
  ASSERT_TRUE(later.load(folder.path()));
  EXPECT_EQ(later.drainFolders(), QStringList{third});
  EXPECT_TRUE(later.ForgetDrainFolder(third));
  AppSettings last;
  ASSERT_TRUE(last.load(folder.path()));
  EXPECT_EQ(last.drainFolders(), QStringList());
  EXPECT_EQ(CIniFile(folder.iniFile()).ReadString("SYSTEM", "PreviousWholeSpinePath1"), "");
}

}  // namespace

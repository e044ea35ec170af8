// The companion's settings file: its defaults and the drop folder derived from it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/CompanionSettings.h"

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

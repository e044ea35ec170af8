// The configuration dialog: what it shows, what OK saves or refuses, and the folder button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/AppSettings.h"
#include "app/IniFile.h"
#include "frame/Commands.h"
#include "frame/widgets/MainFrame.h"
#include "support/ModalDialogs.h"
#include "support/StationFolder.h"
#include "ui/MessageSink.h"
#include "ui/widgets/DlgConfig.h"
#include "ui/widgets/FileDialogEx.h"
#include "ui/widgets/SkinControls.h"

namespace {

// The program's own settings point at the station folder while this lives (the frame reads
// them), and are as they were afterwards.
class ProgramSettingsOfTheStation {
 public:
  explicit ProgramSettingsOfTheStation(const AppSettings& station)
      : m_app(theAppSettings()),
        m_folder(m_app.programFolder),
        m_settingsFolder(m_app.settingsFolder),
        m_ini(m_app.ini.Path()),
        m_runMode(m_app.RunMode),
        m_dropFolder(m_app.wholeSpinePath),
        m_dataRoot(m_app.dataRoot),
        m_drainFolders(m_app.previousWholeSpinePaths) {
    m_app.programFolder = station.programFolder;
    m_app.settingsFolder = station.settingsFolder;
    m_app.ini.SetPath(station.iniPath);
    m_app.RunMode = RunModeStation;
  }
  ~ProgramSettingsOfTheStation() {
    m_app.programFolder = m_folder;
    m_app.settingsFolder = m_settingsFolder;
    m_app.ini.SetPath(m_ini);
    m_app.RunMode = m_runMode;
    m_app.wholeSpinePath = m_dropFolder;
    m_app.dataRoot = m_dataRoot;
    m_app.previousWholeSpinePaths = m_drainFolders;
  }

 private:
  AppSettings& m_app;
  const QString m_folder;
  const QString m_settingsFolder;
  const QString m_ini;
  const int m_runMode;
  const QString m_dropFolder;
  const QString m_dataRoot;
  const QStringList m_drainFolders;
};

// A station-mode program folder of its own with no companion file.
class DlgConfigTest : public ::testing::Test {
 protected:
  DlgConfigTest() : bind(&sink) {}
  void SetUp() override { ASSERT_TRUE(folder.isValid()); }
  static CColoredEdit* edit(const QDialog& dialog, int id) {
    return testsupport::Control<CColoredEdit>(dialog, id);
  }
  QString companionFile() const { return folder.companionFile(); }

  RecordingMessageSink sink;
  ScopedMessageSink bind;
  testsupport::StationFolder folder;
  AppSettings& settings = folder.settings;
};

TEST_F(DlgConfigTest, ShowsTheDefaultsAndOkSavesWhatWasTyped) {
  CDlgConfig dialog(nullptr, settings);
  EXPECT_EQ(dialog.windowTitle(), "Config");
  EXPECT_EQ(edit(dialog, CDlgConfig::kAETitleEdit)->text(), "VANTREL");
  EXPECT_EQ(edit(dialog, CDlgConfig::kPortEdit)->text(), "1205");
  EXPECT_EQ(edit(dialog, CDlgConfig::kSavePathEdit)->text(), QDir::homePath() + "/dcm");
  edit(dialog, CDlgConfig::kPortEdit)->setText("104");
  edit(dialog, CDlgConfig::kSavePathEdit)->setText(folder.filePath("images"));
  dialog.findChild<QPushButton*>("ctl1")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(sink.isEmpty());
  const QString dropFolder = folder.filePath("images/CR_104");
  EXPECT_EQ(CompanionSettings::Read(folder.path()).wholeSpinePath(), dropFolder);
  EXPECT_EQ(CIniFile(folder.filePath("Pelmora.ini")).ReadString("SYSTEM", "WholeSpinePath"),
            dropFolder);
  EXPECT_EQ(settings.wholeSpinePath, dropFolder);
}

TEST_F(DlgConfigTest, RefusedValuesAreToldAndTheDialogStaysWithNothingWritten) {
  CDlgConfig dialog(nullptr, settings);
  dialog.show();
  edit(dialog, CDlgConfig::kPortEdit)->setText("12o5");
  dialog.findChild<QPushButton*>("ctl1")->click();
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_EQ(sink.count(), 1);
  EXPECT_EQ(sink.messages()[0].text, "The port \"12o5\" must be a number from 1 to 65535.");
  EXPECT_EQ(sink.messages()[0].caption, "Config");
  EXPECT_EQ(sink.messages()[0].style, MB_ICONEXCLAMATION);
  EXPECT_FALSE(QFile::exists(companionFile()));

  dialog.findChild<QPushButton*>("ctl2")->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(QFile::exists(companionFile()));
  EXPECT_EQ(testsupport::ReadFile(folder.iniFile()), QByteArray(testsupport::StationFolder::kIni));
}

TEST_F(DlgConfigTest, FolderButtonTakesTheChosenFolderAndKeepsWhatIsTypedElsewhere) {
  ASSERT_TRUE(QDir().mkpath(folder.filePath("received/sub")));
  CDlgConfig dialog(nullptr, settings);
  edit(dialog, CDlgConfig::kSavePathEdit)->setText(folder.filePath("received"));
  edit(dialog, CDlgConfig::kAETitleEdit)->setText("WARD3");
  QString initialFolder;
  ASSERT_EQ(
      testsupport::AnswerModals<CFileDialogEx>(
          [&] { testsupport::Control<QPushButton>(dialog, CDlgConfig::kBrowseButton)->click(); },
          [&](CFileDialogEx& chooser) {
            initialFolder = chooser.GetFolderPath();
            chooser.chooser().Open(0);  // "sub"
            chooser.Refill();
            testsupport::Control<QPushButton>(chooser, 1)->click();
          }),
      1);
  EXPECT_EQ(initialFolder, folder.filePath("received"));
  EXPECT_EQ(edit(dialog, CDlgConfig::kSavePathEdit)->text(), folder.filePath("received/sub"));
  EXPECT_EQ(edit(dialog, CDlgConfig::kAETitleEdit)->text(), "WARD3");
}

TEST_F(DlgConfigTest, ConfigCommandAsksForARestartAfterOkOnly) {
  {
    const ProgramSettingsOfTheStation station(settings);
    CMainFrame frame;
    for (const int button : {2, 1}) {
      bool handled = false;
      EXPECT_EQ(testsupport::AnswerModals<CDlgConfig>(
                    [&] { handled = frame.OnCommand(command::Config); },
                    [button](CDlgConfig& dialog) {
                      testsupport::Control<QPushButton>(dialog, button)->click();
                    }),
                1);
      EXPECT_TRUE(handled);
    }
  }
  ASSERT_EQ(sink.count(), 1) << "Cancel says nothing";
  EXPECT_EQ(sink.messages()[0].text, "Please restart this program!");
  EXPECT_EQ(sink.messages()[0].caption, "Config");
  EXPECT_EQ(sink.messages()[0].style, MB_ICONEXCLAMATION);
  EXPECT_TRUE(QFile::exists(companionFile()));
}

// Config is a plain dialog: Escape in a field cancels, Enter in a field is OK, both through the
// frame's command as the operator gives them.
TEST_F(DlgConfigTest, EscapeInAFieldCancelsAndEnterIsOk) {
  {
    const ProgramSettingsOfTheStation station(settings);
    CMainFrame frame;
    frame.show();
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
      bool handled = false;
      EXPECT_EQ(testsupport::AnswerModals<CDlgConfig>(
                    [&] { handled = frame.OnCommand(command::Config); },
                    [key](CDlgConfig& dialog) {
                      CColoredEdit* port = edit(dialog, CDlgConfig::kPortEdit);
                      port->setFocus();
                      port->selectAll();
                      QTest::keyClicks(port, "104");
                      QTest::keyClick(port, key);
                    }),
                1);
      EXPECT_TRUE(handled);
      EXPECT_EQ(QFile::exists(companionFile()), key == Qt::Key_Return);
    }
  }
  EXPECT_EQ(sink.texts(), QStringList{"Please restart this program!"});
  EXPECT_EQ(CompanionSettings::Read(folder.path()).localPort, "104");
}

}  // namespace

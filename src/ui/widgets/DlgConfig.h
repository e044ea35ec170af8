#pragma once

#include <QDialog>

#include "app/CompanionSettings.h"

class AppSettings;
class CColoredEdit;

// The "Config" dialog: the receiver's AE title, port and storage folder, kept in the companion's
// Vantrel.ini, from which the drop folder WholeSpinePath of the program's own settings derives.
// OK checks and saves them (AppSettings::SaveReceiverSettings); values it refuses, or a file it
// cannot write, are told under the caption "Config" and the dialog stays open. They take
// effect after a restart.
class CDlgConfig : public QDialog {
  Q_OBJECT

 public:
  // Object names of the edits and the folder button: "ctl<id>".
  static constexpr int kAETitleEdit = 1056;
  static constexpr int kPortEdit = 1057;
  static constexpr int kSavePathEdit = 1058;
  static constexpr int kBrowseButton = 1061;

  // Reads the companion's file in the settings' program folder.
  explicit CDlgConfig(QWidget* parent, AppSettings& settings);

  void accept() override;
  // "...": the folder for received images, chosen with the file chooser in open mode.
  void OnBrowse();

 private:
  AppSettings& m_settings;
  CompanionSettings m_receiver;
  CColoredEdit* m_aeTitle = nullptr;
  CColoredEdit* m_port = nullptr;
  CColoredEdit* m_savePath = nullptr;
};

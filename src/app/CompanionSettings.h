#pragma once

// The companion's settings file `Vantrel.ini` in the program folder, section "RECEIVER": what the
// companion receives as (AE title, port), where it puts what it receives, and from whom. The
// viewer's configuration dialog edits the same keys; the drop folder both derive from them is
// WholeSpinePath.

#include <QString>
#include <QStringList>

struct CompanionSettings {
  static constexpr const char* kFileName = "Vantrel.ini";

  // The defaults of a missing file or key. SavePath is "<home>/dcm", the writable stand-in for
  // the system's "C:\dcm".
  CompanionSettings();

  // Reads programFolder + "Vantrel.ini"; missing keys keep their defaults.
  static CompanionSettings Read(const QString& programFolder);

  // The drop folder: save path, then modality and port joined by "_" ("<home>/dcm/CR_1205").
  QString wholeSpinePath() const;

  // Stored as text: the dialog writes what is typed, the companion checks it.
  QString localAE;
  QString localPort;
  QString savePath;
  QString modality;
  // "AcceptedCallingAE", comma-separated; empty accepts every caller.
  QStringList acceptedCallingAE;
};

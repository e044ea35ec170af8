#pragma once

// The companion's settings file `Vantrel.ini` in the program folder, section "RECEIVER": what the
// companion receives as (AE title, port), where it puts what it receives, and from whom. The
// viewer's configuration dialog edits the same keys; the drop folder both derive from them is
// WholeSpinePath.

#include <QString>
#include <QStringList>

#include "app/IniFile.h"

struct CompanionSettings {
  static constexpr const char* kFileName = "Vantrel.ini";

  // The defaults of a missing file or key. SavePath is "<home>/dcm", the writable stand-in for
  // the system's "C:\dcm".
  CompanionSettings();

  // Reads programFolder + "Vantrel.ini"; missing keys keep their defaults.
  static CompanionSettings Read(const QString& programFolder);

  // The drop folder: save path, then modality and port joined by "_" ("<home>/dcm/CR_1205").
  QString wholeSpinePath() const;

  // Why a peer could not reach the receiver under these values, in words for the operator;
  // empty when it can. The AE title (surrounding blanks aside) must be 1 to 16 characters of
  // the DICOM default repertoire without "\\"; the port a number from 1 to 65535.
  static QString CheckAETitle(const QString& title);
  static QString CheckPort(const QString& port);
  // Both checks, the AE title first.
  QString Problem() const;
  // The port as a number (0 when CheckPort finds fault with it).
  quint16 port() const;

  // What the configuration writes into programFolder + "Vantrel.ini": LocalAE, LocalPort and
  // SavePath in section "RECEIVER" and the drop folder as "WholeSpinePath" in section "SYSTEM"
  // (the modality is the companion's own and never written). For CIniFile::WriteTogether, so
  // the companion's file and the viewer's change together.
  CIniFile::FileEntries Entries(const QString& programFolder) const;

  // Stored as text: the dialog writes what is typed, the companion checks it.
  QString localAE;
  QString localPort;
  QString savePath;
  QString modality;
  // "AcceptedCallingAE", comma-separated; empty accepts every caller.
  QStringList acceptedCallingAE;
};

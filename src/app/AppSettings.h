#pragma once

// AppSettings: the window-free part of the application object CtoraScanApp: paths,
// the settings read once at start-up, the run mode and its disc-mode working copy, registry
// values, fixed display values and the session store. The widget application object (later)
// owns one and runs load() in start-up; other Parts read the members.
//
// On this platform paths use "/" and the program folder always ends in "/"; the
// image database is the SQLite file "Pelmora.db"; the skin is an optional style sheet
// "Skins/<SkinType>"; the registry key "toraScan" is QSettings in the native format
// (organisation and application "toraScan"); the Common Files folder of the disc mode is the
// user's data folder (QStandardPaths::GenericDataLocation) followed by "/Norvika".

#include <QString>
#include <QStringList>

#include "app/IniFile.h"
#include "app/MyConfig.h"

class QSettings;
struct CompanionSettings;
struct InstallLayout;

inline constexpr int RunModeEmbedded = 1;
inline constexpr int RunModeStation = 2;
inline constexpr int RunModeDisc = 3;

class AppSettings {
 public:
  AppSettings();
  ~AppSettings();
  AppSettings(const AppSettings&) = delete;
  AppSettings& operator=(const AppSettings&) = delete;

  // ---- fixed values
  static const QString& title();    // "toraScan"
  static const QString& version();  // "1.0.0.1"
  static constexpr const char* kImageDatabaseFile = "Pelmora.db";
  static constexpr const char* kIniFile = "Pelmora.ini";
  static constexpr const char* kDiscFolderName = "Norvika";
  static constexpr int kWindowLevelBits = 14;

  // ---- set before load()
  // The available screen geometry standing for SM_CXFULLSCREEN and
  // SM_CYSIZE + SM_CYFULLSCREEN + SM_CYBORDER: the defaults of the window width and height
  // (a full-screen frame, caption included, fills the available area).
  void setScreenSize(int availableWidth, int availableHeight);
  // The disc mode's working folder; empty (the default) means
  // QStandardPaths::GenericDataLocation + "/Norvika". Tests point it at a temporary folder.
  void setDiscWorkingFolder(const QString& folder) { m_discWorkingFolderOverride = folder; }
  // The registry (not owned); nullptr (the default) means QSettings in the native format,
  // organisation and application "toraScan".
  void setRegistry(QSettings* registry) { m_registry = registry; }

  // ---- start-up, without the windows
  // Sets the paths from programFolder (made absolute, ending in exactly one "/"), points the
  // global CIniFile at the settings file, reads every key of the settings-file table once,
  // decides the run mode and, in RunModeDisc, prepares the working copy of the image database.
  // Returns false only when that preparation fails: start-up then shows
  // "Can't run this software." (caption "toraScan") and ends.
  bool load(const QString& programFolder);
  // The same with the folders of `layout`: the read-only files from its resources (the
  // program folder), the settings files from its settings and the databases from its data
  // folder. load(folder) is load(InstallLayout::ProgramFolder(folder)).
  bool load(const InstallLayout& layout);

  // The run-mode rule: IstoraScan 1 → embedded; else WholeSpineType 1 → station; else disc.
  static int decideRunMode(int istoraScan, int wholeSpineType);
  // The storage root for a WholeSpinePath: the leading part up to and including its first
  // separator ("/" here; "\" as well on Windows); "" when there is none.
  static QString dataRootOf(const QString& wholeSpinePath);
  // The default WholeSpinePath. The system's "C:\dcm\CR_1205" points at a folder the user can
  // write: <home folder>/dcm/CR_1205 (its storage root is then "/", as "C:\" was).
  static QString defaultWholeSpinePath();
  // The program folder as stored: absolute, cleaned, with exactly one trailing "/".
  static QString normaliseProgramFolder(const QString& folder);
  // The working folder the disc mode uses (the override, or the user's data folder + "/Norvika").
  QString discWorkingFolder() const;
  // RunModeDisc steps 1 to 5: working folder, dataRoot, WholeSpinePath, creation of the folder,
  // copy of the image database (overwriting, read-only cleared). Returns false on any failure.
  bool prepareDiscWorkingCopy();

  // ---- the configuration dialog's OK
  // Checks the receiver values (surrounding blanks dropped) and refuses them with the reason,
  // nothing written, when a peer could not reach the receiver under them. Otherwise writes
  // them with their drop folder into the companion's Vantrel.ini, the drop folder as
  // "WholeSpinePath" into the settings file, and takes it as wholeSpinePath with its storage
  // root as dataRoot. Both files change or neither does; a file that cannot be written gives
  // its reason too. Empty on success.
  QString SaveReceiverSettings(CompanionSettings receiver);

  // ---- drop folders left behind by a change of the receiver's folder
  // The companion keeps filling the folder it was started with until it starts again, and a
  // change takes effect at the next start, when the watcher moves to the new folder. So the
  // folders of earlier configurations are remembered ("SYSTEM", "PreviousWholeSpinePath1", 2,
  // ...) and drained beside WholeSpinePath until a later run finds them empty.
  //
  // The folders to drain besides wholeSpinePath: the remembered ones and the one this run
  // started with (after a change in this run, its companion still fills that one).
  QStringList drainFolders() const;
  // A drain folder found empty: forgotten (true), unless the companion of this run may still
  // fill it (the folder this run started with).
  bool ForgetDrainFolder(const QString& folder);

  // ---- registry (the framework's profile functions, under the key "toraScan")
  QString GetProfileString(const QString& section, const QString& entry,
                           const QString& defaultValue = QString()) const;
  int GetProfileInt(const QString& section, const QString& entry, int defaultValue) const;
  bool WriteProfileString(const QString& section, const QString& entry, const QString& value);
  bool WriteProfileInt(const QString& section, const QString& entry, int value);

  // GetDefaultPixelSpacing: mm per pixel for images that carry no spacing.
  double GetDefaultPixelSpacing();

  // Leading decimal number of a text as _wtof reads it (0 when there is none).
  static double LeadingDouble(const QString& text);

  // The folders no recursive delete may remove, nor any folder holding them: the program folder
  // and the storage root (the root and the home folder are guarded besides). In the disc mode
  // the storage root is the working folder, which only the clean-up at exit removes.
  QStringList protectedFolders() const { return {programFolder, dataFolder, dataRoot}; }

  // The companion manager starts with the main window whenever WholeSpineType is non-zero
  // (even in RunModeEmbedded).
  bool startsCompanion() const { return wholeSpineType != 0; }

  // ---- paths
  QString programFolder;    // ends in "/"; the read-only files (installed: /usr/share/torascan)
  QString settingsFolder;   // ends in "/"; Pelmora.ini and Vantrel.ini (installed: /etc/torascan)
  QString dataFolder;       // ends in "/"; the databases (installed: /var/lib/torascan)
  QString companionFolder;  // ends in "/"; the companion program (installed: /usr/lib/torascan)
  QString dataRoot;         // storage root
  // dataFolder + "Pelmora.db"; disc mode: working folder + "/Pelmora.db". With
  // [DATABASE] Engine=postgresql (station and embedded modes) the server's URL instead.
  QString imageDatabasePath;
  // The report database: toraScan.db in the data folder, or a database on the image
  // database's server ([DATABASE] ReportName) when the archive is shared.
  QString reportDatabasePath;
  QString iniPath;       // settingsFolder + "Pelmora.ini"
  QString skinFilePath;  // programFolder + "Skins/" + SkinType
  CIniFile ini;          // on iniPath (the global theIniFile() gets the same path)

  // ---- settings file, section "SYSTEM"
  int dispOrder = 0;
  int wholeSpineType = 0;
  QString wholeSpinePath;
  QString startWholeSpinePath;          // WholeSpinePath as load() read it
  QStringList previousWholeSpinePaths;  // the remembered drain folders
  QString skinType = QStringLiteral("default.skf");
  int istoraScan = 0;
  int windowX = 0;
  int windowY = 0;
  int windowWidth = 0;   // "toraScanWidth", default: available width
  int windowHeight = 0;  // "toraScanHeigth", default: available height
  int isVet = 0;
  int interpolation = 0;

  // ---- section "SEND": the send queue's retries (tries before a job fails, first pause in
  // seconds, doubling after each try)
  int sendMaxTries = 10;
  int sendFirstPauseSeconds = 10;

  // ---- section "VA": overlay text groups (non-zero shows the group)
  int isPatientInfo = 1;
  int isAcquisitionInfo = 1;
  int isHospitalInfo = 1;
  int isXrayParamInfo = 1;
  int isAnatomicalInfo = 1;
  int isSeriesInfo = 1;
  int isWindowLevel = 1;

  // ---- section "PRTRPT": report print font sizes
  int printFontSmall = 90;
  int printFontMiddle = 120;
  int printFontLarge = 200;

  // ---- run mode
  int RunMode = RunModeStation;  // 2 until start-up decides
  // True when prepareDiscWorkingCopy created the working folder itself (the clean-up at exit
  // may only remove a folder the program created).
  bool discWorkingFolderCreated = false;

  // ---- fixed values other Parts read
  int frameDefaultWidth = 0;   // SM_CXFULLSCREEN stand-in
  int frameDefaultHeight = 0;  // SM_CYSIZE + SM_CYFULLSCREEN + SM_CYBORDER stand-in
  int windowLevelBits = kWindowLevelBits;
  int currentLayout = 0;  // 0 (1 x 1), 1 (1 x 2), 3 (2 x 2)
  int dateDisplayOrder = 0;
  QString dateSeparator = QStringLiteral(".");
  int listFontHeight = 20;
  QString fontFace;  // empty: the system default face
  unsigned dialogTextColour = 0;
  unsigned dialogBackColour = 0;

  // ---- session store
  CMyConfig session;

 private:
  QSettings& registry() const;
  // The settings-file entries that store `folders` as the remembered drain folders.
  QList<CIniFile::Entry> previousPathEntries(const QStringList& folders) const;

  int m_screenWidth = 1920;
  int m_screenHeight = 1050;
  QString m_discWorkingFolderOverride;
  QSettings* m_registry = nullptr;
  mutable QSettings* m_ownRegistry = nullptr;
};

// The process-wide instance (the application object's settings).
AppSettings& theAppSettings();

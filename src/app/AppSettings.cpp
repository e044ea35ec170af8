#include "app/AppSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>

#include "app/CompanionSettings.h"
#include "app/InstallLayout.h"
#include "app/TextNumbers.h"
#include "db/ImageDatabase.h"
#include "db/Query.h"

namespace {

const QString kSystem = QStringLiteral("SYSTEM");
const QString kVa = QStringLiteral("VA");
const QString kPrtRpt = QStringLiteral("PRTRPT");
const QString kDatabase = QStringLiteral("DATABASE");

QString previousPathKey(int n) { return QStringLiteral("PreviousWholeSpinePath%1").arg(n); }

// Folders compared as the file system sees them ("a/b/" and "a//b" are one), without repeats
// or empty entries, and without `except`.
QStringList distinctFolders(const QStringList& folders, const QString& except) {
  QStringList distinct;
  const QString left = QDir::cleanPath(except);
  for (const QString& folder : folders) {
    const QString clean = QDir::cleanPath(folder);
    if (!clean.isEmpty() && clean != left && !distinct.contains(clean)) distinct << clean;
  }
  return distinct;
}

}  // namespace

AppSettings::AppSettings() {
  // Defaults before start-up: WholeSpinePath at its default and the storage root derived from it
  // (the system's "C:\dcm\CR_1205" and "C:\").
  wholeSpinePath = defaultWholeSpinePath();
  dataRoot = dataRootOf(wholeSpinePath);
  setScreenSize(m_screenWidth, m_screenHeight);
}

AppSettings::~AppSettings() { delete m_ownRegistry; }

const QString& AppSettings::title() {
  static const QString value = QStringLiteral("toraScan");
  return value;
}

const QString& AppSettings::version() {
  static const QString value = QStringLiteral("1.0.0.1");
  return value;
}

void AppSettings::setScreenSize(int availableWidth, int availableHeight) {
  m_screenWidth = availableWidth;
  m_screenHeight = availableHeight;
  frameDefaultWidth = availableWidth;
  frameDefaultHeight = availableHeight;
}

QString AppSettings::defaultWholeSpinePath() { return CompanionSettings().wholeSpinePath(); }

QString AppSettings::dataRootOf(const QString& wholeSpinePath) {
  qsizetype sep = wholeSpinePath.indexOf(QLatin1Char('/'));
#ifdef Q_OS_WIN
  const qsizetype back = wholeSpinePath.indexOf(QLatin1Char('\\'));
  if (back >= 0 && (sep < 0 || back < sep)) sep = back;
#endif
  if (sep < 0) return QString(QLatin1String(""));
  return wholeSpinePath.left(sep + 1);
}

QString AppSettings::normaliseProgramFolder(const QString& folder) {
  QString path = folder.isEmpty() ? QDir::currentPath() : folder;
  path = QDir::cleanPath(QDir(path).absolutePath());
  if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
  return path;
}

int AppSettings::decideRunMode(int istoraScan, int wholeSpineType) {
  if (istoraScan == 1) return RunModeEmbedded;
  if (wholeSpineType == 1) return RunModeStation;
  return RunModeDisc;
}

QString AppSettings::discWorkingFolder() const {
  if (!m_discWorkingFolderOverride.isEmpty()) return QDir::cleanPath(m_discWorkingFolderOverride);
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/') +
         QLatin1String(kDiscFolderName);
}

bool AppSettings::load(const QString& folder) { return load(InstallLayout::ProgramFolder(folder)); }

bool AppSettings::load(const InstallLayout& layout) {
  // Steps 5 and 7: paths.
  programFolder = normaliseProgramFolder(layout.resources);
  settingsFolder = normaliseProgramFolder(layout.settings);
  dataFolder = normaliseProgramFolder(layout.data);
  companionFolder = normaliseProgramFolder(layout.programs);
  imageDatabasePath = dataFolder + QLatin1String(kImageDatabaseFile);
  reportDatabasePath = dataFolder + QLatin1String(kReportDatabaseFile);
  iniPath = settingsFolder + QLatin1String(kIniFile);
  ini.SetPath(iniPath);
  theIniFile().SetPath(iniPath);
  // An archive shared by several workstations lives on a database server; the password comes
  // from the user's password file or PGPASSWORD, never from this file.
  if (ini.ReadString(kDatabase, QStringLiteral("Engine"), QStringLiteral("sqlite"))
          .compare(QLatin1String("postgresql"), Qt::CaseInsensitive) == 0) {
    const auto onServer = [&](const QString& nameKey, const QString& defaultName) {
      return imagedb::serverLocation(
          ini.ReadString(kDatabase, QStringLiteral("Host"), QStringLiteral("localhost")),
          ini.ReadInt(kDatabase, QStringLiteral("Port"), 5432),
          ini.ReadString(kDatabase, nameKey, defaultName),
          ini.ReadString(kDatabase, QStringLiteral("User"), QString()));
    };
    imageDatabasePath = onServer(QStringLiteral("Name"), QStringLiteral("torascan"));
    reportDatabasePath = onServer(QStringLiteral("ReportName"), QStringLiteral("torascan_reports"));
  }

  // Step 9.
  dispOrder = ini.ReadInt(kSystem, QStringLiteral("DispOrder"), 0);
  wholeSpineType = ini.ReadInt(kSystem, QStringLiteral("WholeSpineType"), 0);
  wholeSpinePath =
      ini.ReadString(kSystem, QStringLiteral("WholeSpinePath"), defaultWholeSpinePath());
  dataRoot = dataRootOf(wholeSpinePath);
  startWholeSpinePath = wholeSpinePath;
  previousWholeSpinePaths.clear();
  for (int n = 1;; ++n) {
    const QString folder = ini.ReadString(kSystem, previousPathKey(n));
    if (folder.isEmpty()) break;
    previousWholeSpinePaths << folder;
  }
  skinType = ini.ReadString(kSystem, QStringLiteral("SkinType"), QStringLiteral("default.skf"));
  skinFilePath = programFolder + QStringLiteral("Skins/") + skinType;

  // Step 10.
  istoraScan = ini.ReadInt(kSystem, QStringLiteral("IstoraScan"), 0);
  windowX = ini.ReadInt(kSystem, QStringLiteral("toraScanX"), 0);
  windowY = ini.ReadInt(kSystem, QStringLiteral("toraScanY"), 0);
  windowWidth = ini.ReadInt(kSystem, QStringLiteral("toraScanWidth"), m_screenWidth);
  windowHeight = ini.ReadInt(kSystem, QStringLiteral("toraScanHeigth"), m_screenHeight);
  isVet = ini.ReadInt(kSystem, QStringLiteral("IsVet"), 0);
  interpolation = ini.ReadInt(kSystem, QStringLiteral("Interpolation"), 0);
  sendMaxTries = std::max(1, ini.ReadInt(QStringLiteral("SEND"), QStringLiteral("MaxTries"), 10));
  sendFirstPauseSeconds =
      std::max(1, ini.ReadInt(QStringLiteral("SEND"), QStringLiteral("RetryPause"), 10));

  // Read by the main frame when it is created and by report printing;
  // read here once, with the rest.
  isPatientInfo = ini.ReadInt(kVa, QStringLiteral("IsPatientInfo"), 1);
  isAcquisitionInfo = ini.ReadInt(kVa, QStringLiteral("IsAcquisitionInfo"), 1);
  isHospitalInfo = ini.ReadInt(kVa, QStringLiteral("IsHospitalInfo"), 1);
  isXrayParamInfo = ini.ReadInt(kVa, QStringLiteral("IsXrayParamInfo"), 1);
  isAnatomicalInfo = ini.ReadInt(kVa, QStringLiteral("IsAnatomicalInfo"), 1);
  isSeriesInfo = ini.ReadInt(kVa, QStringLiteral("IsSeriesInfo"), 1);
  isWindowLevel = ini.ReadInt(kVa, QStringLiteral("IsWindowLevel"), 1);
  printFontSmall = ini.ReadInt(kPrtRpt, QStringLiteral("Small"), 90);
  printFontMiddle = ini.ReadInt(kPrtRpt, QStringLiteral("Middle"), 120);
  printFontLarge = ini.ReadInt(kPrtRpt, QStringLiteral("Large"), 200);

  // Step 11.
  RunMode = decideRunMode(istoraScan, wholeSpineType);
  if (RunMode == RunModeDisc) return prepareDiscWorkingCopy();
  return true;
}

bool AppSettings::prepareDiscWorkingCopy() {
  const QString folder = discWorkingFolder();
  wholeSpinePath = programFolder;
  dataRoot = folder;
  imageDatabasePath = folder + QLatin1Char('/') + QLatin1String(kImageDatabaseFile);
  if (folder.isEmpty()) return false;

  const bool existed = QFileInfo(folder).isDir();
  if (!QDir().mkpath(folder)) return false;
  discWorkingFolderCreated = !existed;

  // Overwrite any earlier copy: clear its read-only state and remove it first.
  if (QFileInfo::exists(imageDatabasePath) || QFileInfo(imageDatabasePath).isSymLink()) {
    QFile::setPermissions(imageDatabasePath, QFile::permissions(imageDatabasePath) |
                                                 QFileDevice::WriteOwner | QFileDevice::WriteUser);
    if (!QFile::remove(imageDatabasePath)) return false;
  }

  const QString source = dataFolder + QLatin1String(kImageDatabaseFile);
  // The program folder built here carries the schema, not a database file: without
  // Pelmora.db there the working copy starts absent and the database layer creates it from
  // the schema (the earlier copy is gone, as an overwrite would have made it).
  if (!QFileInfo::exists(source)) return true;

  if (!QFile::copy(source, imageDatabasePath)) return false;
  // A copy taken from a read-only medium keeps that state: clear it.
  const QFile::Permissions perms = QFile::permissions(imageDatabasePath);
  if (!QFile::setPermissions(imageDatabasePath,
                             perms | QFileDevice::WriteOwner | QFileDevice::WriteUser)) {
    return false;
  }
  return QFileInfo(imageDatabasePath).isWritable();
}

QString AppSettings::SaveReceiverSettings(CompanionSettings receiver) {
  receiver.localAE = receiver.localAE.trimmed();
  receiver.localPort = receiver.localPort.trimmed();
  receiver.savePath = receiver.savePath.trimmed();
  if (const QString problem = receiver.Problem(); !problem.isEmpty()) return problem;
  const auto cannotWrite = [](const QString& path) {
    return QStringLiteral("Can't write %1.").arg(QDir::toNativeSeparators(path));
  };
  const QString storagePath = receiver.wholeSpinePath();
  // What reaches the folders used so far is drained after the change.
  const QStringList previous = distinctFolders(
      previousWholeSpinePaths + QStringList{startWholeSpinePath, wholeSpinePath}, storagePath);
  QList<CIniFile::Entry> systemEntries{{kSystem, QStringLiteral("WholeSpinePath"), storagePath}};
  systemEntries += previousPathEntries(previous);
  // Both files or neither: the receiver and the watcher must agree on the drop folder.
  QString failed;
  if (!CIniFile::WriteTogether({receiver.Entries(settingsFolder), {ini.Path(), systemEntries}},
                               &failed))
    return cannotWrite(failed);
  previousWholeSpinePaths = previous;
  wholeSpinePath = storagePath;
  dataRoot = dataRootOf(storagePath);
  return {};
}

QList<CIniFile::Entry> AppSettings::previousPathEntries(const QStringList& folders) const {
  QList<CIniFile::Entry> entries;
  // Keys beyond the list are emptied: the first empty one ends it.
  const qsizetype count = std::max(folders.size(), previousWholeSpinePaths.size());
  for (qsizetype i = 0; i < count; ++i) {
    entries.append({kSystem, previousPathKey(int(i) + 1), i < folders.size() ? folders[i] : ""});
  }
  return entries;
}

QStringList AppSettings::drainFolders() const {
  return distinctFolders(previousWholeSpinePaths + QStringList{startWholeSpinePath},
                         wholeSpinePath);
}

bool AppSettings::ForgetDrainFolder(const QString& folder) {
  const QString clean = QDir::cleanPath(folder);
  if (clean == QDir::cleanPath(startWholeSpinePath)) return false;
  const QStringList left = distinctFolders(previousWholeSpinePaths, clean);
  // A failed write only means the folder is looked at once more at the next start.
  ini.WriteStrings(previousPathEntries(left));
  previousWholeSpinePaths = left;
  return true;
}

QSettings& AppSettings::registry() const {
  if (m_registry) return *m_registry;
  if (!m_ownRegistry) {
    m_ownRegistry = new QSettings(QSettings::NativeFormat, QSettings::UserScope, title(), title());
  }
  return *m_ownRegistry;
}

QString AppSettings::GetProfileString(const QString& section, const QString& entry,
                                      const QString& defaultValue) const {
  const QVariant value = registry().value(section + QLatin1Char('/') + entry);
  if (!value.isValid()) return defaultValue;
  return value.toString();
}

int AppSettings::GetProfileInt(const QString& section, const QString& entry,
                               int defaultValue) const {
  const QVariant value = registry().value(section + QLatin1Char('/') + entry);
  if (!value.isValid()) return defaultValue;
  bool ok = false;
  const int result = value.toInt(&ok);
  return ok ? result : defaultValue;
}

bool AppSettings::WriteProfileString(const QString& section, const QString& entry,
                                     const QString& value) {
  QSettings& settings = registry();
  settings.setValue(section + QLatin1Char('/') + entry, value);
  settings.sync();
  return settings.status() == QSettings::NoError;
}

bool AppSettings::WriteProfileInt(const QString& section, const QString& entry, int value) {
  QSettings& settings = registry();
  settings.setValue(section + QLatin1Char('/') + entry, value);
  settings.sync();
  return settings.status() == QSettings::NoError;
}

double AppSettings::LeadingDouble(const QString& text) { return ::LeadingDouble(text); }

double AppSettings::GetDefaultPixelSpacing() {
  const QString cor = QStringLiteral("Cor");
  const QString pixelSpacing = QStringLiteral("PixelSpacing");
  const QString fallback = ini.ReadString(cor, pixelSpacing, QStringLiteral("0.143"));
  QString text = GetProfileString(cor, pixelSpacing, QStringLiteral("0"));
  if (text == QLatin1String("0")) {
    text = ini.ReadString(QStringLiteral("Cor1"), pixelSpacing, fallback);
    WriteProfileString(cor, pixelSpacing, text);
  }
  return LeadingDouble(text);
}

AppSettings& theAppSettings() {
  static AppSettings instance;
  return instance;
}

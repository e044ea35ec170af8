#include "app/CompanionSettings.h"

#include <QDir>
#include <QRegularExpression>

#include "app/IniFile.h"

namespace {

const QString kReceiver = QStringLiteral("RECEIVER");
constexpr int kMaxAETitleLength = 16;
constexpr uint kMaxPort = 65535;

CIniFile companionIni(const QString& programFolder) {
  return CIniFile(QDir(programFolder).filePath(QLatin1String(CompanionSettings::kFileName)));
}

}  // namespace

CompanionSettings::CompanionSettings()
    : localAE(QStringLiteral("VANTREL")),
      localPort(QStringLiteral("1205")),
      savePath(QDir::homePath() + QStringLiteral("/dcm")),
      modality(QStringLiteral("CR")) {}

CompanionSettings CompanionSettings::Read(const QString& programFolder) {
  const CIniFile ini = companionIni(programFolder);
  CompanionSettings settings;
  settings.localAE = ini.ReadString(kReceiver, QStringLiteral("LocalAE"), settings.localAE);
  settings.localPort = ini.ReadString(kReceiver, QStringLiteral("LocalPort"), settings.localPort);
  settings.savePath = ini.ReadString(kReceiver, QStringLiteral("SavePath"), settings.savePath);
  settings.modality = ini.ReadString(kReceiver, QStringLiteral("Modality"), settings.modality);
  const QString accepted = ini.ReadString(kReceiver, QStringLiteral("AcceptedCallingAE"));
  for (const QString& title : accepted.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    if (const QString trimmed = title.trimmed(); !trimmed.isEmpty())
      settings.acceptedCallingAE << trimmed;
  }
  return settings;
}

QString CompanionSettings::wholeSpinePath() const {
  return QStringLiteral("%1/%2_%3").arg(savePath, modality, localPort);
}

QString CompanionSettings::CheckAETitle(const QString& title) {
  const QString trimmed = title.trimmed();
  bool fits = !trimmed.isEmpty() && trimmed.size() <= kMaxAETitleLength;
  // The default repertoire without its control characters; the backslash separates values.
  for (const QChar c : trimmed) {
    fits = fits && c >= QLatin1Char(' ') && c <= QLatin1Char('~') && c != QLatin1Char('\\');
  }
  if (fits) return {};
  return QStringLiteral(
             "The AE title \"%1\" must be 1 to 16 letters, digits, spaces or signs, without "
             "\"\\\".")
      .arg(title);
}

QString CompanionSettings::CheckPort(const QString& port) {
  static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
  const QString trimmed = port.trimmed();
  if (digits.match(trimmed).hasMatch() && trimmed.toUInt() >= 1 && trimmed.toUInt() <= kMaxPort)
    return {};
  return QStringLiteral("The port \"%1\" must be a number from 1 to 65535.").arg(port);
}

QString CompanionSettings::Problem() const {
  const QString title = CheckAETitle(localAE);
  return title.isEmpty() ? CheckPort(localPort) : title;
}

quint16 CompanionSettings::port() const {
  return CheckPort(localPort).isEmpty() ? quint16(localPort.trimmed().toUInt()) : 0;
}

CIniFile::FileEntries CompanionSettings::Entries(const QString& programFolder) const {
  const QString system = QStringLiteral("SYSTEM");
  return {companionIni(programFolder).Path(),
          {{kReceiver, QStringLiteral("LocalAE"), localAE},
           {kReceiver, QStringLiteral("LocalPort"), localPort},
           {kReceiver, QStringLiteral("SavePath"), savePath},
           {system, QStringLiteral("WholeSpinePath"), wholeSpinePath()}}};
}

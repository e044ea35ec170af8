#include "app/CompanionSettings.h"

#include <QDir>

#include "app/IniFile.h"

namespace {

const QString kReceiver = QStringLiteral("RECEIVER");

}  // namespace

CompanionSettings::CompanionSettings()
    : localAE(QStringLiteral("VANTREL")),
      localPort(QStringLiteral("1205")),
      savePath(QDir::homePath() + QStringLiteral("/dcm")),
      modality(QStringLiteral("CR")) {}

CompanionSettings CompanionSettings::Read(const QString& programFolder) {
  const CIniFile ini(QDir(programFolder).filePath(QLatin1String(kFileName)));
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

#pragma once

// A program folder of a test's own whose settings file selects the station mode (a comment in
// it shows whether a rewrite keeps the other lines), and the settings loaded from it.

#include <QFile>
#include <QTemporaryDir>

#include "app/AppSettings.h"

namespace testsupport {

inline QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class StationFolder {
 public:
  static constexpr const char* kIni = "; station\n[SYSTEM]\nWholeSpineType=1\n";

  StationFolder() {
    QFile ini(iniFile());
    m_ok = m_dir.isValid() && ini.open(QIODevice::WriteOnly) && ini.write(kIni) > 0;
    ini.close();
    m_ok = m_ok && settings.load(m_dir.path());
  }

  bool isValid() const { return m_ok; }
  QString path() const { return m_dir.path(); }
  QString filePath(const QString& name) const { return m_dir.filePath(name); }
  QString iniFile() const { return m_dir.filePath(QStringLiteral("Pelmora.ini")); }
  QString companionFile() const { return m_dir.filePath(QStringLiteral("Vantrel.ini")); }

  AppSettings settings;

 private:
  QTemporaryDir m_dir;
  bool m_ok = false;
};

}  // namespace testsupport

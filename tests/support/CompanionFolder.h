#pragma once

// A program folder of a test's own: a copy of the built companion program beside a Vantrel.ini
// that makes it receive on a free port into a temporary folder. A companion started from the
// build's program folder would take the real port 1205 and the home folder's drop folder, and
// clash with a companion of another test running at the same time.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTemporaryDir>

#include "frame/CompanionProtocol.h"

namespace testsupport {

// A TCP port nothing listens on at this moment, on any address (the companion binds them all).
inline quint16 FreeTcpPort() {
  QTcpServer probe;
  return probe.listen(QHostAddress::Any, 0) ? probe.serverPort() : 0;
}

class CompanionFolder {
 public:
  // `receiverLines` open the section "RECEIVER"; the first of two equal keys counts, so they
  // win over the folder's own LocalPort and SavePath.
  explicit CompanionFolder(const QByteArray& receiverLines = {}) : m_port(FreeTcpPort()) {
    const QString built =
        QDir(QStringLiteral(TORASCAN_PROGRAM_DIR)).filePath(companion::kProgramName);
    m_ok =
        m_dir.isValid() && m_port != 0 && writeIni(receiverLines) && QFile::copy(built, program());
  }

  bool isValid() const { return m_ok; }
  QString folder() const { return m_dir.filePath(QStringLiteral("program")); }
  QString program() const { return QDir(folder()).filePath(companion::kProgramName); }
  QString savePath() const { return m_dir.filePath(QStringLiteral("save")); }
  // SavePath/Modality_Port with the default modality.
  QString dropFolder() const {
    return QDir(savePath()).filePath(QStringLiteral("CR_%1").arg(m_port));
  }
  quint16 port() const { return m_port; }

  // Names in the drop folder, partial files included.
  QStringList dropFolderEntries() const {
    return QDir(dropFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
  }

 private:
  bool writeIni(const QByteArray& receiverLines) const {
    if (!QDir().mkpath(folder())) return false;
    QFile ini(QDir(folder()).filePath(QStringLiteral("Vantrel.ini")));
    if (!ini.open(QIODevice::WriteOnly)) return false;
    const QByteArray text = "[RECEIVER]\n" + receiverLines +
                            "LocalPort=" + QByteArray::number(m_port) +
                            "\nSavePath=" + QFile::encodeName(savePath()) + '\n';
    return ini.write(text) == text.size();
  }

  QTemporaryDir m_dir;
  quint16 m_port;
  bool m_ok = false;
};

}  // namespace testsupport

#pragma once

// What the network tests share: DCMTK's storescp as the peer on a free loopback port, the
// command-line tool run to its end, and small CR files made with DCMTK.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <string>

#include <dcmtk/dcmdata/dcrleerg.h>

#include "support/DicomBuilder.h"

namespace nettest {

// A port nothing listens on now (the system's pick, let go again).
inline quint16 FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

struct ToolRun {
  int status = -1;  // -1: crashed or did not end in time
  QByteArray out;
  QByteArray err;
};

inline ToolRun RunTool(const QString& program, const QStringList& args, int timeoutMs = 120000) {
  QProcess tool;
  tool.start(program, args);
  ToolRun run;
  if (!tool.waitForFinished(timeoutMs)) {
    tool.kill();
    tool.waitForFinished();
    return run;
  }
  run.out = tool.readAllStandardOutput();
  run.err = tool.readAllStandardError();
  if (tool.exitStatus() == QProcess::NormalExit) run.status = tool.exitCode();
  return run;
}

inline ToolRun RunCli(const QStringList& args) {
  return RunTool(QStringLiteral(TORASCAN_CLI), args);
}

// DCMTK's storescp receiving into `folder` on a free port, AE title STORESCP; ended (by its
// pid, through QProcess) when this goes. extraArgs: "+xa" to take compressed syntaxes too (by
// default it takes only the uncompressed ones).
class Storescp {
 public:
  Storescp(const QString& folder, const QStringList& extraArgs, quint16 port = 0)
      : m_port(port ? port : FreePort()) {
    QDir().mkpath(folder);
    // Quiet, and answering at once (with Nagle's algorithm each answer waits about 40 ms).
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TCP_NODELAY"), QStringLiteral("1"));
    m_process.setProcessEnvironment(environment);
    m_process.start(
        QStringLiteral("storescp"),
        extraArgs + QStringList{QStringLiteral("-aet"), QStringLiteral("STORESCP"),
                                QStringLiteral("-od"), folder, QString::number(m_port)});
  }
  ~Storescp() { stop(); }
  Storescp(const Storescp&) = delete;
  Storescp& operator=(const Storescp&) = delete;

  // True once it answers a C-ECHO.
  bool waitUntilListening() {
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
      if (m_process.state() == QProcess::NotRunning) return false;
      if (RunTool(QStringLiteral("echoscu"), {QStringLiteral("-aec"), QStringLiteral("STORESCP"),
                                              QStringLiteral("127.0.0.1"), QString::number(m_port)})
              .status == 0)
        return true;
      QThread::msleep(100);
    }
    return false;
  }
  void stop() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.kill();
    m_process.waitForFinished(5000);
  }
  quint16 port() const { return m_port; }

 private:
  quint16 m_port;
  QProcess m_process;
};

// A small CR image (16 x 16, 12 bits) with its own SOP Instance UID, saved at path in syntax.
inline bool WriteCrFile(const QString& path, const std::string& uid,
                        E_TransferSyntax syntax = EXS_LittleEndianExplicit,
                        const std::string& patientId = "P1", int index = 1) {
  testsupport::DicomBuilder image;
  image.set(DCM_SOPClassUID, UID_ComputedRadiographyImageStorage)
      .set(DCM_SOPInstanceUID, uid)
      .set(DCM_StudyInstanceUID, "1.2.826.0.1.3680043.2.1125.77.1")
      .set(DCM_SeriesInstanceUID, "1.2.826.0.1.3680043.2.1125.77.2")
      .set(DCM_Modality, "CR")
      .set(DCM_PatientID, patientId)
      .set(DCM_PatientName, "Send^Test")
      .set(DCM_InstanceNumber, std::to_string(index));
  std::vector<std::uint16_t> pixels(16 * 16);
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = std::uint16_t((i * 37 + index) % 4096);
  image.pixels16(16, 16, pixels, 12);
  if (syntax == EXS_LittleEndianExplicit) return image.save(path);
  static const bool registered = (DcmRLEEncoderRegistration::registerCodecs(), true);
  (void)registered;
  DcmFileFormat file(image.dataset());
  return file.getDataset()->chooseRepresentation(syntax, nullptr).good() &&
         file.saveFile(QFile::encodeName(path).constData(), syntax).good();
}

}  // namespace nettest

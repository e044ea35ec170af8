#pragma once

// What the reception tests share: the companion started as a real process from a program folder
// of the test's own, an in-process DICOM client that can be interrupted in the middle of a data
// set, the open TCP sockets of this process, and data sets compared the DCMTK way.

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <csignal>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcxfer.h>
#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/oflog/oflog.h>

#include "support/CompanionFolder.h"

namespace reception {

// The companion running from `folder` with a manager name of its own. Whatever a test does, the
// process is ended when this goes.
class RunningVantrel {
 public:
  // `wrapper` (a program and its arguments, such as a tracer) runs the companion when given.
  explicit RunningVantrel(const testsupport::CompanionFolder& folder,
                          const QStringList& wrapper = {}) {
    static int counter = 0;
    const QString managerName = QStringLiteral("toraScan-test-reception-%1-%2")
                                    .arg(QCoreApplication::applicationPid())
                                    .arg(++counter);
    const QStringList args = {QStringLiteral("--manager-name"), managerName};
    if (wrapper.isEmpty())
      m_process.start(folder.program(), args);
    else
      m_process.start(wrapper.first(), wrapper.mid(1) + QStringList{folder.program()} + args);
  }
  ~RunningVantrel() {
    if (m_process.state() == QProcess::NotRunning) return;
    // A wrapper killed outright would leave the companion it runs behind.
    const qint64 pid = m_process.processId();
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (children.open(QIODevice::ReadOnly)) {
      for (const QByteArray& child : children.readAll().split(' '))
        if (child.trimmed().toInt() > 0) ::kill(pid_t(child.trimmed().toInt()), SIGKILL);
    }
    m_process.kill();
    m_process.waitForFinished(5000);
  }

  // True once the companion says it receives (the port is open then); false when it ended or
  // did not say so in time.
  bool waitUntilReceiving() {
    QDeadlineTimer deadline(10000);
    while (!m_output.contains("receives on port") && !deadline.hasExpired()) {
      if (m_process.state() == QProcess::NotRunning) return false;
      m_process.waitForReadyRead(100);
      m_output += m_process.readAllStandardOutput();
    }
    return m_output.contains("receives on port");
  }

  qint64 pid() const { return m_process.processId(); }
  bool isRunning() const { return m_process.state() == QProcess::Running; }
  void terminate() { m_process.terminate(); }
  // True when the process ended within the time.
  bool waitForExit(int ms = 10000) { return m_process.waitForFinished(ms); }
  int exitCode() const { return m_process.exitCode(); }
  QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
  QByteArray errorOutput() { return m_process.readAllStandardError(); }

  // Resident memory of the process in kB (VmRSS), 0 when it cannot be read.
  long residentKb() const {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid()));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
      if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
  }

 private:
  QProcess m_process;
  QByteArray m_output;
};

// Empty when strace can trace a program here, else why not (a container may forbid it).
inline QString StraceUnavailable() {
  QProcess probe;
  probe.setProcessChannelMode(QProcess::MergedChannels);
  probe.start(QStringLiteral("strace"), {"-f", "-o", "/dev/null", "true"});
  if (probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
      probe.exitCode() == 0)
    return {};
  return QString::fromLocal8Bit(probe.readAll()) + probe.errorString();
}

// The lines of a trace strace wrote to `path`.
inline QStringList TraceLines(const QString& path) {
  QFile trace(path);
  if (!trace.open(QIODevice::ReadOnly)) return {};
  return QString::fromLocal8Bit(trace.readAll()).split(QLatin1Char('\n'));
}

struct TcpSocket {
  int fd;
  quint16 localPort;
  quint16 peerPort;
};

// The connected IPv4 TCP sockets this process holds.
inline std::vector<TcpSocket> ConnectedSockets() {
  std::vector<TcpSocket> sockets;
  const QStringList fds = QDir(QStringLiteral("/proc/self/fd"))
                              .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
  for (const QString& name : fds) {
    const int fd = name.toInt();
    sockaddr_in local{}, peer{};
    socklen_t localSize = sizeof local, peerSize = sizeof peer;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
        getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0 ||
        local.sin_family != AF_INET)
      continue;
    sockets.push_back({fd, ntohs(local.sin_port), ntohs(peer.sin_port)});
  }
  return sockets;
}

// A DICOM client of this process that offers verification and CR storage in explicit little
// endian, waits at most 30 seconds for anything, and can watch each piece of a data set go out.
class TestScu : public DcmSCU {
 public:
  explicit TestScu(quint16 port, const char* callingAE = "TESTSCU") : m_port(port) {
    OFLog::configure(OFLogger::WARN_LOG_LEVEL);  // not every association in the test log
    setAETitle(callingAE);
    setPeerHostName("127.0.0.1");
    setPeerPort(port);
    setPeerAETitle("VANTREL");
    setACSETimeout(30);
    setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    setDIMSETimeout(30);
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    addPresentationContext(UID_VerificationSOPClass, syntaxes);
    addPresentationContext(UID_ComputedRadiographyImageStorage, syntaxes);
  }

  // Also switches Nagle's algorithm off on this side (each request would wait for the delayed
  // acknowledgement), on the socket itself: the environment setting is the receiver's to make.
  OFCondition connect() {
    OFCondition cond = initNetwork();
    if (cond.good()) cond = negotiateAssociation();
    for (const auto& socket : ConnectedSockets()) {
      const int on = 1;
      if (socket.peerPort == m_port)
        setsockopt(socket.fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return cond;
  }
  // The C-STORE's answer: its status, or -1 when the request failed on the way.
  int store(DcmDataset& dataset) {
    dataset.updateOriginalXfer();  // one made in memory has none, and DCMTK needs it to send
    Uint16 status = 0;
    return sendSTORERequest(0, OFFilename(), &dataset, status).good() ? int(status) : -1;
  }

  // Called with the bytes of the data set sent so far, after each piece.
  std::function<void(unsigned long)> onSent;

 protected:
  void notifySENDProgress(const unsigned long byteCount) override {
    if (onSent) onSent(byteCount);
  }

 private:
  quint16 m_port;
};

// The data set of a DICOM file (meta header left out) as DCMTK writes it: in explicit little
// endian when its syntax is a native one, in its own syntax when its pixel data are
// encapsulated; with the syntax of the meta header. Empty when the file cannot be read.
struct DatasetImage {
  QByteArray bytes;
  std::string metaSyntax;
  std::string metaInstanceUid;
};

inline DatasetImage ReadDatasetImage(const QString& path) {
  DcmFileFormat file;
  if (file.loadFile(QFile::encodeName(path).constData()).bad()) return {};
  DatasetImage image;
  OFString text;
  file.getMetaInfo()->findAndGetOFString(DCM_TransferSyntaxUID, text);
  image.metaSyntax = text.c_str();
  file.getMetaInfo()->findAndGetOFString(DCM_MediaStorageSOPInstanceUID, text);
  image.metaInstanceUid = text.c_str();
  DcmDataset* dataset = file.getDataset();
  const E_TransferSyntax original = dataset->getOriginalXfer();
  const E_TransferSyntax written =
      DcmXfer(original).isEncapsulated() ? original : EXS_LittleEndianExplicit;
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("dataset"));
  if (dataset->saveFile(QFile::encodeName(out).constData(), written).bad()) return {};
  QFile saved(out);
  if (!saved.open(QIODevice::ReadOnly)) return {};
  image.bytes = saved.readAll();
  return image;
}

}  // namespace reception

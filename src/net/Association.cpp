#include "net/Association.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <dcmtk/dcmnet/dcmlayer.h>
#include <dcmtk/dcmnet/dcmtrans.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/oflog/oflog.h>

#include "app/CompanionSettings.h"

namespace {

// dcmnet's hook for the sockets it connects: each gets TCP_NODELAY before the first byte. dcmnet
// then asks for a secure handshake, which a plain connection passes as it is.
class NoDelayTransport : public DcmTransportLayer {
 public:
  DcmTransportConnection* createConnection(DcmNativeSocketType socket,
                                           OFBool /*useSecureLayer*/) override {
    const int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return new DcmTCPConnection(socket);
  }
};

}  // namespace

NetworkOptions NetworkOptions::FromSettingsFolder(const QString& settingsFolder) {
  NetworkOptions options;
  const CompanionSettings settings = CompanionSettings::Read(settingsFolder);
  if (CompanionSettings::CheckAETitle(settings.localAE).isEmpty())
    options.callingAE = settings.localAE.trimmed();
  return options;
}

QString ConditionText(const OFCondition& cond) { return QString::fromLocal8Bit(cond.text()); }

CNodeAssociation::CNodeAssociation(const DicomNode& node, const NetworkOptions& options)
    : m_transport(std::make_unique<NoDelayTransport>()) {
  // dcmnet's own log would print every refused connection on stderr.
  OFLog::configure(OFLogger::FATAL_LOG_LEVEL);
  setAETitle(options.callingAE.toStdString().c_str());
  setPeerAETitle(node.aeTitle.trimmed().toStdString().c_str());
  setPeerHostName(node.host.trimmed().toStdString().c_str());
  setPeerPort(Uint16(node.port));
  setMaxReceivePDULength(ASC_MAXIMUMPDUSIZE);
  setConnectionTimeout(options.connectTimeoutSeconds);
  setACSETimeout(Uint32(options.responseTimeoutSeconds));
  setDIMSEBlockingMode(DIMSE_NONBLOCKING);
  setDIMSETimeout(Uint32(options.responseTimeoutSeconds));
}

CNodeAssociation::~CNodeAssociation() { Close(); }

QString CNodeAssociation::Open() {
  // The transport goes onto the network initNetwork makes.
  OFCondition cond = initNetwork();
  if (cond.good()) cond = useSecureConnection(m_transport.get());
  if (cond.good()) cond = negotiateAssociation();
  if (cond.good()) return {};
  if (cond == DUL_ASSOCIATIONREJECTED)
    return QStringLiteral("the node rejected the association (check its AE title and ours)");
  if (cond == NET_EC_NoAcceptablePresentationContexts)
    return QStringLiteral("the node accepts none of the offered SOP classes");
  return ConditionText(cond);
}

void CNodeAssociation::Close() {
  if (!isConnected()) return;
  if (releaseAssociation().bad()) abortAssociation();
}

QString EchoNode(const DicomNode& node, const NetworkOptions& options) {
  CNodeAssociation association(node, options);
  OFList<OFString> syntaxes;
  syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
  syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
  association.addPresentationContext(UID_VerificationSOPClass, syntaxes);
  if (const QString problem = association.Open(); !problem.isEmpty()) return problem;
  const OFCondition cond = association.sendECHORequest(0);
  association.Close();
  return cond.good() ? QString() : ConditionText(cond);
}

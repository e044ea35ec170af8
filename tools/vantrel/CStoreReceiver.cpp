#include "CStoreReceiver.h"

#include <QDir>
#include <QFile>
#include <cstring>
#include <functional>

#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/dcmlayer.h>
#include <dcmtk/dcmnet/dcmtrans.h>
#include <dcmtk/dcmnet/diutil.h>

#include "ReceivedInstance.h"
#include "app/CompanionSettings.h"

namespace {

// While no association is open, the stop request is looked at this often.
constexpr Uint32 kAcceptPollSeconds = 1;
// A peer that sends nothing for this long inside an association (gone without a word) is
// dropped, so that it cannot hold the one-at-a-time receiver for ever.
constexpr Uint32 kIdleTimeoutSeconds = 30;
// Ours, not one of dcmnet's condition codes.
constexpr unsigned short kStopCode = 0x7fff;

// Projection radiography first, then secondary capture and the common cross-sectional and cine
// classes.
const char* const kStorageClasses[] = {
    UID_ComputedRadiographyImageStorage,
    UID_DigitalXRayImageStorageForPresentation,
    UID_DigitalXRayImageStorageForProcessing,
    UID_DigitalMammographyXRayImageStorageForPresentation,
    UID_DigitalMammographyXRayImageStorageForProcessing,
    UID_DigitalIntraOralXRayImageStorageForPresentation,
    UID_DigitalIntraOralXRayImageStorageForProcessing,
    UID_SecondaryCaptureImageStorage,
    UID_MultiframeSingleBitSecondaryCaptureImageStorage,
    UID_MultiframeGrayscaleByteSecondaryCaptureImageStorage,
    UID_MultiframeGrayscaleWordSecondaryCaptureImageStorage,
    UID_MultiframeTrueColorSecondaryCaptureImageStorage,
    UID_CTImageStorage,
    UID_EnhancedCTImageStorage,
    UID_MRImageStorage,
    UID_EnhancedMRImageStorage,
    UID_UltrasoundImageStorage,
    UID_UltrasoundMultiframeImageStorage,
    UID_XRayAngiographicImageStorage,
    UID_EnhancedXAImageStorage,
    UID_XRayRadiofluoroscopicImageStorage,
    UID_EnhancedXRFImageStorage,
    UID_NuclearMedicineImageStorage,
    UID_PositronEmissionTomographyImageStorage,
    UID_EnhancedPETImageStorage,
};

// In order of preference: where a sender offers several in one context, an uncompressed or a
// lossless one is taken before a lossy one.
const char* const kTransferSyntaxes[] = {
    UID_LittleEndianExplicitTransferSyntax,
    UID_LittleEndianImplicitTransferSyntax,
    UID_BigEndianExplicitTransferSyntax,
    UID_DeflatedExplicitVRLittleEndianTransferSyntax,
    UID_JPEGProcess14SV1TransferSyntax,
    UID_JPEGProcess14TransferSyntax,
    UID_JPEGLSLosslessTransferSyntax,
    UID_JPEG2000LosslessOnlyTransferSyntax,
    UID_RLELosslessTransferSyntax,
    UID_JPEGLSLossyTransferSyntax,
    UID_JPEG2000TransferSyntax,
    UID_JPEGProcess2_4TransferSyntax,
    UID_JPEGProcess1TransferSyntax,
};

// A plain TCP connection that waits for data a second at a time and gives up early when the
// receiver no longer wants to wait, so that a stop request ends an association idling between
// two commands at once rather than after the idle timeout. Data already there is always read.
class StoppableConnection : public DcmTCPConnection {
 public:
  StoppableConnection(DcmNativeSocketType socket, std::function<bool()> stopWaiting)
      : DcmTCPConnection(socket), m_stopWaiting(std::move(stopWaiting)) {}

  OFBool networkDataAvailable(int timeout) override {
    if (timeout <= 0) return DcmTCPConnection::networkDataAvailable(timeout);
    for (int waited = 0; waited < timeout; ++waited) {
      if (DcmTCPConnection::networkDataAvailable(1)) return OFTrue;
      if (m_stopWaiting()) return OFFalse;
    }
    return OFFalse;
  }

 private:
  std::function<bool()> m_stopWaiting;
};

// dcmnet's hook for the connections it accepts. Installing it makes dcmnet ask for a secure
// handshake, which a plain connection passes as it is. `accepted` hears of each connection.
class StoppableTransport : public DcmTransportLayer {
 public:
  StoppableTransport(std::function<bool()> stopWaiting,
                     std::function<void(DcmTransportConnection*)> accepted)
      : m_stopWaiting(std::move(stopWaiting)), m_accepted(std::move(accepted)) {}

  DcmTransportConnection* createConnection(DcmNativeSocketType socket,
                                           OFBool /*useSecureLayer*/) override {
    auto* connection = new StoppableConnection(socket, m_stopWaiting);
    m_accepted(connection);
    return connection;
  }

 private:
  std::function<bool()> m_stopWaiting;
  std::function<void(DcmTransportConnection*)> m_accepted;
};

// dcmnet's DIMSE layer stops at a data set fragment of odd length, which a sender that passes a
// stored data set of odd length on as it is sends last.
bool isOddFragment(const OFCondition& cond) {
  return cond.module() == OFM_dcmnet && cond.code() == DIMSEC_RECEIVEFAILED &&
         std::strstr(cond.text(), "Odd Fragment Length") != nullptr;
}

}  // namespace

QString ReceiverConfigFrom(const CompanionSettings& settings, ReceiverConfig* config) {
  // The key is named: the reason goes to the log of a program started without a window.
  if (const QString problem = CompanionSettings::CheckPort(settings.localPort); !problem.isEmpty())
    return QStringLiteral("LocalPort: ") + problem;
  if (const QString problem = CompanionSettings::CheckAETitle(settings.localAE); !problem.isEmpty())
    return QStringLiteral("LocalAE: ") + problem;
  config->aeTitle = settings.localAE.trimmed();
  config->port = settings.port();
  config->folder = settings.wholeSpinePath();
  config->acceptedCallingAE = settings.acceptedCallingAE;
  return {};
}

CStoreReceiver::CStoreReceiver(ReceiverConfig config)
    : m_config(std::move(config)),
      m_transport(std::make_unique<StoppableTransport>(
          [this] { return m_stop && !m_inHand; },
          [this](DcmTransportConnection* connection) { m_connection = connection; })) {
  getConfig().setTransportLayer(m_transport.get());
  setAETitle(m_config.aeTitle.toStdString().c_str());
  setPort(m_config.port);
  setMaxReceivePDULength(ASC_MAXIMUMPDUSIZE);
  setConnectionBlockingMode(DUL_NOBLOCK);
  setConnectionTimeout(kAcceptPollSeconds);
  setDIMSEBlockingMode(DIMSE_NONBLOCKING);
  setDIMSETimeout(kIdleTimeoutSeconds);
  setEnableVerification();
  OFList<OFString> syntaxes;
  for (const char* syntax : kTransferSyntaxes) syntaxes.push_back(syntax);
  for (const char* sopClass : kStorageClasses) addPresentationContext(sopClass, syntaxes);
}

CStoreReceiver::~CStoreReceiver() = default;

QString CStoreReceiver::open() {
  if (!QDir().mkpath(m_config.folder))
    return QStringLiteral("cannot create the folder %1").arg(m_config.folder);
  // dcmnet leaves Nagle's algorithm on unless this says otherwise; with it every response of a
  // C-STORE waits for the delayed acknowledgement.
  qputenv("TCP_NODELAY", "1");
  const OFCondition cond = openListenPort();
  if (cond.bad())
    return QStringLiteral("cannot receive on port %1: %2").arg(m_config.port).arg(cond.text());
  // Only after the port is ours: another receiver on the same port, and so the same folder,
  // may be writing those files.
  removePartialFiles();
  return {};
}

QString CStoreReceiver::serve() {
  const OFCondition cond = acceptAssociations();
  if (cond == NET_EC_StopAfterConnectionTimeout || cond == NET_EC_StopAfterAssociation) return {};
  return QString::fromLocal8Bit(cond.text());
}

void CStoreReceiver::requestStop() { m_stop = true; }

void CStoreReceiver::removePartialFiles() const {
  const QDir folder(m_config.folder);
  const QStringList partial = folder.entryList(
      {QLatin1String(kPartialPrefix) + QLatin1Char('*') + QLatin1String(kPartialSuffix)},
      QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& name : partial) QFile::remove(folder.filePath(name));
}

OFCondition CStoreReceiver::handleIncomingCommand(T_DIMSE_Message* incomingMsg,
                                                  const DcmPresentationContextInfo& presInfo) {
  m_inHand = true;
  OFCondition cond = incomingMsg->CommandField == DIMSE_C_STORE_RQ
                         ? storeInstance(incomingMsg->msg.CStoreRQ, presInfo.presentationContextID)
                         : DcmSCP::handleIncomingCommand(incomingMsg, presInfo);
  m_inHand = false;
  // The instance in hand is answered; a failed condition makes dcmnet abort the association.
  if (cond.good() && m_stop)
    return makeOFCondition(OFM_dcmnet, kStopCode, OF_error, "the receiver is stopping");
  return cond;
}

OFCondition CStoreReceiver::storeInstance(T_DIMSE_C_StoreRQ& request,
                                          T_ASC_PresentationContextID presId) {
  const QDir folder(m_config.folder);
  const QString uid = QString::fromLatin1(request.AffectedSOPInstanceUID);
  // Someone may have removed the folder since the last image.
  if (!folder.mkpath(QStringLiteral("."))) {
    DCMNET_ERROR("Refusing the instance " << uid.toStdString() << " (status 0xa700): cannot create "
                                          << QFile::encodeName(m_config.folder).constData());
    // The data set follows the command whatever we make of it; here it has nowhere to go.
    DcmDataset* dropped = nullptr;
    const OFCondition cond = receiveSTORERequest(request, presId, dropped);
    delete dropped;
    if (cond.bad()) return cond;
    return sendSTOREResponse(presId, request, STATUS_STORE_Refused_OutOfResources);
  }
  const QString partial =
      folder.filePath(QLatin1String(kPartialPrefix) + QString::number(++m_received) +
                      QLatin1String(kPartialSuffix));
  // It is read in full (as sent, meta header added) before the answer.
  const OFCondition cond =
      receiveSTORERequest(request, presId, OFString(QFile::encodeName(partial).constData()));
  if (cond.bad()) {
    QFile::remove(partial);
    // An odd fragment that ends the data set leaves the peer waiting for an answer, which it
    // gets; one the peer sends more after cannot be answered in step, so that ends the
    // association.
    if (!isOddFragment(cond) || m_connection->networkDataAvailable(1)) return cond;
    DCMNET_ERROR("Refusing the instance " << uid.toStdString()
                                          << " (status 0xc000): " << cond.text());
    return sendSTOREResponse(presId, request, STATUS_STORE_Error_CannotUnderstand);
  }
  InstanceCheck outcome =
      CheckReceivedInstance(partial, request.AffectedSOPClassUID, request.AffectedSOPInstanceUID);
  if (outcome.status == STATUS_Success) {
    outcome.reason = KeepDurably(partial, uid);
    if (!outcome.reason.isEmpty()) outcome.status = STATUS_STORE_Refused_OutOfResources;
  }
  if (outcome.status != STATUS_Success) {
    DCMNET_ERROR("Refusing the instance " << uid.toStdString() << " (status 0x" << std::hex
                                          << outcome.status << std::dec
                                          << "): " << outcome.reason.toStdString());
    QFile::remove(partial);
  }
  return sendSTOREResponse(presId, request, outcome.status);
}

OFBool CStoreReceiver::checkCallingAETitleAccepted(const OFString& callingAE) {
  return m_config.acceptedCallingAE.isEmpty() ||
         m_config.acceptedCallingAE.contains(QString::fromLatin1(callingAE.c_str()).trimmed());
}

OFBool CStoreReceiver::checkCalledAETitleAccepted(const OFString& calledAE) {
  return QString::fromLatin1(calledAE.c_str()).trimmed() == m_config.aeTitle;
}

OFBool CStoreReceiver::stopAfterCurrentAssociation() { return m_stop; }

OFBool CStoreReceiver::stopAfterConnectionTimeout() { return m_stop; }

#include "net/Sender.h"

#include <QFile>
#include <map>
#include <set>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcxfer.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpls/djdecode.h>
#include <dcmtk/dcmnet/diutil.h>

namespace {

// DCMTK's presentation context ids are the odd numbers 1 to 255.
constexpr std::size_t kMaxContexts = 128;

struct Header {
  std::string sopClass;
  std::string syntax;
};

// The SOP class and the transfer syntax of a file, from its meta header (the whole file only
// when it has none). Empty when it cannot be read.
Header readHeader(const QString& path) {
  DcmFileFormat file;
  const QByteArray name = QFile::encodeName(path);
  Header header;
  if (file.loadFile(name.constData(), EXS_Unknown, EGL_noChange, DCM_MaxReadLength, ERM_metaOnly)
          .good()) {
    OFString text;
    if (file.getMetaInfo()->findAndGetOFString(DCM_MediaStorageSOPClassUID, text).good())
      header.sopClass = text.c_str();
    if (file.getMetaInfo()->findAndGetOFString(DCM_TransferSyntaxUID, text).good())
      header.syntax = text.c_str();
  }
  if (!header.sopClass.empty() && !header.syntax.empty()) return header;
  DcmFileFormat whole;
  if (whole.loadFile(name.constData()).bad()) return {};
  OFString text;
  whole.getDataset()->findAndGetOFString(DCM_SOPClassUID, text);
  header.sopClass = text.c_str();
  header.syntax = DcmXfer(whole.getDataset()->getOriginalXfer()).getXferID();
  return header;
}

void registerDecoders() {
  static const bool registered = [] {
    DJDecoderRegistration::registerCodecs();
    DJLSDecoderRegistration::registerCodecs();
    DcmRLEDecoderRegistration::registerCodecs();
    return true;
  }();
  (void)registered;
}

}  // namespace

bool StoreSucceeded(unsigned short status) {
  // 0xB000, 0xB006, 0xB007 and the other Bxxx codes are warnings: the image is stored.
  return status == STATUS_Success || (status & 0xF000) == 0xB000;
}

CImageSender::CImageSender(const DicomNode& node, const NetworkOptions& options)
    : m_node(node), m_options(options) {}

SendOutcome CImageSender::Send(const QList<SendImage>& images) {
  registerDecoders();
  SendOutcome outcome;
  CNodeAssociation association(m_node, m_options);
  association.setDatasetConversionMode(OFTrue);
  // One context a class and stored syntax, and one a class offering the uncompressed syntaxes
  // an image is converted to when its own is refused.
  std::vector<Header> headers;
  std::set<std::pair<std::string, std::string>> offered;
  const std::string explicitLE = UID_LittleEndianExplicitTransferSyntax;
  const std::string implicitLE = UID_LittleEndianImplicitTransferSyntax;
  for (const SendImage& image : images) {
    headers.push_back(readHeader(image.path));
    const Header& header = headers.back();
    if (header.sopClass.empty()) continue;
    for (const std::string& syntax : {header.syntax, std::string()}) {
      if (offered.size() >= kMaxContexts || !offered.insert({header.sopClass, syntax}).second)
        continue;
      OFList<OFString> syntaxes;
      if (syntax.empty()) {
        syntaxes.push_back(explicitLE.c_str());
        syntaxes.push_back(implicitLE.c_str());
      } else {
        syntaxes.push_back(syntax.c_str());
      }
      association.addPresentationContext(header.sopClass.c_str(), syntaxes);
    }
  }
  const auto failed = [&outcome](const QString& error) {
    if (outcome.error.isEmpty()) outcome.error = error;
  };
  if (offered.empty()) {
    failed(QStringLiteral("none of the images can be read"));
    return outcome;
  }
  if (const QString problem = association.Open(); !problem.isEmpty()) {
    failed(problem);
    return outcome;
  }
  outcome.reached = true;
  for (std::size_t i = 0; i < std::size_t(images.size()); ++i) {
    const SendImage& image = images[qsizetype(i)];
    const Header& header = headers[i];
    bool arrived = false;
    bool goOn = true;
    T_ASC_PresentationContextID context = 0;
    if (!header.sopClass.empty()) {
      context =
          association.findPresentationContextID(header.sopClass.c_str(), header.syntax.c_str());
      for (const std::string& syntax : {explicitLE, implicitLE}) {
        if (!context)
          context = association.findPresentationContextID(header.sopClass.c_str(), syntax.c_str());
      }
    }
    DcmFileFormat file;
    if (header.sopClass.empty() || file.loadFile(QFile::encodeName(image.path).constData()).bad()) {
      failed(QStringLiteral("%1: cannot be read").arg(image.path));
    } else if (!context) {
      failed(QStringLiteral("%1: the node accepts no transfer syntax we can send it in")
                 .arg(image.path));
    } else {
      Uint16 status = 0;
      const OFCondition cond =
          association.sendSTORERequest(context, OFFilename(), file.getDataset(), status);
      if (cond.bad()) {
        failed(QStringLiteral("%1: %2").arg(image.path, ConditionText(cond)));
        // Whatever broke the request (a conversion, the connection) ends this association.
        goOn = association.isConnected();
      } else if (StoreSucceeded(status)) {
        arrived = true;
        outcome.sent.append(image.seq);
      } else {
        failed(QStringLiteral("the node refused %1 with status 0x%2 (%3)")
                   .arg(image.uid)
                   .arg(status, 4, 16, QLatin1Char('0'))
                   .arg(QString::fromLatin1(DU_cstoreStatusString(status))));
      }
    }
    if (onImage && !onImage(image, arrived)) goOn = false;
    if (!goOn) break;
  }
  association.Close();
  return outcome;
}

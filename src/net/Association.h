#pragma once

// Association set-up towards a node: the calling AE title (the station's, Vantrel.ini LocalAE),
// Nagle's algorithm off on the socket, and timeouts on the connect and on every answer, so that
// a node that is gone or silent never holds a sender for ever.

#include <QString>
#include <memory>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/scu.h>

#include "net/DicomNodes.h"

class DcmTransportLayer;

struct NetworkOptions {
  QString callingAE = QStringLiteral("VANTREL");
  int connectTimeoutSeconds = 10;
  int responseTimeoutSeconds = 30;

  // The station's own AE title from the companion's settings in settingsFolder (LocalAE).
  static NetworkOptions FromSettingsFolder(const QString& settingsFolder);
};

// One association to a node, on DCMTK's client. Every socket it opens has TCP_NODELAY: without
// it each C-STORE's answer waits for the delayed acknowledgement (about 88 ms here).
class CNodeAssociation : public DcmSCU {
 public:
  CNodeAssociation(const DicomNode& node, const NetworkOptions& options);
  ~CNodeAssociation() override;

  // Connects and negotiates the contexts added before; empty on success, else the reason.
  QString Open();
  // Releases an open association (aborts it when the release fails).
  void Close();

 private:
  std::unique_ptr<DcmTransportLayer> m_transport;
};

// A C-ECHO to the node: empty when it answered with success, else the reason.
QString EchoNode(const DicomNode& node, const NetworkOptions& options);

// A DCMTK condition in words.
QString ConditionText(const OFCondition& cond);

#pragma once

// The companion's DICOM storage receiver: answers C-ECHO and takes C-STORE requests for the
// image storage classes, writing each instance into the drop folder the viewer watches.
//
// An instance is received straight into a partial file (".vantrel-N.part", hidden from the
// watcher) and renamed to "<SOP Instance UID>.dcm" only when it is complete, checked and on the
// disk, so the importer never sees half a file and Success is only ever answered for an image
// that is stored. Associations are served one after the other.

#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/scp.h>

class DcmTransportConnection;
class DcmTransportLayer;
struct CompanionSettings;

struct ReceiverConfig {
  QString aeTitle;
  quint16 port = 0;
  QString folder;                 // the drop folder
  QStringList acceptedCallingAE;  // empty: every caller
};

// The receiver's configuration from the companion's settings; the reason, after the name of the
// key at fault, when they cannot serve (the checks of CompanionSettings).
QString ReceiverConfigFrom(const CompanionSettings& settings, ReceiverConfig* config);

class CStoreReceiver : private DcmSCP {
 public:
  explicit CStoreReceiver(ReceiverConfig config);
  ~CStoreReceiver() override;

  // Creates the drop folder, removes partial files an interrupted run left there and opens the
  // port. Empty on success, else the reason.
  QString open();
  // Serves associations until requestStop(); empty when it stopped as asked, else the reason.
  QString serve();
  // From any thread: the instance being received is finished and answered, then the
  // association is aborted (a receiver cannot ask for a release) and serve() returns, within a
  // second when no instance is in hand.
  void requestStop();

  const ReceiverConfig& config() const { return m_config; }

  static constexpr const char* kPartialPrefix = ".vantrel-";
  static constexpr const char* kPartialSuffix = ".part";

 private:
  OFCondition handleIncomingCommand(T_DIMSE_Message* incomingMsg,
                                    const DcmPresentationContextInfo& presInfo) override;
  OFBool checkCalledAETitleAccepted(const OFString& calledAE) override;
  OFBool checkCallingAETitleAccepted(const OFString& callingAE) override;
  OFBool stopAfterCurrentAssociation() override;
  OFBool stopAfterConnectionTimeout() override;

  OFCondition storeInstance(T_DIMSE_C_StoreRQ& request, T_ASC_PresentationContextID presId);
  void removePartialFiles() const;

  ReceiverConfig m_config;
  std::unique_ptr<DcmTransportLayer> m_transport;
  DcmTransportConnection* m_connection = nullptr;  // the association's, owned by dcmnet
  std::atomic<bool> m_stop{false};
  bool m_inHand = false;  // a command is being served (its data set read, its answer sent)
  quint64 m_received = 0;
};

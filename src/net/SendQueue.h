#pragma once

// The send queue in the image database: a job is a node and the images to send to it, written
// in one transaction, so that a job survives a crash or a restart. Tables SendJob and SendImage
// are made on first use by one text both engines take.
//
// A job is "queued" (waiting, due at NextTry), "sending" (a worker holds it: Owner), "done"
// (every image got a success or warning status) or "failed" (its tries used up; LastError says
// why). An image is marked sent only after the node's answer, so a worker that dies sends the
// rest, and maybe a few again, when the job is taken up next: never none.

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class CDaoDatabase;

struct SendJob {
  long id = 0;
  QString node;
  QString state;
  int tries = 0;
  QString lastError;
  QString created;
  QString updated;
  QString nextTry;
  int images = 0;
  int sent = 0;

  QJsonObject toJson() const;
};

struct SendImage {
  int seq = 0;
  QString path;
  QString uid;
};

// How often and after what pauses a job is tried again.
struct RetryPolicy {
  int maxTries = 10;
  int firstPauseSeconds = 10;
  int longestPauseSeconds = 900;
  // Whether a try that never reached the node counts towards maxTries. The queue of a station
  // waits for a node that is down (its images go out when it is back); a foreground send gives
  // up.
  bool unreachableCounts = false;

  // The pause after the given number of tries: doubling from the first, up to the longest.
  int pauseSeconds(int tries) const;
};

// The images a send selects: by patient ID, study (Study Instance UID, or its StuSeq), series
// (SerSeq) or SOP Instance UID.
struct SendSelection {
  QStringList patients;
  QStringList studies;
  QStringList series;
  QStringList images;
};

class CSendQueue {
 public:
  static constexpr const char* kQueued = "queued";
  static constexpr const char* kSending = "sending";
  static constexpr const char* kDone = "done";
  static constexpr const char* kFailed = "failed";

  explicit CSendQueue(CDaoDatabase& database);

  // The indexed images of the selection, each once, in series and image order.
  QList<SendImage> Select(const SendSelection& selection);
  // Queues a job of the images for node in one transaction; its id, 0 on failure (the reason
  // in LastError()).
  long Enqueue(const QString& node, const QList<SendImage>& images);
  // The same inside the caller's writing transaction (an import's: the image's rows and its
  // forwarding commit together).
  long EnqueueWithin(const QString& node, const QList<SendImage>& images);

  QList<SendJob> Jobs();
  std::optional<SendJob> Job(long id);
  // The job's images that have no success yet.
  QList<SendImage> Unsent(long id);

  // Takes the first due job (only `onlyJob` when not 0) that no living worker holds, for
  // owner. A job left "sending" by a worker that died is taken up again.
  std::optional<SendJob> Claim(const QString& owner, long onlyJob = 0);
  // Records the images' successes (one transaction).
  bool MarkSent(long id, const QList<int>& seqs);
  // Ends a try: done when nothing is left unsent, else queued again after the policy's pause,
  // or failed with error once the tries are used up (`counts`: whether this try counts).
  bool EndTry(long id, const QString& error, const RetryPolicy& policy, bool counts);
  // A failed job queued again with its tries reset; false for another state.
  bool Retry(long id);
  bool Remove(long id);
  // The jobs of a node that was renamed (inside the caller's transaction).
  bool RenameNode(const QString& from, const QString& to);
  // Milliseconds until the next queued job is due (0: one is), -1 when none is queued.
  qint64 MsUntilDue();

  // "host:pid" of this process: a worker's name in Owner.
  static QString ProcessOwner();
  const QString& LastError() const { return m_lastError; }

 private:
  bool ensureTables();
  bool fail(const QString& error);
  static QString now(qint64 laterSeconds = 0);

  CDaoDatabase& m_db;
  bool m_ready = false;
  QString m_lastError;
};

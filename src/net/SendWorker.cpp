#include "net/SendWorker.h"

#include <QElapsedTimer>

#include "net/DicomNodes.h"
#include "net/Sender.h"

namespace {

// Successes are written this often (and at the end of a try): a commit per image would cost
// the small images more than their transfer, and a crash sends at most these again.
constexpr qint64 kRecordEveryMs = 250;

}  // namespace

CSendWorker::CSendWorker(CDaoDatabase& database, NetworkOptions network, RetryPolicy retry)
    : m_db(database),
      m_queue(database),
      m_network(std::move(network)),
      m_retry(retry),
      m_owner(CSendQueue::ProcessOwner()) {}

std::optional<SendJob> CSendWorker::WorkOne(long onlyJob) {
  std::optional<SendJob> job = m_queue.Claim(m_owner, onlyJob);
  if (!job) return std::nullopt;
  const std::optional<DicomNode> node = CDicomNodes(m_db).Find(job->node);
  if (!node) {
    m_queue.EndTry(job->id, QStringLiteral("there is no node \"%1\"").arg(job->node), m_retry,
                   true);
    return m_queue.Job(job->id);
  }
  QList<int> unrecorded;
  QElapsedTimer sinceRecord;
  sinceRecord.start();
  const auto record = [&] {
    if (m_queue.MarkSent(job->id, unrecorded)) job->sent += int(unrecorded.size());
    unrecorded.clear();
    sinceRecord.restart();
  };
  CImageSender sender(*node, m_network);
  sender.onImage = [&](const SendImage& image, bool arrived) {
    if (arrived) unrecorded.append(image.seq);
    if (sinceRecord.elapsed() >= kRecordEveryMs) record();
    if (onProgress) {
      SendJob shown = *job;
      shown.sent += int(unrecorded.size());
      onProgress(shown);
    }
    return !(stopRequested && stopRequested());
  };
  const QList<SendImage> unsent = m_queue.Unsent(job->id);
  // Every image may have gone before a crash took the worker that sent them.
  const SendOutcome outcome = unsent.isEmpty() ? SendOutcome{true, {}, {}} : sender.Send(unsent);
  record();
  m_queue.EndTry(job->id, outcome.error, m_retry, outcome.reached || m_retry.unreachableCounts);
  return m_queue.Job(job->id);
}

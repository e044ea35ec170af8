#pragma once

// Works the send queue: takes a due job, sends its unsent images to its node in one
// association, records each success as it comes (a few at a time) and ends the try. The
// command-line tool runs it in the foreground, the viewer on a worker thread; each worker has
// its own connection to the image database.

#include <QString>
#include <functional>

#include "net/Association.h"
#include "net/SendQueue.h"

class CDaoDatabase;

class CSendWorker {
 public:
  CSendWorker(CDaoDatabase& database, NetworkOptions network, RetryPolicy retry);

  // After every image of a job: the job as it stands (sent counted so far).
  std::function<void(const SendJob&)> onProgress;
  // Asked between images: true stops the try (its images so far are recorded).
  std::function<bool()> stopRequested;

  // Works one due job (only `onlyJob` when not 0); the job after the try, none when no job
  // was due.
  std::optional<SendJob> WorkOne(long onlyJob = 0);
  CSendQueue& queue() { return m_queue; }

 private:
  CDaoDatabase& m_db;
  CSendQueue m_queue;
  NetworkOptions m_network;
  RetryPolicy m_retry;
  QString m_owner;
};

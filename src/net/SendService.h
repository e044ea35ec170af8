#pragma once

// The send queue worked off the user-interface thread: worker threads of their own, each with
// its own connection to the image database, take jobs as they fall due (several jobs to
// different nodes at once) and report every change of a job as a signal, delivered in the
// thread of the object that listens (the viewer's windows in the user-interface thread).

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <vector>

#include "net/Association.h"
#include "net/SendQueue.h"

class QThread;

class CSendService : public QObject {
  Q_OBJECT

 public:
  // location: the image database (file or server URL).
  CSendService(QString location, NetworkOptions network, RetryPolicy retry, int workers = 2,
               QObject* parent = nullptr);
  ~CSendService() override;

  // Starts the workers; they wake at once when Wake() is called (a job was queued) and else
  // look at the queue every second.
  void Start();
  // Asks the workers to stop after the image in hand and waits for them.
  void Stop();
  void Wake() { m_wake = true; }

 signals:
  // A job after an image or at the end of a try.
  void jobChanged(const SendJob& job);

 private:
  void work();

  QString m_location;
  NetworkOptions m_network;
  RetryPolicy m_retry;
  int m_workerCount;
  std::vector<std::unique_ptr<QThread>> m_threads;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_wake{false};
};

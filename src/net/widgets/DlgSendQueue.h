#pragma once

// The "Send Queue" window: the jobs of the send queue with a progress bar each, kept current by
// the sender's signals; failed jobs can be tried again or removed.

#include <QDialog>
#include <memory>

#include "db/DaoDatabase.h"
#include "net/SendQueue.h"

class QPushButton;
class QTableWidget;

class CDlgSendQueue : public QDialog {
  Q_OBJECT

 public:
  enum Column { kJob, kNode, kProgress, kState, kError, kColumns };

  // location: the image database, read through a connection of the window's own.
  CDlgSendQueue(const QString& location, QWidget* parent = nullptr);

  // Lists every job again.
  void Refresh();
  // A job's row brought up to date (appended when new).
  void OnJobChanged(const SendJob& job);
  // The selected failed jobs queued again / removed.
  void OnRetry();
  void OnRemove();

  QTableWidget* table() const { return m_table; }
  // The job in a row, its progress in percent.
  long JobAt(int row) const;
  int ProgressAt(int row) const;

 signals:
  // A job was queued again: the sender may start at once.
  void retried();

 private:
  int rowOf(long id) const;
  QList<long> selectedJobs() const;

  CDaoDatabase m_db;
  std::unique_ptr<CSendQueue> m_queue;
  QTableWidget* m_table = nullptr;
  QPushButton* m_retry = nullptr;
  QPushButton* m_remove = nullptr;
};

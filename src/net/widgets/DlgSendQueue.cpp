#include "net/widgets/DlgSendQueue.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

#include "ui/MessageSink.h"

CDlgSendQueue::CDlgSendQueue(const QString& location, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Send Queue"));
  setObjectName(QStringLiteral("sendQueue"));
  QString error;
  if (m_db.Open(location, &error)) m_queue = std::make_unique<CSendQueue>(m_db);
  m_table = new QTableWidget(0, kColumns, this);
  m_table->setObjectName(QStringLiteral("sendQueueJobs"));
  m_table->setHorizontalHeaderLabels({QStringLiteral("Job"), QStringLiteral("Node"),
                                      QStringLiteral("Progress"), QStringLiteral("State"),
                                      QStringLiteral("Last error")});
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->verticalHeader()->hide();
  m_table->horizontalHeader()->setStretchLastSection(true);
  m_retry = new QPushButton(QStringLiteral("Retry"), this);
  m_remove = new QPushButton(QStringLiteral("Remove"), this);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  connect(m_retry, &QPushButton::clicked, this, &CDlgSendQueue::OnRetry);
  connect(m_remove, &QPushButton::clicked, this, &CDlgSendQueue::OnRemove);
  connect(close, &QPushButton::clicked, this, &QDialog::hide);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_retry);
  buttons->addWidget(m_remove);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_table);
  layout->addLayout(buttons);
  resize(720, 360);
  if (!m_queue) ShowMessage(error, QStringLiteral("Send Queue"), MB_ICONEXCLAMATION);
  Refresh();
}

void CDlgSendQueue::Refresh() {
  m_table->setRowCount(0);
  if (!m_queue) return;
  for (const SendJob& job : m_queue->Jobs()) OnJobChanged(job);
}

int CDlgSendQueue::rowOf(long id) const {
  for (int row = 0; row < m_table->rowCount(); ++row) {
    if (JobAt(row) == id) return row;
  }
  return -1;
}

long CDlgSendQueue::JobAt(int row) const {
  const QTableWidgetItem* item = m_table->item(row, kJob);
  return item ? item->text().toLong() : 0;
}

int CDlgSendQueue::ProgressAt(int row) const {
  const auto* bar = qobject_cast<QProgressBar*>(m_table->cellWidget(row, kProgress));
  return bar ? bar->value() : 0;
}

void CDlgSendQueue::OnJobChanged(const SendJob& job) {
  int row = rowOf(job.id);
  if (row < 0) {
    row = m_table->rowCount();
    m_table->insertRow(row);
    for (int column = 0; column < kColumns; ++column)
      m_table->setItem(row, column, new QTableWidgetItem);
    auto* bar = new QProgressBar(m_table);
    bar->setRange(0, 100);
    m_table->setCellWidget(row, kProgress, bar);
  }
  m_table->item(row, kJob)->setText(QString::number(job.id));
  m_table->item(row, kNode)->setText(job.node);
  m_table->item(row, kState)->setText(job.state);
  m_table->item(row, kError)->setText(job.lastError);
  auto* bar = qobject_cast<QProgressBar*>(m_table->cellWidget(row, kProgress));
  bar->setValue(job.images > 0 ? job.sent * 100 / job.images : 0);
  bar->setFormat(QStringLiteral("%1 / %2").arg(job.sent).arg(job.images));
}

QList<long> CDlgSendQueue::selectedJobs() const {
  std::set<int> rows;
  for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
    rows.insert(index.row());
  QList<long> jobs;
  for (const int row : rows) jobs.append(JobAt(row));
  return jobs;
}

void CDlgSendQueue::OnRetry() {
  if (!m_queue) return;
  bool any = false;
  for (const long id : selectedJobs()) any = m_queue->Retry(id) || any;
  Refresh();
  if (any) emit retried();
}

void CDlgSendQueue::OnRemove() {
  if (!m_queue) return;
  // Only a failed job: one being sent belongs to its worker, a done one stays as a record.
  for (const long id : selectedJobs()) {
    const std::optional<SendJob> job = m_queue->Job(id);
    if (job && job->state == QLatin1String(CSendQueue::kFailed)) m_queue->Remove(id);
  }
  Refresh();
}

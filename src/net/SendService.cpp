#include "net/SendService.h"

#include <QThread>

#include "db/DaoDatabase.h"
#include "net/SendWorker.h"

namespace {

constexpr int kIdlePollMs = 1000;
constexpr int kNapMs = 50;

}  // namespace

CSendService::CSendService(QString location, NetworkOptions network, RetryPolicy retry, int workers,
                           QObject* parent)
    : QObject(parent),
      m_location(std::move(location)),
      m_network(std::move(network)),
      m_retry(retry),
      m_workerCount(std::max(workers, 1)) {
  qRegisterMetaType<SendJob>("SendJob");
}

CSendService::~CSendService() { Stop(); }

void CSendService::Start() {
  if (!m_threads.empty()) return;
  m_stop = false;
  for (int i = 0; i < m_workerCount; ++i) {
    m_threads.emplace_back(QThread::create([this] { work(); }));
    m_threads.back()->start();
  }
}

void CSendService::Stop() {
  m_stop = true;
  for (auto& thread : m_threads) thread->wait();
  m_threads.clear();
}

void CSendService::work() {
  CDaoDatabase database;
  if (!database.Open(m_location)) return;
  CSendWorker worker(database, m_network, m_retry);
  worker.stopRequested = [this] { return bool(m_stop); };
  worker.onProgress = [this](const SendJob& job) { emit jobChanged(job); };
  while (!m_stop) {
    if (const std::optional<SendJob> job = worker.WorkOne()) {
      emit jobChanged(*job);
      continue;
    }
    for (int slept = 0; slept < kIdlePollMs && !m_stop && !m_wake; slept += kNapMs)
      QThread::msleep(kNapMs);
    m_wake = false;
  }
}

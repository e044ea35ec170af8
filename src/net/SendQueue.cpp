#include "net/SendQueue.h"

#include <unistd.h>
#include <QSet>
#include <QSysInfo>
#include <algorithm>
#include <cerrno>
#include <csignal>

#include "db/DaoDatabase.h"
#include "db/DbDatabase.h"

namespace {

constexpr const char* kTimeFormat = "yyyy-MM-dd hh:mm:ss";
// A job held by a worker on another host whose row has not changed for this long is taken to
// be abandoned (its host cannot be asked whether the worker lives).
constexpr qint64 kForeignLeaseSeconds = 600;

const QString kJobColumns = QStringLiteral(
    "JobId, NodeName, State, Tries, LastError, Created, Updated, NextTry, ImageCount, SentCount");

SendJob rowJob(const CdbDatabase& rows) {
  const auto value = [&rows](const char* column) {
    return rows.GetFieldValue(QLatin1String(column));
  };
  SendJob job;
  job.id = value("JobId").toLongLong();
  job.node = value("NodeName").toString();
  job.state = value("State").toString();
  job.tries = value("Tries").toInt();
  job.lastError = value("LastError").toString();
  job.created = value("Created").toString();
  job.updated = value("Updated").toString();
  job.nextTry = value("NextTry").toString();
  job.images = value("ImageCount").toInt();
  job.sent = value("SentCount").toInt();
  return job;
}

bool isNumber(const QString& text) {
  bool ok = false;
  return text.toLong(&ok) > 0 && ok;
}

// Whether the worker named owner ("host:pid") may still be at work.
bool ownerAlive(const QString& owner, const QString& updated, const QString& now) {
  const qsizetype colon = owner.lastIndexOf(QLatin1Char(':'));
  if (owner.left(colon) != QSysInfo::machineHostName()) {
    const QDateTime last = QDateTime::fromString(updated, QLatin1String(kTimeFormat));
    return last.secsTo(QDateTime::fromString(now, QLatin1String(kTimeFormat))) <
           kForeignLeaseSeconds;
  }
  const pid_t pid = pid_t(owner.mid(colon + 1).toLong());
  return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

}  // namespace

QJsonObject SendJob::toJson() const {
  return {{QStringLiteral("job"), qint64(id)},      {QStringLiteral("node"), node},
          {QStringLiteral("state"), state},         {QStringLiteral("tries"), tries},
          {QStringLiteral("images"), images},       {QStringLiteral("sent"), sent},
          {QStringLiteral("lastError"), lastError}, {QStringLiteral("created"), created},
          {QStringLiteral("updated"), updated}};
}

int RetryPolicy::pauseSeconds(int tries) const {
  qint64 pause = std::max(firstPauseSeconds, 0);
  for (int i = 1; i < tries && pause < longestPauseSeconds; ++i) pause *= 2;
  return int(std::min<qint64>(pause, longestPauseSeconds));
}

CSendQueue::CSendQueue(CDaoDatabase& database) : m_db(database) {}

QString CSendQueue::ProcessOwner() {
  return QStringLiteral("%1:%2").arg(QSysInfo::machineHostName()).arg(::getpid());
}

QString CSendQueue::now(qint64 laterSeconds) {
  return QDateTime::currentDateTimeUtc().addSecs(laterSeconds).toString(QLatin1String(kTimeFormat));
}

bool CSendQueue::fail(const QString& error) {
  m_lastError = error.isEmpty() ? m_db.LastError() : error;
  return false;
}

bool CSendQueue::ensureTables() {
  // Archives older than the queue get its tables on first use; both engines take this text.
  if (m_ready) return true;
  CdbDatabase db(&m_db);
  m_ready =
      db.Execute(QStringLiteral(
          "CREATE TABLE IF NOT EXISTS SendJob (JobId integer NOT NULL PRIMARY KEY, NodeName text "
          "NOT NULL, State text NOT NULL, Tries integer NOT NULL DEFAULT 0, LastError text NOT "
          "NULL DEFAULT '', Created text NOT NULL, Updated text NOT NULL, NextTry text NOT NULL, "
          "Owner text NOT NULL DEFAULT '', ImageCount integer NOT NULL, SentCount integer NOT "
          "NULL DEFAULT 0)")) &&
      db.Execute(QStringLiteral(
          "CREATE TABLE IF NOT EXISTS SendImage (JobId integer NOT NULL, Seq integer NOT NULL, "
          "Path text NOT NULL, SOPInstanceUID text NOT NULL, Sent integer NOT NULL DEFAULT 0, "
          "PRIMARY KEY (JobId, Seq))"));
  if (!m_ready) fail({});
  return m_ready;
}

QList<SendImage> CSendQueue::Select(const SendSelection& selection) {
  QList<SendImage> images;
  QSet<qint64> seen;
  const QString columns = QStringLiteral(
      "SELECT i.ImgSeq, i.FullPath, i.SOPInstanceUID FROM ImgInfo i JOIN SerInfo s ON "
      "i.SerSeq = s.SerSeq ");
  const auto add = [&](const QString& where, const QString& value) {
    CdbDatabase rows(&m_db);
    if (!rows.Open(CGMDaoRecordset::dbOpenSnapshot,
                   columns + where + QStringLiteral(" ORDER BY i.SerSeq, i.ImageNo, i.ImgSeq"),
                   {value}))
      return fail({});
    for (; !rows.IsEOF(); rows.MoveNext()) {
      const qint64 key = rows.GetFieldValue(QStringLiteral("ImgSeq")).toLongLong();
      if (seen.contains(key)) continue;
      seen.insert(key);
      images.append({int(images.size()) + 1,
                     rows.GetFieldValue(QStringLiteral("FullPath")).toString(),
                     rows.GetFieldValue(QStringLiteral("SOPInstanceUID")).toString()});
    }
    return true;
  };
  for (const QString& id : selection.patients) add(QStringLiteral("WHERE s.PatID = ?"), id);
  for (const QString& study : selection.studies) {
    if (isNumber(study)) {
      add(QStringLiteral("WHERE s.StuSeq = ?"), study);
    } else {
      add(QStringLiteral("JOIN StuInfo t ON s.StuSeq = t.StuSeq WHERE t.StuInstanceUID = ?"),
          study);
    }
  }
  for (const QString& series : selection.series) add(QStringLiteral("WHERE i.SerSeq = ?"), series);
  for (const QString& uid : selection.images)
    add(QStringLiteral("WHERE i.SOPInstanceUID = ?"), uid);
  return images;
}

long CSendQueue::Enqueue(const QString& node, const QList<SendImage>& images) {
  if (!ensureTables()) return 0;
  if (images.isEmpty()) return fail(QStringLiteral("no images to send")), 0;
  if (!m_db.BeginTrans()) return fail({}), 0;
  const long id = EnqueueWithin(node, images);
  if (id && m_db.CommitTrans()) return id;
  fail({});
  m_db.Rollback();
  return 0;
}

long CSendQueue::EnqueueWithin(const QString& node, const QList<SendImage>& images) {
  if (!ensureTables()) return 0;
  if (images.isEmpty()) return fail(QStringLiteral("no images to send")), 0;
  // The writing transaction holds the engine's write lock, so the next key is ours alone.
  CdbDatabase rows(&m_db);
  long id = 0;
  if (rows.Open(CGMDaoRecordset::dbOpenSnapshot,
                QStringLiteral("SELECT COALESCE(MAX(JobId), 0) + 1 AS NextId FROM SendJob")) &&
      !rows.IsEOF())
    id = rows.GetFieldValue(QStringLiteral("NextId")).toLongLong();
  rows.Close();
  const QString time = now();
  bool ok = id > 0 &&
            CdbDatabase(&m_db).Execute(
                QStringLiteral("INSERT INTO SendJob (JobId, NodeName, State, Created, "
                               "Updated, NextTry, ImageCount) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                {qint64(id), node, QLatin1String(kQueued), time, time, time, int(images.size())});
  CdbDatabase insert(&m_db);
  for (qsizetype i = 0; ok && i < images.size(); ++i) {
    ok = insert.Execute(QStringLiteral("INSERT INTO SendImage (JobId, Seq, Path, SOPInstanceUID) "
                                       "VALUES (?, ?, ?, ?)"),
                        {qint64(id), int(i) + 1, images[i].path, images[i].uid});
  }
  if (ok) return id;
  fail({});
  return 0;
}

QList<SendJob> CSendQueue::Jobs() {
  QList<SendJob> jobs;
  if (!ensureTables()) return jobs;
  CdbDatabase rows(&m_db);
  if (!rows.Open(CGMDaoRecordset::dbOpenSnapshot,
                 QStringLiteral("SELECT %1 FROM SendJob ORDER BY JobId").arg(kJobColumns)))
    return fail({}), jobs;
  for (; !rows.IsEOF(); rows.MoveNext()) jobs.append(rowJob(rows));
  return jobs;
}

std::optional<SendJob> CSendQueue::Job(long id) {
  if (!ensureTables()) return std::nullopt;
  CdbDatabase rows(&m_db);
  if (!rows.Open(CGMDaoRecordset::dbOpenSnapshot,
                 QStringLiteral("SELECT %1 FROM SendJob WHERE JobId = ?").arg(kJobColumns),
                 {qint64(id)}) ||
      rows.IsEOF())
    return std::nullopt;
  return rowJob(rows);
}

QList<SendImage> CSendQueue::Unsent(long id) {
  QList<SendImage> images;
  CdbDatabase rows(&m_db);
  if (!ensureTables() ||
      !rows.Open(CGMDaoRecordset::dbOpenSnapshot,
                 QStringLiteral("SELECT Seq, Path, SOPInstanceUID FROM SendImage WHERE JobId = ? "
                                "AND Sent = 0 ORDER BY Seq"),
                 {qint64(id)}))
    return images;
  for (; !rows.IsEOF(); rows.MoveNext()) {
    images.append({rows.GetFieldValue(QStringLiteral("Seq")).toInt(),
                   rows.GetFieldValue(QStringLiteral("Path")).toString(),
                   rows.GetFieldValue(QStringLiteral("SOPInstanceUID")).toString()});
  }
  return images;
}

std::optional<SendJob> CSendQueue::Claim(const QString& owner, long onlyJob) {
  const QString time = now();
  QString sql = QStringLiteral(
                    "SELECT %1, Owner FROM SendJob WHERE (State = ? OR State = ?) AND NextTry <= ?")
                    .arg(kJobColumns);
  QVariantList values{QLatin1String(kQueued), QLatin1String(kSending), time};
  if (onlyJob) {
    sql += QStringLiteral(" AND JobId = ?");
    values.append(qint64(onlyJob));
  }
  {
    // A look without the write lock first, quiet while the archive has no queue yet: an idle
    // worker looks every second and must neither hold up writers nor raise messages.
    CdbDatabase probe(&m_db);
    probe.SetQuiet(true);
    if (!probe.Open(CGMDaoRecordset::dbOpenSnapshot, sql, values) || probe.IsEOF())
      return std::nullopt;
  }
  if (!ensureTables() || !m_db.BeginTrans()) return std::nullopt;
  CdbDatabase rows(&m_db);
  std::optional<SendJob> claimed;
  if (rows.Open(CGMDaoRecordset::dbOpenSnapshot, sql + QStringLiteral(" ORDER BY JobId"), values)) {
    for (; !rows.IsEOF() && !claimed; rows.MoveNext()) {
      const SendJob job = rowJob(rows);
      if (job.state == QLatin1String(kSending) &&
          ownerAlive(rows.GetFieldValue(QStringLiteral("Owner")).toString(), job.updated, time))
        continue;
      claimed = job;
    }
  }
  rows.Close();
  if (claimed) {
    claimed->state = QLatin1String(kSending);
    if (!CdbDatabase(&m_db).Execute(
            QStringLiteral("UPDATE SendJob SET State = ?, Owner = ?, Updated = ? WHERE JobId = ?"),
            {claimed->state, owner, time, qint64(claimed->id)}))
      claimed.reset();
  }
  if (!m_db.CommitTrans()) {
    m_db.Rollback();
    return std::nullopt;
  }
  return claimed;
}

bool CSendQueue::MarkSent(long id, const QList<int>& seqs) {
  if (seqs.isEmpty()) return true;
  if (!m_db.BeginTrans()) return fail({});
  CdbDatabase db(&m_db);
  bool ok = true;
  for (const int seq : seqs) {
    ok = ok &&
         db.Execute(QStringLiteral("UPDATE SendImage SET Sent = 1 WHERE JobId = ? AND Seq = ?"),
                    {qint64(id), seq});
  }
  ok = ok && db.Execute(QStringLiteral("UPDATE SendJob SET SentCount = (SELECT COUNT(*) FROM "
                                       "SendImage WHERE JobId = ? AND Sent = 1), Updated = ? "
                                       "WHERE JobId = ?"),
                        {qint64(id), now(), qint64(id)});
  if (ok && m_db.CommitTrans()) return true;
  m_db.Rollback();
  return fail({});
}

bool CSendQueue::EndTry(long id, const QString& error, const RetryPolicy& policy, bool counts) {
  const std::optional<SendJob> job = Job(id);
  if (!job) return fail(QStringLiteral("no job %1").arg(id));
  const bool complete = Unsent(id).isEmpty() && error.isEmpty();
  const int tries = job->tries + 1;
  QString state = QLatin1String(kQueued);
  if (complete) {
    state = QLatin1String(kDone);
  } else if (counts && tries >= policy.maxTries) {
    state = QLatin1String(kFailed);
  }
  return CdbDatabase(&m_db).Execute(
             QStringLiteral("UPDATE SendJob SET State = ?, Tries = ?, LastError = ?, Updated = ?, "
                            "NextTry = ?, Owner = '' WHERE JobId = ?"),
             {state, tries, complete ? QString(QLatin1String("")) : error, now(),
              now(complete ? 0 : policy.pauseSeconds(tries)), qint64(id)}) ||
         fail({});
}

bool CSendQueue::Retry(long id) {
  const std::optional<SendJob> job = Job(id);
  if (!job || job->state != QLatin1String(kFailed))
    return fail(QStringLiteral("job %1 has not failed").arg(id));
  return CdbDatabase(&m_db).Execute(
             QStringLiteral("UPDATE SendJob SET State = ?, Tries = 0, NextTry = ?, Updated = ? "
                            "WHERE JobId = ? AND State = ?"),
             {QLatin1String(kQueued), now(), now(), qint64(id), QLatin1String(kFailed)}) ||
         fail({});
}

bool CSendQueue::Remove(long id) {
  if (!ensureTables() || !m_db.BeginTrans()) return fail({});
  CdbDatabase db(&m_db);
  if (db.Execute(QStringLiteral("DELETE FROM SendImage WHERE JobId = ?"), {qint64(id)}) &&
      db.Execute(QStringLiteral("DELETE FROM SendJob WHERE JobId = ?"), {qint64(id)}) &&
      m_db.CommitTrans())
    return true;
  m_db.Rollback();
  return fail({});
}

bool CSendQueue::RenameNode(const QString& from, const QString& to) {
  return from == to ||
         (ensureTables() &&
          CdbDatabase(&m_db).Execute(
              QStringLiteral("UPDATE SendJob SET NodeName = ? WHERE NodeName = ?"), {to, from})) ||
         fail({});
}

qint64 CSendQueue::MsUntilDue() {
  if (!ensureTables()) return -1;
  CdbDatabase rows(&m_db);
  if (!rows.Open(CGMDaoRecordset::dbOpenSnapshot,
                 QStringLiteral("SELECT MIN(NextTry) AS Due FROM SendJob WHERE State = ? OR State "
                                "= ?"),
                 {QLatin1String(kQueued), QLatin1String(kSending)}) ||
      rows.IsEOF() || rows.GetFieldValue(QStringLiteral("Due")).isNull())
    return -1;
  const QDateTime due = QDateTime::fromString(rows.GetFieldValue(QStringLiteral("Due")).toString(),
                                              QLatin1String(kTimeFormat));
  return std::max<qint64>(
      0, QDateTime::currentDateTimeUtc().msecsTo(QDateTime(due.date(), due.time(), Qt::UTC)));
}

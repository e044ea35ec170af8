#include "db/DaoDatabase.h"

#include <QSqlError>

#include "db/ImageDatabase.h"
#include "db/SqlDialect.h"
#include "ui/MessageSink.h"

namespace {
QString errorText(const QSqlError& error) { return error.text().trimmed(); }
}  // namespace

CDaoDatabase::~CDaoDatabase() { Close(); }

bool CDaoDatabase::Open(const QString& path, QString* error) {
  Close();
  m_path = path;
  m_db = imagedb::openConnection(path, error, &m_readOnly);
  if (m_db.isOpen()) return true;
  imagedb::releaseConnection(m_db);
  return false;
}

void CDaoDatabase::Close() {
  m_statements.clear();
  if (m_db.isValid()) imagedb::releaseConnection(m_db);
}

QSqlQuery* CDaoDatabase::Prepared(const QString& sql, QSqlError* error) {
  auto found = m_statements.find(sql);
  if (found != m_statements.end()) return &found->second;
  QSqlQuery query(m_db);
  query.setForwardOnly(true);
  if (!query.prepare(sql)) {
    if (error) *error = query.lastError();
    return nullptr;
  }
  return &m_statements.emplace(sql, std::move(query)).first->second;
}

void CDaoDatabase::NoteError(const QString& text) {
  ++m_errorCount;
  m_lastError = text;
}

bool CDaoDatabase::reported(bool ok, const QString& error) {
  if (ok) return true;
  NoteError(error);
  ShowMessage(error, QStringLiteral("DBException"), MB_OK | MB_ICONWARNING);
  return false;
}

bool CDaoDatabase::BeginTrans() {
  QString error;
  return reported(imagedb::beginWriting(m_db, &error), error);
}

// Savepoints run as they are: a server prepares only queries and row changes.
bool CDaoDatabase::run(const QString& sql) {
  QSqlQuery query(m_db);
  const bool ok = query.exec(sql);
  return reported(ok, ok ? QString() : errorText(query.lastError()));
}

bool CDaoDatabase::Savepoint(const QString& name) {
  return run(QStringLiteral("SAVEPOINT ") + name);
}

bool CDaoDatabase::ReleaseSavepoint(const QString& name) {
  return run(QStringLiteral("RELEASE SAVEPOINT ") + name);
}

bool CDaoDatabase::RollbackToSavepoint(const QString& name) {
  return run(QStringLiteral("ROLLBACK TO SAVEPOINT ") + name) &&
         run(QStringLiteral("RELEASE SAVEPOINT ") + name);
}

bool CDaoDatabase::SetDurableCommits(bool durable) {
  const SqlDialect& dialect = SqlDialect::forDriver(m_db.driverName());
  return run(durable ? dialect.durableCommits : dialect.usualCommits);
}

bool CDaoDatabase::CommitTrans() { return reported(m_db.commit(), errorText(m_db.lastError())); }
bool CDaoDatabase::Rollback() { return reported(m_db.rollback(), errorText(m_db.lastError())); }

#include "db/DaoDatabase.h"

#include <QSqlError>

#include "db/ImageDatabase.h"
#include "ui/MessageSink.h"

namespace {
bool reported(bool ok, const QSqlDatabase& db) {
  if (!ok)
    ShowMessage(db.lastError().text().trimmed(), QStringLiteral("DBException"),
                MB_OK | MB_ICONWARNING);
  return ok;
}
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

bool CDaoDatabase::BeginTrans() { return reported(m_db.transaction(), m_db); }
bool CDaoDatabase::CommitTrans() { return reported(m_db.commit(), m_db); }
bool CDaoDatabase::Rollback() { return reported(m_db.rollback(), m_db); }

#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <map>

class QSqlError;

// One connection to the image database file, with a name of its own and its prepared
// statements. A record set opens a private one unless it is given one to share: record sets
// that must write in one transaction (an import's patient, study, series and image rows) share
// a CDaoDatabase and run BeginTrans/CommitTrans on it.
class CDaoDatabase {
 public:
  CDaoDatabase() = default;
  ~CDaoDatabase();
  CDaoDatabase(const CDaoDatabase&) = delete;
  CDaoDatabase& operator=(const CDaoDatabase&) = delete;

  // Connects to the database file at path (created from the schema when missing; opened
  // read-only when the user cannot write it). Reconnects when already connected. False with the
  // reason in error.
  bool Open(const QString& path, QString* error = nullptr);
  // Drops the prepared statements and the connection.
  void Close();
  bool IsOpen() const { return m_db.isOpen(); }
  const QString& path() const { return m_path; }
  bool isReadOnly() const { return m_readOnly; }
  QSqlDatabase& connection() { return m_db; }

  // The statement prepared on this connection, prepared on first use and reused afterwards;
  // null with the engine's error in error when it cannot be prepared.
  QSqlQuery* Prepared(const QString& sql, QSqlError* error);

  // Transactions; false after a "DBException" message when the engine refuses. A transaction
  // here always writes, so it takes the engine's write lock when it begins: two writers then
  // queue for the busy timeout instead of the later one failing at its first write.
  bool BeginTrans();
  bool CommitTrans();
  bool Rollback();
  // Whether each later commit waits until it is on the disk (SqlDialect::durableCommits).
  // Outside a transaction; false after a "DBException" message when the engine refuses.
  bool SetDurableCommits(bool durable);
  // Savepoints inside a transaction: a part of it undone without the rest. RollbackToSavepoint
  // also releases the savepoint.
  bool Savepoint(const QString& name);
  bool ReleaseSavepoint(const QString& name);
  bool RollbackToSavepoint(const QString& name);

  // Engine errors met on this connection, by its record sets and its transactions. Operations
  // that report an error only through the message sink still show it to a caller that compares
  // the count before and after them; LastError() is the text of the latest.
  long ErrorCount() const { return m_errorCount; }
  const QString& LastError() const { return m_lastError; }
  void NoteError(const QString& text);

 private:
  bool reported(bool ok, const QString& error);
  bool run(const QString& sql);

  QString m_path;
  QSqlDatabase m_db;
  bool m_readOnly = false;
  std::map<QString, QSqlQuery> m_statements;
  long m_errorCount = 0;
  QString m_lastError;
};

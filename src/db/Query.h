#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <memory>

// The statement runner of the report database (tables `report`, `preform` and `user`): a
// statement runs, its result is walked row by row and each column is read as text, by number
// (from 1) or by name. Values always go in as bound parameters ("?" in the statement), so any
// text is stored as typed; text is UTF-8 end to end and never cut.
//
// Calling order: ExecuteStatement, FetchRow until it returns kNoData (or an error), reading
// columns with GetColumnText, then CloseStatement. One result at a time.
class CQuery {
 public:
  // Connection types: a database file (SQLite, created from the report schema when missing),
  // a file data source and a named data source (both through Qt's ODBC driver where installed).
  static constexpr int kConnectFile = 1;
  static constexpr int kConnectFileDsn = 2;
  static constexpr int kConnectDsn = 3;
  // Return codes of FetchRow (and ReturnCode after an execute).
  static constexpr int kSuccess = 0;
  static constexpr int kNoData = 100;
  static constexpr int kError = -1;
  static constexpr int kMaxColumns = 100;

  CQuery();
  ~CQuery();
  CQuery(const CQuery&) = delete;
  CQuery& operator=(const CQuery&) = delete;

  // Connects (reconnecting when already connected). On failure each diagnostic is shown as
  // "SQLSTATE:%s, 진단정보:%s" under "진단 정보" and false is returned.
  bool OpenConnection(int type, const QString& source, const QString& user = QString(),
                      const QString& password = QString());
  bool IsConnected() const { return m_db.isOpen(); }
  // Closes the result and the connection.
  void Disconnect();

  // Runs one statement with its values bound in order. True when it ran (also when it touched
  // no row); false, silently, when it failed or nothing is connected. A result of more than
  // kMaxColumns columns is refused with "최대 컬럼 수를 초과했습니다" under "CQuery 에러".
  bool ExecuteStatement(const QString& sql, const QVariantList& values = {});
  // kSuccess when a row was fetched, kNoData when none is left, kError on failure (also without
  // a result).
  int FetchRow();
  void CloseStatement();

  // The column's number (from 1) in the last result, names compared without letter case,
  // first match; -1 when there is none.
  int FindColumn(const QString& name) const;
  // The column's text in the current row: "" for a null value, "CQUERYNOCOL" for a number
  // outside the result.
  QString GetColumnText(int column) const;
  // As by number; "" for a name that is no column.
  QString GetColumnText(const QString& name) const;

  int ReturnCode() const { return m_returnCode; }
  int RowCount() const { return m_rowCount; }
  int ColumnCount() const { return m_columnCount; }
  // The engine's text of the last failure.
  const QString& LastError() const { return m_lastError; }

  // Several statements that stand or fall together.
  bool BeginTrans();
  bool CommitTrans();
  void Rollback();

 private:
  bool failed(const QString& error);

  QSqlDatabase m_db;
  std::unique_ptr<QSqlQuery> m_query;
  int m_returnCode = kSuccess;
  int m_rowCount = -1;
  int m_columnCount = 0;
  bool m_onRow = false;
  QString m_lastError;
};

// The report database's file in the program folder.
inline constexpr const char* kReportDatabaseFile = "toraScan.db";

// The one query object of the program, connected at start-up.
CQuery& theReportQuery();

// Start-up: connects query to the report database at location: a file (created from the schema
// when missing; the program folder's kReportDatabaseFile unless the settings name a server) or a
// server database's URL. When that fails, "Can't connect a database for report" is shown under
// "toraScan" and false returned; the program goes on without reports.
bool ConnectReportDatabase(CQuery& query, const QString& location);

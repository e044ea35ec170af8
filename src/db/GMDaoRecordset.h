#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <memory>
#include <vector>

#include "db/DaoDatabase.h"
#include "db/DateTime.h"
#include "db/SqlFilter.h"

class QSqlError;
class SqlDialect;

// Moves the bound members of a record set to and from one row: the table classes list their
// columns once, in table order, and the record set uses that list to name the columns, to load
// a row into the members and to collect the members' values for an insert or an update.
class CFieldExchange {
 public:
  enum Operation { Names, Load, Store };

  CFieldExchange(Operation operation, QStringList* names);   // Names
  CFieldExchange(const QVariantList* row, int firstColumn);  // Load
  explicit CFieldExchange(QVariantList* values);             // Store

  // The engine-assigned key of the table: named and loaded like any column, never stored.
  void Key(const char* column, long& member);
  void Field(const char* column, QString& member);
  void Field(const char* column, long& member);
  void Field(const char* column, short& member);
  void Field(const char* column, double& member);
  void Field(const char* column, bool& member);
  void Field(const char* column, CDateTime& member);

  // The key column seen by a Names pass (empty when the table has none).
  const QString& keyColumn() const { return m_keyColumn; }

 private:
  const QVariant& next();
  void store(const char* column, const QVariant& value);

  Operation m_operation;
  QStringList* m_names = nullptr;
  const QVariantList* m_row = nullptr;
  int m_column = 0;
  QVariantList* m_values = nullptr;
  QString m_keyColumn;
};

// The record set base: one query's rows over the image database, a current position in them,
// and the row changes (append, edit, delete) written through to the table.
//
// Each object opens its own connection on first use and releases it when destroyed, unless it
// is constructed on a CDaoDatabase to share (which must outlive it). Opening reads every
// matching row at once (the record sets serve short lists: a patient's studies, a series'
// images), so moving never touches the engine. A table class names its columns in
// DoFieldExchange and its table in GetDefaultSQL; it then opens without SQL text, selecting its
// columns with m_strFilter (values bound from m_filterValues) and m_strSort.
//
// Engine errors never leave an operation: they are shown through the message sink with the
// caption "DBException", and an error while the row set is open also closes it, so that a loop
// walking the rows until IsEOF() ends even when the connection is gone.
class CGMDaoRecordset {
 public:
  enum OpenType { dbOpenDefault = -1, dbOpenTable = 1, dbOpenDynaset = 2, dbOpenSnapshot = 4 };
  enum FindType { FindFirst, FindLast, FindNext, FindPrevious };

  // databaseName: the database file; empty means GetDefaultDBName() (the application's image
  // database).
  explicit CGMDaoRecordset(const QString& databaseName = QString());
  // On a shared connection.
  explicit CGMDaoRecordset(CDaoDatabase* database);
  virtual ~CGMDaoRecordset();
  CGMDaoRecordset(const CGMDaoRecordset&) = delete;
  CGMDaoRecordset& operator=(const CGMDaoRecordset&) = delete;

  // Opens the rows of sql (values bound in order), or with no SQL text the class's columns of
  // its table under the filter and sort. An open row set is closed first. openType -1 takes
  // the class default (dynaset: updatable); a snapshot is read-only. Rows opened from SQL text
  // are read-only. Positions on the first row. False (after the message) on an engine error.
  virtual bool Open(int openType = dbOpenDefault, const QString& sql = QString(),
                    const QVariantList& values = QVariantList());
  virtual void Close();
  bool IsOpen() const { return m_open; }
  // A closed or empty row set is both before the first and after the last row.
  bool IsBOF() const;
  bool IsEOF() const;
  void MoveFirst();
  void MoveNext();
  void MovePrev();
  void MoveLast();
  virtual void Move(long rows);
  // Moves to the first / last / next / previous row whose column equals value; false (the
  // position unchanged) when none does.
  virtual bool Find(FindType type, const QString& column, const QVariant& value);
  // Append: AddNew, assign the members, Update. The engine's key is then in the key member and
  // the new row is the current one.
  virtual void AddNew();
  // Change the current row: Edit, assign the members, Update.
  virtual void Edit();
  virtual bool Update();
  // Removes the current row; MoveNext then goes on to the row that followed it.
  virtual void Delete();
  virtual void CancelUpdate();
  // Runs the open query again and goes back to the first row.
  virtual bool Requery();
  virtual QString GetDefaultDBName() const;
  // The table of a table class.
  virtual QString GetDefaultSQL() const { return QString(); }
  virtual void DoFieldExchange(CFieldExchange&) {}
  // Runs one statement (values bound in order) on this record set's connection. False after
  // the message on an engine error.
  virtual bool Execute(const QString& sql, const QVariantList& values = QVariantList());

  // Whether rows can be appended: an updatable open type on a writable database.
  bool CanAppend();
  // A column of the current row by name; an invalid QVariant without a current row.
  QVariant GetFieldValue(const QString& column) const;
  long GetRecordCount() const { return m_open ? static_cast<long>(m_rows.size()) : 0; }

  // Reading in pages: with a page size set, opening reads that many rows and leaves the rest in
  // the engine until FetchMore asks for them, so a list of 100,000 rows can show at once. The
  // rows still pending keep a read of the database open until they are read or the row set is
  // closed. 0 (the default) reads every row at opening.
  void SetPageSize(int rows) { m_pageSize = rows; }
  // Reads up to rows more rows after the last one read; false when none were left (or on an
  // engine error, after the message). The position stays where it was.
  bool FetchMore(int rows);
  bool HasMore() const {
    return m_cursor != nullptr || m_restOffset > 0 || m_restNext < m_rest.size();
  }

  // Appends one row from the members that fill assigns (they start cleared, as after AddNew),
  // whether or not the row set is open: an open one gets the row as its current row, a closed
  // one stays closed and unread (appending never reads the table). The engine's key is then in
  // the key member. Returns the key (the engine's row id for a table without one), or -1 when
  // rows cannot be appended or the engine refused the row.
  long AppendRow(const std::function<void()>& fill);
  // Appends count rows, row i from the members that fill(i) assigns (cleared before each), in
  // as few statements as the engine takes (SqlDialect::valuesPerInsert): a server answers
  // each statement once. The engine's keys are not read back, and the members are left as the
  // last row's. False when rows cannot be appended or the engine refused a statement; on a
  // server the refusal spoils the transaction, which the caller then rolls back.
  bool AppendRows(int count, const std::function<void(int)>& fill);

  // With quiet on, engine errors are not shown; the last one is kept in LastError() for the
  // caller to report in its own words.
  void SetQuiet(bool quiet) { m_quiet = quiet; }
  const QString& LastError() const { return m_lastError; }

  // Applies a filter built from criteria.
  void SetFilter(const CSqlFilter& filter);
  // Opens on the filter (m_strSort as it stands): 1 when a row matches, else 0.
  int OpenWith(const CSqlFilter& filter);
  // The database this record set works on: a file, or a server's URL.
  QString DatabasePath() const;
  // The SQL dialect of that database's engine.
  const SqlDialect& Dialect() const;
  // The connection this record set works on (connected on first use); null after the
  // message when it cannot connect. Record sets an operation uses on the way share it.
  CDaoDatabase* Database();

  QString m_strFilter;
  QVariantList m_filterValues;
  QString m_strSort;

 protected:
  // Default open type of the class.
  int m_nDefaultType = dbOpenDynaset;

  // An aggregate (COUNT(*), MAX(column)) of the class's table over the rows the filter selects;
  // 0 for no rows or on an error. The row set is closed afterwards.
  long Aggregate(const QString& expression, const CSqlFilter& filter);
  // Deletes the rows of the class's table that the filter selects (a filter without criteria
  // deletes nothing). True when the statement ran.
  bool DeleteWhere(const CSqlFilter& filter);

  // Opens the private connection when it is not open yet; false after the message otherwise.
  bool EnsureConnection();
  // Shows an engine error and, when the row set was open, closes it.
  void ReportError(const QString& text);
  void ReportError(const QSqlError& error);

 private:
  enum EditMode { NoEdit, Adding, Editing };

  QSqlQuery* Prepared(const QString& sql);
  void ClearMembers();
  // Inserts the members as a new row; the full row (key included) on success, empty otherwise.
  QVariantList InsertMembers();
  bool Run(QSqlQuery* query, const QVariantList& values);
  // The bound columns and the statements that change a row, worked out once per object.
  struct TableShape {
    QStringList columns;
    QString key;             // the engine-assigned key column, empty when the table has none
    int keyIndex = -1;       // its place among the columns
    QString identity;        // what names one row: the key, or the engine's row address
    QStringList rowColumns;  // the columns of a row read by select, in order
    QString select;          // the SELECT of the class's columns, without WHERE and ORDER BY
    QStringList written;     // the columns an insert writes (all but the key), as in SQL
    QString insert;
    QString update;
    QString remove;
  };
  const TableShape& Shape();
  // The bound values in column order, less the key.
  QVariantList WithoutKey(const QVariantList& values);
  void LoadCurrentRow();
  QVariantList StoredValues();
  bool ReadRows(const QString& sql, const QVariantList& values);
  // Appends up to limit rows (all when limit is 0) from an executed query; false after the
  // message on an engine error. A paged read keeps the query while rows may remain.
  bool ReadFrom(QSqlQuery* query, int limit);
  bool ReadFrom(QSqlQuery* query, int limit, std::vector<QVariantList>& into);
  // Appends up to rows of the rows after the first page (read by one query the first time).
  bool TakeRest(int rows);
  // The position of a column of the rows by its name, without letter case; -1 when absent.
  int ColumnIndex(const QString& column) const;
  bool HasCurrentRow() const;
  // Whether rows may be changed (and, when needed, a current row exists); reports why not.
  bool CanChange(bool needsCurrentRow);
  void MoveTo(long position);
  void CloseRows();

  QString m_databaseName;
  CDaoDatabase* m_database = nullptr;
  std::unique_ptr<CDaoDatabase> m_ownDatabase;

  bool m_open = false;
  bool m_updatable = false;
  int m_openType = dbOpenDynaset;
  QString m_sql;  // the query that filled m_rows, for Requery
  QVariantList m_sqlValues;
  QStringList m_rowColumns;   // names of the row's columns, as the engine gave them
  int m_identityColumn = -1;  // where the row's identity is in a row (-1: not updatable)
  int m_firstField = 0;       // where the bound columns begin in a row
  bool m_boundRows = false;   // rows hold the bound columns (opened without SQL text)
  std::vector<QVariantList> m_rows;
  int m_pageSize = 0;
  std::unique_ptr<QSqlQuery> m_cursor;  // the paged read while rows may remain
  // Where the engine reads pages by queries (SqlDialect::pagesByQuery): the offset of the rows
  // after the first page while they are still to be read (0: none), then those rows, handed
  // out from m_restNext on.
  long m_restOffset = 0;
  std::vector<QVariantList> m_rest;
  std::size_t m_restNext = 0;
  long m_pos = 0;
  bool m_onDeletedRow = false;
  EditMode m_editMode = NoEdit;

  std::unique_ptr<TableShape> m_shape;

  bool m_quiet = false;
  QString m_lastError;
};

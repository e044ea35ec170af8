#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

// What the image database's SQL needs to know about the engine behind a connection: SQLite for
// the local archive, PostgreSQL for an archive shared by several workstations. Everything else
// the record sets write is plain SQL: identifiers unquoted (each engine folds them the same way
// in the schema and in the queries), values bound, keys read back with INSERT ... RETURNING and
// date-times kept as "yyyy-MM-dd hh:mm:ss" text.
class SqlDialect {
 public:
  // The dialect of a Qt SQL driver name ("QSQLITE", "QPSQL"); SQLite for any other.
  static const SqlDialect& forDriver(const QString& driverName);
  // The dialect of a database location: a "postgresql://" URL names a server, anything else a
  // SQLite file.
  static const SqlDialect& forLocation(const QString& location);
  static bool isServerLocation(const QString& location);

  QString driverName;
  // Case-insensitive pattern match: "%1" stands for the column, "?" for the pattern (its
  // escape character is '\').
  QString likeMatch;
  // Case-insensitive text equality: "%1" stands for the column, "?" for the value.
  QString caselessEquality;
  // The engine's own row address, for tables without a key column (PatInfo).
  QString rowIdentity;
  // Statements run once on every new connection.
  QStringList sessionSetup;
  // The statements that begin a writing transaction; none: the driver's own. Every writer
  // takes the engine's write lock (a server: one lock all writers share) before it reads what
  // it is about to write, so that two imports of one file cannot both find no row and both
  // append one.
  QStringList beginTransaction;
  // Whether a read in pages asks for each part with a query of its own: the first page with
  // LIMIT, the rest with OFFSET. Qt's server driver streams a result only while no other query
  // runs on the connection (the next one reads it to its end, or ends it), so a read kept open
  // for later pages would be cut short by the next query, and cost the transfer of every row.
  // SQLite keeps any number of reads open on a connection.
  bool pagesByQuery;
  // Whether a table's rows come back in key order without an ORDER BY (SQLite reads a table
  // along its key; a server in whatever order its pages hold them).
  bool readsInKeyOrder;
  // The schema file (program folder, compiled-in resources) of this engine.
  QString schemaFile;
  // Values bound to one INSERT of several rows at most: the server answers each statement once,
  // so many rows a statement spare round trips; Qt's SQLite driver looks each parameter up by
  // walking the list of all of them, so there a row a statement is fastest.
  int valuesPerInsert;
  // A text column ordered byte by byte ("%1" the column): the order every engine agrees on
  // for UTF-8 text, whatever collation the column declares.
  QString byteOrder;
  // Sets the counter of a table's generated key past the highest key in it, after rows were
  // written with their keys given: "%1" the table, "%2" the key column's name as the engine
  // keeps it, "%3" the column in SQL. Empty: the engine keeps its counter past every key
  // written (SQLite).
  QString keyCounterReset;
  // A lock held by the connection across its transactions, taken and given back by these
  // statements: a server's advisory lock, which a client that dies loses with its connection.
  // Empty for a file engine: its users lock through the file system.
  QString sessionLock = QString();
  QString sessionUnlock = QString();
  // An INSERT of many rows handed over as one JSON array of objects ("%1" the table, "%2" its
  // columns, "?" the array): the server reads the values from the text by the table's own
  // types. Binding thousands of values one by one cost the client more than the server's
  // whole insert. Empty: rows go as bound values (insertRows).
  QString rowsFromJson = QString();
  // Makes every later commit of the connection wait until it is on the disk, and the way back
  // to the engine's usual commits (run outside a transaction). The watcher removes a dropped
  // file once the commit indexing its archive copy returns, so that commit must outlast a power
  // cut; SQLite's NORMAL synchronisation leaves the write-ahead log unsynced at a commit.
  QString durableCommits = QString();
  QString usualCommits = QString();

  // An identifier as it goes into SQL: reserved words ("Index", "user", "default") quoted, the
  // rest as written.
  static QString name(const QString& identifier);
  // Rows of `columns` values each that one INSERT carries, at least one.
  int rowsPerInsert(qsizetype columns) const;
  // "INSERT INTO table (columns) VALUES (?,...),(?,...)" for `rows` rows; the columns as they
  // go into SQL.
  static QString insertRows(const QString& table, const QStringList& columns, int rows);
  // The name of a column (as insertRows takes it) as the engine keeps it: quoted ones as
  // written, the rest folded to small letters, as a server keeps unquoted names.
  static QString storedColumnName(const QString& column);
  // "?,?,?" for count values.
  static QString placeholders(qsizetype count);
  // "column LIKE ? ESCAPE '\'" in this dialect.
  QString likeCondition(const QString& column) const;
  // "column = ?" without letter case (ASCII letters on SQLite). The schema declares the
  // searched text columns COLLATE NOCASE, so their indexes serve this condition; saying it in
  // the query as well keeps the result the same on a file whose schema lacks the collation
  // (made before it was declared, or from a site's own schema), where the index goes unused.
  QString equalsCondition(const QString& column) const;
  // A pattern that may match anywhere in the text can use no index to find rows, and SQLite
  // would rather walk the sort column's index and fetch every row in turn. Reading the rows'
  // addresses from the searched column's own index (a fraction of the table) and fetching only
  // the matches is several times faster. Empty table: the plain LIKE condition.
  QString containsCondition(const QString& table, const QString& column) const;
};

// Whether a bound value is of an integer type (bool apart).
bool isWholeNumber(const QVariant& value);

// Rows as the JSON array SqlDialect::rowsFromJson reads: an object a row, each value under its
// column's stored name. Texts are escaped as JSON requires, NULL is null, and a number that is
// none (NaN, infinite) goes as the text the server reads for it. Written as text directly:
// building the rows as QJsonObjects and QJsonDocument took 3.6 times the client's time and
// doubled the wall time of an import batch's insert.
class JsonRows {
 public:
  // The columns as insertRows takes them.
  explicit JsonRows(const QStringList& columns);
  // A row's values, in the columns' order.
  void append(const QVariantList& row);
  QString text() const { return m_text + QLatin1Char(']'); }

 private:
  QStringList m_keys;  // "\"name\":" a column
  QString m_text;
};

// The operator's own text inside a LIKE pattern: '%', '_' and the escape character itself
// stand for themselves.
QString escapeLike(const QString& text);

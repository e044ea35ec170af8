#include "db/DatabaseCopy.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>
#include <map>

#include "db/ImageDatabase.h"
#include "db/SqlDialect.h"

namespace imagedb {
namespace {

QString queryError(const QSqlQuery& query) { return query.lastError().text().trimmed(); }

// A table's columns as the source has them, and its key: the one column of its primary key,
// -1 when it has none (its rows are then ordered by all their columns).
struct TableShape {
  QString table;  // as the schema writes it
  QString name;   // as it goes into SQL
  QStringList columns;
  int key = -1;
  // The key column as the target keeps it when the engine numbers new rows by it (an integer
  // key); empty otherwise.
  QString counterKey;
};

// The table's name as the engine keeps it (a server folds unquoted names to small letters);
// empty when there is no such table.
QString storedName(const QSqlDatabase& db, const QString& table) {
  const QStringList tables = db.tables();
  const auto found = std::find_if(tables.begin(), tables.end(), [&table](const QString& name) {
    return name.compare(table, Qt::CaseInsensitive) == 0;
  });
  return found == tables.end() ? QString() : *found;
}

// The rows of a table in the copy order. A table with a key is read a page at a time after the
// last key read (a server hands over a whole result at once, and 1,000,000 image rows would
// not fit); one without a key (the patients, the report templates) in one query.
class RowReader {
 public:
  RowReader(QSqlDatabase& db, const TableShape& shape, int pageRows)
      : m_db(db), m_shape(shape), m_pageRows(pageRows) {
    const SqlDialect& dialect = SqlDialect::forDriver(db.driverName());
    const QSqlRecord record = db.record(storedName(db, shape.table));
    QStringList columns;
    for (const QString& column : shape.columns) {
      const QString name = SqlDialect::name(column);
      columns.append(name);
      // Text is ordered by its bytes: the one order both engines give alike.
      const bool text = record.field(column).metaType().id() == QMetaType::QString;
      m_order.append(text ? dialect.byteOrder.arg(name) : name);
    }
    m_select =
        QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QStringLiteral(", ")), shape.name);
  }

  // The next row; false at the end of the table, or after an error (then error is set).
  bool next(QVariantList& row, QString* error) {
    while (!m_query.next()) {
      if (m_query.isActive() && m_query.lastError().isValid()) return failed(error);
      if (m_finished || !read(error)) return false;
    }
    ++m_pageRead;
    row.resize(m_shape.columns.size());
    for (int i = 0; i < row.size(); ++i) row[i] = m_query.value(i);
    if (m_shape.key >= 0) m_lastKey = row.at(m_shape.key);
    return true;
  }

 private:
  bool read(QString* error) {
    QString sql = m_select;
    if (m_shape.key < 0) {
      sql += QStringLiteral(" ORDER BY ") + m_order.join(QStringLiteral(" NULLS FIRST, ")) +
             QStringLiteral(" NULLS FIRST");
      m_finished = true;
    } else {
      const QString& key = m_order.at(m_shape.key);
      if (m_started && m_pageRead < m_pageRows) {
        m_finished = true;
        return false;
      }
      if (m_started) sql += QStringLiteral(" WHERE %1 > ?").arg(key);
      sql += QStringLiteral(" ORDER BY %1 LIMIT %2").arg(key).arg(m_pageRows);
    }
    m_query = QSqlQuery(m_db);
    m_query.setForwardOnly(true);
    if (!m_query.prepare(sql)) return failed(error);
    if (m_started && m_shape.key >= 0) m_query.addBindValue(m_lastKey);
    m_started = true;
    m_pageRead = 0;
    return m_query.exec() || failed(error);
  }

  bool failed(QString* error) {
    *error = QStringLiteral("%1: %2").arg(m_shape.name, queryError(m_query));
    m_finished = true;
    return false;
  }

  QSqlDatabase& m_db;
  const TableShape& m_shape;
  const int m_pageRows;
  QString m_select;
  QStringList m_order;
  QSqlQuery m_query;
  QVariant m_lastKey;
  int m_pageRead = 0;
  bool m_started = false;
  bool m_finished = false;
};

// Appends rows to a table of the target, several a statement (on a server all of a batch as
// one JSON text), each statement prepared once.
class RowWriter {
 public:
  RowWriter(QSqlDatabase& db, const TableShape& shape) : m_db(db), m_shape(shape) {
    const SqlDialect& dialect = SqlDialect::forDriver(db.driverName());
    for (const QString& column : shape.columns) m_columns.append(SqlDialect::name(column));
    m_rowsPerStatement = dialect.rowsPerInsert(shape.columns.size());
    if (!dialect.rowsFromJson.isEmpty()) {
      m_fromJson = dialect.rowsFromJson.arg(shape.name, m_columns.join(QLatin1Char(',')));
    }
  }

  bool write(const QList<QVariantList>& rows, QString* error) {
    if (rows.isEmpty()) return true;
    if (!m_fromJson.isEmpty()) {
      JsonRows json(m_columns);
      for (const QVariantList& row : rows) json.append(row);
      return run(m_fromJson, {json.text()}, error);
    }
    for (qsizetype first = 0; first < rows.size(); first += m_rowsPerStatement) {
      const int count =
          static_cast<int>(std::min<qsizetype>(m_rowsPerStatement, rows.size() - first));
      QVariantList values;
      for (qsizetype r = first; r < first + count; ++r) values.append(rows.at(r));
      if (!run(SqlDialect::insertRows(m_shape.name, m_columns, count), values, error)) return false;
    }
    return true;
  }

 private:
  bool run(const QString& sql, const QVariantList& values, QString* error) {
    auto found = m_statements.find(sql);
    if (found == m_statements.end()) {
      QSqlQuery query(m_db);
      if (!query.prepare(sql)) {
        *error = QStringLiteral("%1: %2").arg(m_shape.name, queryError(query));
        return false;
      }
      found = m_statements.emplace(sql, std::move(query)).first;
    }
    QSqlQuery& insert = found->second;
    for (qsizetype i = 0; i < values.size(); ++i) insert.bindValue(int(i), values.at(i));
    if (insert.exec()) return true;
    *error = QStringLiteral("%1: %2").arg(m_shape.name, queryError(insert));
    return false;
  }

  QSqlDatabase& m_db;
  const TableShape& m_shape;
  QStringList m_columns;  // as they go into SQL
  int m_rowsPerStatement = 1;
  QString m_fromJson;  // the server's insert of a batch as JSON; empty on a file
  std::map<QString, QSqlQuery> m_statements;
};

bool isNumber(const QVariant& value) {
  const int type = value.metaType().id();
  return isWholeNumber(value) || type == QMetaType::Double || type == QMetaType::Float;
}

// The same value as each engine hands it back: a number as a number whatever its type there
// (an integer column of one may be read as floating point from the other), text as text.
bool sameValue(const QVariant& a, const QVariant& b) {
  if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
  if (isNumber(a) && isNumber(b)) {
    return isWholeNumber(a) && isWholeNumber(b) ? a.toLongLong() == b.toLongLong()
                                                : a.toDouble() == b.toDouble();
  }
  return a.toString() == b.toString();
}

bool sameRow(const QVariantList& a, const QVariantList& b) {
  for (qsizetype i = 0; i < a.size(); ++i) {
    if (!sameValue(a.at(i), b.at(i))) return false;
  }
  return true;
}

qint64 rowCount(QSqlDatabase& db, const QString& table, QString* error) {
  QSqlQuery query(db);
  if (query.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) && query.next()) {
    return query.value(0).toLongLong();
  }
  *error = QStringLiteral("%1: %2").arg(table, queryError(query));
  return -1;
}

// The table's columns (the source's, each also in the target) and key; false with the reason.
bool tableShape(QSqlDatabase& source, QSqlDatabase& target, const QString& table, TableShape& shape,
                QString* error) {
  shape.table = table;
  shape.name = SqlDialect::name(table);
  const QString sourceTable = storedName(source, table);
  const QSqlRecord from = source.record(sourceTable);
  const QSqlRecord to = target.record(storedName(target, table));
  if (from.isEmpty() || to.isEmpty()) {
    *error = QStringLiteral("%1: no such table in the %2")
                 .arg(table, from.isEmpty() ? QStringLiteral("source") : QStringLiteral("target"));
    return false;
  }
  for (int i = 0; i < from.count(); ++i) {
    // Unquoted names come back from a server in small letters, as written from a file.
    if (to.indexOf(from.fieldName(i)) < 0) {
      *error = QStringLiteral("%1: the target has no column %2").arg(table, from.fieldName(i));
      return false;
    }
    shape.columns.append(from.fieldName(i));
  }
  const QSqlIndex key = source.primaryIndex(sourceTable);
  if (key.count() == 1) {
    shape.key = static_cast<int>(shape.columns.indexOf(key.fieldName(0)));
    if (from.field(shape.key).metaType().id() != QMetaType::QString) {
      shape.counterKey = to.fieldName(to.indexOf(key.fieldName(0)));
    }
  }
  return true;
}

QString describeRow(const TableShape& shape, const QVariantList& row) {
  const int column = std::max(shape.key, 0);
  return QStringLiteral("%1 %2").arg(shape.columns.at(column), row.at(column).toString());
}

bool copyTable(QSqlDatabase& source, QSqlDatabase& target, const QString& table,
               const CopyRequest& request, TableCopy& done, QString* error) {
  TableShape shape;
  if (!tableShape(source, target, table, shape, error)) return false;
  const qint64 total = rowCount(source, shape.name, error);
  if (total < 0) return false;
  RowReader from(source, shape, request.batchRows);
  QVariantList row;
  {
    // What an earlier copy left must be the source's first rows, row for row.
    RowReader present(target, shape, request.batchRows);
    QVariantList held;
    while (present.next(held, error)) {
      if (!from.next(row, error)) {
        if (error->isEmpty()) {
          *error = QStringLiteral("%1: the target holds more rows than the source (%2)")
                       .arg(table, describeRow(shape, held));
        }
        return false;
      }
      if (!sameRow(held, row)) {
        *error = QStringLiteral("%1: the target holds other rows under the same keys (%2)")
                     .arg(table, describeRow(shape, held));
        return false;
      }
      ++done.present;
    }
    if (!error->isEmpty()) return false;
  }
  if (request.progress) request.progress(table, done.present, total);
  RowWriter writer(target, shape);
  QList<QVariantList> batch;
  bool more = true;
  while (more) {
    more = from.next(row, error);
    if (!error->isEmpty()) return false;
    if (more) batch.append(row);
    if (batch.size() < request.batchRows && (more || batch.isEmpty())) continue;
    if (!beginWriting(target, error)) return false;
    if (!writer.write(batch, error) || !target.commit()) {
      if (error->isEmpty()) *error = target.lastError().text().trimmed();
      target.rollback();
      return false;
    }
    done.copied += batch.size();
    batch.clear();
    if (request.progress) request.progress(table, done.present + done.copied, total);
  }
  const QString& reset = SqlDialect::forDriver(target.driverName()).keyCounterReset;
  if (!shape.counterKey.isEmpty() && !reset.isEmpty()) {
    QSqlQuery query(target);
    if (!query.exec(reset.arg(shape.name, shape.counterKey, SqlDialect::name(shape.counterKey)))) {
      *error = QStringLiteral("%1: %2").arg(table, queryError(query));
      return false;
    }
  }
  return true;
}

// The source is never created: a wrong path is an error, not an empty archive.
QSqlDatabase openSource(const QString& location, const QString& schemaFile, QString* error) {
  if (!SqlDialect::isServerLocation(location) && !QFileInfo(location).isFile()) {
    *error = QStringLiteral("%1: no such database").arg(location);
    return {};
  }
  return openConnection(location, error, nullptr, schemaFile);
}

bool copyTables(QSqlDatabase& source, QSqlDatabase& target, const CopyRequest& request,
                QList<TableCopy>* tables, QString* error) {
  const QStringList names = schemaTables(schemaStatements(schemaText(
      engineSchemaFile(SqlDialect::forDriver(source.driverName()), request.schemaFile))));
  if (names.isEmpty()) {
    *error = QStringLiteral("No database schema found");
    return false;
  }
  for (const QString& table : names) {
    TableCopy done{table};
    const bool ok = copyTable(source, target, table, request, done, error);
    if (tables) tables->append(done);
    if (!ok) return false;
  }
  return true;
}

}  // namespace

bool sameDatabase(const QString& a, const QString& b) {
  const bool server = SqlDialect::isServerLocation(a);
  if (server != SqlDialect::isServerLocation(b)) return false;
  if (!server) {
    const QFileInfo fileA(a), fileB(b);
    if (fileA.exists() && fileB.exists())
      return fileA.canonicalFilePath() == fileB.canonicalFilePath();
    return fileA.absoluteFilePath() == fileB.absoluteFilePath();
  }
  const auto where = [](const QString& location) {
    const QUrl url(location);
    const QString socket =
        QUrlQuery(url).queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    return QStringList{socket.isEmpty() ? url.host().toLower() : QDir::cleanPath(socket),
                       QString::number(url.port(5432)), url.path()};
  };
  return where(a) == where(b);
}

bool copyDatabase(const CopyRequest& request, QList<TableCopy>* tables, QString* error) {
  if (sameDatabase(request.from, request.to)) {
    *error = QStringLiteral("%1 and %2 are the same database").arg(request.from, request.to);
    return false;
  }
  error->clear();
  QSqlDatabase source = openSource(request.from, request.schemaFile, error);
  QSqlDatabase target;
  bool readOnly = false;
  if (source.isOpen()) target = openConnection(request.to, error, &readOnly, request.schemaFile);
  if (target.isOpen() && readOnly)
    *error = QStringLiteral("%1: the database cannot be written").arg(request.to);
  const bool ok =
      target.isOpen() && !readOnly && copyTables(source, target, request, tables, error);
  releaseConnection(target);
  releaseConnection(source);
  return ok;
}

}  // namespace imagedb

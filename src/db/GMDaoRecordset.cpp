#include "db/GMDaoRecordset.h"

#include <QSqlError>
#include <QSqlRecord>
#include <algorithm>

#include "app/AppSettings.h"
#include "db/SqlDialect.h"
#include "ui/MessageSink.h"

namespace {
const QString kCaption = QStringLiteral("DBException");
const QVariant kNoValue;

// Texts are bound as empty text, never as NULL: a null QString would reach the engine as NULL.
QVariant text(const QString& value) { return value.isNull() ? QStringLiteral("") : value; }
}  // namespace

// ---- CFieldExchange

CFieldExchange::CFieldExchange(Operation operation, QStringList* names)
    : m_operation(operation), m_names(names) {}

CFieldExchange::CFieldExchange(const QVariantList* row, int firstColumn)
    : m_operation(Load), m_row(row), m_column(firstColumn) {}

CFieldExchange::CFieldExchange(QVariantList* values) : m_operation(Store), m_values(values) {}

const QVariant& CFieldExchange::next() {
  const int column = m_column++;
  return m_row && column < m_row->size() ? m_row->at(column) : kNoValue;
}

void CFieldExchange::store(const char* column, const QVariant& value) {
  if (m_operation == Names) m_names->append(QLatin1String(column));
  if (m_operation == Store) m_values->append(value);
}

void CFieldExchange::Key(const char* column, long& member) {
  if (m_operation == Names) m_keyColumn = QLatin1String(column);
  Field(column, member);
}

void CFieldExchange::Field(const char* column, QString& member) {
  if (m_operation == Load) {
    member = next().toString();
  } else {
    store(column, text(member));
  }
}

void CFieldExchange::Field(const char* column, long& member) {
  if (m_operation == Load) {
    member = static_cast<long>(next().toLongLong());
  } else {
    store(column, qlonglong(member));
  }
}

void CFieldExchange::Field(const char* column, short& member) {
  if (m_operation == Load) {
    member = static_cast<short>(next().toInt());
  } else {
    store(column, int(member));
  }
}

void CFieldExchange::Field(const char* column, double& member) {
  if (m_operation == Load) {
    member = next().toDouble();
  } else {
    store(column, member);
  }
}

void CFieldExchange::Field(const char* column, bool& member) {
  if (m_operation == Load) {
    member = next().toLongLong() != 0;
  } else {
    store(column, int(member ? 1 : 0));
  }
}

void CFieldExchange::Field(const char* column, CDateTime& member) {
  if (m_operation == Load) {
    member = dateTimeFromSql(next());
  } else {
    store(column, dateTimeToSql(member));
  }
}

// ---- CGMDaoRecordset

CGMDaoRecordset::CGMDaoRecordset(const QString& databaseName) : m_databaseName(databaseName) {}

CGMDaoRecordset::CGMDaoRecordset(CDaoDatabase* database) : m_database(database) {}

CGMDaoRecordset::~CGMDaoRecordset() = default;

QString CGMDaoRecordset::GetDefaultDBName() const { return theAppSettings().imageDatabasePath; }

QString CGMDaoRecordset::DatabasePath() const {
  if (m_database && !m_ownDatabase) return m_database->path();
  return m_databaseName.isEmpty() ? GetDefaultDBName() : m_databaseName;
}

const SqlDialect& CGMDaoRecordset::Dialect() const {
  return SqlDialect::forLocation(DatabasePath());
}

bool CGMDaoRecordset::EnsureConnection() {
  if (m_database && m_database->IsOpen()) return true;
  if (m_database && !m_ownDatabase) {
    ReportError(QStringLiteral("The database is not open"));
    return false;
  }
  // A private connection that was lost is replaced.
  if (!m_ownDatabase) m_ownDatabase = std::make_unique<CDaoDatabase>();
  m_database = m_ownDatabase.get();
  QString error;
  if (m_database->Open(DatabasePath(), &error)) return true;
  ReportError(error);
  return false;
}

CDaoDatabase* CGMDaoRecordset::Database() { return EnsureConnection() ? m_database : nullptr; }

void CGMDaoRecordset::ReportError(const QString& message) {
  CloseRows();
  m_lastError = message.isEmpty() ? QStringLiteral("Database error") : message;
  if (m_database) m_database->NoteError(m_lastError);
  if (!m_quiet) ShowMessage(m_lastError, kCaption, MB_OK | MB_ICONWARNING);
}

void CGMDaoRecordset::ReportError(const QSqlError& error) { ReportError(error.text().trimmed()); }

QSqlQuery* CGMDaoRecordset::Prepared(const QString& sql) {
  QSqlError error;
  QSqlQuery* query = m_database->Prepared(sql, &error);
  if (!query) ReportError(error);
  return query;
}

bool CGMDaoRecordset::Run(QSqlQuery* query, const QVariantList& values) {
  if (!query) return false;
  for (qsizetype i = 0; i < values.size(); ++i) query->bindValue(int(i), values.at(i));
  if (query->exec()) return true;
  const QSqlError error = query->lastError();
  query->finish();
  ReportError(error);
  return false;
}

const CGMDaoRecordset::TableShape& CGMDaoRecordset::Shape() {
  if (m_shape) return *m_shape;
  auto shape = std::make_unique<TableShape>();
  CFieldExchange names(CFieldExchange::Names, &shape->columns);
  DoFieldExchange(names);
  shape->key = names.keyColumn();
  shape->keyIndex = shape->key.isEmpty() ? -1 : int(shape->columns.indexOf(shape->key));
  shape->identity = shape->key.isEmpty() ? Dialect().rowIdentity : SqlDialect::name(shape->key);
  const QString table = GetDefaultSQL();
  QStringList selected;
  if (shape->key.isEmpty()) {
    selected.append(shape->identity);
    shape->rowColumns.append(shape->identity);
  }
  shape->rowColumns.append(shape->columns);
  QStringList changed;
  QStringList assignments;
  for (const QString& column : shape->columns) {
    const QString name = SqlDialect::name(column);
    selected.append(name);
    if (column == shape->key) continue;
    changed.append(name);
    assignments.append(name + QStringLiteral(" = ?"));
  }
  shape->select = QStringLiteral("SELECT %1 FROM %2").arg(selected.join(QLatin1Char(',')), table);
  shape->written = changed;
  shape->insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING %4")
                      .arg(table, changed.join(QLatin1Char(',')),
                           SqlDialect::placeholders(changed.size()), shape->identity);
  shape->update = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                      .arg(table, assignments.join(QLatin1Char(',')), shape->identity);
  shape->remove = QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(table, shape->identity);
  m_shape = std::move(shape);
  return *m_shape;
}

QVariantList CGMDaoRecordset::WithoutKey(const QVariantList& values) {
  QVariantList bound = values;
  if (Shape().keyIndex >= 0) bound.removeAt(Shape().keyIndex);
  return bound;
}

// Without letter case: a server gives back the names it folded to lower case ("rowcount" for
// "AS RowCount"). QStringList::indexOf has no case option (its second argument is the start).
int CGMDaoRecordset::ColumnIndex(const QString& column) const {
  for (qsizetype i = 0; i < m_rowColumns.size(); ++i) {
    if (m_rowColumns.at(i).compare(column, Qt::CaseInsensitive) == 0) return int(i);
  }
  return -1;
}

bool CGMDaoRecordset::HasCurrentRow() const {
  return m_open && !m_onDeletedRow && m_pos >= 0 && m_pos < static_cast<long>(m_rows.size());
}

void CGMDaoRecordset::LoadCurrentRow() {
  if (!m_boundRows || !HasCurrentRow()) return;
  CFieldExchange load(&m_rows[static_cast<std::size_t>(m_pos)], m_firstField);
  DoFieldExchange(load);
}

QVariantList CGMDaoRecordset::StoredValues() {
  QVariantList values;
  CFieldExchange store(&values);
  DoFieldExchange(store);
  return values;
}

bool CGMDaoRecordset::ReadRows(const QString& sql, const QVariantList& values) {
  m_rows.clear();
  m_cursor.reset();
  m_restOffset = 0;
  m_rest.clear();
  m_restNext = 0;
  QSqlQuery* query = nullptr;
  const bool pagesByQuery = m_pageSize > 0 && Dialect().pagesByQuery;
  if (pagesByQuery) {
    query = Prepared(sql + QStringLiteral(" LIMIT %1").arg(m_pageSize));
  } else if (m_pageSize > 0) {
    // A paged read outlives this call, so it cannot be the shared prepared statement.
    m_cursor = std::make_unique<QSqlQuery>(m_database->connection());
    m_cursor->setForwardOnly(true);
    if (!m_cursor->prepare(sql)) {
      const QSqlError error = m_cursor->lastError();
      m_cursor.reset();
      ReportError(error);
      return false;
    }
    query = m_cursor.get();
  } else {
    query = Prepared(sql);
  }
  if (!Run(query, values)) {
    m_cursor.reset();
    return false;
  }
  // The class's own rows have the shape's columns; asking the engine builds a record of every
  // column on each query, which for the image table costs as much as the query.
  if (m_boundRows) {
    m_rowColumns = Shape().rowColumns;
  } else {
    m_rowColumns.clear();
    const QSqlRecord record = query->record();
    for (int i = 0; i < record.count(); ++i) m_rowColumns.append(record.fieldName(i));
  }
  if (!pagesByQuery) return ReadFrom(query, m_pageSize);
  if (!ReadFrom(query, 0)) return false;
  // A full page: more rows may follow.
  if (static_cast<long>(m_rows.size()) == m_pageSize) m_restOffset = m_pageSize;
  return true;
}

bool CGMDaoRecordset::ReadFrom(QSqlQuery* query, int limit) {
  return ReadFrom(query, limit, m_rows);
}

bool CGMDaoRecordset::ReadFrom(QSqlQuery* query, int limit, std::vector<QVariantList>& into) {
  const int columns = int(m_rowColumns.size());
  int read = 0;
  while ((limit == 0 || read < limit) && query->next()) {
    QVariantList row;
    row.reserve(columns);
    for (int i = 0; i < columns; ++i) row.append(query->value(i));
    into.push_back(std::move(row));
    ++read;
  }
  if (limit != 0 && read == limit && query->isActive()) return true;
  const QSqlError error = query->lastError();
  query->finish();
  m_cursor.reset();
  if (error.isValid()) {
    ReportError(error);
    return false;
  }
  return true;
}

// The rest is read at once: pages of their own, each with a greater OFFSET, would make the
// server pass over every row before it again (a whole list of 100,000 patients in pages of 500
// took 25 times as long as one read of the rest). Rows an import adds meanwhile may shift the
// rest by a row; the list is read again after every import anyway.
bool CGMDaoRecordset::TakeRest(int rows) {
  if (m_restOffset > 0) {
    QSqlQuery* query = Prepared(m_sql + QStringLiteral(" OFFSET %1").arg(m_restOffset));
    m_restOffset = 0;
    if (!Run(query, m_sqlValues) || !ReadFrom(query, 0, m_rest)) return false;
  }
  const std::size_t end = std::min(m_rest.size(), m_restNext + static_cast<std::size_t>(rows));
  for (; m_restNext < end; ++m_restNext) m_rows.push_back(std::move(m_rest[m_restNext]));
  if (m_restNext == m_rest.size()) {
    m_rest.clear();
    m_restNext = 0;
  }
  return true;
}

bool CGMDaoRecordset::FetchMore(int rows) {
  if (!m_open || !HasMore() || rows <= 0) return false;
  const std::size_t before = m_rows.size();
  const bool wasPastEnd = IsEOF();
  if (!(m_cursor ? ReadFrom(m_cursor.get(), rows) : TakeRest(rows))) return false;
  // A position past the last row read moves onto the first new one.
  if (wasPastEnd && m_rows.size() > before) LoadCurrentRow();
  return m_rows.size() > before;
}

bool CGMDaoRecordset::Open(int openType, const QString& sql, const QVariantList& values) {
  if (m_open) Close();
  if (!EnsureConnection()) return false;
  m_openType = openType == dbOpenDefault ? m_nDefaultType : openType;
  if (!sql.isEmpty()) {
    m_sql = sql;
    m_sqlValues = values;
    m_boundRows = false;
    m_updatable = false;
    m_identityColumn = -1;
    m_firstField = 0;
  } else {
    const TableShape& shape = Shape();
    if (GetDefaultSQL().isEmpty() || shape.columns.isEmpty()) {
      ReportError(QStringLiteral("No table to open"));
      return false;
    }
    m_identityColumn = shape.keyIndex >= 0 ? shape.keyIndex : 0;
    m_firstField = shape.keyIndex >= 0 ? 0 : 1;
    m_sql = shape.select;
    if (!m_strFilter.trimmed().isEmpty()) m_sql += QStringLiteral(" WHERE ") + m_strFilter;
    if (!m_strSort.trimmed().isEmpty()) {
      m_sql += QStringLiteral(" ORDER BY ") + m_strSort;
      // Pages read by queries of their own must agree on the order of rows the sort ties.
      if (m_pageSize > 0 && Dialect().pagesByQuery) m_sql += QStringLiteral(", ") + shape.identity;
    } else if (!Dialect().readsInKeyOrder) {
      // Rows in the order they were appended, on every engine.
      m_sql += QStringLiteral(" ORDER BY ") + shape.identity;
    }
    m_sqlValues = m_filterValues;
    m_boundRows = true;
    m_updatable = m_openType != dbOpenSnapshot && !m_database->isReadOnly();
  }
  if (!ReadRows(m_sql, m_sqlValues)) return false;
  m_open = true;
  m_pos = 0;
  m_onDeletedRow = false;
  m_editMode = NoEdit;
  LoadCurrentRow();
  return true;
}

void CGMDaoRecordset::CloseRows() {
  m_open = false;
  m_cursor.reset();
  m_restOffset = 0;
  m_rest.clear();
  m_restNext = 0;
  m_rows.clear();
  m_pos = 0;
  m_onDeletedRow = false;
  m_editMode = NoEdit;
}

void CGMDaoRecordset::Close() { CloseRows(); }

bool CGMDaoRecordset::IsBOF() const { return !m_open || m_rows.empty() || m_pos < 0; }

bool CGMDaoRecordset::IsEOF() const {
  return !m_open || m_rows.empty() || m_pos >= static_cast<long>(m_rows.size());
}

void CGMDaoRecordset::Move(long rows) {
  // On a deleted row the position already names the row that followed it.
  if (m_onDeletedRow && rows > 0) --rows;
  MoveTo(m_pos + rows);
}

void CGMDaoRecordset::MoveNext() { Move(1); }
void CGMDaoRecordset::MovePrev() { Move(-1); }

void CGMDaoRecordset::MoveTo(long position) {
  if (!m_open) return;
  m_onDeletedRow = false;
  m_editMode = NoEdit;
  m_pos = std::clamp(position, -1L, static_cast<long>(m_rows.size()));
  LoadCurrentRow();
}

void CGMDaoRecordset::MoveFirst() { MoveTo(0); }
void CGMDaoRecordset::MoveLast() { MoveTo(static_cast<long>(m_rows.size()) - 1); }

bool CGMDaoRecordset::Find(FindType type, const QString& column, const QVariant& value) {
  if (!m_open) {
    ReportError(QStringLiteral("The row set is not open"));
    return false;
  }
  const int index = ColumnIndex(column);
  if (index < 0) {
    ReportError(QStringLiteral("Item not found in this collection: %1").arg(column));
    return false;
  }
  const long size = static_cast<long>(m_rows.size());
  long start = 0;
  long step = 1;
  switch (type) {
    case FindFirst:
      break;
    case FindLast:
      start = size - 1;
      step = -1;
      break;
    case FindNext:
      start = m_onDeletedRow ? m_pos : m_pos + 1;
      break;
    case FindPrevious:
      start = m_pos - 1;
      step = -1;
      break;
  }
  for (long i = start; i >= 0 && i < size; i += step) {
    const QVariant& cell = m_rows[static_cast<std::size_t>(i)].at(index);
    if (QVariant::compare(cell, value) == QPartialOrdering::Equivalent) {
      m_pos = i;
      m_onDeletedRow = false;
      m_editMode = NoEdit;
      LoadCurrentRow();
      return true;
    }
  }
  return false;
}

bool CGMDaoRecordset::CanChange(bool needsCurrentRow) {
  if (!m_open || !m_updatable) {
    ReportError(QStringLiteral("Cannot update. Database or object is read-only."));
    return false;
  }
  if (needsCurrentRow && !HasCurrentRow()) {
    ReportError(QStringLiteral("No current record."));
    return false;
  }
  return true;
}

void CGMDaoRecordset::AddNew() {
  if (!CanChange(false)) return;
  ClearMembers();
  m_editMode = Adding;
}

void CGMDaoRecordset::ClearMembers() {
  // A new row starts with empty texts, zero numbers and cleared dates.
  const QVariantList empty;
  CFieldExchange clear(&empty, 0);
  DoFieldExchange(clear);
}

void CGMDaoRecordset::Edit() {
  if (!CanChange(true)) return;
  m_editMode = Editing;
}

QVariantList CGMDaoRecordset::InsertMembers() {
  const TableShape& shape = Shape();
  QVariantList values = StoredValues();
  QSqlQuery* query = Prepared(shape.insert);
  if (!Run(query, WithoutKey(values))) return {};
  const QVariant assigned = query->next() ? query->value(0) : QVariant();
  query->finish();
  if (!assigned.isValid()) {
    ReportError(QStringLiteral("The new row got no key"));
    return {};
  }
  QVariantList row;
  if (shape.keyIndex >= 0) {
    values[shape.keyIndex] = assigned;
  } else {
    row.append(assigned);
  }
  row.append(values);
  return row;
}

bool CGMDaoRecordset::Update() {
  if (!m_open || m_editMode == NoEdit) {
    ReportError(QStringLiteral("Update without AddNew or Edit."));
    return false;
  }
  if (m_editMode == Adding) {
    QVariantList row = InsertMembers();
    if (row.isEmpty()) return false;
    m_rows.push_back(std::move(row));
    m_pos = static_cast<long>(m_rows.size()) - 1;
  } else {
    const TableShape& shape = Shape();
    QVariantList values = StoredValues();
    QVariantList bound = WithoutKey(values);
    const QVariant rowId = m_rows[static_cast<std::size_t>(m_pos)].at(m_identityColumn);
    bound.append(rowId);
    if (!Run(Prepared(shape.update), bound)) return false;
    QVariantList row;
    if (shape.keyIndex >= 0) {
      values[shape.keyIndex] = rowId;  // the key never changes
    } else {
      row.append(rowId);
    }
    row.append(values);
    m_rows[static_cast<std::size_t>(m_pos)] = std::move(row);
  }
  m_onDeletedRow = false;
  m_editMode = NoEdit;
  LoadCurrentRow();
  return true;
}

long CGMDaoRecordset::AppendRow(const std::function<void()>& fill) {
  if (!CanAppend()) return -1;
  if (m_open) {
    AddNew();
    fill();
    if (!Update()) return -1;
    return static_cast<long>(
        m_rows[static_cast<std::size_t>(m_pos)].at(m_identityColumn).toLongLong());
  }
  ClearMembers();
  fill();
  const QVariantList row = InsertMembers();
  if (row.isEmpty()) return -1;
  // The members take the stored row back, the engine's key with it.
  const int keyIndex = Shape().keyIndex;
  CFieldExchange load(&row, keyIndex >= 0 ? 0 : 1);
  DoFieldExchange(load);
  return static_cast<long>(row.at(keyIndex >= 0 ? keyIndex : 0).toLongLong());
}

bool CGMDaoRecordset::AppendRows(int count, const std::function<void(int)>& fill) {
  if (!CanAppend()) return false;
  if (count <= 0) return true;
  const TableShape& shape = Shape();
  const auto rowValues = [&](int row) {
    ClearMembers();
    fill(row);
    return WithoutKey(StoredValues());
  };
  if (const QString& fromJson = Dialect().rowsFromJson; !fromJson.isEmpty()) {
    JsonRows rows(shape.written);
    for (int row = 0; row < count; ++row) rows.append(rowValues(row));
    QSqlQuery* insert =
        Prepared(fromJson.arg(GetDefaultSQL(), shape.written.join(QLatin1Char(','))));
    if (!Run(insert, {rows.text()})) return false;
    insert->finish();
    return true;
  }
  const int perStatement = Dialect().rowsPerInsert(shape.written.size());
  for (int first = 0; first < count; first += perStatement) {
    const int rows = std::min(perStatement, count - first);
    QVariantList values;
    values.reserve(rows * shape.written.size());
    for (int row = first; row < first + rows; ++row) values.append(rowValues(row));
    QSqlQuery* insert = Prepared(SqlDialect::insertRows(GetDefaultSQL(), shape.written, rows));
    if (!Run(insert, values)) return false;
    insert->finish();
  }
  return true;
}

void CGMDaoRecordset::Delete() {
  if (!CanChange(true)) return;
  const QVariant rowId = m_rows[static_cast<std::size_t>(m_pos)].at(m_identityColumn);
  if (!Run(Prepared(Shape().remove), {rowId})) return;
  m_rows.erase(m_rows.begin() + m_pos);
  m_onDeletedRow = true;
  m_editMode = NoEdit;
}

void CGMDaoRecordset::CancelUpdate() {
  m_editMode = NoEdit;
  LoadCurrentRow();
}

bool CGMDaoRecordset::Requery() {
  if (!m_open) {
    ReportError(QStringLiteral("The row set is not open"));
    return false;
  }
  if (!ReadRows(m_sql, m_sqlValues)) return false;
  m_pos = 0;
  m_onDeletedRow = false;
  m_editMode = NoEdit;
  LoadCurrentRow();
  return true;
}

bool CGMDaoRecordset::Execute(const QString& sql, const QVariantList& values) {
  if (!EnsureConnection()) return false;
  if (values.isEmpty()) {
    // Statements without values run as they are: a server prepares only queries and row
    // changes, not ANALYZE, SET or DROP.
    QSqlQuery query(m_database->connection());
    if (query.exec(sql)) return true;
    ReportError(query.lastError());
    return false;
  }
  QSqlQuery* query = Prepared(sql);
  if (!Run(query, values)) return false;
  query->finish();
  return true;
}

bool CGMDaoRecordset::CanAppend() {
  if (GetDefaultSQL().isEmpty() || !EnsureConnection() || m_database->isReadOnly()) return false;
  return m_open ? m_updatable : m_nDefaultType != dbOpenSnapshot;
}

QVariant CGMDaoRecordset::GetFieldValue(const QString& column) const {
  if (!HasCurrentRow()) return {};
  const int index = ColumnIndex(column);
  return index < 0 ? QVariant() : m_rows[static_cast<std::size_t>(m_pos)].at(index);
}

void CGMDaoRecordset::SetFilter(const CSqlFilter& filter) {
  m_strFilter = filter.text(Dialect());
  m_filterValues = filter.values();
}

int CGMDaoRecordset::OpenWith(const CSqlFilter& filter) {
  SetFilter(filter);
  return Open() && !IsEOF() ? 1 : 0;
}

long CGMDaoRecordset::Aggregate(const QString& expression, const CSqlFilter& filter) {
  QString sql = QStringLiteral("SELECT %1 AS Result FROM %2").arg(expression, GetDefaultSQL());
  if (!filter.isEmpty()) sql += QStringLiteral(" WHERE ") + filter.text(Dialect());
  const long result = Open(dbOpenSnapshot, sql, filter.values())
                          ? static_cast<long>(GetFieldValue(QStringLiteral("Result")).toLongLong())
                          : 0;
  Close();
  return result;
}

bool CGMDaoRecordset::DeleteWhere(const CSqlFilter& filter) {
  if (filter.isEmpty()) return false;
  Close();
  return Execute(
      QStringLiteral("DELETE FROM %1 WHERE ").arg(GetDefaultSQL()) + filter.text(Dialect()),
      filter.values());
}

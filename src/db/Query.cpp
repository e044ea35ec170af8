#include "db/Query.h"

#include <QAtomicInteger>
#include <QDir>
#include <QSqlError>
#include <QSqlRecord>

#include "app/AppSettings.h"
#include "db/ImageDatabase.h"
#include "ui/MessageSink.h"

namespace {

const char* const kOdbcDriver = "QODBC";

QString newConnectionName() {
  static QAtomicInteger<quint64> counter;
  return QStringLiteral("reportdb-%1").arg(counter.fetchAndAddRelaxed(1));
}

// ODBC's general error state stands in when a driver names none.
void showDiagnostic(const QSqlError& error, const QString& fallbackText) {
  QString state = error.nativeErrorCode();
  if (state.size() != 5) state = QStringLiteral("HY000");
  QString text = error.text().trimmed();
  if (text.isEmpty()) text = fallbackText;
  ShowMessage(QStringLiteral("SQLSTATE:%1, 진단정보:%2").arg(state, text),
              QStringLiteral("진단 정보"), MB_OK);
}

}  // namespace

CQuery::CQuery() = default;

CQuery::~CQuery() { Disconnect(); }

bool CQuery::OpenConnection(int type, const QString& source, const QString& user,
                            const QString& password) {
  if (type != kConnectFile && type != kConnectFileDsn && type != kConnectDsn) return false;
  Disconnect();
  QString error;
  if (type == kConnectFile) {
    m_db =
        imagedb::openConnection(source, &error, nullptr, QLatin1String(imagedb::kReportSchemaFile));
  } else {
    m_db = QSqlDatabase::addDatabase(QLatin1String(kOdbcDriver), newConnectionName());
    m_db.setDatabaseName(type == kConnectFileDsn ? QStringLiteral("FileDsn=%1").arg(source)
                                                 : source);
    if (type == kConnectDsn) {
      m_db.setUserName(user);
      m_db.setPassword(password);
    }
    m_db.open();
  }
  if (m_db.isOpen()) {
    m_returnCode = kSuccess;
    return true;
  }
  m_returnCode = kError;
  const QSqlError driverError = m_db.lastError();
  m_lastError = error.isEmpty() ? driverError.text().trimmed() : error;
  showDiagnostic(driverError, m_lastError);
  imagedb::releaseConnection(m_db);
  return false;
}

void CQuery::Disconnect() {
  m_query.reset();
  m_onRow = false;
  m_columnCount = 0;
  if (m_db.isValid()) imagedb::releaseConnection(m_db);
}

bool CQuery::failed(const QString& error) {
  m_returnCode = kError;
  m_lastError = error;
  m_query.reset();
  m_columnCount = 0;
  return false;
}

bool CQuery::ExecuteStatement(const QString& sql, const QVariantList& values) {
  CloseStatement();
  if (!m_db.isOpen()) return failed(QStringLiteral("No report database"));
  m_query = std::make_unique<QSqlQuery>(m_db);
  m_query->setForwardOnly(true);
  if (!m_query->prepare(sql)) return failed(m_query->lastError().text().trimmed());
  for (const QVariant& value : values) m_query->addBindValue(value);
  if (!m_query->exec()) return failed(m_query->lastError().text().trimmed());
  m_rowCount = m_query->numRowsAffected();
  const int columns = m_query->record().count();
  if (columns > kMaxColumns) {
    ShowMessage(QStringLiteral("최대 컬럼 수를 초과했습니다"), QStringLiteral("CQuery 에러"),
                MB_OK);
    return failed(QStringLiteral("Too many columns"));
  }
  m_columnCount = columns;
  m_returnCode = columns == 0 && m_rowCount == 0 ? kNoData : kSuccess;
  if (columns == 0) CloseStatement();
  return true;
}

int CQuery::FetchRow() {
  if (!m_query) return m_returnCode = kError;
  m_onRow = m_query->next();
  if (m_onRow) return m_returnCode = kSuccess;
  if (m_query->lastError().isValid()) {
    m_lastError = m_query->lastError().text().trimmed();
    return m_returnCode = kError;
  }
  return m_returnCode = kNoData;
}

void CQuery::CloseStatement() {
  if (m_query) m_query->finish();
  m_onRow = false;
}

int CQuery::FindColumn(const QString& name) const {
  if (!m_query) return -1;
  const QSqlRecord record = m_query->record();
  for (int i = 0; i < m_columnCount; ++i) {
    if (record.fieldName(i).compare(name, Qt::CaseInsensitive) == 0) return i + 1;
  }
  return -1;
}

QString CQuery::GetColumnText(int column) const {
  if (column < 1 || column > m_columnCount) return QStringLiteral("CQUERYNOCOL");
  if (!m_query || !m_onRow) return QString();
  const QVariant value = m_query->value(column - 1);
  return value.isNull() ? QString() : value.toString();
}

QString CQuery::GetColumnText(const QString& name) const {
  const int column = FindColumn(name);
  return column < 0 ? QString() : GetColumnText(column);
}

bool CQuery::BeginTrans() {
  CloseStatement();
  return m_db.isOpen() && m_db.transaction();
}

bool CQuery::CommitTrans() {
  CloseStatement();
  if (m_db.commit()) return true;
  m_lastError = m_db.lastError().text().trimmed();
  m_db.rollback();
  return false;
}

void CQuery::Rollback() {
  CloseStatement();
  m_db.rollback();
}

CQuery& theReportQuery() {
  static CQuery query;
  return query;
}

bool ConnectReportDatabase(CQuery& query, const QString& location) {
  if (query.OpenConnection(CQuery::kConnectFile, location)) return true;
  ShowMessage(QStringLiteral("Can't connect a database for report"), AppSettings::title(),
              MB_ICONEXCLAMATION);
  return false;
}

#include "db/ImageDatabase.h"

#include <QAtomicInteger>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

#include "app/AppSettings.h"
#include "db/SqlDialect.h"

namespace imagedb {
namespace {

const char* const kDriver = "QSQLITE";

QString readFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

QString newConnectionName() {
  static QAtomicInteger<quint64> counter;
  return QStringLiteral("imagedb-%1").arg(counter.fetchAndAddRelaxed(1));
}

bool runStatements(QSqlDatabase& db, const QStringList& statements, QString* error) {
  QSqlQuery query(db);
  for (const QString& statement : statements) {
    if (!query.exec(statement)) {
      if (error) *error = query.lastError().text();
      return false;
    }
  }
  return true;
}

}  // namespace

const SqlDialect& dialect() { return SqlDialect::forDriver(QLatin1String(kDriver)); }

QString schemaSql(const QString& schemaFile) {
  const QString programFolder = theAppSettings().programFolder;
  if (!programFolder.isEmpty()) {
    const QString text = readFile(programFolder + schemaFile);
    if (!text.isEmpty()) return text;
  }
  return readFile(QStringLiteral(":/db/") + schemaFile);
}

QStringList schemaStatements(const QString& sql) {
  static const QRegularExpression comment(QStringLiteral("--[^\n]*"));
  QString text = sql;
  text.remove(comment);
  QStringList statements;
  for (const QString& part : text.split(QLatin1Char(';'))) {
    const QString statement = part.trimmed();
    if (!statement.isEmpty()) statements.append(statement);
  }
  return statements;
}

bool createDatabase(const QString& path, QString* error, const QString& schemaFile) {
  const QStringList statements = schemaStatements(schemaSql(schemaFile));
  if (statements.isEmpty()) {
    if (error) *error = QStringLiteral("No database schema found");
    return false;
  }
  QTemporaryFile temporary(path + QStringLiteral(".XXXXXX"));
  if (!temporary.open()) {
    if (error) *error = QStringLiteral("Cannot create %1: %2").arg(path, temporary.errorString());
    return false;
  }
  temporary.close();
  bool built = false;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(kDriver), newConnectionName());
    db.setDatabaseName(temporary.fileName());
    // One transaction: a commit per statement would wait for the disc sixty times.
    if (db.open()) {
      built = db.transaction() && runStatements(db, statements, error) && db.commit() &&
              runStatements(db, dialect().sessionSetup, error);
    } else if (error) {
      *error = db.lastError().text();
    }
    releaseConnection(db);
  }
  if (!built) return false;
  // A temporary file is private to its owner; the database is read like any document.
  temporary.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ReadGroup | QFileDevice::ReadOther);
  if (QFile::rename(temporary.fileName(), path)) {
    temporary.setAutoRemove(false);
    return true;
  }
  // Someone else created the file in the meantime: theirs is as good as ours.
  if (QFileInfo::exists(path)) return true;
  if (error) *error = QStringLiteral("Cannot create %1").arg(path);
  return false;
}

QSqlDatabase openConnection(const QString& path, QString* error, bool* readOnly,
                            const QString& schemaFile) {
  QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(kDriver), newConnectionName());
  if (path.isEmpty()) {
    if (error) *error = QStringLiteral("No database path");
    return db;
  }
  if (!QFileInfo::exists(path) && !createDatabase(path, error, schemaFile)) return db;
  const bool writable = QFileInfo(path).isWritable();
  if (readOnly) *readOnly = !writable;
  db.setDatabaseName(path);
  QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");
  if (!writable) options += QStringLiteral(";QSQLITE_OPEN_READONLY");
  db.setConnectOptions(options);
  if (!db.open()) {
    if (error) *error = db.lastError().text();
    return db;
  }
  if (writable && !runStatements(db, dialect().sessionSetup, error)) {
    db.close();
  }
  return db;
}

void releaseConnection(QSqlDatabase& db) {
  const QString name = db.connectionName();
  db.close();
  db = QSqlDatabase();
  if (!name.isEmpty()) QSqlDatabase::removeDatabase(name);
}

}  // namespace imagedb

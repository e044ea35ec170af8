#include "db/ImageDatabase.h"

#include <unistd.h>

#include <cerrno>

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QUrl>
#include <QUrlQuery>

#include "app/AppSettings.h"
#include "app/InstallLayout.h"
#include "db/SqlDialect.h"

namespace imagedb {
namespace {

const SqlDialect& fileDialect() { return SqlDialect::forDriver(QStringLiteral("QSQLITE")); }

QString readFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

QString newConnectionName() {
  static QAtomicInteger<quint64> counter;
  return QStringLiteral("imagedb-%1").arg(counter.fetchAndAddRelaxed(1));
}

// A server database whose tables are missing gets them from the schema, in one transaction.
// Workstations starting together take the writers' lock first and look again under it, so only
// one of them creates the tables.
bool ensureServerSchema(QSqlDatabase& db, const QString& schemaFile, QString* error) {
  const SqlDialect& dialect = SqlDialect::forDriver(db.driverName());
  const QStringList statements =
      schemaStatements(schemaText(engineSchemaFile(dialect, schemaFile)));
  const QStringList tables = schemaTables(statements);
  if (tables.isEmpty()) {
    if (error) *error = QStringLiteral("No database schema found");
    return false;
  }
  const auto hasTables = [&db, &tables] {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT to_regclass(?) IS NOT NULL"));
    query.addBindValue(SqlDialect::name(tables.first()));
    return query.exec() && query.next() && query.value(0).toBool();
  };
  if (hasTables()) return true;
  if (beginWriting(db, error)) {
    if (hasTables() || runStatements(db, statements, error)) {
      if (db.commit()) return true;
      if (error) *error = db.lastError().text();
    }
  }
  db.rollback();
  return false;
}

QSqlDatabase openServerConnection(const QString& location, const QString& schemaFile,
                                  QString* error) {
  QSqlDatabase db = connectServer(location, error);
  if (db.isOpen() && (!runStatements(db, SqlDialect::forLocation(location).sessionSetup, error) ||
                      !ensureServerSchema(db, schemaFile, error))) {
    db.close();
  }
  return db;
}

}  // namespace

QString serverLocation(const QString& host, int port, const QString& name, const QString& user) {
  QUrl url;
  url.setScheme(QStringLiteral("postgresql"));
  url.setUserName(user);
  const bool socket = host.startsWith(QLatin1Char('/'));
  // An authority must have a host once it has a user or a port: an empty one stands for the
  // local socket, whose folder follows as "?host=".
  if (!socket) url.setHost(host);
  if (port > 0) url.setPort(port);
  url.setPath(QLatin1Char('/') + name);
  if (socket) url.setQuery(QStringLiteral("host=") + host);
  return url.toString();
}

QString schemaSql(const SqlDialect& dialect) { return schemaText(dialect.schemaFile); }

QString schemaText(const QString& schemaFile) {
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

QStringList schemaTables(const QStringList& statements) {
  static const QRegularExpression created(QStringLiteral("^CREATE TABLE\\s+\"?(\\w+)"),
                                          QRegularExpression::CaseInsensitiveOption);
  QStringList tables;
  for (const QString& statement : statements) {
    const QRegularExpressionMatch match = created.match(statement);
    if (match.hasMatch()) tables.append(match.captured(1));
  }
  return tables;
}

QString engineSchemaFile(const SqlDialect& dialect, const QString& schemaFile) {
  if (schemaFile.isEmpty()) return dialect.schemaFile;
  return QFileInfo(schemaFile).completeBaseName() + QLatin1Char('.') +
         QFileInfo(dialect.schemaFile).suffix();
}

bool createDatabase(const QString& path, QString* error, const QString& schemaFile) {
  const QStringList statements =
      schemaStatements(schemaText(engineSchemaFile(fileDialect(), schemaFile)));
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
    QSqlDatabase db = QSqlDatabase::addDatabase(fileDialect().driverName, newConnectionName());
    db.setDatabaseName(temporary.fileName());
    // One transaction: a commit per statement would wait for the disc sixty times.
    if (db.open()) {
      built = db.transaction() && runStatements(db, statements, error) && db.commit() &&
              runStatements(db, fileDialect().sessionSetup, error);
    } else if (error) {
      *error = db.lastError().text();
    }
    releaseConnection(db);
  }
  if (!built) return false;
  // A temporary file is private to its owner; the database is shared like any document (an
  // installed station's group writes it too). SQLite gives its journals the same permissions.
  temporary.setPermissions(DocumentPermissions());
  // A hard link puts the file in place only where none is: two programs creating the database
  // at once must not replace the one the other is already writing (their "-wal" files share the
  // name, and the loser's writes would land in the winner's file).
  const QByteArray from = QFile::encodeName(temporary.fileName());
  if (::link(from.constData(), QFile::encodeName(path).constData()) == 0) return true;
  // Someone else created the file in the meantime: theirs is as good as ours.
  if (errno == EEXIST || QFileInfo::exists(path)) return true;
  // A file system without hard links: the rename, which refuses an existing file too.
  if (QFile::rename(temporary.fileName(), path)) {
    temporary.setAutoRemove(false);
    return true;
  }
  if (error) *error = QStringLiteral("Cannot create %1").arg(path);
  return false;
}

QSqlDatabase openConnection(const QString& path, QString* error, bool* readOnly,
                            const QString& schemaFile) {
  if (SqlDialect::isServerLocation(path)) {
    if (readOnly) *readOnly = false;
    return openServerConnection(path, schemaFile, error);
  }
  QSqlDatabase db = QSqlDatabase::addDatabase(fileDialect().driverName, newConnectionName());
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
  if (writable && !runStatements(db, fileDialect().sessionSetup, error)) {
    db.close();
  }
  return db;
}

QSqlDatabase connectServer(const QString& location, QString* error) {
  const SqlDialect& dialect = SqlDialect::forLocation(location);
  QSqlDatabase db = QSqlDatabase::addDatabase(dialect.driverName, newConnectionName());
  const QUrl url(location);
  const QString name = url.path().mid(1);
  if (!SqlDialect::isServerLocation(location) || !url.isValid() || name.isEmpty() ||
      name.contains(QLatin1Char('/'))) {
    if (error) *error = QStringLiteral("Not a database URL: %1").arg(location);
    return db;
  }
  // "?host=/folder" names the local socket's folder, which a URL's host part cannot hold.
  const QString socketFolder =
      QUrlQuery(url).queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
  db.setHostName(socketFolder.isEmpty() ? url.host() : socketFolder);
  if (url.port() > 0) db.setPort(url.port());
  db.setDatabaseName(name);
  db.setUserName(url.userName());
  if (!db.open() && error) *error = db.lastError().text().trimmed();
  return db;
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

bool beginWriting(QSqlDatabase& db, QString* error) {
  const QStringList& begin = SqlDialect::forDriver(db.driverName()).beginTransaction;
  if (begin.isEmpty()) {
    if (db.transaction()) return true;
    if (error) *error = db.lastError().text().trimmed();
    return false;
  }
  QSqlQuery query(db);
  for (const QString& statement : begin) {
    if (query.exec(statement)) continue;
    if (error) *error = query.lastError().text().trimmed();
    // A transaction begun before the failure is not left open on the connection.
    if (statement != begin.first()) QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    return false;
  }
  return true;
}

ScratchDatabase::ScratchDatabase(const QString& server, const QString& prefix) {
  static QAtomicInteger<int> counter;
  const QString name = QStringLiteral("%1_%2_%3")
                           .arg(prefix)
                           .arg(QCoreApplication::applicationPid())
                           .arg(counter.fetchAndAddRelaxed(1));
  QSqlDatabase db = connectServer(server, &m_error);
  if (db.isOpen()) {
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("CREATE DATABASE ") + name)) {
      m_server = server;
      m_name = name;
      QUrl url(server);
      url.setPath(QLatin1Char('/') + name);
      m_location = url.toString();
    } else {
      m_error = query.lastError().text().trimmed();
    }
  }
  releaseConnection(db);
}

ScratchDatabase::~ScratchDatabase() {
  if (m_name.isEmpty()) return;
  QSqlDatabase db = connectServer(m_server, nullptr);
  if (db.isOpen()) {
    QSqlQuery(db).exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
  }
  releaseConnection(db);
}

void releaseConnection(QSqlDatabase& db) {
  const QString name = db.connectionName();
  db.close();
  db = QSqlDatabase();
  if (!name.isEmpty()) QSqlDatabase::removeDatabase(name);
}

}  // namespace imagedb

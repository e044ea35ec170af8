#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The database files (the image database and the report database): their schemas, their
// creation on first use, and the private connections opened on them. The image database's
// location is either a SQLite file's path (the default, one
// workstation) or the URL of a PostgreSQL database that several workstations share:
// "postgresql://user@host:port/dbname", or "postgresql://user@/dbname?host=/socket/folder" for
// a server on the local socket. The password never appears in it: the client library reads it
// from the PGPASSWORD environment variable or the user's password file (~/.pgpass).
class SqlDialect;

namespace imagedb {

// The URL of a server database; a host that is a folder ("/run/postgresql") names the folder of
// the server's local socket. An empty user is the client library's default (the login name).
QString serverLocation(const QString& host, int port, const QString& name, const QString& user);

// The engine's schema as SQL text: the program folder's schema file (Pelmora.sql, or
// Pelmora.pgsql for the server) when there is one (a site may ship its own), else the copy
// compiled into the program, so a missing file never stops the creation of a database.
QString schemaSql(const SqlDialect& dialect);
// The schema file of that name, looked for the same way (the report database's "toraScan.sql").
QString schemaText(const QString& schemaFile);
// The report database's schema file.
inline constexpr const char* kReportSchemaFile = "toraScan.sql";
// The statements of a schema text, comments removed, in order.
QStringList schemaStatements(const QString& sql);
// The tables a schema's statements create, in their order, named as written there.
QStringList schemaTables(const QStringList& statements);
// The file of a schema for the engine: schemaFile names the SQLite one ("toraScan.sql"); a
// server takes its sibling with the server's suffix ("toraScan.pgsql"). Empty: the image
// database's.
QString engineSchemaFile(const SqlDialect& dialect, const QString& schemaFile);

// Creates the database file at path from the schema. The file is built under a temporary name
// and renamed into place, so a crash or a second program never sees half a schema. True when
// the file exists afterwards (also when another process created it first); false with the
// reason in error otherwise.
// schemaFile names another schema than the image database's (empty: the image database's).
bool createDatabase(const QString& path, QString* error, const QString& schemaFile = QString());

// Opens a new connection with a name of its own on the database at location, creating the file
// (or, on a server, the tables) from the schema first when they are missing. A file the user
// cannot write is opened read-only. On failure the returned connection is not open and error
// says why; the caller still releases it with releaseConnection. readOnly tells whether the
// database was opened read-only.
// A file created there takes the schema schemaFile (empty: the image database's); a server
// database its server form (engineSchemaFile).
QSqlDatabase openConnection(const QString& location, QString* error, bool* readOnly = nullptr,
                            const QString& schemaFile = QString());
// A connection to the server database at location as it is: no session set-up, no schema (for
// administration: creating and dropping databases). Not open, with the reason in error, when
// the location is no server URL or the server refuses.
QSqlDatabase connectServer(const QString& location, QString* error);
// Runs the statements in order; false with the first failure's reason in error.
bool runStatements(QSqlDatabase& db, const QStringList& statements, QString* error);
// Begins a writing transaction the way the engine's writers do (SqlDialect::beginTransaction).
// False with the reason in error; no transaction is left open then.
bool beginWriting(QSqlDatabase& db, QString* error);
// A database of its own on the server that server (a database URL) names, for a test or a
// benchmark: created under a name unique to the process ("<prefix>_<pid>_<n>"), dropped with
// the object (its connections ended first). location() is empty when the server refused it,
// and error() says why.
class ScratchDatabase {
 public:
  ScratchDatabase(const QString& server, const QString& prefix);
  ~ScratchDatabase();
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;

  const QString& location() const { return m_location; }
  const QString& error() const { return m_error; }

 private:
  QString m_server;
  QString m_name;
  QString m_location;
  QString m_error;
};
// Closes the connection and forgets its name. Every query on it must be gone by then.
void releaseConnection(QSqlDatabase& db);

}  // namespace imagedb

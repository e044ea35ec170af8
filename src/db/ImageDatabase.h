#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The database files (the image database and the report database): their schemas, their
// creation when a file is missing, and the private connections opened on them.
class SqlDialect;

namespace imagedb {

// The schema files' names in the program folder and in the compiled-in resources.
inline constexpr const char* kSchemaFile = "Pelmora.sql";
inline constexpr const char* kReportSchemaFile = "toraScan.sql";

// The dialect of the engine the image database runs on.
const SqlDialect& dialect();

// The schema as SQL text: the program folder's Pelmora.sql when there is one (a site may ship
// its own), else the copy compiled into the program, so a missing file never stops the
// creation of a database.
QString schemaSql(const QString& schemaFile = QLatin1String(kSchemaFile));
// The statements of a schema text, comments removed, in order.
QStringList schemaStatements(const QString& sql);

// Creates the database file at path from the schema schemaFile. The file is built under a temporary
// name and renamed into place, so a crash or a second program never sees half a schema. True when
// the file exists afterwards (also when another process created it first); false with the
// reason in error otherwise.
bool createDatabase(const QString& path, QString* error,
                    const QString& schemaFile = QLatin1String(kSchemaFile));

// Opens a new connection with a name of its own on the database at path, creating the file from
// the schema schemaFile first when it is missing. A file the user cannot write is opened read-only.
// On failure the returned connection is not open and error says why; the caller still releases it
// with releaseConnection. readOnly tells whether the file was opened read-only.
QSqlDatabase openConnection(const QString& path, QString* error, bool* readOnly = nullptr,
                            const QString& schemaFile = QLatin1String(kSchemaFile));
// Closes the connection and forgets its name. Every query on it must be gone by then.
void releaseConnection(QSqlDatabase& db);

}  // namespace imagedb

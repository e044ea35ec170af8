#pragma once

#include <QList>
#include <QString>
#include <functional>

// Moves a whole database (the image database, or the report database) from one location to
// another, across engines: a SQLite file to a PostgreSQL server and back. Every table of the
// schema is copied in a fixed order, each in the order of its key (of all its columns when it
// has none), in transactions of a batch of rows; the keys keep their values, so the rows that
// name each other (an image its series, a series its study) still do.
//
// A copy that was interrupted (killed, the server gone) is taken up again by running it once
// more: the rows a table in the target already holds must be the first rows of the source's
// table in that order (as an earlier copy left them), and the copy goes on after them. A
// target holding anything else is refused and left as it is.
namespace imagedb {

struct TableCopy {
  QString table;
  qint64 present = 0;  // rows the target held already (an earlier, interrupted copy)
  qint64 copied = 0;   // rows written now
};

// Called after every committed batch, and once when a table starts.
using CopyProgress = std::function<void(const QString& table, qint64 done, qint64 total)>;

struct CopyRequest {
  QString from;
  QString to;
  // The schema both hold: empty for the image database, kReportSchemaFile for the reports.
  QString schemaFile;
  int batchRows = 5000;
  CopyProgress progress;
};

// Copies request.from into request.to (created from the schema when missing). True when every
// table is complete in the target; false with the reason in error otherwise (the source is
// missing, both name the same database, the target holds other rows, an engine error).
// tables receives what was done to each table, as far as the copy went.
bool copyDatabase(const CopyRequest& request, QList<TableCopy>* tables, QString* error);

// Whether two locations name the same database: one SQLite file (through any path to it) or
// one database of one server.
bool sameDatabase(const QString& a, const QString& b);

}  // namespace imagedb

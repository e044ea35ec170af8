#pragma once

// The archive the database and browser benchmarks share: 100,000 patients, 200,000 studies (one
// series each) and 1,000,000 images, filled once by torascan-cli db-fill. TORASCAN_BENCH_DB
// names the database to use: a SQLite file, filled there when missing, or a PostgreSQL
// database's URL (postgresql://...), filled when its archive is empty; either is kept, so later
// runs start at once. Without it the archive is built in a temporary folder for the run.
// FreshDatabase gives the benchmarks that need an empty database one on the same engine.

#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <memory>

#include "db/ImageDatabase.h"
#include "db/SqlDialect.h"

namespace bench {

constexpr long kPatients = 100000;
constexpr long kStudiesPerPatient = 2;
constexpr long kImagesPerStudy = 5;
constexpr long kStudies = kPatients * kStudiesPerPatient;

inline QString givenDatabase() { return qEnvironmentVariable("TORASCAN_BENCH_DB"); }

// A single number a query gives on the database at location; -1 when it fails.
inline qint64 queryNumber(const QString& location, const QString& sql) {
  QString error;
  QSqlDatabase db = imagedb::openConnection(location, &error);
  qint64 number = -1;
  if (db.isOpen()) {
    QSqlQuery query(db);
    if (query.exec(sql) && query.next()) number = query.value(0).toLongLong();
  }
  imagedb::releaseConnection(db);
  return number;
}

inline const QString& archive() {
  static std::unique_ptr<QTemporaryDir> temporary;
  static QString path;
  if (!path.isEmpty()) return path;
  path = givenDatabase();
  if (path.isEmpty()) {
    temporary = std::make_unique<QTemporaryDir>();
    path = temporary->filePath(QStringLiteral("Pelmora.db"));
  }
  const bool empty = SqlDialect::isServerLocation(path)
                         ? queryNumber(path, QStringLiteral("SELECT COUNT(*) FROM PatInfo")) <= 0
                         : !QFileInfo::exists(path);
  if (empty) {
    QProcess::execute(QStringLiteral(TORASCAN_PROGRAM_DIR "/torascan-cli"),
                      {QStringLiteral("db-fill"), QStringLiteral("--db"), path,
                       QStringLiteral("--patients"), QString::number(kPatients),
                       QStringLiteral("--studies-per-patient"), QString::number(kStudiesPerPatient),
                       QStringLiteral("--images-per-study"), QString::number(kImagesPerStudy)});
  }
  return path;
}

// The archive's size on disc: the file, or the server database.
inline qint64 archiveBytes() {
  if (!SqlDialect::isServerLocation(archive())) return QFileInfo(archive()).size();
  return queryNumber(archive(), QStringLiteral("SELECT pg_database_size(current_database())"));
}

// An empty image database for one pass, on the engine of TORASCAN_BENCH_DB: a file in a
// temporary folder, or a database of its own on that server, dropped afterwards.
class FreshDatabase {
 public:
  FreshDatabase() {
    const QString server = givenDatabase();
    if (!SqlDialect::isServerLocation(server)) {
      m_location = m_folder.filePath(QStringLiteral("Pelmora.db"));
      return;
    }
    m_server = std::make_unique<imagedb::ScratchDatabase>(server, QStringLiteral("torascan_bench"));
    m_location = m_server->location();
  }

  // Empty when the server refused the database.
  const QString& location() const { return m_location; }

 private:
  QTemporaryDir m_folder;
  std::unique_ptr<imagedb::ScratchDatabase> m_server;
  QString m_location;
};

// Keys spread over the whole archive, the same sequence every run.
class Picker {
 public:
  long next(long count) {
    m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<long>((m_state >> 33) % static_cast<unsigned long long>(count));
  }

 private:
  unsigned long long m_state = 42;
};

}  // namespace bench

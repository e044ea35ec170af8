#pragma once

// The image database a test works on. By default a SQLite file in the test's temporary folder;
// with TORASCAN_TEST_ENGINE=postgresql a database of its own on the server whose URL
// TORASCAN_PG_SERVER gives (scripts/test.sh starts one), created for the test and dropped after
// it, so the same tests run on both engines.

#include <gtest/gtest.h>

#include <memory>

#include "db/ImageDatabase.h"

class TestDatabase {
 public:
  static bool onServer() {
    return qEnvironmentVariable("TORASCAN_TEST_ENGINE") == QLatin1String("postgresql");
  }

  explicit TestDatabase(const QString& folder) {
    if (!onServer()) {
      m_location = folder + QStringLiteral("/Pelmora.db");
      return;
    }
    const QString server = qEnvironmentVariable("TORASCAN_PG_SERVER");
    if (server.isEmpty()) {
      m_problem = QStringLiteral(
          "TORASCAN_PG_SERVER names no PostgreSQL server (scripts/test.sh starts one)");
      return;
    }
    m_server = std::make_unique<imagedb::ScratchDatabase>(server, QStringLiteral("torascan_test"));
    m_location = m_server->location();
    m_error = m_server->error();
  }

  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  // The file's path or the server database's URL.
  const QString& location() const { return m_location; }
  // Why the test cannot run here (no server given); empty when it can.
  const QString& problem() const { return m_problem; }
  // Why the server refused the test's database; empty when it did not.
  const QString& error() const { return m_error; }

 private:
  std::unique_ptr<imagedb::ScratchDatabase> m_server;
  QString m_location;
  QString m_problem;
  QString m_error;
};

// In SetUp: skips the test when the suite runs on the server but none is given, fails it when
// the server refuses the test's database.
#define TORASCAN_NEEDS_DATABASE(database)                                  \
  do {                                                                     \
    if (!(database).problem().isEmpty()) {                                 \
      GTEST_SKIP() << (database).problem().toStdString();                  \
    }                                                                      \
    ASSERT_TRUE((database).error().isEmpty()) << (database).error().toStdString(); \
  } while (0)
// Skips a test of the SQLite file's own behaviour when the suite runs on the server.
#define TORASCAN_SQLITE_FILE_ONLY()                                                   \
  do {                                                                                \
    if (TestDatabase::onServer()) GTEST_SKIP() << "a property of the SQLite file";    \
  } while (0)

#pragma once

// A report database of the test's own, connected through a CQuery, with a message recorder
// bound for the test's lifetime.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "db/Query.h"
#include "ui/MessageSink.h"

namespace testsupport {

class ReportDatabaseTest : public ::testing::Test {
 protected:
  ReportDatabaseTest() : bind(&sink) {}
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(ConnectReportDatabase(query, databasePath()));
  }
  QString databasePath() const { return dir.filePath(QLatin1String(kReportDatabaseFile)); }
  // The number of rows a query gives.
  int rows(const QString& sql, const QVariantList& values = {}) {
    if (!query.ExecuteStatement(sql, values)) return -1;
    int n = 0;
    while (query.FetchRow() == CQuery::kSuccess) ++n;
    query.CloseStatement();
    return n;
  }

  QTemporaryDir dir;
  RecordingMessageSink sink;
  ScopedMessageSink bind;
  CQuery query;
};

}  // namespace testsupport

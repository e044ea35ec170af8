#pragma once

// A fresh image database per test in a temporary folder, a message recorder bound for the
// test's lifetime, and fixture rows written as tables.

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <initializer_list>

#include "db/DRImgInfo.h"
#include "db/DRPatInfo.h"
#include "db/DRSerInfo.h"
#include "db/DRStuInfo.h"
#include "db/DbDatabase.h"
#include "support/TestDatabase.h"
#include "ui/MessageSink.h"

struct PatientRow {
  QString id;
  QString name;
  CDateTime birth;
  CDateTime schedule;
};

struct StudyRow {
  QString stuID;
  QString patID;
  QString accessNo;
  CDateTime when;
};

struct CliRun {
  int exitCode = -1;  // -1: it crashed or did not end in time
  QByteArray out;
  QByteArray err;
};

// torascan-cli with these arguments and that standard input, to its end (ten minutes at most:
// the copies of the large archives take a while on a busy machine).
inline CliRun cli(const QStringList& args, const QByteArray& input = QByteArray()) {
  QProcess process;
  process.start(QStringLiteral(TORASCAN_CLI), args);
  process.write(input);
  process.closeWriteChannel();
  process.waitForFinished(600000);
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput(), process.readAllStandardError()};
}

class DbTest : public ::testing::Test {
 protected:
  DbTest() : bind(&sink) {}

  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    TORASCAN_NEEDS_DATABASE(database);
  }

  void addPatients(std::initializer_list<PatientRow> rows) {
    CDRPatInfo patients(path);
    for (const PatientRow& row : rows) {
      ASSERT_EQ(
          patients.InsertNew(row.id, row.name, row.birth.year(), row.birth.month(), row.birth.day(),
                             QStringLiteral("F"), 60, 170, QString(), QString(), row.schedule),
          0);
    }
  }

  // count patients "N00001", "N00002", ... named "Name", scheduled a minute apart from
  // 2020-01-01 00:01 on, written by one statement.
  void addNumberedPatients(int count) {
    CDRPatInfo patients(path);
    const QString sql =
        TestDatabase::onServer()
            ? QStringLiteral("INSERT INTO PatInfo (PatID, PatName, PatSchedule) "
                             "SELECT 'N' || lpad(i::text, 5, '0'), 'Name', "
                             "to_char(timestamp '2020-01-01' + i * interval '1 minute', "
                             "'YYYY-MM-DD HH24:MI:SS') FROM generate_series(1, ?) AS i")
            : QStringLiteral(
                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                  "INSERT INTO PatInfo (PatID, PatName, PatSchedule) "
                  "SELECT printf('N%05d', i), 'Name', "
                  "strftime('%Y-%m-%d %H:%M:%S', '2020-01-01', '+' || i || ' minutes') FROM n");
    ASSERT_TRUE(patients.Execute(sql, {count}));
  }

  // Returns the StuSeq of each row.
  QList<long> addStudies(std::initializer_list<StudyRow> rows) {
    CDRStuInfo studies(path);
    QList<long> keys;
    for (const StudyRow& row : rows) {
      CDStuInfo study;
      study.StuID = row.stuID;
      study.PatID = row.patID;
      study.StuAccessNo = row.accessNo;
      study.StuDateTime = row.when;
      keys.append(studies.InsertNew(study));
    }
    return keys;
  }

  long addSeries(long stuSeq, long seriesNo, const QString& patID = QStringLiteral("P1"),
                 const QString& stuID = QStringLiteral("S1")) {
    CDRSerInfo series(path);
    CDSerInfo row;
    row.StuSeq = stuSeq;
    row.SeriesNo = seriesNo;
    row.PatID = patID;
    row.StuID = stuID;
    return series.InsertNew(row);
  }

  long addImage(long serSeq, long imageNo, const QString& fullPath = QString(),
                const QString& sopInstanceUID = QString()) {
    CDRImgInfo images(path);
    CDImgInfo row;
    row.SerSeq = serSeq;
    row.ImageNo = imageNo;
    row.FullPath = fullPath;
    row.SOPInstanceUID = sopInstanceUID;
    return images.InsertNew(row);
  }

  // The patient IDs of the open row set, from the current row to the end; closes it.
  static QStringList patientIDs(CDRPatInfo& patients) {
    QStringList ids;
    for (; !patients.IsEOF(); patients.MoveNext()) ids.append(patients.PatID);
    patients.Close();
    return ids;
  }

  // Column n of the first row of a query; -1 when there is none.
  long scalar(const QString& sql) {
    CdbDatabase db(path);
    if (!db.Open(CGMDaoRecordset::dbOpenSnapshot, sql) || db.IsEOF()) return -1;
    return static_cast<long>(db.GetFieldValue(QStringLiteral("n")).toLongLong());
  }

  QTemporaryDir dir;
  TestDatabase database{dir.path()};
  QString path = database.location();
  RecordingMessageSink sink;
  ScopedMessageSink bind;
};

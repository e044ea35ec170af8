#pragma once

// An image database in a temporary folder, an importer on it, a message recorder, and DICOM
// files made for each test.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QVariant>

#include "browser/ImportImage.h"
#include "db/DbDatabase.h"
#include "support/DicomBuilder.h"
#include "support/TestDatabase.h"
#include "ui/MessageSink.h"

// A CR radiograph of patient P1, study S1 (accession A1) on 5 March 2024, series 1, image 1.
inline testsupport::DicomBuilder radiograph(const std::string& sopInstanceUid = "1.2.3.4.5.1") {
  testsupport::DicomBuilder file;
  file.set(DCM_SOPInstanceUID, sopInstanceUid)
      .set(DCM_Modality, "CR")
      .set(DCM_PatientID, "P1")
      .set(DCM_PatientName, "Doe^Jane")
      .set(DCM_PatientSex, "F")
      .set(DCM_StudyID, "S1")
      .set(DCM_AccessionNumber, "A1")
      .set(DCM_StudyDate, "20240305")
      .set(DCM_StudyTime, "101112")
      .set(DCM_SeriesNumber, "1")
      .set(DCM_InstanceNumber, "1")
      .set(DCM_BodyPartExamined, "CHEST");
  return file;
}

// A path of exactly length characters under base, its folders created.
inline QString pathOfLength(const QString& base, int length) {
  QString path = base;
  while (length - path.size() > 200) {
    path += QLatin1Char('/') + QString(150, QLatin1Char('d'));
    QDir().mkpath(path);
  }
  const int nameLength = length - int(path.size()) - 1 - 4;
  return path + QLatin1Char('/') + QString(nameLength, QLatin1Char('f')) + QStringLiteral(".dcm");
}

class ImportTest : public ::testing::Test {
 protected:
  ImportTest() : bind(&sink) {}

  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    TORASCAN_NEEDS_DATABASE(testDatabase);
    ASSERT_TRUE(database.Open(dbPath));
  }

  QString save(testsupport::DicomBuilder& file, const QString& name) {
    const QString path = dir.filePath(name);
    EXPECT_TRUE(file.save(path)) << path.toStdString();
    return path;
  }

  int import(testsupport::DicomBuilder file, const QString& name = QStringLiteral("a.dcm")) {
    return importer.ImportImageFile(save(file, name), patID);
  }

  // The first row's column of a query on a connection of its own (on the database at location,
  // by default the test's); invalid without a row.
  QVariant value(const QString& sql, const QString& column, const QString& location = {}) {
    CdbDatabase query(location.isEmpty() ? dbPath : location);
    if (!query.Open(CGMDaoRecordset::dbOpenSnapshot, sql) || query.IsEOF()) return {};
    return query.GetFieldValue(column);
  }
  long rows(const QString& table, const QString& location = {}) {
    return value(QStringLiteral("SELECT COUNT(*) AS n FROM ") + table, QStringLiteral("n"),
                 location)
        .toLongLong();
  }
  // Row counts of PatInfo, StuInfo, SerInfo and ImgInfo.
  std::vector<long> coreRows(const QString& location = {}) {
    return {rows(QStringLiteral("PatInfo"), location), rows(QStringLiteral("StuInfo"), location),
            rows(QStringLiteral("SerInfo"), location), rows(QStringLiteral("ImgInfo"), location)};
  }
  // Runs a statement on a connection of its own: a write transaction the importer left open
  // makes it fail (after the busy timeout).
  bool execute(const QString& sql) {
    CdbDatabase other(dbPath);
    other.SetQuiet(true);
    return other.Execute(sql);
  }

  // Makes the engine refuse a row change (event: "BEFORE INSERT ON ImgInfo") with message, when
  // the condition over NEW holds (always without one); allow(event) takes the refusal back.
  bool refuse(const QString& event, const QString& message, const QString& when = {}) {
    const QString condition = when.isEmpty() ? QString() : QStringLiteral(" WHEN (%1)").arg(when);
    if (!TestDatabase::onServer()) {
      return execute(QStringLiteral("CREATE TRIGGER refuse %1%2 BEGIN SELECT RAISE(ABORT, '%3'); END")
                         .arg(event, condition, message));
    }
    return execute(QStringLiteral("CREATE OR REPLACE FUNCTION refuse() RETURNS trigger AS $$ BEGIN "
                                  "RAISE EXCEPTION '%1'; END $$ LANGUAGE plpgsql")
                       .arg(message)) &&
           execute(QStringLiteral("CREATE TRIGGER refuse %1 FOR EACH ROW%2 EXECUTE FUNCTION refuse()")
                       .arg(event, condition));
  }
  bool allow(const QString& event) {
    if (!TestDatabase::onServer()) return execute(QStringLiteral("DROP TRIGGER refuse"));
    return execute(QStringLiteral("DROP TRIGGER refuse ON ") + event.section(QLatin1Char(' '), -1));
  }

  QTemporaryDir dir;
  TestDatabase testDatabase{dir.path()};
  QString dbPath = testDatabase.location();
  RecordingMessageSink sink;
  ScopedMessageSink bind;
  CDaoDatabase database;
  CImageImport importer{database};
  QString patID;
};

#include <QFile>
#include <QSet>
#include <functional>
#include <limits>

#include <atomic>
#include <thread>

#include "DbTestSupport.h"
#include "app/AppSettings.h"
#include "db/DRImgInfo.h"
#include "db/ImageDatabase.h"
#include "db/SqlDialect.h"
#include "db/SqlFilter.h"

namespace {

using Recordset = DbTest;

const SqlDialect& sqlite() { return SqlDialect::forDriver("QSQLITE"); }
const SqlDialect& postgres() { return SqlDialect::forDriver("QPSQL"); }

// The patient IDs a paged read opened with that sort hands out, page after page; between runs
// before each further page is asked for.
QStringList pagedIDs(CDRPatInfo& patients, const QString& sort, int page,
                     const std::function<void()>& between = {}) {
  patients.m_strSort = sort;
  patients.SetPageSize(page);
  QStringList seen;
  if (!patients.Open()) return seen;
  do {
    for (; !patients.IsEOF(); patients.MoveNext()) seen << patients.PatID;
    if (between) between();
  } while (patients.FetchMore(page));
  return seen;
}

// On the server the tables are created on first use, like the missing file.
TEST_F(Recordset, MissingDatabaseIsCreatedWithEveryTable) {
  if (!TestDatabase::onServer()) {
    ASSERT_FALSE(QFile::exists(path));
  }
  CdbDatabase db(path);
  ASSERT_TRUE(
      db.Open(CGMDaoRecordset::dbOpenSnapshot,
              TestDatabase::onServer()
                  ? QStringLiteral("SELECT table_name AS name FROM information_schema.tables "
                                   "WHERE table_schema = 'public'")
                  : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                   "name NOT LIKE 'sqlite%'")));
  QSet<QString> tables;
  for (; !db.IsEOF(); db.MoveNext()) tables.insert(db.GetFieldValue("name").toString().toLower());
  QSet<QString> expected;
  for (const QString& table : CdbDatabase::TableNames()) expected.insert(table.toLower());
  EXPECT_EQ(tables, expected);
  EXPECT_EQ(CdbDatabase::TableNames().size(), 24);
  EXPECT_TRUE(sink.isEmpty());
}

// The program folder's schema wins over the compiled-in copy, which stands in when the folder
// has none.
// Programs that find no database and create it at the same moment end up writing one file: a
// creator that comes second never puts its copy over the file the first is already writing.
TEST_F(Recordset, DatabasesCreatedAtOnceAreOneFile) {
  TORASCAN_SQLITE_FILE_ONLY();
  constexpr int kWriters = 8;
  for (int round = 0; round < 5; ++round) {
    const QString file = dir.filePath(QStringLiteral("race%1.db").arg(round));
    std::atomic<int> ready{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
      writers.emplace_back([&, w] {
        for (++ready; ready < kWriters;) std::this_thread::yield();
        CDaoDatabase database;
        ASSERT_TRUE(database.Open(file));
        CdbDatabase statements(&database);
        EXPECT_TRUE(statements.Execute(
            QStringLiteral("INSERT INTO PatInfo (PatID) VALUES ('W%1')").arg(w)));
      });
    }
    for (std::thread& writer : writers) writer.join();
    CdbDatabase count(file);
    ASSERT_TRUE(count.Open(CGMDaoRecordset::dbOpenSnapshot,
                           QStringLiteral("SELECT COUNT(*) AS n FROM PatInfo")));
    EXPECT_EQ(count.GetFieldValue(QStringLiteral("n")).toInt(), kWriters) << round;
  }
}

TEST_F(Recordset, SchemaComesFromTheProgramFolderWhenItHasOne) {
  TORASCAN_SQLITE_FILE_ONLY();
  AppSettings& settings = theAppSettings();
  const QString previous = settings.programFolder;
  settings.programFolder = dir.path() + "/";
  EXPECT_TRUE(imagedb::schemaSql(sqlite()).contains("CREATE TABLE ImgInfo"));  // none there yet
  EXPECT_TRUE(imagedb::schemaSql(postgres()).contains("CREATE TABLE ImgInfo"));
  QFile schema(dir.filePath("Pelmora.sql"));
  ASSERT_TRUE(schema.open(QIODevice::WriteOnly));
  schema.write("-- site schema\nCREATE TABLE SiteOnly (x INTEGER);\n");
  schema.close();
  QString error;
  const bool created = imagedb::createDatabase(path, &error);
  settings.programFolder = previous;
  ASSERT_TRUE(created) << error.toStdString();
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM sqlite_master WHERE name = 'SiteOnly'"), 1);
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM sqlite_master WHERE name = 'ImgInfo'"), 0);
}

// Every key and search column is found through an index, not by reading the whole table.
TEST_F(Recordset, KeyAndSearchColumnsAreIndexed) {
  TORASCAN_SQLITE_FILE_ONLY();  // the server's plans: CaselessKeys.ServerSearchesUseTheirIndexes
  const char* const conditions[][2] = {{"PatInfo", "PatID = 'x'"},
                                       {"PatInfo", "PatName LIKE 'x%' ESCAPE '\\'"},
                                       {"PatInfo", "PatSchedule >= 'x'"},
                                       {"StuInfo", "StuSeq = 1"},
                                       {"StuInfo", "PatID = 'x'"},
                                       {"StuInfo", "StuDateTime >= 'x'"},
                                       {"StuInfo", "StuAccessNo = 'x'"},
                                       {"SerInfo", "SerSeq = 1"},
                                       {"SerInfo", "StuSeq = 1"},
                                       {"ImgInfo", "ImgSeq = 1"},
                                       {"ImgInfo", "SerSeq = 1 AND ImageNo = 2"},
                                       {"ImgInfo", "SOPInstanceUID = 'x'"},
                                       {"tEP", "NameEP = 'x' AND KeyMT = 1"},
                                       {"tVP", "NameVP = 'x' AND KeyMT = 1"},
                                       {"tEC", "KeyVP = 1 AND KeyBS = 1"},
                                       {"Worklist", "StuAccessNo = 'x'"}};
  CdbDatabase db(path);
  for (const auto& [table, condition] : conditions) {
    ASSERT_TRUE(db.Open(CGMDaoRecordset::dbOpenSnapshot,
                        QStringLiteral("EXPLAIN QUERY PLAN SELECT * FROM %1 WHERE %2")
                            .arg(QLatin1String(table), QLatin1String(condition))));
    const QString plan = db.GetFieldValue("detail").toString();
    EXPECT_TRUE(plan.contains(QLatin1String("USING")) && plan.startsWith(QLatin1String("SEARCH")))
        << table << " " << condition << ": " << plan.toStdString();
  }
}

TEST_F(Recordset, EmptyRowSetIsBothBeforeTheFirstAndAfterTheLastRow) {
  CDRPatInfo patients(path);
  EXPECT_TRUE(patients.IsBOF() && patients.IsEOF());  // closed
  ASSERT_TRUE(patients.Open());
  EXPECT_TRUE(patients.IsOpen());
  EXPECT_TRUE(patients.IsBOF());
  EXPECT_TRUE(patients.IsEOF());
  patients.MoveNext();
  patients.MoveLast();
  EXPECT_TRUE(patients.IsEOF() || patients.IsBOF());
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(Recordset, MovesAndFindWalkTheRowsInSortOrder) {
  addPatients({{"P3", "Cara", {}, {}}, {"P1", "Abe", {}, {}}, {"P2", "Bea", {}, {}}});
  CDRPatInfo patients(path);
  patients.m_strSort = QStringLiteral("PatID");
  ASSERT_TRUE(patients.Open());
  EXPECT_EQ(patients.GetRecordCount(), 3);
  EXPECT_EQ(patients.PatID, "P1");
  EXPECT_FALSE(patients.IsBOF());
  patients.MoveLast();
  EXPECT_EQ(patients.PatID, "P3");
  patients.MovePrev();
  EXPECT_EQ(patients.PatID, "P2");
  patients.Move(-5);
  EXPECT_TRUE(patients.IsBOF());
  patients.MoveFirst();
  EXPECT_EQ(patients.GetFieldValue("PatName").toString(), "Abe");

  EXPECT_TRUE(patients.Find(CGMDaoRecordset::FindFirst, "PatName", QStringLiteral("Cara")));
  EXPECT_EQ(patients.PatID, "P3");
  EXPECT_FALSE(patients.Find(CGMDaoRecordset::FindNext, "PatName", QStringLiteral("Abe")));
  EXPECT_EQ(patients.PatID, "P3");  // unchanged when nothing is found
  EXPECT_TRUE(patients.Find(CGMDaoRecordset::FindPrevious, "PatName", QStringLiteral("Abe")));
  EXPECT_EQ(patients.PatID, "P1");
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(Recordset, PagedReadLeavesTheRestUntilAskedFor) {
  addNumberedPatients(5);
  CDRPatInfo patients(path);
  EXPECT_EQ(pagedIDs(patients, QStringLiteral("PatID"), 2),
            (QStringList{"N00001", "N00002", "N00003", "N00004", "N00005"}));
  EXPECT_FALSE(patients.HasMore());
  EXPECT_EQ(patients.GetRecordCount(), 5);

  // Closing with rows pending ends the read; the next open starts afresh.
  ASSERT_TRUE(patients.Open());
  EXPECT_TRUE(patients.HasMore());
  patients.Close();
  EXPECT_FALSE(patients.HasMore());
  EXPECT_FALSE(patients.FetchMore(2));
  ASSERT_TRUE(patients.Open());
  EXPECT_EQ(patients.PatID, "N00001");
  EXPECT_TRUE(sink.isEmpty());
}

// The browser lists a patient's studies between two pages of patients, on the same connection;
// and many patients share a name or a schedule.
TEST_F(Recordset, PagedReadOutlastsOtherQueriesOnItsConnectionAndSortTies) {
  addNumberedPatients(7);  // every one named "Name"
  CDaoDatabase database;
  ASSERT_TRUE(database.Open(path));
  CDRPatInfo patients(&database);
  QStringList seen = pagedIDs(patients, QStringLiteral("PatName"), 3, [&database] {
    CDRPatInfo other(&database);
    EXPECT_EQ(other.OpenByIDName(QStringLiteral("N00002"), QString()), 1);
  });
  seen.sort();
  EXPECT_EQ(seen,
            (QStringList{"N00001", "N00002", "N00003", "N00004", "N00005", "N00006", "N00007"}));
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(Recordset, AppendEditAndDeleteWriteThroughToTheTable) {
  CDRStuInfo studies(path);
  ASSERT_TRUE(studies.Open());
  ASSERT_TRUE(studies.CanAppend());
  studies.AddNew();
  studies.StuID = QStringLiteral("S1");
  studies.StuDateTime = CDateTime(2024, 2, 29, 13, 45, 7);
  ASSERT_TRUE(studies.Update());
  EXPECT_EQ(studies.StuSeq, 1);  // the engine's key
  studies.AddNew();
  EXPECT_TRUE(studies.StuID.isEmpty());  // a new row starts cleared
  EXPECT_EQ(studies.StuDateTime.status(), CDateTime::Null);
  studies.StuID = QStringLiteral("S2");
  ASSERT_TRUE(studies.Update());
  EXPECT_EQ(studies.StuSeq, 2);

  studies.MoveFirst();
  studies.Edit();
  studies.StuDesc = QStringLiteral("changed");
  studies.StuSeq = 99;  // keys are the engine's: an edit never moves a row
  ASSERT_TRUE(studies.Update());
  studies.MoveLast();
  studies.Edit();
  studies.StuDesc = QStringLiteral("dropped");
  studies.CancelUpdate();
  EXPECT_TRUE(studies.StuDesc.isEmpty());

  ASSERT_TRUE(studies.Requery());
  EXPECT_EQ(studies.StuSeq, 1);
  EXPECT_EQ(studies.StuDesc, "changed");
  EXPECT_EQ(studies.StuDateTime, CDateTime(2024, 2, 29, 13, 45, 7));

  // Deleting while walking: MoveNext goes on with the row after the deleted one.
  int visited = 0;
  for (; !studies.IsEOF(); studies.MoveNext()) {
    studies.Delete();
    ++visited;
  }
  EXPECT_EQ(visited, 2);
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM StuInfo"), 0);
  EXPECT_TRUE(sink.isEmpty());
}

// Rows appended together (several a statement, or on a server as one JSON text) keep every
// value as a row appended alone would: texts JSON or SQL must escape, numbers at their limits.
TEST_F(Recordset, RowsAppendedTogetherKeepEveryValue) {
  const QString texts[] = {QStringLiteral("O'Brien \"quoted\" back\\slash"),
                           QStringLiteral("line\nbreak\ttab\x01"
                                          "control"),
                           QString::fromUtf8("Gr\xc3\xbc\xc3\x9f \xe4\xb8\xad \xf0\x9f\x98\x80"),
                           QString()};
  std::vector<CDImgInfo> images(std::size(texts));
  std::vector<CDRImgInfo::NewRow> rows;
  for (std::size_t i = 0; i < images.size(); ++i) {
    CDImgInfo& image = images[i];
    image.SerSeq = 1;
    image.ImageNo = long(i) + 1;
    image.SOPInstanceUID = QStringLiteral("1.2.3.%1").arg(i);
    image.InstitutionName = texts[i];
    image.KVP = i == 0 ? -1.5e-300 : i == 1 ? std::numeric_limits<double>::infinity() : 81.25;
    image.Exposure = i == 0 ? 2147483647L : -7;
    image.ImageDateTime = i == 0 ? CDateTime(2024, 2, 29, 23, 59, 59) : CDateTime::null();
    rows.push_back({&image, long(i) * 10});
  }
  CDRImgInfo appended(path);
  ASSERT_TRUE(appended.InsertNewRows(rows)) << appended.LastError().toStdString();

  CDRImgInfo read(path);
  read.m_strSort = QStringLiteral("ImageNo");
  ASSERT_TRUE(read.Open());
  for (const CDImgInfo& image : images) {
    ASSERT_FALSE(read.IsEOF());
    SCOPED_TRACE(image.ImageNo);
    EXPECT_EQ(read.InstitutionName, image.InstitutionName.isNull() ? "" : image.InstitutionName);
    EXPECT_EQ(read.SOPInstanceUID, image.SOPInstanceUID);
    EXPECT_EQ(read.KVP, image.KVP);
    EXPECT_EQ(read.Exposure, image.Exposure);
    EXPECT_EQ(read.ImageDateTime, image.ImageDateTime);
    EXPECT_EQ(read.PreviewDCMSize, (image.ImageNo - 1) * 10);
    EXPECT_FALSE(read.SendToDICOM);
    read.MoveNext();
  }
  EXPECT_TRUE(read.IsEOF());

  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(Recordset, RowsWithoutKeyColumnAreEditedAndDeletedOneByOne) {
  addPatients({{"P1", "Same", {}, {}}, {"P2", "Same", {}, {}}});
  CDRPatInfo patients(path);
  patients.m_strSort = QStringLiteral("PatID");
  ASSERT_TRUE(patients.Open());
  patients.Edit();
  patients.PatEtc = QStringLiteral("first");
  ASSERT_TRUE(patients.Update());
  patients.MoveNext();
  patients.Delete();
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM PatInfo"), 1);
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM PatInfo WHERE PatEtc = 'first' AND PatID = 'P1'"), 1);
}

// The operator table's key is named Index, a word SQL reserves.
TEST_F(Recordset, OperatorRowsGetTheirIndexFromTheEngine) {
  CTblOperator operators(path);
  ASSERT_TRUE(operators.Open());
  for (const char* name : {"O'Brien", "Admin"}) {
    operators.AddNew();
    operators.OperatorName = QString::fromUtf8(name);
    operators.Password = QStringLiteral("pw");
    ASSERT_TRUE(operators.Update());
  }
  EXPECT_EQ(operators.Index, 2);
  operators.m_strSort = QStringLiteral("OperatorName");
  ASSERT_TRUE(operators.Open());
  EXPECT_EQ(operators.OperatorName, "Admin");
  ASSERT_TRUE(
      operators.Find(CGMDaoRecordset::FindFirst, "OperatorName", QStringLiteral("O'Brien")));
  EXPECT_EQ(operators.Index, 1);
  operators.Delete();
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM Operator"), 1);
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(Recordset, EngineErrorsAreShownAsDBExceptionAndTheOperationFails) {
  CdbDatabase db(path);
  EXPECT_FALSE(db.Open(-1, QStringLiteral("SELECT * FROM NoSuchTable")));
  EXPECT_FALSE(db.IsOpen());
  EXPECT_TRUE(db.IsEOF());
  EXPECT_FALSE(db.Execute(QStringLiteral("DELETE FROM NoSuchTable")));
  ASSERT_EQ(sink.count(), 2);
  for (const auto& message : sink.messages()) {
    EXPECT_EQ(message.caption, "DBException");
    EXPECT_EQ(message.style, MB_OK | MB_ICONWARNING);
    EXPECT_TRUE(message.text.contains("NoSuchTable")) << message.text.toStdString();
  }
}

TEST_F(Recordset, ReadOnlyRowSetsRefuseChanges) {
  addPatients({{"P1", "Abe", {}, {}}});
  CDRPatInfo patients(path);
  ASSERT_TRUE(patients.Open(CGMDaoRecordset::dbOpenSnapshot));
  EXPECT_FALSE(patients.CanAppend());
  EXPECT_EQ(patients.InsertNew("P2", "Bea", 1980, 1, 1, "F", 0, 0, "", "", {}), -1);
  patients.Edit();
  EXPECT_EQ(sink.count(), 1);
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM PatInfo"), 1);

  CdbDatabase db(path);  // rows of a SELECT text are read-only too
  ASSERT_TRUE(db.Open(-1, QStringLiteral("SELECT * FROM PatInfo")));
  EXPECT_FALSE(db.CanAppend());
}

// When the connection is lost in the middle of a walk, every change fails; the walk must still
// end, with one message rather than one per row.
TEST_F(Recordset, LoopOverABrokenConnectionEnds) {
  addPatients({{"P1", "A", {}, {}}, {"P2", "B", {}, {}}, {"P3", "C", {}, {}}});
  CDRPatInfo patients(path);
  ASSERT_TRUE(patients.Open());
  patients.Database()->connection().close();
  int rounds = 0;
  while (!patients.IsEOF() && rounds < 100) {
    patients.Edit();
    patients.PatEtc = QStringLiteral("x");
    patients.Update();
    patients.MoveNext();
    ++rounds;
  }
  EXPECT_EQ(rounds, 1);
  EXPECT_EQ(sink.count(), 1);
  EXPECT_EQ(sink.messages().first().caption, "DBException");

  // The same loop over deletes, and a query on the lost connection, end the same way.
  sink.clear();
  ASSERT_TRUE(patients.Open());  // a private connection is made anew
  EXPECT_EQ(patients.GetRecordCount(), 3);
  patients.Database()->connection().close();
  for (rounds = 0; !patients.IsEOF() && rounds < 100; ++rounds) {
    patients.Delete();
    patients.MoveNext();
  }
  EXPECT_EQ(rounds, 1);
  EXPECT_EQ(sink.count(), 1);
}

TEST_F(Recordset, SharedConnectionKeepsSeveralTablesInOneTransaction) {
  CDaoDatabase database;
  ASSERT_TRUE(database.Open(path));
  CDRPatInfo patients(&database);
  CDRStuInfo studies(&database);
  ASSERT_TRUE(database.BeginTrans());
  ASSERT_EQ(patients.InsertNew("P1", "Abe", 1980, 1, 1, "M", 0, 0, "", "", {}), 0);
  CDStuInfo study;
  study.PatID = QStringLiteral("P1");
  ASSERT_GT(studies.InsertNew(study), 0);
  ASSERT_TRUE(database.Rollback());
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM PatInfo"), 0);
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM StuInfo"), 0);
  EXPECT_TRUE(sink.isEmpty());
}

TEST(SqlFilter, CriteriaThatAreNotGivenAddNothing) {
  CSqlFilter filter;
  filter.addText("PatID", "");
  filter.addNumber("SerSeq", 0);
  filter.addNumber("SerSeq", -3);
  filter.addPrefix("PatName", "");
  filter.addDateRange("PatSchedule", 0, 0, 0, 2101, 1, 1);
  EXPECT_TRUE(filter.isEmpty());
  EXPECT_EQ(filter.text(sqlite()), "");

  filter.addText("PatID", "O'Brien");
  filter.addNumber("SerSeq", 7);
  filter.addContains("PatName", "5%_\\");
  EXPECT_EQ(filter.text(sqlite()),
            "PatID = ? COLLATE NOCASE AND SerSeq = ? AND PatName LIKE ? ESCAPE '\\'");
  EXPECT_EQ(filter.values(), QVariantList({"O'Brien", qlonglong(7), "%5\\%\\_\\\\%"}));
}

TEST(SqlFilter, OneOfAListAndADayThatOnlyConfirms) {
  CSqlFilter filter;
  filter.addOneOf("StuSeq", {qlonglong(3), qlonglong(5)});
  filter.addConfirmingDay("StuDateTime", 2024, 2, 29);
  filter.addConfirmingDay("StuDateTime", 2024, 13, 1);  // no date: no condition
  EXPECT_EQ(filter.text(postgres()), "StuSeq IN (?,?) AND substr(StuDateTime, 1, 10) = ?");
  EXPECT_EQ(filter.values(), QVariantList({qlonglong(3), qlonglong(5), "2024-02-29"}));

  CSqlFilter none;
  none.addOneOf("StuSeq", {});
  EXPECT_EQ(none.text(sqlite()), "0 = 1");
}

// The server's caseless conditions compare lower(column), which its indexes hold.
TEST(SqlFilter, ServerConditionsCompareTheLowerCaseText) {
  CSqlFilter filter("PatInfo");
  filter.addText("PatID", "O'Brien");
  filter.addPrefix("PatName", "sm");
  filter.addContains("PatName", "mit");
  filter.addKey("StuSeq", 3);
  EXPECT_EQ(filter.text(postgres()),
            "lower(PatID) = lower(?) AND lower(PatName) LIKE lower(?) ESCAPE '\\' AND "
            "lower(PatName) LIKE lower(?) ESCAPE '\\' AND StuSeq = ?");
  EXPECT_EQ(filter.values(), QVariantList({"O'Brien", "sm%", "%mit%", qlonglong(3)}));
}

TEST(SqlFilter, EnginesAreToldApartByTheirLocation) {
  const struct {
    const char* location;
    const char* driver;
  } cases[] = {{"/var/archive/Pelmora.db", "QSQLITE"},
               {"postgres.db", "QSQLITE"},
               {"postgresql://ris@db.example:5433/archive", "QPSQL"},
               {"postgres://ris@/archive?host=/run/postgresql", "QPSQL"}};
  for (const auto& c : cases) {
    EXPECT_EQ(SqlDialect::forLocation(c.location).driverName, c.driver) << c.location;
  }
}

TEST(SqlFilter, DateRangeCoversWholeDays) {
  struct Case {
    int from[3];
    int to[3];
    QString text;
    QVariantList values;
  };
  const Case cases[] = {
      {{2024, 3, 1}, {2024, 3, 5}, "D >= ? AND D <= ?", {"2024-03-01", "2024-03-05 23:59:59"}},
      {{2024, 3, 1}, {0, 0, 0}, "D >= ? AND D <= ?", {"2024-03-01", "2024-03-01 23:59:59"}},
      {{2024, 3, 0}, {2024, 3, 5}, "D <= ?", {"2024-03-05 23:59:59"}},
      {{2024, 3, 32}, {2024, 3, 5}, "D <= ?", {"2024-03-05 23:59:59"}},
      {{1899, 12, 31}, {2024, 13, 1}, "", {}},
  };
  for (const Case& c : cases) {
    CSqlFilter filter;
    filter.addDateRange("D", c.from[0], c.from[1], c.from[2], c.to[0], c.to[1], c.to[2]);
    EXPECT_EQ(filter.text(sqlite()), c.text);
    EXPECT_EQ(filter.values(), c.values);
  }
}

TEST(SqlFilter, SortDirectionZeroIsDescending) {
  EXPECT_EQ(sortText("ImageNo", -1), "ImageNo");
  EXPECT_EQ(sortText("ImageNo", 0), "ImageNo Desc");
  EXPECT_EQ(sortText("ImageNo", 1), "ImageNo Asc");
}

TEST(SqlFilter, StoredDateTimesSortAsTheMomentsTheyName) {
  const CDateTime moments[] = {CDateTime(1899, 12, 30), CDateTime(1999, 12, 31, 23, 59, 59),
                               CDateTime(2000, 1, 1, 0, 0, 0), CDateTime(2024, 2, 9, 8, 5, 0),
                               CDateTime(2024, 10, 1, 7, 0, 0)};
  for (std::size_t i = 0; i + 1 < std::size(moments); ++i) {
    EXPECT_LT(dateTimeToSql(moments[i]).toString(), dateTimeToSql(moments[i + 1]).toString());
  }
  for (const CDateTime& moment : moments) EXPECT_EQ(dateTimeFromSql(dateTimeToSql(moment)), moment);
  EXPECT_TRUE(dateTimeToSql(CDateTime::null()).isNull());
  EXPECT_EQ(dateTimeFromSql(QVariant()).status(), CDateTime::Null);
  EXPECT_EQ(dateTimeFromSql(QStringLiteral("garbage")).status(), CDateTime::Invalid);
}

TEST(SqlFilter, StoredDateTimesAreReadOnlyInTheirOwnFormat) {
  struct Case {
    const char* stored;
    CDateTime expected;
  };
  const CDateTime invalid = [] {
    CDateTime value;
    value.setDate(0, 0, 0);
    return value;
  }();
  const Case cases[] = {
      {"2024-02-29 23:59:58", CDateTime(2024, 2, 29, 23, 59, 58)},
      {"2024-02-29", CDateTime(2024, 2, 29)},
      {"0001-01-01 00:00:00", CDateTime(1, 1, 1)},
      {"2023-02-29 10:00:00", invalid},
      {"2024-02-29 24:00:00", invalid},
      {"2024-02-29 10:00", invalid},
      {"2024-02-29 10:00:00.5", invalid},
      {"2024/02/29 10:00:00", invalid},
      {"2024-02-29 10-00-00", invalid},
      {"24-02-29", invalid},
      {"2024-0a-29", invalid},
      {"", invalid},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(dateTimeFromSql(QString::fromLatin1(c.stored)), c.expected) << c.stored;
  }
}

TEST(ImageDatabaseSchema, StatementsSplitWithoutComments) {
  const QStringList statements = imagedb::schemaStatements(
      "-- a comment; with a semicolon\nCREATE TABLE a (x);\n\n CREATE INDEX i ON a (x); -- end\n");
  EXPECT_EQ(statements, QStringList({"CREATE TABLE a (x)", "CREATE INDEX i ON a (x)"}));
}

}  // namespace

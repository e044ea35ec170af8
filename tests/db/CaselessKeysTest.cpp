// Text keys operators search by compare without letter case, by equality and by containment,
// in a file made from the current schema and in one whose schema declares no collation.
#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <functional>

#include "DbTestSupport.h"
#include "app/AppSettings.h"
#include "db/ImageDatabase.h"
#include "db/SqlDialect.h"
#include "db/SqlFilter.h"

namespace {

// Column of every row the search found (found 1), from the current row on; closes the set.
QStringList valuesOf(CGMDaoRecordset& set, int found, const QString& column) {
  QStringList values;
  for (; found == 1 && !set.IsEOF(); set.MoveNext())
    values.append(set.GetFieldValue(column).toString());
  set.Close();
  return values;
}

class CaselessKeys : public DbTest {
 protected:
  // The database made from the compiled-in schema with every collation taken out, as a site's
  // own schema or one written before the keys were declared caseless would make it.
  void createWithoutCollation() {
    QString schema = imagedb::schemaSql(SqlDialect::forDriver("QSQLITE"));
    ASSERT_TRUE(schema.contains(" COLLATE NOCASE"));
    schema.remove(" COLLATE NOCASE");
    const QString folder = dir.filePath("site");
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile file(folder + "/Pelmora.sql");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(schema.toUtf8());
    file.close();
    AppSettings& settings = theAppSettings();
    const QString previous = settings.programFolder;
    settings.programFolder = folder + "/";
    QString error;
    const bool created = imagedb::createDatabase(path, &error);
    settings.programFolder = previous;
    ASSERT_TRUE(created) << error.toStdString();
  }

  // One set of rows in capitals and one in small letters; each search in the other case must
  // find its own row and only that one.
  void expectEverySearchIgnoresLetterCase() {
    addPatients({{"PA-UP", "SMITH^ANN", {}, {}}, {"pb-low", "jones^bob", {}, {}}});
    const QList<long> studyKeys =
        addStudies({{"ST-UP", "PA-UP", "ACC-UP", {}}, {"st-low", "pb-low", "acc-low", {}}});
    addSeriesRow(studyKeys[0], "PA-UP", "ST-UP", "L", "CHEST", "PA");
    addSeriesRow(studyKeys[1], "pb-low", "st-low", "r", "hand", "ap");

    CDRPatInfo patients(path);
    CDRStuInfo studies(path);
    CDRSerInfo series(path);
    using Find = std::function<QStringList(const QString&)>;
    const Find patID = [&](const QString& t) {
      return valuesOf(patients, patients.OpenByIDName(t, ""), "PatID");
    };
    const Find patNamePrefix = [&](const QString& t) {
      return valuesOf(patients, patients.OpenByIDName("", t), "PatName");
    };
    const Find patIDPart = [&](const QString& t) {
      return valuesOf(patients, patients.SearchByIDName(t, ""), "PatID");
    };
    const Find patNamePart = [&](const QString& t) {
      return valuesOf(patients, patients.SearchByIDName("", t), "PatName");
    };
    const Find stuID = [&](const QString& t) {
      return valuesOf(studies, studies.OpenStudies(t, "", "", 0, 0, 0, 0, 0, 0), "StuID");
    };
    const Find studyPatID = [&](const QString& t) {
      return valuesOf(studies, studies.OpenStudies("", t, "", 0, 0, 0, 0, 0, 0), "PatID");
    };
    const Find accessNo = [&](const QString& t) {
      return valuesOf(studies, studies.OpenStudies("", "", t, 0, 0, 0, 0, 0, 0), "StuAccessNo");
    };
    const Find seriesPatID = [&](const QString& t) {
      return valuesOf(series, series.OpenSeries(t, "", 0, "", "", "", 0), "PatID");
    };
    const Find seriesStuID = [&](const QString& t) {
      return valuesOf(series, series.OpenSeries("", t, 0, "", "", "", 0), "StuID");
    };
    const Find laterality = [&](const QString& t) {
      return valuesOf(series, series.OpenSeries("", "", 0, t, "", "", 0), "Laterality");
    };
    const Find bodyPart = [&](const QString& t) {
      return valuesOf(series, series.OpenSeries("", "", 0, "", t, "", 0), "BodyPart");
    };
    const Find position = [&](const QString& t) {
      return valuesOf(series, series.OpenSeries("", "", 0, "", "", t, 0), "PatientPosition");
    };
    struct Case {
      const char* key;
      const Find& find;
      QString text;
      QString found;
    };
    const Case cases[] = {
        {"PatID =", patID, "pa-up", "PA-UP"},
        {"PatID =", patID, "PB-LOW", "pb-low"},
        {"PatName prefix", patNamePrefix, "smith", "SMITH^ANN"},
        {"PatName prefix", patNamePrefix, "JONES", "jones^bob"},
        {"PatID contains", patIDPart, "a-u", "PA-UP"},
        {"PatID contains", patIDPart, "B-LO", "pb-low"},
        {"PatName contains", patNamePart, "ith^a", "SMITH^ANN"},
        {"PatName contains", patNamePart, "NES^B", "jones^bob"},
        {"StuInfo.StuID =", stuID, "st-up", "ST-UP"},
        {"StuInfo.StuID =", stuID, "ST-LOW", "st-low"},
        {"StuInfo.PatID =", studyPatID, "pa-up", "PA-UP"},
        {"StuInfo.PatID =", studyPatID, "PB-LOW", "pb-low"},
        {"StuAccessNo =", accessNo, "acc-up", "ACC-UP"},
        {"StuAccessNo =", accessNo, "ACC-LOW", "acc-low"},
        {"SerInfo.PatID =", seriesPatID, "pa-up", "PA-UP"},
        {"SerInfo.PatID =", seriesPatID, "PB-LOW", "pb-low"},
        {"SerInfo.StuID =", seriesStuID, "st-up", "ST-UP"},
        {"SerInfo.StuID =", seriesStuID, "ST-LOW", "st-low"},
        {"Laterality =", laterality, "l", "L"},
        {"Laterality =", laterality, "R", "r"},
        {"BodyPart =", bodyPart, "chest", "CHEST"},
        {"BodyPart =", bodyPart, "HAND", "hand"},
        {"PatientPosition =", position, "pa", "PA"},
        {"PatientPosition =", position, "AP", "ap"},
    };
    for (const Case& c : cases) {
      EXPECT_EQ(c.find(c.text).join(',').toStdString(), c.found.toStdString())
          << c.key << " " << c.text.toStdString();
    }
    EXPECT_TRUE(sink.isEmpty());
  }

  void addSeriesRow(long stuSeq, const QString& patID, const QString& stuID,
                    const QString& laterality, const QString& bodyPart, const QString& position) {
    CDSerInfo row;
    row.StuSeq = stuSeq;
    row.SeriesNo = 1;
    row.PatID = patID;
    row.StuID = stuID;
    row.Laterality = laterality;
    row.BodyPart = bodyPart;
    row.PatientPosition = position;
    ASSERT_GT(CDRSerInfo(path).InsertNew(row), 0);
  }
};

TEST_F(CaselessKeys, SearchesIgnoreLetterCase) { expectEverySearchIgnoresLetterCase(); }

TEST_F(CaselessKeys, SearchesIgnoreLetterCaseInAFileWithoutTheCollation) {
  TORASCAN_SQLITE_FILE_ONLY();
  createWithoutCollation();
  expectEverySearchIgnoresLetterCase();
}

// Deletes by text key find their rows the way the searches do.
TEST_F(CaselessKeys, DeletesByTextKeyIgnoreLetterCase) {
  if (!TestDatabase::onServer()) createWithoutCollation();
  addPatients({{"PA-UP", "", {}, {}}});
  addStudies({{"ST-UP", "PA-UP", "", {}}, {"ST-2", "PA-UP", "", {}}});
  CDRStuInfo(path).DeleteByPatient("pa-up", "st-up");
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM StuInfo"), 1);
  EXPECT_EQ(CDRPatInfo(path).DeleteByPatID("pa-up"), 1);
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM PatInfo"), 0);
}

// Lists sorted by a text key put "b" between "A" and "C", as operators read them.
TEST_F(CaselessKeys, SortsIgnoreLetterCase) {
  addStudies({{"C-3", "P", "", {}}, {"b-2", "P", "", {}}, {"A-1", "P", "", {}}});
  CDRStuInfo studies(path);
  studies.m_strSort = "StuID";
  ASSERT_EQ(studies.OpenStudies("", "p", "", 0, 0, 0, 0, 0, 0), 1);
  QStringList order;
  for (; !studies.IsEOF(); studies.MoveNext()) order.append(studies.StuID);
  EXPECT_EQ(order.join(',').toStdString(), "A-1,b-2,C-3");
}

// The caseless conditions the record sets send still find their rows through the key's index.
TEST_F(CaselessKeys, SearchesUseTheKeysIndex) {
  TORASCAN_SQLITE_FILE_ONLY();
  struct Case {
    const char* table;
    QStringList columns;
    const char* plan;
  };
  const Case cases[] = {
      {"PatInfo", {"PatID"}, "USING INDEX PatInfo_PatID (PatID=?)"},
      {"StuInfo", {"PatID"}, "USING INDEX StuInfo_PatID (PatID=?)"},
      {"StuInfo", {"StuID"}, "USING INDEX StuInfo_StuID (StuID=?)"},
      {"StuInfo", {"StuAccessNo"}, "USING INDEX StuInfo_StuAccessNo (StuAccessNo=?)"},
      {"SerInfo", {"PatID", "StuID"}, "USING INDEX SerInfo_PatID_StuID (PatID=? AND StuID=?)"},
      {"Worklist", {"StuAccessNo"}, "USING INDEX Worklist_StuAccessNo (StuAccessNo=?)"},
  };
  CdbDatabase db(path);
  for (const Case& c : cases) {
    CSqlFilter filter;
    for (const QString& column : c.columns) filter.addText(column, "x");
    ASSERT_TRUE(db.Open(CGMDaoRecordset::dbOpenSnapshot,
                        QStringLiteral("EXPLAIN QUERY PLAN SELECT * FROM %1 WHERE %2")
                            .arg(QLatin1String(c.table), filter.text(db.Dialect())),
                        filter.values()));
    const QString plan = db.GetFieldValue("detail").toString();
    EXPECT_TRUE(plan.startsWith("SEARCH") && plan.contains(QLatin1String(c.plan)))
        << c.table << ": " << plan.toStdString();
  }
  // UIDs are compared as they are, so every file finds them through the index.
  CSqlFilter uid;
  uid.addUid("SOPInstanceUID", "1.2");
  ASSERT_TRUE(db.Open(CGMDaoRecordset::dbOpenSnapshot,
                      "EXPLAIN QUERY PLAN SELECT * FROM ImgInfo WHERE " + uid.text(db.Dialect()),
                      uid.values()));
  EXPECT_TRUE(db.GetFieldValue("detail").toString().contains(
      "USING INDEX ImgInfo_SOPInstanceUID (SOPInstanceUID=?)"));
}

// On the server each search the record sets send (equality, prefix, text anywhere) finds its
// rows through an index of lower(column), with sequential reads ruled out so that the plan
// shows whether an index serves the condition at all.
TEST_F(CaselessKeys, ServerSearchesUseTheirIndexes) {
  if (!TestDatabase::onServer()) GTEST_SKIP() << "the server's plans";
  struct Case {
    const char* table;
    std::function<void(CSqlFilter&)> criteria;
    const char* index;
  };
  const Case cases[] = {
      {"PatInfo", [](CSqlFilter& f) { f.addText("PatID", "x"); }, "patinfo_patid\\w*"},
      {"PatInfo", [](CSqlFilter& f) { f.addPrefix("PatID", "x"); }, "patinfo_patid_prefix"},
      {"PatInfo", [](CSqlFilter& f) { f.addPrefix("PatName", "x"); }, "patinfo_patname_prefix"},
      {"PatInfo", [](CSqlFilter& f) { f.addContains("PatName", "xyz"); },
       "patinfo_patname_contains"},
      {"PatInfo", [](CSqlFilter& f) { f.addContains("PatID", "xyz"); }, "patinfo_patid_contains"},
      {"StuInfo", [](CSqlFilter& f) { f.addText("PatID", "x"); }, "stuinfo_patid"},
      {"StuInfo", [](CSqlFilter& f) { f.addText("StuAccessNo", "x"); }, "stuinfo_stuaccessno"},
      {"SerInfo", [](CSqlFilter& f) { f.addText("PatID", "x"); f.addText("StuID", "y"); },
       "serinfo_patid_stuid"},
      {"ImgInfo", [](CSqlFilter& f) { f.addUid("SOPInstanceUID", "1.2"); },
       "imginfo_\\w*sopinstanceuid"},
      {"Worklist", [](CSqlFilter& f) { f.addText("StuAccessNo", "x"); }, "worklist_stuaccessno"},
  };
  CDaoDatabase connection;
  ASSERT_TRUE(connection.Open(path));
  CdbDatabase db(&connection);
  ASSERT_TRUE(db.Execute("SET enable_seqscan = off"));
  for (const Case& c : cases) {
    CSqlFilter filter(c.table);
    c.criteria(filter);
    // The server prepares no EXPLAIN: the values go in as literals.
    QString condition = filter.text(db.Dialect());
    for (const QVariant& value : filter.values()) {
      condition.replace(condition.indexOf('?'), 1, "'" + value.toString() + "'");
    }
    QSqlQuery explain(connection.connection());
    ASSERT_TRUE(explain.exec(
        QStringLiteral("EXPLAIN SELECT * FROM %1 WHERE %2").arg(QLatin1String(c.table), condition)))
        << explain.lastError().text().toStdString();
    QString plan;
    while (explain.next()) plan += explain.value(0).toString() + "\n";
    EXPECT_TRUE(plan.contains(QRegularExpression(
        QStringLiteral("Index Scan (on|using) %1 ").arg(QLatin1String(c.index)))))
        << c.table << " " << condition.toStdString() << ":\n" << plan.toStdString();
  }
}

}  // namespace

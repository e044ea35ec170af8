#include "DbTestSupport.h"

namespace {

using Patients = DbTest;
using Studies = DbTest;

const QString kKorean = QStringLiteral("\uae40\ubbfc\uc900");  // a Korean name
const QString kGreek =
    QStringLiteral("\u03a0\u03b1\u03c0\u03b1\u03b4\u03cc\u03c0\u03bf\u03c5\u03bb\u03bf\u03c2");

TEST_F(Patients, ExactIDAndNamePrefixSortedByTheSortMembers) {
  addPatients({{"P2", "Baker^Ann", CDateTime(1970, 5, 1), CDateTime(2024, 3, 2, 9, 0, 0)},
               {"P1", "Bakerson^Tom", CDateTime(1990, 1, 1), CDateTime(2024, 3, 1, 9, 0, 0)},
               {"P3", "Abbot^Bea", CDateTime(1980, 7, 7), CDateTime(2024, 3, 3, 9, 0, 0)},
               {"P10", "Other", CDateTime(1960, 1, 1), CDateTime(2023, 12, 31, 23, 0, 0)}});
  CDRPatInfo patients(path);
  // No criteria: every patient, by schedule (sort column -1), no direction.
  ASSERT_EQ(patients.OpenByIDName("", ""), 1);
  EXPECT_EQ(patients.m_strSort, "PatSchedule");
  EXPECT_EQ(patientIDs(patients), QStringList({"P10", "P1", "P2", "P3"}));

  EXPECT_EQ(patients.OpenByIDName("P1", ""), 1);  // exact: P10 is not P1
  EXPECT_EQ(patientIDs(patients), QStringList({"P1"}));
  EXPECT_EQ(patients.OpenByIDName("p1", ""), 1);  // IDs compare without letter case
  EXPECT_EQ(patientIDs(patients), QStringList({"P1"}));

  patients.m_nSortCol = CDRPatInfo::SortPatBirthDate;
  patients.m_nSortDir = 0;
  ASSERT_EQ(patients.OpenByIDName("", "baker"), 1);
  EXPECT_EQ(patients.m_strSort, "PatBirthDate Desc");
  EXPECT_EQ(patientIDs(patients), QStringList({"P1", "P2"}));

  EXPECT_EQ(patients.OpenByIDName("P2", "Bakerson"), 0);  // both criteria must hold
  EXPECT_FALSE(patients.IsOpen() && !patients.IsEOF());
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(Patients, SearchByIDNameMatchesAnywhere) {
  addPatients({{"X-100", "Smith^Anna", {}, {}},
               {"Y-200", "Annabel^Lee", {}, {}},
               {"Z-300", "Lee^Joanna", {}, {}}});
  CDRPatInfo patients(path);
  patients.m_nSortCol = CDRPatInfo::SortPatID;
  ASSERT_EQ(patients.SearchByIDName("", "anna"), 1);
  EXPECT_EQ(patientIDs(patients), QStringList({"X-100", "Y-200", "Z-300"}));
  ASSERT_EQ(patients.SearchByIDName("00", "lee"), 1);
  EXPECT_EQ(patientIDs(patients), QStringList({"Y-200", "Z-300"}));
  EXPECT_EQ(patients.SearchByIDName("-4", ""), 0);
}

// Quotes, other scripts and the pattern characters of LIKE are stored, found and deleted like
// any other text.
TEST_F(Patients, QuotesUnicodeAndWildcardsAreOrdinaryText) {
  addPatients({{"OB-1", "O'Brien^Sean", {}, {}},
               {"K-1", kKorean, {}, {}},
               {"G-1", kGreek, {}, {}},
               {"10%", "Percent^Pat", {}, {}},
               {"100", "Hundred^Pat", {}, {}},
               {"A_1", "Under^Score", {}, {}},
               {"AB1", "Plain^Ab", {}, {}},
               {"Q'1", "Quote'Id", {}, {}}});
  CDRPatInfo patients(path);
  patients.m_nSortCol = CDRPatInfo::SortPatID;

  struct Search {
    QString id;
    QString name;
    QStringList found;
  };
  const Search searches[] = {
      {"", "O'Brien", {"OB-1"}},
      {"", "o'b", {"OB-1"}},
      {"", kKorean, {"K-1"}},
      {"", kKorean.mid(1), {"K-1"}},
      {"", kGreek.mid(3, 4), {"G-1"}},
      {"%", "", {"10%"}},
      {"0%", "", {"10%"}},
      {"_", "", {"A_1"}},
      {"'", "", {"Q'1"}},
      {"", "'", {"OB-1", "Q'1"}},
  };
  for (const Search& s : searches) {
    patients.SearchByIDName(s.id, s.name);
    EXPECT_EQ(patientIDs(patients), s.found) << s.id.toStdString() << "/" << s.name.toStdString();
  }
  ASSERT_EQ(patients.OpenByIDName("", kGreek.left(2)), 1);
  EXPECT_EQ(patients.PatName, kGreek);
  patients.Close();
  ASSERT_EQ(patients.OpenByIDName("10%", ""), 1);
  EXPECT_EQ(patientIDs(patients), QStringList({"10%"}));
  ASSERT_EQ(patients.OpenByIDName("", "O'"), 1);
  EXPECT_EQ(patientIDs(patients), QStringList({"OB-1"}));

  EXPECT_EQ(patients.DeleteByPatID("10%"), 1);
  EXPECT_EQ(patients.DeleteByPatID("Q'1"), 1);
  EXPECT_EQ(patients.DeleteByPatID("K-1"), 1);
  ASSERT_EQ(patients.OpenByIDName("", ""), 1);
  EXPECT_EQ(patientIDs(patients), QStringList({"100", "A_1", "AB1", "G-1", "OB-1"}));
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(Patients, SearchByScheduleTakesWholeDays) {
  addPatients({{"before", "", {}, CDateTime(2024, 2, 29, 23, 59, 59)},
               {"first", "", {}, CDateTime(2024, 3, 1, 0, 0, 0)},
               {"late", "", {}, CDateTime(2024, 3, 1, 23, 59, 59)},
               {"next", "", {}, CDateTime(2024, 3, 2, 12, 0, 0)},
               {"after", "", {}, CDateTime(2024, 3, 3, 0, 0, 0)},
               {"none", "", {}, CDateTime::null()}});
  struct Case {
    int from[3];
    int to[3];
    QStringList found;
  };
  const Case cases[] = {
      {{2024, 3, 1}, {2024, 3, 2}, {"first", "late", "next"}},
      {{2024, 3, 1}, {0, 0, 0}, {"first", "late"}},               // only the from-day
      {{2024, 3, 0}, {2024, 3, 1}, {"before", "first", "late"}},  // day 0: up to the to-day
      {{2024, 3, 32}, {2024, 3, 1}, {"before", "first", "late"}},
      {{0, 0, 0}, {0, 0, 0}, {"after", "before", "first", "late", "next", "none"}},
  };
  CDRPatInfo patients(path);
  patients.m_nSortCol = CDRPatInfo::SortPatID;
  for (const Case& c : cases) {
    patients.SearchBySchedule("", "", c.from[0], c.from[1], c.from[2], c.to[0], c.to[1], c.to[2]);
    EXPECT_EQ(patientIDs(patients), c.found) << c.from[2] << "-" << c.to[2];
  }
}

TEST_F(Patients, SearchByScheduleWithAnUnlistedSortColumnKeepsTheSortText) {
  addPatients({{"A", "", {}, CDateTime(2024, 3, 1, 9, 0, 0)},
               {"B", "", {}, CDateTime(2024, 3, 1, 10, 0, 0)}});
  CDRPatInfo patients(path);
  patients.m_nSortCol = 7;
  patients.m_nSortDir = 0;
  ASSERT_EQ(patients.SearchBySchedule("", "", 2024, 3, 1, 2024, 3, 1), 1);
  EXPECT_EQ(patients.m_strSort, "");  // a new record set has none
  patients.Close();
  patients.m_nSortCol = CDRPatInfo::SortPatSchedule;
  ASSERT_EQ(patients.SearchBySchedule("", "", 2024, 3, 1, 2024, 3, 1), 1);
  EXPECT_EQ(patientIDs(patients), QStringList({"B", "A"}));
  // Kept, and searched again and again: the direction is not added a second time.
  patients.m_nSortCol = -1;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(patients.SearchBySchedule("", "", 2024, 3, 1, 2024, 3, 1), 1);
    EXPECT_EQ(patients.m_strSort, "PatSchedule Desc");
    EXPECT_EQ(patientIDs(patients), QStringList({"B", "A"}));
  }
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(Patients, InsertNewStoresEveryValueAndCopyToKeepsAnUnknownBirthDate) {
  CDRPatInfo patients(path);
  ASSERT_EQ(patients.InsertNew("P1", "Abe", 1975, 6, 30, "M", 80, 180, "pilot", "note",
                               CDateTime(2024, 1, 2, 3, 4, 5)),
            0);
  EXPECT_FALSE(patients.IsOpen());  // closed on entry, closed again
  ASSERT_EQ(patients.OpenByIDName("P1", ""), 1);
  CDPatInfo copy;
  patients.CopyTo(copy);
  EXPECT_EQ(copy.PatName, "Abe");
  EXPECT_EQ(copy.PatBirthDate, CDateTime(1975, 6, 30));
  EXPECT_EQ(copy.PatSex, "M");
  EXPECT_EQ(copy.PatWeight, 80);
  EXPECT_EQ(copy.PatHeight, 180);
  EXPECT_EQ(copy.PatOccupation, "pilot");
  EXPECT_EQ(copy.PatEtc, "note");
  EXPECT_EQ(copy.PatSchedule, CDateTime(2024, 1, 2, 3, 4, 5));
  EXPECT_EQ(copy.PatStatus, 0);
  patients.Close();

  // An impossible birth date is stored as none; copying it keeps the record's own.
  ASSERT_EQ(patients.InsertNew("P2", "Bea", 1975, 2, 30, "F", 0, 0, "", "", {}), 0);
  ASSERT_EQ(patients.OpenByIDName("P2", ""), 1);
  EXPECT_EQ(patients.PatBirthDate.status(), CDateTime::Null);
  CDPatInfo kept;
  kept.PatBirthDate = CDateTime(2000, 1, 1);
  patients.CopyTo(kept);
  EXPECT_EQ(kept.PatBirthDate, CDateTime(2000, 1, 1));
  EXPECT_EQ(kept.PatID, "P2");
}

TEST_F(Patients, DeleteByPatIDNeedsAnID) {
  addPatients({{"P1", "", {}, {}}, {"P2", "", {}, {}}});
  CDRPatInfo patients(path);
  EXPECT_EQ(patients.DeleteByPatID(""), 0);
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM PatInfo"), 2);
  EXPECT_EQ(patients.DeleteByPatID("P1"), 1);
  EXPECT_EQ(patients.DeleteByPatID("missing"), 1);  // the statement ran
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM PatInfo"), 1);
}

TEST_F(Studies, FirstAppendGetsTheEnginesKeyAndCopyToLeavesTheTotals) {
  CDRStuInfo studies(path);
  CDStuInfo study;
  study.StuID = QStringLiteral("S1");
  study.PatID = QStringLiteral("O'Brien-7");
  study.StuDesc = kKorean;
  study.StuDateTime = CDateTime(2024, 5, 6, 7, 8, 9);
  study.TotalSeries = 5;  // the table starts every study at 0
  study.Print = 3;
  EXPECT_EQ(studies.InsertNew(study), 1);
  EXPECT_EQ(study.StuSeq, 1);
  EXPECT_FALSE(studies.IsOpen());

  ASSERT_EQ(studies.OpenStudies("", "O'Brien-7", "", 0, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(studies.TotalSeries, 0);
  EXPECT_EQ(studies.Print, 0);
  CDStuInfo copy;
  copy.TotalSeries = 11;
  copy.TotalInstance = 12;
  studies.CopyTo(copy);
  EXPECT_EQ(copy.StuSeq, 1);
  EXPECT_EQ(copy.StuDesc, kKorean);
  EXPECT_EQ(copy.StuDateTime, study.StuDateTime);
  EXPECT_EQ(copy.TotalSeries, 11);
  EXPECT_EQ(copy.TotalInstance, 12);
}

TEST_F(Studies, OpenStudiesByCriteriaAndDateSortedByTheCallersSortText) {
  addStudies({{"S1", "P1", "A1", CDateTime(2023, 12, 31, 22, 0, 0)},
              {"S2", "P1", "A2", CDateTime(2024, 1, 2, 8, 0, 0)},
              {"S3", "P1", "A3", CDateTime(1999, 6, 1, 8, 0, 0)},
              {"S4", "P2", "A4", CDateTime(2024, 1, 1, 8, 0, 0)}});
  CDRStuInfo studies(path);
  studies.m_strSort = QStringLiteral("StuDateTime Desc");
  auto ids = [&studies] {
    QStringList found;
    for (; !studies.IsEOF(); studies.MoveNext()) found.append(studies.StuID);
    studies.Close();
    return found;
  };
  ASSERT_EQ(studies.OpenStudies("", "P1", "", 0, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(ids(), QStringList({"S2", "S1", "S3"}));
  ASSERT_EQ(studies.OpenStudies("", "", "", 2023, 12, 31, 2024, 1, 1), 1);
  EXPECT_EQ(ids(), QStringList({"S4", "S1"}));
  ASSERT_EQ(studies.OpenStudies("", "", "A3", 0, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(ids(), QStringList({"S3"}));
  EXPECT_EQ(studies.OpenStudies("S4", "P1", "", 0, 0, 0, 0, 0, 0), 0);
}

TEST_F(Studies, DeletesByKeyAndByPatient) {
  const QList<long> keys = addStudies(
      {{"S1", "P1", "", {}}, {"S2", "P1", "", {}}, {"S3", "P2", "", {}}, {"S4", "P2", "", {}}});
  CDRStuInfo studies(path);
  EXPECT_EQ(studies.DeleteByStuSeq(-1), 0);
  EXPECT_EQ(studies.DeleteByStuSeq(0), 1);  // runs, and finds no row
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM StuInfo"), 4);
  EXPECT_EQ(studies.DeleteByStuSeq(keys[0]), 1);
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM StuInfo"), 3);

  studies.DeleteByPatient("", "S3");
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM StuInfo"), 3);
  studies.DeleteByPatient("P2", "S3");
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM StuInfo WHERE PatID = 'P2'"), 1);
  studies.DeleteByPatient("P1", "");
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM StuInfo"), 1);
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(Studies, UpdateTotalsRecountsSeriesAndImages) {
  const QList<long> keys = addStudies({{"S1", "P1", "", {}}, {"S2", "P1", "", {}}});
  CDRStuInfo studies(path);
  studies.UpdateTotals(keys[0]);
  EXPECT_EQ(scalar(QStringLiteral("SELECT TotalSeries + 10 * TotalInstance AS n FROM StuInfo "
                                  "WHERE StuSeq = %1")
                       .arg(keys[0])),
            0);

  const long first = addSeries(keys[0], 1);
  const long second = addSeries(keys[0], 2);
  addSeries(keys[1], 1);
  for (long image = 1; image <= 3; ++image) addImage(first, image);
  addImage(second, 1);
  studies.UpdateTotals(keys[0]);
  EXPECT_EQ(
      scalar(QStringLiteral("SELECT TotalSeries AS n FROM StuInfo WHERE StuSeq = %1").arg(keys[0])),
      2);
  EXPECT_EQ(
      scalar(
          QStringLiteral("SELECT TotalInstance AS n FROM StuInfo WHERE StuSeq = %1").arg(keys[0])),
      4);
  EXPECT_EQ(
      scalar(QStringLiteral("SELECT InstanceCount AS n FROM SerInfo WHERE SerSeq = %1").arg(first)),
      3);
  studies.UpdateTotals(999);  // a missing study changes nothing
  EXPECT_EQ(scalar("SELECT SUM(TotalSeries) AS n FROM StuInfo"), 2);
  EXPECT_FALSE(studies.IsOpen());
  EXPECT_TRUE(sink.isEmpty());
}

}  // namespace

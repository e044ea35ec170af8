#include "browser/BrowserLists.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "browser/BrowserDates.h"
#include "db/DbTestSupport.h"

namespace {

// Three patients (P10 scheduled last), P1 with two studies of one and two series, P2 with one
// study and no series, P10 with nothing.
class BrowserListsTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    addPatients({{"P1", "Abe", CDateTime(1970, 1, 2), CDateTime(2024, 3, 1, 9, 0, 0)},
                 {"P2", "Bea", CDateTime(1980, 5, 6), CDateTime(2024, 3, 2, 9, 0, 0)},
                 {"P10", "Cid", CDateTime(1990, 7, 8), CDateTime(2024, 3, 3, 9, 0, 0)}});
    const QList<long> studies = addStudies({{"S1", "P1", "ACC1", CDateTime(2024, 3, 1, 9, 0, 0)},
                                            {"S2", "P1", "ACC2", CDateTime(2024, 3, 4, 9, 0, 0)},
                                            {"S3", "P2", "ACC3", CDateTime(2024, 3, 2, 9, 0, 0)}});
    s1 = addSeries(studies[0], 1, "P1", "S1");
    s2 = addSeries(studies[1], 1, "P1", "S2");
    s3 = addSeries(studies[1], 2, "P1", "S2");
    addImage(s1, 1, "/a/1.dcm", "1.1");
    addImage(s2, 1, "/a/2.dcm", "1.2");
    addImage(s3, 2, "/a/4.dcm", "1.4");
    addImage(s3, 1, "/a/3.dcm", "1.3");
    ASSERT_TRUE(lists.OpenDatabase(path));
  }
  static QStringList column(CMyListModel& model, int c) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row) texts << model.text(row, c);
    return texts;
  }
  QStringList selectedIn(CMyListModel& model, QItemSelectionModel& selection, int c) {
    QStringList texts;
    for (int row : CBrowserLists::SelectedRows(selection)) texts << model.text(row, c);
    return texts;
  }
  QStringList imagePaths() {
    QStringList paths;
    for (const CDImgInfo& image : lists.imageItems()) paths << image.FullPath;
    return paths;
  }

  CBrowserLists lists;
  long s1 = 0, s2 = 0, s3 = 0;
};

TEST_F(BrowserListsTest, OpeningListsEveryPatientNewestFirstAndTheFirstPatientsImages) {
  lists.PatientSearch();
  EXPECT_EQ(column(lists.patients(), 0), (QStringList{"P10", "P2", "P1"}));
  EXPECT_EQ(lists.patients().text(2, 3), "1970.01.02");
  EXPECT_EQ(lists.patients().text(2, 4), "2024.03.01 09:00:00");
  EXPECT_EQ(selectedIn(lists.patients(), lists.patientSelection(), 0), QStringList{"P10"});
  // A patient without studies leaves the other lists empty, without a message.
  EXPECT_EQ(lists.studies().rowCount(), 0);
  EXPECT_TRUE(lists.imageItems().empty());
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(BrowserListsTest, SearchForAnIdSelectsTheExactMatchAndRowZero) {
  lists.searchPatID = "P1";  // contained in P1 and P10
  lists.PatientSearch();
  EXPECT_EQ(column(lists.patients(), 0), (QStringList{"P10", "P1"}));
  EXPECT_EQ(selectedIn(lists.patients(), lists.patientSelection(), 0), (QStringList{"P10", "P1"}));
  EXPECT_TRUE(lists.searchPatID.isEmpty()) << "the search fields are emptied";
  // The studies are those of the last selected row: P1's, newest first, all selected.
  EXPECT_EQ(column(lists.studies(), 1), (QStringList{"S2", "S1"}));
  EXPECT_EQ(selectedIn(lists.studies(), lists.studySelection(), 1), (QStringList{"S2", "S1"}));
  EXPECT_EQ(lists.series().rowCount(), 3);
  EXPECT_EQ(CBrowserLists::SelectedRows(lists.seriesSelection()).size(), 3);
  // No series was selected when the images were loaded: every listed series, each in order.
  EXPECT_EQ(imagePaths(), (QStringList{"/a/2.dcm", "/a/3.dcm", "/a/4.dcm", "/a/1.dcm"}));
}

TEST_F(BrowserListsTest, MissingDatesListAsEmptyCells) {
  // Rows appended without dates hold the zero value (30 December 1899 00:00:00).
  addPatients({{"Q1", "Dee", {}, {}}});
  addStudies({{"S9", "Q1", "ACC9", {}}});
  lists.searchPatID = "Q1";
  lists.PatientSearch();
  ASSERT_EQ(column(lists.patients(), 0), QStringList{"Q1"});
  EXPECT_EQ(lists.patients().text(0, CBrowserLists::kPatBirthDate), "");
  EXPECT_EQ(lists.patients().text(0, CBrowserLists::kPatSchedule), "");
  ASSERT_EQ(lists.studies().rowCount(), 1);
  EXPECT_EQ(lists.studies().text(0, 3), "") << "the study date";
}

// The window's reader runs before every study fill: the accession number filters by what the
// edit holds at the click, not by what it held at the last search.
TEST_F(BrowserListsTest, EveryStudyFillReadsTheAccessionEdit) {
  QString edit;
  lists.SetFieldReader([&] { lists.searchAccessNo = edit; });
  lists.searchPatID = "P1";
  lists.PatientSearch();
  ASSERT_EQ(column(lists.studies(), 1), (QStringList{"S2", "S1"}));
  edit = "acc2";  // Enter in the accession edit
  lists.StudySearch();
  EXPECT_EQ(column(lists.studies(), 1), QStringList{"S2"});
  edit.clear();  // emptied, then a click on the patient
  const QList<int> selected = CBrowserLists::SelectedRows(lists.patientSelection());
  ASSERT_FALSE(selected.isEmpty());
  lists.PatientClicked(selected.last());
  EXPECT_EQ(column(lists.studies(), 1), (QStringList{"S2", "S1"}));
  edit = "ACC3";  // another patient's number: none of P1's
  lists.PatientClicked(selected.last());
  EXPECT_EQ(lists.studies().rowCount(), 0);
}

TEST_F(BrowserListsTest, StudiesOfTwoSelectedPatientsAccumulate) {
  lists.PatientSearch();
  lists.patientSelection().clearSelection();
  for (int row : {1, 2}) {
    lists.patientSelection().select(lists.patients().index(row, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  lists.PatientClicked(2);
  EXPECT_EQ(column(lists.studies(), 1), (QStringList{"S3", "S2", "S1"}));
  EXPECT_EQ(CBrowserLists::SelectedRows(lists.studySelection()).size(), 3);
}

TEST_F(BrowserListsTest, StudyWithoutSeriesSaysSoAndASeriesClickShowsOnlyItsImages) {
  lists.searchPatID = "P2";
  lists.PatientSearch();
  ASSERT_EQ(column(lists.studies(), 1), QStringList{"S3"});
  lists.StudyClicked(0);
  EXPECT_EQ(sink.texts(), QStringList{"Series dose not exist."});
  EXPECT_EQ(sink.messages()[0].caption, "Browser");
  sink.clear();
  lists.searchPatID = "P1";
  lists.PatientSearch();
  lists.seriesSelection().clearSelection();
  lists.seriesSelection().select(lists.series().index(1, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  lists.SeriesClicked();
  EXPECT_EQ(imagePaths(), (QStringList{"/a/3.dcm", "/a/4.dcm"}));
}

TEST_F(BrowserListsTest, PeriodLimitsPatientsBySchedule) {
  lists.ChoosePeriod(browser::kToday, QDateTime(QDate(2024, 3, 2), QTime(10, 0, 0)));
  EXPECT_EQ(column(lists.patients(), 0), QStringList{"P2"});
  lists.ChoosePeriod(browser::kAll, QDateTime(QDate(2024, 3, 2), QTime(10, 0, 0)));
  EXPECT_EQ(lists.patients().rowCount(), 3);
}

TEST_F(BrowserListsTest, PatientSearchFollowsTheClickedHeading) {
  lists.PatientSearch();
  lists.patients().HeadingClicked(CBrowserLists::kPatName);  // ascending by name
  lists.PatientSearch();
  EXPECT_EQ(column(lists.patients(), 1), (QStringList{"Abe", "Bea", "Cid"}));
}

TEST_F(BrowserListsTest, LongPatientListComesPageByPage) {
  addNumberedPatients(1200);  // scheduled before the three patients above
  addPatients({{"N0", "Zed", {}, CDateTime(2019, 1, 1, 0, 0, 0)}});  // the last of all
  lists.searchPatID = "N0";  // contained in every numbered ID, exactly N0's
  lists.PatientSearch();
  EXPECT_EQ(lists.patients().rowCount(), CBrowserLists::kPatientPage);
  EXPECT_TRUE(lists.patients().canFetchMore());
  EXPECT_EQ(selectedIn(lists.patients(), lists.patientSelection(), 0), QStringList{"N01200"});
  // The rest arrive while the event loop is idle; the exact match is selected when it comes.
  for (int turn = 0; turn < 100 && lists.patients().canFetchMore(); ++turn) {
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(lists.patients().rowCount(), 1201);
  EXPECT_EQ(selectedIn(lists.patients(), lists.patientSelection(), 0),
            (QStringList{"N01200", "N0"}));

  // A heading click while rows are pending sorts the whole list.
  lists.PatientSearch();
  ASSERT_TRUE(lists.patients().canFetchMore());
  lists.patients().HeadingClicked(CBrowserLists::kPatID);
  EXPECT_EQ(lists.patients().rowCount(), 1204);
  EXPECT_FALSE(lists.patients().canFetchMore());
  EXPECT_EQ(lists.patients().text(0, 0), "N0");
  EXPECT_EQ(lists.patients().text(1203, 0), "P2");
  EXPECT_TRUE(sink.isEmpty());
}

// An exact ID match on a later page: its studies are listed at once, not those of row 0.
TEST_F(BrowserListsTest, ExactMatchPastTheFirstPageListsItsStudies) {
  addNumberedPatients(600);
  addPatients({{"N0", "Zed", {}, CDateTime(2019, 1, 1, 0, 0, 0)}});  // the last of all
  addStudies({{"SZ", "N0", "ACCZ", CDateTime(2019, 1, 1, 0, 0, 0)},
              {"SN", "N00600", "ACCN", CDateTime(2020, 1, 1, 10, 0, 0)}});
  const QDate all;
  const struct {
    const char* id;
    const char* name;
    QDate scheduled;  // the period's one day, or none for "ALL"
    QStringList studies;
  } cases[] = {
      {"N0", "", all, {"SZ"}},
      {"N0", "ze", all, {"SZ"}},              // alone on the first page
      {"n0", "", all, {"SN"}},                // no ID is "n0" as typed: row 0's
      {"N0", "Name", all, {"SN"}},            // N0 is not among the names searched
      {"N0", "", QDate(2020, 1, 1), {"SN"}},  // nor scheduled in the period
      {"N00001", "", all, {}},                // found, but without studies
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.id << " " << c.name << " " << c.scheduled.toString().toStdString());
    lists.period = c.scheduled.isValid() ? browser::kToday : browser::kAll;
    lists.fromDate = QDateTime(c.scheduled, QTime(0, 0, 0));
    lists.toDate = QDateTime(c.scheduled, QTime(23, 59, 59));
    lists.searchPatID = c.id;
    lists.searchPatName = c.name;
    lists.PatientSearch();
    EXPECT_EQ(column(lists.studies(), 1), c.studies);
    EXPECT_EQ(CBrowserLists::SelectedRows(lists.studySelection()).size(), c.studies.size());
  }
  // The match is selected when its page comes, with row 0.
  lists.period = browser::kAll;
  lists.searchPatID = "N0";
  lists.PatientSearch();
  for (int turn = 0; turn < 100 && lists.patients().canFetchMore(); ++turn) {
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(selectedIn(lists.patients(), lists.patientSelection(), 0),
            (QStringList{"N00600", "N0"}));
  EXPECT_EQ(column(lists.studies(), 1), QStringList{"SZ"});
}

// Images came in: the patients are listed again and the operator's patient and study stay
// chosen, the patient's studies at once and its row when its page comes.
TEST_F(BrowserListsTest, ARefreshAfterImportKeepsTheChosenPatientAndStudyOnALaterPage) {
  addNumberedPatients(1200);
  lists.PatientSearch();
  lists.patients().HeadingClicked(CBrowserLists::kPatID);  // N00001 ... N01200, P1, P10, P2
  const int p1 = column(lists.patients(), 0).indexOf("P1");
  ASSERT_GE(p1, CBrowserLists::kPatientPage);
  lists.patientSelection().select(lists.patients().index(p1, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  lists.PatientClicked(p1);
  ASSERT_EQ(column(lists.studies(), 1), (QStringList{"S2", "S1"}));
  lists.studySelection().select(lists.studies().index(0, 0),
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  lists.StudyClicked(0);

  lists.ListPatientsAfterImport();
  EXPECT_EQ(lists.patients().rowCount(), CBrowserLists::kPatientPage);
  EXPECT_EQ(column(lists.studies(), 1), (QStringList{"S2", "S1"}));
  EXPECT_EQ(selectedIn(lists.studies(), lists.studySelection(), 1), QStringList{"S2"});
  EXPECT_EQ(imagePaths(), (QStringList{"/a/2.dcm", "/a/3.dcm", "/a/4.dcm"}));
  for (int turn = 0; turn < 100 && lists.patients().canFetchMore(); ++turn) {
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(selectedIn(lists.patients(), lists.patientSelection(), 0), QStringList{"P1"});
  EXPECT_TRUE(sink.isEmpty());
}

}  // namespace

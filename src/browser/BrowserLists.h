#pragma once

#include <QDateTime>
#include <QItemSelectionModel>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "browser/ListModel.h"
#include "db/DRPatInfo.h"
#include "db/DaoDatabase.h"
#include "db/ValueRecords.h"

// What the study browser lists and how it searches: the patient, study and series lists with
// their selections, the value records behind their rows, the images of the chosen series, the
// search fields and the period. The browser window shows these models; everything here runs
// without a window, on one connection to the image database kept for the browser's life.
class CBrowserLists : public QObject {
  Q_OBJECT

 public:
  // Columns of the patient list, in the order its rows fill them (the sort column of a search).
  enum PatientColumn { kPatID, kPatName, kPatSex, kPatBirthDate, kPatSchedule };

  explicit CBrowserLists(QObject* parent = nullptr);

  // Connects to the image database at path (created from the schema when missing). False with
  // the reason in error.
  bool OpenDatabase(const QString& path, QString* error = nullptr);
  // The connection the lists read through (the drop folder's imports write through it too).
  CDaoDatabase& database() { return m_db; }

  // ---- search fields (the edits and the period list)
  QString searchPatID;
  QString searchPatName;
  QString searchAccessNo;
  QString searchStuID;  // no edit offers these three: they stay empty
  long searchSeriesNo = 0;
  QString searchBodyPart;
  QDateTime fromDate;
  QDateTime toDate;
  int period = 4;  // "ALL"
  // Reads the window's edits into the fields above. Every study fill calls it first, so the
  // accession number filters by what the edit holds now, not by what it held at a search.
  void SetFieldReader(std::function<void()> reader) { m_readFields = std::move(reader); }

  // Patient search: the patients by ID and name (anywhere in them), or scheduled in the period;
  // the exactly matching ID and the first row selected, the studies of the last selected row
  // listed; the ID and name fields emptied. The first page of patients is listed at once and
  // the rest follow page by page while the event loop is idle (or sooner, as the list is
  // scrolled), so that "ALL" over an archive of 100,000 patients never holds the window up.
  void PatientSearch();
  static constexpr int kPatientPage = 500;
  // After images came in from the drop folder: the patients of empty ID and name listed again;
  // the patients and studies that were selected and still exist stay selected, with their
  // series and images (nothing is selected when nothing was).
  void ListPatientsAfterImport();
  // Whether images were indexed since the last call or the opening, through this connection or
  // by another process into the same database (the receiver service's watcher). The highest
  // image key tells, as keys are never reused: one look-up in the key's index, cheap enough
  // for every pass of the drop folder's timer whatever the archive's size.
  bool ImagesAdded();
  // The studies of the last selected patient, all selected, and their series.
  void StudySearch();
  // A period entry chosen at the moment now: its dates, then the patient search. True when the
  // date pickers are to be enabled.
  bool ChoosePeriod(int newPeriod, const QDateTime& now);
  // A click on a patient row: the studies of every selected patient accumulate, all selected,
  // and their series, all selected.
  void PatientClicked(int row);
  // A click on a study row: its patient selected, the series of the selected studies listed
  // and all selected; a study without series says so and stops.
  void StudyClicked(int row);
  // A click on a series row: the images of the last selected series.
  void SeriesClicked();
  // Empties every list and the images.
  void ClearAll();
  // After a record operation, as far as its refresh level asks (RecordChange::Refresh): the
  // patient search again; the studies of the selected patients again, all selected, with their
  // series; or the series of the selected studies again, with their images.
  void Refresh(int level);

  CMyListModel& patients() { return m_patients; }
  CMyListModel& studies() { return m_studies; }
  CMyListModel& series() { return m_series; }
  QItemSelectionModel& patientSelection() { return m_patientSelection; }
  QItemSelectionModel& studySelection() { return m_studySelection; }
  QItemSelectionModel& seriesSelection() { return m_seriesSelection; }
  const QItemSelectionModel& studySelection() const { return m_studySelection; }

  // The value record behind a row (null outside the list).
  const CDPatInfo* patientOf(int row) const;
  const CDStuInfo* studyOf(int row) const;
  const CDSerInfo* seriesOf(int row) const;
  const std::vector<CDSerInfo>& seriesItems() const { return m_seriesItems; }
  // The images of the listed series, in list order.
  const std::vector<CDImgInfo>& imageItems() const { return m_imageItems; }

  // The rows selected in a list, in list order.
  static QList<int> SelectedRows(const QItemSelectionModel& selection);

 signals:
  // The images changed (the strip is filled again from imageItems()).
  void imagesChanged();

 private:
  // Series listing of the selected studies; with stopOnEmpty a study without series says so
  // and stops the listing.
  void listSeries(bool stopOnEmpty);
  void loadImages();
  // The studies of every selected patient, all selected, and their series.
  void relistStudies();
  // Appends the studies of one patient (the period's dates, newest first).
  void fillStudies(const QString& patID);
  // The studies of one patient, all selected, and their series.
  void listStudiesOf(const QString& patID);
  // Whether the patient search, its rows not all listed yet, holds a patient of exactly the
  // searched ID.
  bool exactMatchPending();
  void clearStudies();
  // The patient list of the search fields (its first page, the rest pending), the rows of
  // selectPatIDs selected as they are listed.
  void fillPatients(const QStringList& selectPatIDs);
  // Lists the next page of the patient search; whether rows are still pending.
  bool listPatientPage();
  void endPatientSearch();
  static void selectAll(QItemSelectionModel& selection);

  CDaoDatabase m_db;
  qlonglong m_newestImage = 0;  // the highest ImgSeq ImagesAdded saw
  CMyListModel m_patients;
  CMyListModel m_studies;
  CMyListModel m_series;
  QItemSelectionModel m_patientSelection{&m_patients};
  QItemSelectionModel m_studySelection{&m_studies};
  QItemSelectionModel m_seriesSelection{&m_series};
  std::vector<CDPatInfo> m_patientItems;
  std::unique_ptr<CDRPatInfo> m_patientRows;  // the patient search while rows are pending
  QSet<QString> m_selectPatIDs;               // the IDs its rows are selected for
  QTimer m_patientFill;                       // lists pending patients while idle
  std::vector<CDStuInfo> m_studyItems;
  std::vector<CDSerInfo> m_seriesItems;
  std::vector<CDImgInfo> m_imageItems;
  std::function<void()> m_readFields;
};

#include "browser/BrowserLists.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

#include "app/AppSettings.h"
#include "app/LanguageTable.h"
#include "browser/BrowserDates.h"
#include "browser/RecordOperations.h"
#include "db/DRImgInfo.h"
#include "db/DRPatInfo.h"
#include "db/DRSerInfo.h"
#include "db/DRStuInfo.h"
#include "ui/MessageSink.h"

namespace {

const QString kBrowser = QStringLiteral("Browser");

QString dateText(const CDateTime& value, bool withTime) {
  const AppSettings& settings = theAppSettings();
  return browser::DateText(value, settings.dateDisplayOrder, settings.dateSeparator, withTime);
}

// Year, month and day of a search date; -1 for each of an invalid one.
struct SplitDate {
  int year = -1;
  int month = -1;
  int day = -1;
};
SplitDate split(const QDateTime& value) {
  if (!value.isValid()) return {};
  return {value.date().year(), value.date().month(), value.date().day()};
}

QString printMark(long print) { return print != 0 ? GetLabel(138) : QString(); }

}  // namespace

CBrowserLists::CBrowserLists(QObject* parent) : QObject(parent) {
  m_patients.SetHeadings({GetLabel(129), GetLabel(130), GetLabel(132), GetLabel(133),
                          QStringLiteral("Pat.Schedule"), QString()});
  m_studies.SetHeadings({GetLabel(129), GetLabel(135), GetLabel(131), GetLabel(136), GetLabel(137),
                         GetLabel(138), QString()});
  m_series.SetHeadings({GetLabel(135), QStringLiteral("NO"), QStringLiteral("IMAGE COUNT"),
                        QStringLiteral("BODY PART"), GetLabel(138)});
  m_patientFill.setInterval(0);
  connect(&m_patientFill, &QTimer::timeout, this, [this] {
    if (m_patients.canFetchMore()) {
      m_patients.fetchMore();
    } else {
      m_patientFill.stop();
    }
  });
}

bool CBrowserLists::OpenDatabase(const QString& path, QString* error) {
  if (!m_db.Open(path, error)) return false;
  m_newestImage = 0;
  ImagesAdded();
  return true;
}

bool CBrowserLists::ImagesAdded() {
  QSqlError error;
  QSqlQuery* query = m_db.Prepared(QStringLiteral("SELECT max(ImgSeq) FROM ImgInfo"), &error);
  if (query == nullptr || !query->exec() || !query->next()) return false;
  const qlonglong newest = query->value(0).toLongLong();
  query->finish();
  if (newest == m_newestImage) return false;
  m_newestImage = newest;
  return true;
}

QList<int> CBrowserLists::SelectedRows(const QItemSelectionModel& selection) {
  QList<int> rows;
  for (const QModelIndex& index : selection.selectedRows()) rows << index.row();
  std::sort(rows.begin(), rows.end());
  return rows;
}

void CBrowserLists::selectAll(QItemSelectionModel& selection) {
  const QAbstractItemModel* model = selection.model();
  if (model->rowCount() == 0) return;
  selection.select(QItemSelection(model->index(0, 0), model->index(model->rowCount() - 1, 0)),
                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

const CDPatInfo* CBrowserLists::patientOf(int row) const {
  const int record = m_patients.record(row);
  return record < 0 ? nullptr : &m_patientItems[static_cast<std::size_t>(record)];
}

const CDStuInfo* CBrowserLists::studyOf(int row) const {
  const int record = m_studies.record(row);
  return record < 0 ? nullptr : &m_studyItems[static_cast<std::size_t>(record)];
}

const CDSerInfo* CBrowserLists::seriesOf(int row) const {
  const int record = m_series.record(row);
  return record < 0 ? nullptr : &m_seriesItems[static_cast<std::size_t>(record)];
}

void CBrowserLists::ClearAll() {
  endPatientSearch();
  m_patients.Clear();
  m_patientItems.clear();
  clearStudies();
}

void CBrowserLists::clearStudies() {
  m_studies.Clear();
  m_studyItems.clear();
  m_series.Clear();
  m_seriesItems.clear();
  if (!m_imageItems.empty()) {
    m_imageItems.clear();
    emit imagesChanged();
  }
}

void CBrowserLists::PatientSearch() {
  fillPatients(searchPatID.isEmpty() ? QStringList() : QStringList{searchPatID});
  if (m_patients.rowCount() > 0) {
    m_patientSelection.select(m_patients.index(0, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  // The exact match is the last selected row once every row is listed; one still pending on a
  // later page is selected when its page comes, and its studies are the ones listed now.
  const QList<int> selected = SelectedRows(m_patientSelection);
  const bool exactListed =
      !selected.isEmpty() && m_patients.text(selected.last(), kPatID) == searchPatID;
  if (!searchPatID.isEmpty() && !exactListed && exactMatchPending()) {
    listStudiesOf(searchPatID);
  } else {
    StudySearch();
  }
  searchPatID.clear();
  searchPatName.clear();
}

bool CBrowserLists::exactMatchPending() {
  if (!m_patients.canFetchMore()) return false;
  CDRPatInfo rows(&m_db);
  const SplitDate from = period == browser::kAll ? SplitDate{} : split(fromDate);
  const SplitDate to = period == browser::kAll ? SplitDate{} : split(toDate);
  return rows.HoldsExactID(searchPatID, searchPatName, from.year, from.month, from.day, to.year,
                           to.month, to.day);
}

void CBrowserLists::ListPatientsAfterImport() {
  QStringList keptPatients;
  for (int row : SelectedRows(m_patientSelection)) keptPatients << m_patients.text(row, kPatID);
  QSet<long> keptStudies;
  for (int row : SelectedRows(m_studySelection)) {
    if (const CDStuInfo* study = studyOf(row)) keptStudies.insert(study->StuSeq);
  }
  ClearAll();
  searchPatID.clear();
  searchPatName.clear();
  // Images arrive every second in the station mode while the operator works: the patients and
  // studies the operator chose stay chosen as long as they exist. A patient beyond the first
  // page is selected when its page is listed; its studies are listed at once.
  fillPatients(keptPatients);
  if (keptPatients.isEmpty()) return;
  for (const QString& patID : keptPatients) fillStudies(patID);
  for (int row = 0; row < m_studies.rowCount(); ++row) {
    if (keptStudies.contains(studyOf(row)->StuSeq)) {
      m_studySelection.select(m_studies.index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }
  listSeries(false);
}

void CBrowserLists::fillPatients(const QStringList& selectPatIDs) {
  endPatientSearch();
  m_patients.Clear();
  m_patientItems.clear();
  m_patientRows = std::make_unique<CDRPatInfo>(&m_db);
  CDRPatInfo& rows = *m_patientRows;
  rows.SetPageSize(kPatientPage);
  rows.m_nSortCol = m_patients.GetSortColumn();
  rows.m_nSortDir = m_patients.GetSortDirection();
  if (rows.m_nSortCol < 0) {
    rows.m_nSortCol = CDRPatInfo::SortPatSchedule;
    rows.m_nSortDir = 0;
  }
  int found = 0;
  if (period == browser::kAll) {
    found = rows.SearchByIDName(searchPatID, searchPatName);
  } else {
    const SplitDate from = split(fromDate);
    const SplitDate to = split(toDate);
    found = rows.SearchBySchedule(searchPatID, searchPatName, from.year, from.month, from.day,
                                  to.year, to.month, to.day);
  }
  m_selectPatIDs = QSet<QString>(selectPatIDs.begin(), selectPatIDs.end());
  if (found == 1 && listPatientPage()) {
    m_patients.SetPendingRows([this] { return listPatientPage(); });
    m_patientFill.start();
  }
}

bool CBrowserLists::listPatientPage() {
  if (!m_patientRows) return false;
  CDRPatInfo& rows = *m_patientRows;
  if (rows.IsEOF() && !rows.FetchMore(kPatientPage)) {
    endPatientSearch();
    return false;
  }
  std::vector<CMyListModel::RowData> listed;
  QList<int> chosen;
  const int first = m_patients.rowCount();
  for (; !rows.IsEOF(); rows.MoveNext()) {
    CDPatInfo patient;
    rows.CopyTo(patient);
    if (m_selectPatIDs.contains(patient.PatID)) chosen << first + static_cast<int>(listed.size());
    listed.push_back({{patient.PatID, patient.PatName, patient.PatSex,
                       dateText(patient.PatBirthDate, false), dateText(patient.PatSchedule, true)},
                      static_cast<int>(m_patientItems.size())});
    m_patientItems.push_back(std::move(patient));
  }
  m_patients.AppendRows(std::move(listed));
  for (int row : chosen) {
    m_patientSelection.select(m_patients.index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  if (rows.HasMore()) return true;
  endPatientSearch();
  return false;
}

void CBrowserLists::endPatientSearch() {
  m_patientFill.stop();
  m_patientRows.reset();
}

void CBrowserLists::StudySearch() {
  const QList<int> selected = SelectedRows(m_patientSelection);
  if (selected.isEmpty()) {
    clearStudies();
    return;
  }
  listStudiesOf(m_patients.text(selected.last(), kPatID));
}

void CBrowserLists::listStudiesOf(const QString& patID) {
  clearStudies();
  fillStudies(patID);
  selectAll(m_studySelection);
  listSeries(false);
}

bool CBrowserLists::ChoosePeriod(int newPeriod, const QDateTime& now) {
  period = newPeriod;
  const browser::PeriodRange range = browser::ApplyPeriod(newPeriod, now, fromDate, toDate);
  fromDate = range.from;
  toDate = range.to;
  PatientSearch();
  return range.pickersEnabled;
}

void CBrowserLists::PatientClicked(int row) {
  if (row >= 0) relistStudies();
}

void CBrowserLists::relistStudies() {
  QStringList ids;
  for (int selected : SelectedRows(m_patientSelection)) ids << m_patients.text(selected, kPatID);
  clearStudies();
  for (const QString& id : ids) fillStudies(id);
  selectAll(m_studySelection);
  listSeries(false);
}

void CBrowserLists::StudyClicked(int row) {
  if (row < 0) return;
  const QList<int> selected = SelectedRows(m_studySelection);
  if (selected.isEmpty()) return;
  const CDStuInfo* study = studyOf(selected.first());
  if (study == nullptr) return;
  for (int patient = 0; patient < m_patients.rowCount(); ++patient) {
    if (m_patients.text(patient, kPatID) != study->PatID) continue;
    m_patientSelection.select(m_patients.index(patient, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    break;
  }
  listSeries(true);
}

void CBrowserLists::SeriesClicked() { loadImages(); }

void CBrowserLists::Refresh(int level) {
  if (level >= RecordChange::kPatientSearch) {
    PatientSearch();
  } else if (level == RecordChange::kStudySearch) {
    relistStudies();
  } else {
    listSeries(false);
  }
}

void CBrowserLists::fillStudies(const QString& patID) {
  m_series.Clear();
  m_seriesItems.clear();
  if (m_readFields) m_readFields();
  if (patID.isEmpty()) return;
  const QDateTime now = QDateTime::currentDateTime();
  if (fromDate.isValid() && fromDate > now) fromDate = now;
  CDRStuInfo rows(&m_db);
  rows.m_strSort = QStringLiteral("StuDateTime Desc");
  SplitDate from;
  SplitDate to;
  if (period != browser::kAll) {
    from = split(fromDate);
    to = split(toDate);
  } else {
    from = to = SplitDate{0, 0, 0};
  }
  const int found = rows.OpenStudies(searchStuID, patID, searchAccessNo, from.year, from.month,
                                     from.day, to.year, to.month, to.day);
  std::vector<CMyListModel::RowData> listed;
  for (; found == 1 && !rows.IsEOF(); rows.MoveNext()) {
    CDStuInfo study;
    rows.CopyTo(study);
    listed.push_back(
        {{study.PatID, study.StuID, study.StuAccessNo, dateText(study.StuDateTime, true),
          study.StuDesc, printMark(study.Print), QString()},
         static_cast<int>(m_studyItems.size())});
    m_studyItems.push_back(std::move(study));
  }
  m_studies.AppendRows(std::move(listed));
}

void CBrowserLists::listSeries(bool stopOnEmpty) {
  m_series.Clear();
  m_seriesItems.clear();
  for (int row : SelectedRows(m_studySelection)) {
    const CDStuInfo* study = studyOf(row);
    if (study == nullptr) continue;
    CDRSerInfo rows(&m_db);
    rows.m_strSort = QStringLiteral("SeriesNo");
    const int found = rows.OpenSeries(study->PatID, study->StuID, 0, QString(), searchBodyPart,
                                      QString(), study->StuSeq);
    if (found != 1 && stopOnEmpty) {
      ShowMessage(QStringLiteral("Series dose not exist."), kBrowser, MB_ICONSTOP);
      break;
    }
    for (; found == 1 && !rows.IsEOF(); rows.MoveNext()) {
      const CDSerInfo series = rows;
      m_seriesItems.push_back(series);
      m_series.AddRow(
          {series.StuID, QString::number(series.SeriesNo), QString::number(series.InstanceCount),
           series.BodyPart, printMark(series.Print)},
          static_cast<int>(m_seriesItems.size()) - 1);
    }
  }
  loadImages();
  selectAll(m_seriesSelection);
}

void CBrowserLists::loadImages() {
  m_imageItems.clear();
  const QList<int> selected = SelectedRows(m_seriesSelection);
  std::vector<long> keys;
  if (!selected.isEmpty()) {
    if (const CDSerInfo* series = seriesOf(selected.last())) keys.push_back(series->SerSeq);
  } else {
    for (const CDSerInfo& series : m_seriesItems) keys.push_back(series.SerSeq);
  }
  for (long serSeq : keys) {
    CDRImgInfo rows(&m_db);
    rows.m_nSortDir = 1;
    const int found = rows.OpenImages(serSeq, 0);
    if (found != 1 && !selected.isEmpty()) {
      ShowMessage(QStringLiteral("Image dose not exist."), kBrowser, MB_ICONSTOP);
    }
    for (; found == 1 && !rows.IsEOF(); rows.MoveNext()) {
      CDImgInfo image;
      rows.CopyTo(image);
      m_imageItems.push_back(image);
    }
  }
  emit imagesChanged();
}

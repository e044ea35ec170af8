#include "db/DRPatInfo.h"

namespace {
const char* const kSortColumns[] = {"PatID", "PatName", "PatSex", "PatBirthDate", "PatSchedule"};
}

void CDRPatInfo::DoFieldExchange(CFieldExchange& fx) {
  fx.Field("PatID", PatID);
  fx.Field("PatName", PatName);
  fx.Field("PatBirthDate", PatBirthDate);
  fx.Field("PatSex", PatSex);
  fx.Field("PatWeight", PatWeight);
  fx.Field("PatHeight", PatHeight);
  fx.Field("PatOccupation", PatOccupation);
  fx.Field("PatEtc", PatEtc);
  fx.Field("PatSchedule", PatSchedule);
  fx.Field("PatStatus", PatStatus);
}

void CDRPatInfo::ApplySort(const QString& column) {
  if (!column.isEmpty()) m_strSort = column;
  if (m_strSort.isEmpty()) return;
  // A kept sort text already carries its direction; a second suffix would break the query.
  const QString bare = m_strSort.section(QLatin1Char(' '), 0, 0);
  m_strSort = sortText(bare, m_nSortDir);
}

int CDRPatInfo::OpenByIDName(const QString& patID, const QString& patName) {
  Close();
  CSqlFilter filter;
  filter.addText(QStringLiteral("PatID"), patID);
  filter.addPrefix(QStringLiteral("PatName"), patName);
  const bool listed = m_nSortCol >= SortPatID && m_nSortCol <= SortPatBirthDate;
  ApplySort(QLatin1String(kSortColumns[listed ? m_nSortCol : SortPatSchedule]));
  return OpenWith(filter);
}

int CDRPatInfo::SearchByIDName(const QString& patID, const QString& patName) {
  Close();
  CSqlFilter filter(GetDefaultSQL());
  filter.addContains(QStringLiteral("PatID"), patID);
  filter.addContains(QStringLiteral("PatName"), patName);
  const bool listed = m_nSortCol >= SortPatID && m_nSortCol <= SortPatBirthDate;
  ApplySort(QLatin1String(kSortColumns[listed ? m_nSortCol : SortPatSchedule]));
  return OpenWith(filter);
}

int CDRPatInfo::SearchBySchedule(const QString& patID, const QString& patName, int fromYear,
                                 int fromMonth, int fromDay, int toYear, int toMonth, int toDay) {
  Close();
  CSqlFilter filter(GetDefaultSQL());
  filter.addContains(QStringLiteral("PatID"), patID);
  filter.addContains(QStringLiteral("PatName"), patName);
  filter.addDateRange(QStringLiteral("PatSchedule"), fromYear, fromMonth, fromDay, toYear, toMonth,
                      toDay);
  const bool listed = m_nSortCol >= SortPatID && m_nSortCol <= SortPatSchedule;
  ApplySort(listed ? QLatin1String(kSortColumns[m_nSortCol]) : QString());
  return OpenWith(filter);
}

bool CDRPatInfo::HoldsExactID(const QString& patID, const QString& patName, int fromYear,
                              int fromMonth, int fromDay, int toYear, int toMonth, int toDay) {
  Close();
  if (patID.isEmpty()) return false;
  CSqlFilter filter(GetDefaultSQL());
  filter.addText(QStringLiteral("PatID"), patID);
  filter.addContains(QStringLiteral("PatName"), patName);
  filter.addDateRange(QStringLiteral("PatSchedule"), fromYear, fromMonth, fromDay, toYear, toMonth,
                      toDay);
  bool found = false;
  // The filter ignores letter case; the list selects by the ID as typed.
  for (int open = OpenWith(filter); open == 1 && !IsEOF() && !found; MoveNext()) {
    found = PatID == patID;
  }
  Close();
  return found;
}

int CDRPatInfo::InsertNew(const QString& patID, const QString& patName, int birthYear,
                          int birthMonth, int birthDay, const QString& sex, long weight,
                          long height, const QString& occupation, const QString& remark,
                          const CDateTime& schedule) {
  const long key = AppendRow([&] {
    PatID = patID;
    PatName = patName;
    PatBirthDate = CDateTime(birthYear, birthMonth, birthDay);
    PatSex = sex;
    PatWeight = weight;
    PatHeight = height;
    PatOccupation = occupation;
    PatEtc = remark;
    PatSchedule = schedule;
    PatStatus = 0;
  });
  return key < 0 ? -1 : 0;
}

void CDRPatInfo::CopyTo(CDPatInfo& patient) const {
  patient.PatID = PatID;
  patient.PatName = PatName;
  if (PatBirthDate.isValid()) patient.PatBirthDate = PatBirthDate;
  patient.PatSex = PatSex;
  patient.PatWeight = PatWeight;
  patient.PatHeight = PatHeight;
  patient.PatOccupation = PatOccupation;
  patient.PatEtc = PatEtc;
  patient.PatSchedule = PatSchedule;
  patient.PatStatus = PatStatus;
}

int CDRPatInfo::DeleteByPatID(const QString& patID) {
  CSqlFilter filter;
  filter.addText(QStringLiteral("PatID"), patID);
  return DeleteWhere(filter) ? 1 : 0;
}

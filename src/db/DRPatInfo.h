#pragma once

#include "db/GMDaoRecordset.h"
#include "db/ValueRecords.h"

// The patient table. Its columns are the members of CDPatInfo (Spare is no column).
class CDRPatInfo : public CGMDaoRecordset, public CDPatInfo {
 public:
  // Sort columns of the patient queries.
  enum SortColumn { SortPatID, SortPatName, SortPatSex, SortPatBirthDate, SortPatSchedule };

  using CGMDaoRecordset::CGMDaoRecordset;

  QString GetDefaultSQL() const override { return QStringLiteral("PatInfo"); }
  void DoFieldExchange(CFieldExchange& fx) override;

  // The ID exactly and the name by its beginning (either may be empty). 1 with the row set open
  // on the first row, 0 when nothing matches or on an error. Sorted by m_nSortCol (0 to 3,
  // anything else PatSchedule) in m_nSortDir.
  int OpenByIDName(const QString& patID, const QString& patName);
  // As OpenByIDName, both texts matched anywhere in the ID and the name.
  int SearchByIDName(const QString& patID, const QString& patName);
  // ID and name anywhere, scheduled from the start of the from-day to the end of the to-day
  // (the date rules of CSqlFilter::addDateRange). Sorted by m_nSortCol 0 to 4; another value
  // keeps the sort text as it is.
  int SearchBySchedule(const QString& patID, const QString& patName, int fromYear, int fromMonth,
                       int fromDay, int toYear, int toMonth, int toDay);
  // Whether SearchBySchedule's rows for these criteria (dates of -1: none, as SearchByIDName)
  // hold a patient whose ID is exactly patID, letter case included. The row set stays closed.
  bool HoldsExactID(const QString& patID, const QString& patName, int fromYear, int fromMonth,
                    int fromDay, int toYear, int toMonth, int toDay);
  // Appends one patient (birth date at 00:00:00, status 0); no check for an existing ID.
  // 0, or -1 when the row cannot be appended.
  int InsertNew(const QString& patID, const QString& patName, int birthYear, int birthMonth,
                int birthDay, const QString& sex, long weight, long height,
                const QString& occupation, const QString& remark, const CDateTime& schedule);
  // The current row into the value record; its birth date only when the row's is a valid date.
  void CopyTo(CDPatInfo& patient) const;
  // Deletes every row of the ID. 1 when the statement ran, 0 for an empty ID or on an error.
  int DeleteByPatID(const QString& patID);

  int m_nSortCol = -1;  // SortColumn, -1 none
  int m_nSortDir = -1;  // -1 none, 0 descending, 1 ascending

 private:
  void ApplySort(const QString& column);
};

#pragma once

#include "db/GMDaoRecordset.h"
#include "db/ValueRecords.h"

#include <set>

// The study table. Its columns are the members of CDStuInfo (Spare is no column). Callers set
// m_strSort themselves before a query (the browser lists "StuDateTime Desc").
class CDRStuInfo : public CGMDaoRecordset, public CDStuInfo {
 public:
  using CGMDaoRecordset::CGMDaoRecordset;

  QString GetDefaultSQL() const override { return QStringLiteral("StuInfo"); }
  void DoFieldExchange(CFieldExchange& fx) override;

  // Studies by the given study ID, patient ID and accession number (empty: any), dated from
  // the start of the from-day to the end of the to-day (the rules of CSqlFilter::addDateRange).
  // 1 with the row set open on the first row, 0 when nothing matches or on an error.
  int OpenStudies(const QString& stuID, const QString& patID, const QString& accessNo, int fromYear,
                  int fromMonth, int fromDay, int toYear, int toMonth, int toDay);
  // Appends the study (totals and print mark 0) and writes the engine's StuSeq into it.
  // The new StuSeq, or -1 when the row cannot be appended. The row set is closed afterwards.
  long InsertNew(CDStuInfo& study);
  // The current row into the value record, all but the two totals.
  void CopyTo(CDStuInfo& study) const;
  // 1 when the statement ran (key 0 included), 0 for a negative key or on an error.
  int DeleteByStuSeq(long stuSeq);
  // Deletes the patient's studies, or only those with the study ID when one is given. Nothing
  // for an empty patient ID.
  void DeleteByPatient(const QString& patID, const QString& stuID);
  // Recounts the study's series (TotalSeries) and images (TotalInstance, rewriting each
  // series' InstanceCount on the way). A missing study changes nothing.
  void UpdateTotals(long stuSeq);
  // As UpdateTotals for each of the studies, in two statements for all of them.
  void UpdateTotals(const std::set<long>& stuSeqs);
};

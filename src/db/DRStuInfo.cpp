#include "db/DRStuInfo.h"

#include "db/DRSerInfo.h"

void CDRStuInfo::DoFieldExchange(CFieldExchange& fx) {
  fx.Key("StuSeq", StuSeq);
  fx.Field("StuID", StuID);
  fx.Field("PatID", PatID);
  fx.Field("StuOperator", StuOperator);
  fx.Field("StuPhysician", StuPhysician);
  fx.Field("StuPhysicianRef", StuPhysicianRef);
  fx.Field("StuDesc", StuDesc);
  fx.Field("StuDateTime", StuDateTime);
  fx.Field("StuAccessNo", StuAccessNo);
  fx.Field("StuSchedule", StuSchedule);
  fx.Field("StuStatus", StuStatus);
  fx.Field("TotalSeries", TotalSeries);
  fx.Field("TotalInstance", TotalInstance);
  fx.Field("Print", Print);
  fx.Field("StuInstanceUID", StuInstanceUID);
}

int CDRStuInfo::OpenStudies(const QString& stuID, const QString& patID, const QString& accessNo,
                            int fromYear, int fromMonth, int fromDay, int toYear, int toMonth,
                            int toDay) {
  Close();
  CSqlFilter filter;
  filter.addText(QStringLiteral("StuID"), stuID);
  filter.addText(QStringLiteral("PatID"), patID);
  filter.addText(QStringLiteral("StuAccessNo"), accessNo);
  filter.addDateRange(QStringLiteral("StuDateTime"), fromYear, fromMonth, fromDay, toYear, toMonth,
                      toDay);
  return OpenWith(filter);
}

long CDRStuInfo::InsertNew(CDStuInfo& study) {
  Close();
  const long key = AppendRow([&] {
    static_cast<CDStuInfo&>(*this) = study;
    TotalSeries = 0;
    TotalInstance = 0;
    Print = 0;
  });
  if (key >= 0) study.StuSeq = key;
  return key;
}

void CDRStuInfo::CopyTo(CDStuInfo& study) const {
  study.StuSeq = StuSeq;
  study.StuID = StuID;
  study.PatID = PatID;
  study.StuOperator = StuOperator;
  study.StuPhysician = StuPhysician;
  study.StuPhysicianRef = StuPhysicianRef;
  study.StuDesc = StuDesc;
  study.StuDateTime = StuDateTime;
  study.StuAccessNo = StuAccessNo;
  study.StuSchedule = StuSchedule;
  study.StuStatus = StuStatus;
  study.Print = Print;
  study.StuInstanceUID = StuInstanceUID;
}

int CDRStuInfo::DeleteByStuSeq(long stuSeq) {
  if (stuSeq < 0) return 0;
  Close();
  return Execute(QStringLiteral("DELETE FROM StuInfo WHERE StuSeq = ?"), {qlonglong(stuSeq)}) ? 1
                                                                                              : 0;
}

void CDRStuInfo::DeleteByPatient(const QString& patID, const QString& stuID) {
  CSqlFilter filter;
  filter.addText(QStringLiteral("PatID"), patID);
  if (filter.isEmpty()) return;
  filter.addText(QStringLiteral("StuID"), stuID);
  DeleteWhere(filter);
}

void CDRStuInfo::UpdateTotals(long stuSeq) {
  Close();
  CSqlFilter filter;
  filter.addNumber(QStringLiteral("StuSeq"), stuSeq);
  if (filter.isEmpty()) return;
  SetFilter(filter);
  if (!Open() || IsEOF()) {
    Close();
    return;
  }
  // A failed count is no total; a server also refuses every later statement of the transaction,
  // whose errors would hide the cause.
  const long errorsBefore = Database()->ErrorCount();
  const auto failed = [&] { return Database()->ErrorCount() != errorsBefore; };
  const long images = CDRSerInfo(Database()).RecountStudyImages(stuSeq);
  const long series = failed() ? 0 : CDRSerInfo(Database()).CountSeries(stuSeq);
  if (failed()) {
    Close();
    return;
  }
  Edit();
  TotalInstance = images;
  TotalSeries = series;
  Update();
  Close();
}

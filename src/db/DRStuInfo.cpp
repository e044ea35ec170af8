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
  if (stuSeq > 0) UpdateTotals(std::set<long>{stuSeq});
}

void CDRStuInfo::UpdateTotals(const std::set<long>& stuSeqs) {
  Close();
  if (stuSeqs.empty() || Database() == nullptr) return;
  QVariantList keys;
  for (long stuSeq : stuSeqs) keys.append(qlonglong(stuSeq));
  CSqlFilter studies;
  studies.addOneOf(QStringLiteral("StuSeq"), keys);
  // A failed recount is no total; a server also refuses every later statement of the
  // transaction, whose errors would hide the cause.
  if (!CDRSerInfo(Database()).RecountImages(studies)) return;
  Execute(QStringLiteral("UPDATE StuInfo SET "
                         "TotalSeries = (SELECT COUNT(*) FROM SerInfo "
                         "WHERE SerInfo.StuSeq = StuInfo.StuSeq), "
                         "TotalInstance = (SELECT COALESCE(SUM(InstanceCount), 0) FROM SerInfo "
                         "WHERE SerInfo.StuSeq = StuInfo.StuSeq) WHERE ") +
              studies.text(Dialect()),
          studies.values());
}

#include "db/DRSerInfo.h"

void CDRSerInfo::DoFieldExchange(CFieldExchange& fx) {
  fx.Key("SerSeq", SerSeq);
  fx.Field("StuSeq", StuSeq);
  fx.Field("SeriesNo", SeriesNo);
  fx.Field("PatID", PatID);
  fx.Field("StuID", StuID);
  fx.Field("Laterality", Laterality);
  fx.Field("BodyPart", BodyPart);
  fx.Field("PatientPosition", PatientPosition);
  fx.Field("InstanceCount", InstanceCount);
  fx.Field("Print", Print);
  fx.Field("SeriesDate", SeriesDate);
}

int CDRSerInfo::OpenSeries(const QString& patID, const QString& stuID, long seriesNo,
                           const QString& laterality, const QString& bodyPart,
                           const QString& patientPosition, long stuSeq) {
  Close();
  return OpenWith(
      SeriesFilter(patID, stuID, seriesNo, laterality, bodyPart, patientPosition, stuSeq));
}

CSqlFilter CDRSerInfo::SeriesFilter(const QString& patID, const QString& stuID, long seriesNo,
                                    const QString& laterality, const QString& bodyPart,
                                    const QString& patientPosition, long stuSeq) {
  CSqlFilter filter;
  filter.addText(QStringLiteral("StuID"), stuID);
  filter.addText(QStringLiteral("PatID"), patID);
  filter.addNumber(QStringLiteral("StuSeq"), stuSeq);
  filter.addNumber(QStringLiteral("SeriesNo"), seriesNo);
  filter.addText(QStringLiteral("Laterality"), laterality);
  filter.addText(QStringLiteral("BodyPart"), bodyPart);
  filter.addText(QStringLiteral("PatientPosition"), patientPosition);
  return filter;
}

long CDRSerInfo::InsertNew(CDSerInfo& series) {
  const long key = AppendRow([&] {
    static_cast<CDSerInfo&>(*this) = series;
    InstanceCount = 0;
    Print = 0;
  });
  if (key >= 0) series.SerSeq = key;
  return key;
}

long CDRSerInfo::NextSeriesNo(const QString& patID, const QString& stuID, long stuSeq) {
  CSqlFilter filter;
  filter.addText(QStringLiteral("StuID"), stuID);
  filter.addText(QStringLiteral("PatID"), patID);
  filter.addNumber(QStringLiteral("StuSeq"), stuSeq);
  return Aggregate(QStringLiteral("MAX(SeriesNo)"), filter) + 1;
}

void CDRSerInfo::DeleteSeriesOf(const QString& patID, const QString& stuID, long seriesNo) {
  if (patID.isEmpty() && stuID.isEmpty()) return;
  CSqlFilter filter;
  filter.addText(QStringLiteral("StuID"), stuID);
  filter.addText(QStringLiteral("PatID"), patID);
  filter.addNumber(QStringLiteral("SeriesNo"), seriesNo);
  DeleteWhere(filter);
}

void CDRSerInfo::DeleteBySerSeq(long serSeq) {
  CSqlFilter filter;
  filter.addNumber(QStringLiteral("SerSeq"), serSeq);
  DeleteWhere(filter);
}

int CDRSerInfo::DeleteByStudy(long stuSeq, long seriesNo) {
  // Without a study a series number would name that series of every study.
  if (stuSeq <= 0) return 0;
  CSqlFilter filter;
  filter.addKey(QStringLiteral("StuSeq"), stuSeq);
  filter.addNumber(QStringLiteral("SeriesNo"), seriesNo);
  return DeleteWhere(filter) ? 1 : 0;
}

long CDRSerInfo::CountSeries(long stuSeq) {
  CSqlFilter filter;
  filter.addKey(QStringLiteral("StuSeq"), stuSeq);
  return Aggregate(QStringLiteral("COUNT(*)"), filter);
}

bool CDRSerInfo::RecountImages(const CSqlFilter& filter) {
  Close();
  // The engine rewrites every count in one statement; a walk over the series asking for each
  // count and writing each row back cost the import of an image a fifth of its time.
  return Execute(QStringLiteral("UPDATE SerInfo SET InstanceCount = (SELECT COUNT(*) FROM ImgInfo "
                                "WHERE ImgInfo.SerSeq = SerInfo.SerSeq) WHERE ") +
                     filter.text(Dialect()),
                 filter.values());
}

long CDRSerInfo::RecountWith(const CSqlFilter& filter) {
  if (!RecountImages(filter)) return 0;
  return Aggregate(QStringLiteral("COALESCE(SUM(InstanceCount), 0)"), filter);
}

long CDRSerInfo::RecountStudyImages(long stuSeq) {
  CSqlFilter filter;
  filter.addKey(QStringLiteral("StuSeq"), stuSeq);
  return RecountWith(filter);
}

void CDRSerInfo::RecountSeries(long serSeq) {
  if (serSeq <= 0) return;
  CSqlFilter filter;
  filter.addNumber(QStringLiteral("SerSeq"), serSeq);
  RecountWith(filter);
}

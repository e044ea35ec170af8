#pragma once

#include "db/GMDaoRecordset.h"
#include "db/ValueRecords.h"

// The series table. Its columns are the members of CDSerInfo.
class CDRSerInfo : public CGMDaoRecordset, public CDSerInfo {
 public:
  using CGMDaoRecordset::CGMDaoRecordset;

  QString GetDefaultSQL() const override { return QStringLiteral("SerInfo"); }
  void DoFieldExchange(CFieldExchange& fx) override;

  // Series by every given criterion (texts not empty, numbers above 0); the sort text is left
  // as the caller set it. 1 with the row set open on the first row, else 0.
  int OpenSeries(const QString& patID, const QString& stuID, long seriesNo,
                 const QString& laterality, const QString& bodyPart, const QString& patientPosition,
                 long stuSeq);
  // The criteria OpenSeries opens with.
  static CSqlFilter SeriesFilter(const QString& patID, const QString& stuID, long seriesNo,
                                 const QString& laterality, const QString& bodyPart,
                                 const QString& patientPosition, long stuSeq);
  // Appends the series (image count and print mark 0) and writes the engine's SerSeq into it.
  // The new SerSeq, or -1 when the row cannot be appended.
  long InsertNew(CDSerInfo& series);
  // The highest SeriesNo of the matching series plus 1; 1 when there is none.
  long NextSeriesNo(const QString& patID, const QString& stuID, long stuSeq);
  // Deletes the series matching the given criteria; nothing when both texts are empty.
  void DeleteSeriesOf(const QString& patID, const QString& stuID, long seriesNo);
  // Nothing for a key of 0 or less.
  void DeleteBySerSeq(long serSeq);
  // Deletes the study's series, or only its series number seriesNo when it is above 0. 1 when
  // the statement ran, 0 for a stuSeq of 0 or less or on an error.
  int DeleteByStudy(long stuSeq, long seriesNo);
  // The number of series of the study.
  long CountSeries(long stuSeq);
  // Rewrites InstanceCount of each series of the study from its image rows; the sum.
  long RecountStudyImages(long stuSeq);
  // Rewrites InstanceCount of the series from its image rows.
  void RecountSeries(long serSeq);
  // Rewrites InstanceCount of every series the filter selects, in one statement; false (after
  // the message) on an engine error.
  bool RecountImages(const CSqlFilter& filter);

 private:
  // Walks the series under the filter and rewrites their image counts; the sum.
  long RecountWith(const CSqlFilter& filter);
};

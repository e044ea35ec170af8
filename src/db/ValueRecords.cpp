#include "db/ValueRecords.h"

void CDScanInfo::ResetScanInfo() {
  Pat = CDPatInfo();
  Stu = CDStuInfo();
  Ser = CDSerInfo();
  Img = CDImgInfo();
}

void CDScanInfo::SetScanInfo(const CDPatInfo& patient, const CDStuInfo& study,
                             const CDSerInfo& series, const CDImgInfo& image) {
  Pat = patient;
  Stu = study;
  Ser = series;
  Img = image;
}

#include "db/DbDatabase.h"

const QStringList& CdbDatabase::TableNames() {
  static const QStringList names{QStringLiteral("AnatomicRegionSequence"),
                                 QStringLiteral("Equipment"),
                                 QStringLiteral("ImgInfo"),
                                 QStringLiteral("Network"),
                                 QStringLiteral("Operator"),
                                 QStringLiteral("PatInfo"),
                                 QStringLiteral("Physician"),
                                 QStringLiteral("SerInfo"),
                                 QStringLiteral("SOP"),
                                 QStringLiteral("StuInfo"),
                                 QStringLiteral("tBS"),
                                 QStringLiteral("tEC"),
                                 QStringLiteral("tEP"),
                                 QStringLiteral("tMT"),
                                 QStringLiteral("tVA"),
                                 QStringLiteral("tVP"),
                                 QStringLiteral("tOCS"),
                                 QStringLiteral("ViewCodeSequence"),
                                 QStringLiteral("Worklist"),
                                 QStringLiteral("WorklistOCS"),
                                 QStringLiteral("PatientOrientationSequence"),
                                 QStringLiteral("tLine"),
                                 QStringLiteral("tAPR"),
                                 QStringLiteral("tAPRIndex")};
  return names;
}

void CTblOperator::DoFieldExchange(CFieldExchange& fx) {
  fx.Key("Index", Index);
  fx.Field("OperatorName", OperatorName);
  fx.Field("Password", Password);
}

#pragma once

#include <QStringList>

#include "db/GMDaoRecordset.h"

// The generic record set: any SELECT over the image database (always opened with SQL text),
// its columns read by name with GetFieldValue. It binds no columns and has no table of its own.
class CdbDatabase : public CGMDaoRecordset {
 public:
  using CGMDaoRecordset::CGMDaoRecordset;

  // The tables of the image database, in the order the database lists them.
  static const QStringList& TableNames();
};

// The operator list (the names offered at login).
class CTblOperator : public CGMDaoRecordset {
 public:
  using CGMDaoRecordset::CGMDaoRecordset;

  QString GetDefaultSQL() const override { return QStringLiteral("Operator"); }
  void DoFieldExchange(CFieldExchange& fx) override;

  long Index = 0;  // row number, assigned by the engine
  QString OperatorName;
  QString Password;
};

#include "browser/WorklistEntries.h"

#include "db/DaoDatabase.h"
#include "db/DbDatabase.h"
#include "ui/MessageSink.h"

bool RemoveWorklistRows(CDaoDatabase& database, const QString& accessionNumber, QString* error) {
  // A null text would be bound as NULL, which no row equals.
  const QVariantList number{accessionNumber.isNull() ? QStringLiteral("") : accessionNumber};
  CdbDatabase statements(&database);
  statements.SetQuiet(true);
  const bool removed =
      statements.Execute(QStringLiteral("DELETE FROM WorklistOCS WHERE idx IN "
                                        "(SELECT idx FROM Worklist WHERE StuAccessNo = ?)"),
                         number) &&
      statements.Execute(QStringLiteral("DELETE FROM Worklist WHERE StuAccessNo = ?"), number);
  if (!removed && error != nullptr) *error = statements.LastError();
  return removed;
}

bool DeleteWorklistEntries(CDaoDatabase& database, const QString& accessionNumber) {
  if (!database.BeginTrans()) return false;
  QString error;
  const bool removed = RemoveWorklistRows(database, accessionNumber, &error);
  if (removed && database.CommitTrans()) return true;
  database.Rollback();
  if (!removed) ShowMessage(error, QStringLiteral("Browser"), MB_OK | MB_ICONWARNING);
  return false;
}

#include "browser/WorklistEntries.h"

#include "db/DaoDatabase.h"
#include "db/DbDatabase.h"
#include "ui/MessageSink.h"

bool DeleteWorklistEntries(CDaoDatabase& database, const QString& accessionNumber) {
  // A null text would be bound as NULL, which no row equals.
  const QVariantList number{accessionNumber.isNull() ? QStringLiteral("") : accessionNumber};
  CdbDatabase statements(&database);
  statements.SetQuiet(true);
  if (!database.BeginTrans()) return false;
  const bool deleted =
      statements.Execute(QStringLiteral("DELETE FROM WorklistOCS WHERE idx IN "
                                        "(SELECT idx FROM Worklist WHERE StuAccessNo = ?)"),
                         number) &&
      statements.Execute(QStringLiteral("DELETE FROM Worklist WHERE StuAccessNo = ?"), number);
  if (deleted && database.CommitTrans()) return true;
  database.Rollback();
  if (!deleted)
    ShowMessage(statements.LastError(), QStringLiteral("Browser"), MB_OK | MB_ICONWARNING);
  return false;
}

#include "login/OperatorLogin.h"

#include "app/MyConfig.h"
#include "db/DbDatabase.h"
#include "db/SqlFilter.h"
#include "login/Passwords.h"
#include "ui/MessageSink.h"

bool RequireOperatorLogin(QString& operatorName, CMyConfig& session,
                          const RunOperatorLoginDialog& runDialog) {
  if (!operatorName.isEmpty()) return true;
  for (;;) {
    const OperatorLoginAttempt attempt = runDialog();
    if (attempt.ok && attempt.accepted) {
      operatorName = attempt.operatorName;
      session.SetString(QStringLiteral("LOGIN"), QStringLiteral("Operator"), operatorName);
      return true;
    }
    if (!attempt.ok) {
      ShowMessage(QStringLiteral("Login failed.\nCan't excute this function."),
                  QStringLiteral("Browser"), MB_ICONWARNING);
      return false;
    }
  }
}

QStringList OperatorNames(const QString& databasePath) {
  CdbDatabase operators(databasePath);
  QStringList names;
  if (!operators.Open(CGMDaoRecordset::dbOpenSnapshot, QStringLiteral("SELECT * FROM Operator"))) {
    return names;
  }
  for (; !operators.IsEOF(); operators.MoveNext()) {
    names.append(operators.GetFieldValue(QStringLiteral("OperatorName")).toString());
  }
  names.sort(Qt::CaseInsensitive);
  return names;
}

bool CheckOperatorLogin(const QString& operatorName, const QString& password,
                        const QString& databasePath) {
  CTblOperator operators(databasePath);
  CSqlFilter filter;
  filter.addExactText(QStringLiteral("OperatorName"), operatorName);
  bool accepted = false;
  if (operators.OpenWith(filter)) {
    for (; !operators.IsEOF(); operators.MoveNext()) {
      const PasswordCheck check = CheckPassword(operators.Password, password);
      if (check == PasswordCheck::Refused) continue;
      accepted = true;
      const QString hash =
          check == PasswordCheck::AcceptedRewrite ? HashPassword(password) : QString();
      if (!hash.isEmpty()) {
        // The login stands even when the row cannot be rewritten now; the next one tries again.
        operators.SetQuiet(true);
        operators.Edit();
        operators.Password = hash;
        operators.Update();
      }
      break;
    }
  }
  operators.Close();
  if (!accepted) {
    ShowMessage(QStringLiteral("Password is invalid!\r\nCheck password."), QStringLiteral("Login"),
                MB_ICONERROR);
  }
  return accepted;
}

#include "login/OperatorAccounts.h"

#include <functional>

#include "db/DbDatabase.h"
#include "login/Passwords.h"
#include "ui/MessageSink.h"

namespace {

OperatorChange refuse(OperatorChange result, const char* text) {
  ShowMessage(QString::fromLatin1(text), QStringLiteral("Operator"), MB_ICONWARNING);
  return result;
}

// The checks of a password being set, in the order they are made; Done when it may be stored.
OperatorChange checkNewPassword(const QString& password, const QString& confirm) {
  if (password.isEmpty()) return refuse(OperatorChange::NoPassword, "Please input Password");
  if (password != confirm) return refuse(OperatorChange::NotSame, "Passwords are not same");
  return OperatorChange::Done;
}

// Runs change on the rows of the name, opened for update, in one transaction that is kept only
// when change gives Done and the engine refused nothing. An engine error has been told by the
// record set (caption "DBException") and gives NotStored.
OperatorChange changeRows(const QString& databasePath, const QString& name,
                          const std::function<OperatorChange(CTblOperator&)>& change) {
  CTblOperator operators(databasePath);
  CDaoDatabase* database = operators.Database();
  if (database == nullptr || !database->BeginTrans()) return OperatorChange::NotStored;
  const long errorsBefore = database->ErrorCount();
  CSqlFilter filter;
  filter.addExactText(QStringLiteral("OperatorName"), name);
  operators.SetFilter(filter);
  OperatorChange result = operators.Open() ? change(operators) : OperatorChange::NotStored;
  operators.Close();
  if (result == OperatorChange::Done && database->ErrorCount() != errorsBefore) {
    result = OperatorChange::NotStored;
  }
  if (result == OperatorChange::Done && database->CommitTrans()) return result;
  database->Rollback();
  return result == OperatorChange::Done ? OperatorChange::NotStored : result;
}

OperatorChange hashFailed() {
  return refuse(OperatorChange::NotStored, "The password could not be hashed");
}

}  // namespace

long OperatorAccounts::Count() {
  CdbDatabase operators(m_databasePath);
  if (!operators.Open(CGMDaoRecordset::dbOpenSnapshot,
                      QStringLiteral("SELECT COUNT(*) AS n FROM Operator"))) {
    return -1;
  }
  return static_cast<long>(operators.GetFieldValue(QStringLiteral("n")).toLongLong());
}

OperatorChange OperatorAccounts::Add(const QString& name, const QString& password,
                                     const QString& confirm) {
  // Blanks around a name would make it one that cannot be told apart in the list.
  const QString trimmed = name.trimmed();
  if (trimmed.isEmpty()) return refuse(OperatorChange::NoName, "Please input Operator Name");
  if (const OperatorChange check = checkNewPassword(password, confirm);
      check != OperatorChange::Done) {
    return check;
  }
  const QString hash = HashPassword(password);
  if (hash.isEmpty()) return hashFailed();
  return changeRows(m_databasePath, trimmed, [&](CTblOperator& operators) {
    if (!operators.IsEOF()) {
      return refuse(OperatorChange::Taken, "This operator is registered already");
    }
    operators.AddNew();
    operators.OperatorName = trimmed;
    operators.Password = hash;
    return operators.Update() ? OperatorChange::Done : OperatorChange::NotStored;
  });
}

OperatorChange OperatorAccounts::ChangePassword(const QString& name, const QString& oldPassword,
                                                const QString& newPassword,
                                                const QString& confirm) {
  const QString trimmed = name.trimmed();
  if (trimmed.isEmpty()) return refuse(OperatorChange::NoName, "Please input Operator Name");
  if (const OperatorChange check = checkNewPassword(newPassword, confirm);
      check != OperatorChange::Done) {
    return check;
  }
  const QString hash = HashPassword(newPassword);
  if (hash.isEmpty()) return hashFailed();
  return changeRows(m_databasePath, trimmed, [&](CTblOperator& operators) {
    if (operators.IsEOF())
      return refuse(OperatorChange::Unknown, "This operator is not registered");
    bool known = false;
    for (operators.MoveFirst(); !operators.IsEOF() && !known; operators.MoveNext()) {
      known = CheckPassword(operators.Password, oldPassword) != PasswordCheck::Refused;
    }
    if (!known) {
      return refuse(OperatorChange::WrongPassword, "Password is invalid!\r\nCheck password.");
    }
    // Every row of the name: the login accepts any of them.
    for (operators.MoveFirst(); !operators.IsEOF(); operators.MoveNext()) {
      operators.Edit();
      operators.Password = hash;
      if (!operators.Update()) return OperatorChange::NotStored;
    }
    return OperatorChange::Done;
  });
}

OperatorChange OperatorAccounts::Remove(const QString& name) {
  const QString trimmed = name.trimmed();
  if (trimmed.isEmpty()) return refuse(OperatorChange::NoName, "Please input Operator Name");
  return changeRows(m_databasePath, trimmed, [](CTblOperator& operators) {
    if (operators.IsEOF())
      return refuse(OperatorChange::Unknown, "This operator is not registered");
    // A failed delete closes the row set, which ends the walk; changeRows sees the error.
    while (!operators.IsEOF()) {
      operators.Delete();
      operators.MoveNext();
    }
    return OperatorChange::Done;
  });
}

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

// The name trimmed (blanks around a name would make one that cannot be told apart in the list)
// and, when a password is being set, its checks and its hash, in the order they are made; Done
// when the change may be tried.
OperatorChange prepare(const QString& name, QString& trimmed) {
  trimmed = name.trimmed();
  if (trimmed.isEmpty()) return refuse(OperatorChange::NoName, "Please input Operator Name");
  return OperatorChange::Done;
}

OperatorChange prepare(const QString& name, const QString& password, const QString& confirm,
                       QString& trimmed, QString& hash) {
  if (const OperatorChange named = prepare(name, trimmed); named != OperatorChange::Done) {
    return named;
  }
  if (password.isEmpty()) return refuse(OperatorChange::NoPassword, "Please input Password");
  if (password != confirm) return refuse(OperatorChange::NotSame, "Passwords are not same");
  hash = HashPassword(password);
  if (hash.isEmpty()) return refuse(OperatorChange::NotStored, "The password could not be hashed");
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
  QString trimmed;
  QString hash;
  if (const OperatorChange ready = prepare(name, password, confirm, trimmed, hash);
      ready != OperatorChange::Done) {
    return ready;
  }
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
  QString trimmed;
  QString hash;
  if (const OperatorChange ready = prepare(name, newPassword, confirm, trimmed, hash);
      ready != OperatorChange::Done) {
    return ready;
  }
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
  QString trimmed;
  if (const OperatorChange ready = prepare(name, trimmed); ready != OperatorChange::Done) {
    return ready;
  }
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

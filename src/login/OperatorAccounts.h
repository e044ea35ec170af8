#pragma once

// The operators who may delete records: the rows of the image database's table Operator. A new
// archive has none, so the first one is made here too (by the login dialog's offer, the
// Operators dialog or `torascan-cli operator add`). Passwords are kept as hashes
// (login/Passwords.h); names compare without letter case, as the login finds them. Each
// refusal is told through the message sink under the caption "Operator" (warning icon).

#include <QString>
#include <QStringList>

enum class OperatorChange {
  Done,
  NoName,         // "Please input Operator Name"
  NoPassword,     // "Please input Password"
  NotSame,        // "Passwords are not same"
  Taken,          // "This operator is registered already"
  Unknown,        // "This operator is not registered"
  WrongPassword,  // "Password is invalid!\r\nCheck password."
  NotStored,      // the database refused the change (its reason is told)
};

class OperatorAccounts {
 public:
  // An empty databasePath means the application's image database.
  explicit OperatorAccounts(const QString& databasePath = QString())
      : m_databasePath(databasePath) {}

  // How many operators there are; -1 (after the "DBException" message) when the table cannot
  // be read, which is not the same as an archive without operators.
  long Count();
  // A new operator. The name is taken without surrounding blanks; the password must be typed
  // twice alike.
  OperatorChange Add(const QString& name, const QString& password, const QString& confirm);
  // A new password for every row of the name, given the old one.
  OperatorChange ChangePassword(const QString& name, const QString& oldPassword,
                                const QString& newPassword, const QString& confirm);
  // Every row of the name.
  OperatorChange Remove(const QString& name);

 private:
  QString m_databasePath;
};

#pragma once

// The users who sign reports: the rows of the report database's table `user` (userid, userpwd,
// username). Logging in records the user in the settings file under [User] ID and Name.
// Passwords are kept as hashes (login/Passwords.h); every value is bound, so any character,
// a quote included, is stored and found as typed. Each operation tells the user its outcome in
// a plain message box (caption "toraScan").

#include <QList>
#include <QString>
#include <optional>

class CIniFile;
class CQuery;

struct UserRow {
  QString id;
  QString password;  // as stored: a hash, or the plain text of an older row
  QString name;
};

enum class UserLogin {
  Accepted,
  Unregistered,   // "Unregistered User\r\nPlease register"
  WrongPassword,  // "Incorrect Password"
  NotSaved,       // the settings file could not be written
};

// The checks of a password change, in the order they are made.
enum class PasswordChange {
  Changed,            // "Success"
  NoUserId,           // "Please input User ID"
  NoOldPassword,      // "Please input Old Password"
  NoNewPassword,      // "Please input New Password"
  NoConfirmPassword,  // "Please input Confirm Password"
  NotSame,            // "Passwords are not same"
  Unregistered,       // "Unregistered User\r\nPlease register"
  WrongOldPassword,   // "Incorrect Password"
  NotStored,          // the database refused the change
};

enum class UserAdd {
  Added,       // "Success"
  NoUserId,    // "Please input User ID"
  NoUserName,  // "Please input User Name"
  NoPassword,  // "Please input Password"
  Taken,       // the id is registered already
  NotStored,   // the database refused the row
};

class UserAccounts {
 public:
  explicit UserAccounts(CQuery& query) : m_query(query) {}

  // The row of that id; with several rows of one id the last one read decides. False when there
  // is none or the table cannot be read.
  bool Find(const QString& id, UserRow& row);
  // Find, telling "Unregistered User\r\nPlease register" when there is no row.
  bool Registered(const QString& id, UserRow& row);
  // Every user in table order.
  QList<UserRow> List();

  // The user login's OK: on Accepted the id and name are in the settings file. A row that still
  // holds a plain-text password is rewritten as a hash.
  UserLogin Login(const QString& id, const QString& password, CIniFile& ini);
  // The password dialog's OK; the old password must be the stored one.
  PasswordChange ChangePassword(const QString& id, const QString& oldPassword,
                                const QString& newPassword, const QString& confirmPassword);
  // The add-user dialog's Add: a new row, for an id not registered yet.
  UserAdd Add(const QString& id, const QString& name, const QString& password);

 private:
  // Stores the hash of password in the rows of that id (only those still holding oldStored
  // when it is given). The reason on failure, empty on success.
  QString storePassword(const QString& id, const QString& password,
                        const std::optional<QString>& oldStored = std::nullopt);
  UserRow currentRow() const;

  CQuery& m_query;
};

#include "login/UserAccounts.h"

#include "app/AppSettings.h"
#include "app/IniFile.h"
#include "db/Query.h"
#include "login/Passwords.h"
#include "ui/MessageSink.h"

namespace {

const char* const kUnregistered = "Unregistered User\r\nPlease register";
const char* const kIncorrectPassword = "Incorrect Password";
const char* const kSuccess = "Success";
const char* const kNoHash = "the password could not be hashed";

void tell(const QString& text) { ShowMessage(text, AppSettings::title(), MB_OK); }

// The first check of a table that fails is told and gives its result; Ok when none fails.
template <class Result>
struct Check {
  bool failed;
  Result result;
  const char* text;
};

template <class Result, std::size_t N>
Result firstFailed(const Check<Result> (&checks)[N], Result ok) {
  for (const Check<Result>& check : checks) {
    if (check.failed) {
      tell(QString::fromLatin1(check.text));
      return check.result;
    }
  }
  return ok;
}

}  // namespace

UserRow UserAccounts::currentRow() const {
  return {m_query.GetColumnText(QStringLiteral("userid")),
          m_query.GetColumnText(QStringLiteral("userpwd")),
          m_query.GetColumnText(QStringLiteral("username"))};
}

bool UserAccounts::Find(const QString& id, UserRow& row) {
  if (!m_query.ExecuteStatement(QStringLiteral("SELECT * FROM \"user\" WHERE userid = ?"), {id})) {
    return false;
  }
  bool found = false;
  while (m_query.FetchRow() == CQuery::kSuccess) {
    row = currentRow();
    found = true;
  }
  m_query.CloseStatement();
  return found;
}

bool UserAccounts::Registered(const QString& id, UserRow& row) {
  if (Find(id, row)) return true;
  tell(QString::fromLatin1(kUnregistered));
  return false;
}

QList<UserRow> UserAccounts::List() {
  QList<UserRow> users;
  if (!m_query.ExecuteStatement(QStringLiteral("SELECT * FROM \"user\""))) return users;
  while (m_query.FetchRow() == CQuery::kSuccess) users.append(currentRow());
  m_query.CloseStatement();
  return users;
}

QString UserAccounts::storePassword(const QString& id, const QString& password,
                                    const std::optional<QString>& oldStored) {
  const QString hash = HashPassword(password);
  if (hash.isEmpty()) return QString::fromLatin1(kNoHash);
  QString sql = QStringLiteral("UPDATE \"user\" SET userpwd = ? WHERE userid = ?");
  QVariantList values{hash, id};
  if (oldStored) {
    sql += QStringLiteral(" AND userpwd = ?");
    values.append(*oldStored);
  }
  const bool ran = m_query.ExecuteStatement(sql, values);
  const int rows = m_query.RowCount();
  m_query.CloseStatement();
  if (!ran) return m_query.LastError();
  return rows > 0 ? QString() : QStringLiteral("no user of that ID");
}

UserLogin UserAccounts::Login(const QString& id, const QString& password, CIniFile& ini) {
  UserRow row;
  if (!Registered(id, row)) return UserLogin::Unregistered;
  const PasswordCheck check = CheckPassword(row.password, password);
  if (check == PasswordCheck::Refused) {
    tell(QString::fromLatin1(kIncorrectPassword));
    return UserLogin::WrongPassword;
  }
  // The login stands even when the row cannot be rewritten now; the next one tries again.
  if (check == PasswordCheck::AcceptedRewrite) storePassword(id, password, row.password);
  if (!ini.WriteStrings({{QStringLiteral("User"), QStringLiteral("ID"), id},
                         {QStringLiteral("User"), QStringLiteral("Name"), row.name}})) {
    tell(QStringLiteral("The login could not be saved in %1").arg(ini.Path()));
    return UserLogin::NotSaved;
  }
  return UserLogin::Accepted;
}

PasswordChange UserAccounts::ChangePassword(const QString& id, const QString& oldPassword,
                                            const QString& newPassword,
                                            const QString& confirmPassword) {
  using R = PasswordChange;
  const Check<R> typed[] = {
      {id.isEmpty(), R::NoUserId, "Please input User ID"},
      {oldPassword.isEmpty(), R::NoOldPassword, "Please input Old Password"},
      {newPassword.isEmpty(), R::NoNewPassword, "Please input New Password"},
      {confirmPassword.isEmpty(), R::NoConfirmPassword, "Please input Confirm Password"},
      {newPassword != confirmPassword, R::NotSame, "Passwords are not same"}};
  if (const R result = firstFailed(typed, R::Changed); result != R::Changed) return result;
  UserRow row;
  if (!Registered(id, row)) return R::Unregistered;
  if (CheckPassword(row.password, oldPassword) == PasswordCheck::Refused) {
    tell(QString::fromLatin1(kIncorrectPassword));
    return R::WrongOldPassword;
  }
  if (const QString problem = storePassword(id, newPassword); !problem.isEmpty()) {
    tell(QStringLiteral("The password was not changed: %1").arg(problem));
    return R::NotStored;
  }
  tell(QString::fromLatin1(kSuccess));
  return R::Changed;
}

UserAdd UserAccounts::Add(const QString& id, const QString& name, const QString& password) {
  using R = UserAdd;
  UserRow existing;
  const Check<R> checks[] = {
      {id.isEmpty(), R::NoUserId, "Please input User ID"},
      {name.isEmpty(), R::NoUserName, "Please input User Name"},
      {password.isEmpty(), R::NoPassword, "Please input Password"},
      {!id.isEmpty() && Find(id, existing), R::Taken, "This User ID is registered already"}};
  if (const R result = firstFailed(checks, R::Added); result != R::Added) return result;
  const QString hash = HashPassword(password);
  const bool stored =
      !hash.isEmpty() &&
      m_query.ExecuteStatement(
          QStringLiteral("INSERT INTO \"user\" (userid, userpwd, username) VALUES (?, ?, ?)"),
          {id, hash, name});
  m_query.CloseStatement();
  if (!stored) {
    tell(QStringLiteral("The user was not added: %1")
             .arg(hash.isEmpty() ? QString::fromLatin1(kNoHash) : m_query.LastError()));
    return R::NotStored;
  }
  tell(QString::fromLatin1(kSuccess));
  return R::Added;
}

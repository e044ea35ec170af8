// The users who sign reports: login into the settings file, password change, adding users.
#include <gtest/gtest.h>

#include "LoginTestSupport.h"
#include "login/Passwords.h"
#include "login/UserAccounts.h"

namespace {

const QString kUnregistered = QStringLiteral("Unregistered User\r\nPlease register");

class UserAccountsTest : public testsupport::LoginTest {
 protected:
  QString iniValue(const char* key) {
    return theIniFile().ReadString(QStringLiteral("User"), QString::fromLatin1(key));
  }
  UserAccounts users{query};
};

TEST_F(UserAccountsTest, LoginNeedsTheExactPasswordAndRecordsTheUser) {
  ASSERT_EQ(users.Add("abc", "Dr. Kim", "Secret"), UserAdd::Added);
  sink.clear();
  const struct {
    const char* id;
    const char* password;
    UserLogin expected;
    const char* message;
  } cases[] = {
      {"abc", "secret", UserLogin::WrongPassword, "Incorrect Password"},
      {"abc", "", UserLogin::WrongPassword, "Incorrect Password"},
      {"ABC", "Secret", UserLogin::Unregistered, "Unregistered User\r\nPlease register"},
      {"", "Secret", UserLogin::Unregistered, "Unregistered User\r\nPlease register"},
      {"abc", "Secret", UserLogin::Accepted, nullptr},
  };
  for (const auto& c : cases) {
    sink.clear();
    EXPECT_EQ(users.Login(c.id, c.password, theIniFile()), c.expected) << c.id << c.password;
    EXPECT_EQ(sink.texts(), c.message ? QStringList{c.message} : QStringList()) << c.id;
    if (c.message) {
      EXPECT_EQ(sink.messages()[0].caption, "toraScan");
      EXPECT_EQ(iniValue("ID"), "") << "nothing recorded";
    }
  }
  EXPECT_EQ(iniValue("ID"), "abc");
  EXPECT_EQ(iniValue("Name"), "Dr. Kim");
}

TEST_F(UserAccountsTest, StoredPasswordIsAHashNeverThePassword) {
  ASSERT_EQ(users.Add("abc", "Dr. Kim", "Secret"), UserAdd::Added);
  const QStringList stored = storedPasswords("abc");
  ASSERT_EQ(stored.size(), 1);
  EXPECT_TRUE(IsPasswordHash(stored[0]));
  EXPECT_FALSE(stored[0].contains("Secret"));
}

TEST_F(UserAccountsTest, PlainTextRowIsUpgradedAtItsFirstLoginAndStillLogsIn) {
  addPlainUser("abc", "Secret", "Dr. Kim");
  EXPECT_EQ(users.Login("abc", "wrong", theIniFile()), UserLogin::WrongPassword);
  EXPECT_EQ(storedPasswords("abc"), QStringList{"Secret"}) << "a refusal changes nothing";
  EXPECT_EQ(users.Login("abc", "Secret", theIniFile()), UserLogin::Accepted);
  const QStringList stored = storedPasswords("abc");
  ASSERT_EQ(stored.size(), 1);
  EXPECT_TRUE(IsPasswordHash(stored[0]));
  EXPECT_EQ(users.Login("abc", "Secret", theIniFile()), UserLogin::Accepted);
  EXPECT_EQ(storedPasswords("abc"), stored);
  EXPECT_EQ(users.Login("abc", "secret", theIniFile()), UserLogin::WrongPassword);
}

TEST_F(UserAccountsTest, TwoRowsOfOneIdTheLastDecides) {
  addPlainUser("abc", "first", "First");
  addPlainUser("abc", "second", "Second");
  EXPECT_EQ(users.Login("abc", "first", theIniFile()), UserLogin::WrongPassword);
  EXPECT_EQ(users.Login("abc", "second", theIniFile()), UserLogin::Accepted);
  EXPECT_EQ(iniValue("Name"), "Second");
  // Only the row whose plain text logged in is rewritten.
  const QStringList stored = storedPasswords("abc");
  ASSERT_EQ(stored.size(), 2);
  EXPECT_EQ(stored[0], "first");
  EXPECT_TRUE(IsPasswordHash(stored[1]));
}

TEST_F(UserAccountsTest, QuotesInIdNameAndPasswordRoundTrip) {
  const QString id = QStringLiteral("o'brien");
  const QString name = QStringLiteral("Dr. O'Brien \"Seán\"");
  const QString password = QStringLiteral("it's'; DROP TABLE user; --");
  ASSERT_EQ(users.Add(id, name, password), UserAdd::Added);
  EXPECT_EQ(users.Login(id, password, theIniFile()), UserLogin::Accepted);
  EXPECT_EQ(iniValue("ID"), id);
  EXPECT_EQ(iniValue("Name"), name);
  EXPECT_EQ(users.ChangePassword(id, password, "n'ew", "n'ew"), PasswordChange::Changed);
  EXPECT_EQ(users.Login(id, "n'ew", theIniFile()), UserLogin::Accepted);
  EXPECT_EQ(users.Login("' OR '1'='1", "' OR '1'='1", theIniFile()), UserLogin::Unregistered);
  EXPECT_EQ(rows("SELECT * FROM user"), 1);
}

TEST_F(UserAccountsTest, PasswordChangeChecksInOrder) {
  ASSERT_EQ(users.Add("abc", "Dr. Kim", "old"), UserAdd::Added);
  const QString hashBefore = storedPasswords("abc").value(0);
  sink.clear();
  const struct {
    const char* id;
    const char* oldPassword;
    const char* newPassword;
    const char* confirm;
    PasswordChange expected;
    const char* message;
  } cases[] = {
      {"", "", "", "", PasswordChange::NoUserId, "Please input User ID"},
      {"abc", "", "", "", PasswordChange::NoOldPassword, "Please input Old Password"},
      {"abc", "old", "", "x", PasswordChange::NoNewPassword, "Please input New Password"},
      {"abc", "old", "new", "", PasswordChange::NoConfirmPassword, "Please input Confirm Password"},
      {"abc", "old", "new", "neW", PasswordChange::NotSame, "Passwords are not same"},
      {"nobody", "old", "new", "new", PasswordChange::Unregistered,
       "Unregistered User\r\nPlease register"},
      {"abc", "Old", "new", "new", PasswordChange::WrongOldPassword, "Incorrect Password"},
  };
  for (const auto& c : cases) {
    sink.clear();
    EXPECT_EQ(users.ChangePassword(c.id, c.oldPassword, c.newPassword, c.confirm), c.expected)
        << c.message;
    EXPECT_EQ(sink.texts(), QStringList{c.message});
  }
  EXPECT_EQ(storedPasswords("abc"), QStringList{hashBefore}) << "no failed check changes it";
  EXPECT_EQ(rows("SELECT * FROM user"), 1);

  sink.clear();
  EXPECT_EQ(users.ChangePassword("abc", "old", "new", "new"), PasswordChange::Changed);
  EXPECT_EQ(sink.texts(), QStringList{"Success"});
  EXPECT_EQ(users.Login("abc", "old", theIniFile()), UserLogin::WrongPassword);
  EXPECT_EQ(users.Login("abc", "new", theIniFile()), UserLogin::Accepted);
}

TEST_F(UserAccountsTest, AddingRefusesMissingFieldsAndTakenIds) {
  const struct {
    const char* id;
    const char* name;
    const char* password;
    UserAdd expected;
    const char* message;
  } cases[] = {
      {"", "Kim", "pw", UserAdd::NoUserId, "Please input User ID"},
      {"abc", "", "pw", UserAdd::NoUserName, "Please input User Name"},
      {"abc", "Kim", "", UserAdd::NoPassword, "Please input Password"},
      {"abc", "Kim", "pw", UserAdd::Added, "Success"},
      {"abc", "Other", "pw2", UserAdd::Taken, "This User ID is registered already"},
      {"abd", "Lee", "pw", UserAdd::Added, "Success"},
  };
  for (const auto& c : cases) {
    sink.clear();
    EXPECT_EQ(users.Add(c.id, c.name, c.password), c.expected) << c.message;
    EXPECT_EQ(sink.texts(), QStringList{c.message});
  }
  const QList<UserRow> listed = users.List();
  ASSERT_EQ(listed.size(), 2);
  EXPECT_EQ(listed[0].id, "abc");
  EXPECT_EQ(listed[0].name, "Kim");
  EXPECT_EQ(listed[1].name, "Lee");
}

TEST_F(UserAccountsTest, WithoutTheReportDatabaseNothingIsReportedAsDone) {
  query.Disconnect();
  EXPECT_EQ(users.Login("abc", "pw", theIniFile()), UserLogin::Unregistered);
  EXPECT_EQ(users.ChangePassword("abc", "pw", "n", "n"), PasswordChange::Unregistered);
  EXPECT_EQ(users.Add("abc", "Kim", "pw"), UserAdd::NotStored);
  EXPECT_EQ(sink.texts(), QStringList({kUnregistered, kUnregistered,
                                       "The user was not added: No report database"}));
}

TEST_F(UserAccountsTest, LoginThatCannotBeSavedIsNotAccepted) {
  ASSERT_EQ(users.Add("abc", "Kim", "pw"), UserAdd::Added);
  sink.clear();
  theIniFile().SetPath(dir.filePath("no/such/folder/Pelmora.ini"));
  EXPECT_EQ(users.Login("abc", "pw", theIniFile()), UserLogin::NotSaved);
  ASSERT_EQ(sink.count(), 1);
  EXPECT_TRUE(sink.texts()[0].startsWith("The login could not be saved in "));
}

}  // namespace

// The operator login gate in front of the browser's deletes, and the check of the login dialog.
#include <gtest/gtest.h>

#include <QList>

#include "LoginTestSupport.h"
#include "app/MyConfig.h"
#include "login/OperatorLogin.h"
#include "login/Passwords.h"

namespace {

const QString kCancelled = QStringLiteral("Login failed.\nCan't excute this function.");
const QString kRefused = QStringLiteral("Password is invalid!\r\nCheck password.");

TEST(OperatorGate, OutcomesOfTheLoginDialog) {
  const OperatorLoginAttempt cancel{false, false, QString()};
  const OperatorLoginAttempt refused{true, false, QStringLiteral("kim")};
  const OperatorLoginAttempt accepted{true, true, QStringLiteral("kim")};
  const struct {
    const char* name;
    QList<OperatorLoginAttempt> attempts;
    bool allowed;
    int dialogs;
  } cases[] = {
      {"accepted at once", {accepted}, true, 1},
      {"cancelled", {cancel}, false, 1},
      {"refused, then accepted", {refused, refused, accepted}, true, 3},
      {"refused, then cancelled", {refused, cancel}, false, 2},
      // Cancel with the flag set cannot happen through the dialog, but Cancel always wins.
      {"cancelled with the flag", {{false, true, QStringLiteral("kim")}}, false, 1},
  };
  for (const auto& c : cases) {
    RecordingMessageSink sink;
    ScopedMessageSink bind(&sink);
    QString operatorName;
    CMyConfig session;
    int dialogs = 0;
    const bool allowed = RequireOperatorLogin(operatorName, session,
                                              [&] { return c.attempts.value(dialogs++, cancel); });
    EXPECT_EQ(allowed, c.allowed) << c.name;
    EXPECT_EQ(dialogs, c.dialogs) << c.name;
    EXPECT_EQ(operatorName, c.allowed ? QStringLiteral("kim") : QString()) << c.name;
    EXPECT_EQ(session.GetString("LOGIN", "Operator"), operatorName) << c.name;
    if (c.allowed) {
      EXPECT_TRUE(sink.isEmpty()) << c.name;
    } else {
      ASSERT_EQ(sink.count(), 1) << c.name;
      EXPECT_EQ(sink.messages()[0].text, kCancelled);
      EXPECT_EQ(sink.messages()[0].caption, "Browser");
      EXPECT_EQ(sink.messages()[0].style, 0x30u);
    }
  }
}

TEST(OperatorGate, LoggedInOperatorPassesWithoutTheDialog) {
  QString operatorName = QStringLiteral("kim");
  CMyConfig session;
  int dialogs = 0;
  auto dialog = [&] {
    ++dialogs;
    return OperatorLoginAttempt{};
  };
  EXPECT_TRUE(RequireOperatorLogin(operatorName, session, dialog));
  EXPECT_TRUE(RequireOperatorLogin(operatorName, session, dialog));
  EXPECT_EQ(dialogs, 0);
}

class OperatorCheckTest : public testsupport::LoginTest {};

TEST_F(OperatorCheckTest, PlainTextRowLogsInOnceAndIsRewrittenAsHash) {
  addOperator("kim", "pw");
  addOperator("lee", "other");
  EXPECT_FALSE(CheckOperatorLogin("kim", "PW", imageDatabase));
  EXPECT_EQ(operatorPasswords("kim"), QStringList{"pw"}) << "a refusal changes nothing";

  EXPECT_TRUE(CheckOperatorLogin("kim", "pw", imageDatabase));
  const QStringList stored = operatorPasswords("kim");
  ASSERT_EQ(stored.size(), 1);
  EXPECT_TRUE(IsPasswordHash(stored[0]));
  EXPECT_NE(stored[0], "pw");
  EXPECT_TRUE(CheckOperatorLogin("kim", "pw", imageDatabase)) << "the hash logs in";
  EXPECT_EQ(operatorPasswords("kim"), stored) << "a current hash is not rewritten";
  EXPECT_EQ(operatorPasswords("lee"), QStringList{"other"});
  EXPECT_FALSE(CheckOperatorLogin("kim", "other", imageDatabase));
  EXPECT_EQ(sink.texts(), QStringList({kRefused, kRefused}));
  EXPECT_EQ(sink.messages()[0].caption, "Login");
  EXPECT_EQ(sink.messages()[0].style, 0x10u);
}

TEST_F(OperatorCheckTest, NamesAndPasswordsWithQuotesAndUnknownNames) {
  addOperator("O'Brien", "it's");
  addOperator("Ahn", "x");
  addOperator("ahn", "y");
  EXPECT_EQ(OperatorNames(imageDatabase), QStringList({"Ahn", "ahn", "O'Brien"}));
  EXPECT_TRUE(CheckOperatorLogin("O'Brien", "it's", imageDatabase));
  EXPECT_TRUE(CheckOperatorLogin("O'Brien", "it's", imageDatabase));
  // Any row of the name may hold the password.
  EXPECT_TRUE(CheckOperatorLogin("ahn", "x", imageDatabase));
  EXPECT_TRUE(CheckOperatorLogin("Ahn", "y", imageDatabase));
  EXPECT_TRUE(sink.isEmpty()) << sink.texts().join('|').toStdString();
  EXPECT_FALSE(CheckOperatorLogin("nobody", "", imageDatabase));
  EXPECT_FALSE(CheckOperatorLogin("' OR '1'='1", "' OR '1'='1", imageDatabase));
  EXPECT_EQ(sink.texts(), QStringList({kRefused, kRefused}));
}

TEST_F(OperatorCheckTest, UnreadableDatabaseIsToldAndRefuses) {
  const QString folder = dir.filePath("missing/folder/Pelmora.db");
  EXPECT_TRUE(OperatorNames(folder).isEmpty());
  EXPECT_FALSE(CheckOperatorLogin("kim", "pw", folder));
  ASSERT_GE(sink.count(), 2);
  EXPECT_EQ(sink.messages().front().caption, "DBException");
  EXPECT_EQ(sink.messages().front().style, 0x30u);
  EXPECT_EQ(sink.texts().back(), kRefused);
}

}  // namespace

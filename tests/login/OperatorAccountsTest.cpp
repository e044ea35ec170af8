// The operators who may delete: made, given new passwords and removed, by the program and by
// torascan-cli, on a new archive that has none yet. Runs on both engines.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>

#include "db/DbTestSupport.h"
#include "login/OperatorAccounts.h"
#include "login/OperatorLogin.h"
#include "login/Passwords.h"

namespace {

class OperatorAccountsTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    // A new archive: the schema's tables (the SQLite file made on this first use), no operator.
    ASSERT_EQ(OperatorAccounts(path).Count(), 0);
  }
  // Rows as an older version of the program left them: the password in plain text.
  void addPlainOperator(const QString& name, const QString& password) {
    CdbDatabase db(path);
    ASSERT_TRUE(
        db.Execute(QStringLiteral("INSERT INTO Operator (OperatorName, Password) VALUES (?, ?)"),
                   {name, password}));
  }
  // Name and stored password of every row, in table order.
  QStringList rows() {
    CdbDatabase db(path);
    QStringList values;
    if (!db.Open(CGMDaoRecordset::dbOpenSnapshot,
                 QStringLiteral("SELECT * FROM Operator ORDER BY \"Index\""))) {
      return values;
    }
    for (; !db.IsEOF(); db.MoveNext()) {
      values << db.GetFieldValue(QStringLiteral("OperatorName")).toString() + '=' +
                    db.GetFieldValue(QStringLiteral("Password")).toString();
    }
    return values;
  }
  bool logsIn(const QString& name, const QString& password) {
    RecordingMessageSink quiet;
    ScopedMessageSink bindQuiet(&quiet);
    return CheckOperatorLogin(name, password, path);
  }
};

TEST_F(OperatorAccountsTest, FirstOperatorIsStoredAsHashAndLogsIn) {
  OperatorAccounts operators(path);
  // Before, an archive without operators refused every login, so nothing could be deleted.
  EXPECT_FALSE(logsIn("Kim", ""));
  EXPECT_EQ(operators.Add(" O'Brien ", "it's", "it's"), OperatorChange::Done);
  EXPECT_EQ(operators.Add("Kim", "secret", "secret"), OperatorChange::Done);
  EXPECT_TRUE(sink.isEmpty()) << sink.texts().join('|').toStdString();
  EXPECT_EQ(operators.Count(), 2);
  EXPECT_EQ(OperatorNames(path), QStringList({"Kim", "O'Brien"}));
  for (const QString& row : rows()) {
    EXPECT_TRUE(IsPasswordHash(row.section('=', 1))) << row.toStdString();
  }
  EXPECT_TRUE(logsIn("kim", "secret"));
  EXPECT_TRUE(logsIn("O'Brien", "it's"));
  EXPECT_FALSE(logsIn("Kim", "Secret"));
}

TEST_F(OperatorAccountsTest, RefusalsAreToldAndChangeNothing) {
  OperatorAccounts operators(path);
  ASSERT_EQ(operators.Add("Kim", "secret", "secret"), OperatorChange::Done);
  const QStringList before = rows();
  using R = OperatorChange;
  const struct {
    const char* name;
    std::function<R()> run;
    R result;
    const char* message;
  } cases[] = {
      {"add without a name", [&] { return operators.Add("", "a", "a"); }, R::NoName,
       "Please input Operator Name"},
      {"add a name of blanks", [&] { return operators.Add("  ", "a", "a"); }, R::NoName,
       "Please input Operator Name"},
      {"add without a password", [&] { return operators.Add("Lee", "", ""); }, R::NoPassword,
       "Please input Password"},
      {"add with a different confirmation", [&] { return operators.Add("Lee", "a", "b"); },
       R::NotSame, "Passwords are not same"},
      {"add a name there is, in other letters", [&] { return operators.Add(" KIM", "a", "a"); },
       R::Taken, "This operator is registered already"},
      {"new password of an unknown name",
       [&] { return operators.ChangePassword("Lee", "secret", "n", "n"); }, R::Unknown,
       "This operator is not registered"},
      {"new password with a wrong old one",
       [&] { return operators.ChangePassword("Kim", "Secret", "n", "n"); }, R::WrongPassword,
       "Password is invalid!\r\nCheck password."},
      {"new password without the old one",
       [&] { return operators.ChangePassword("Kim", "", "n", "n"); }, R::WrongPassword,
       "Password is invalid!\r\nCheck password."},
      {"empty new password", [&] { return operators.ChangePassword("Kim", "secret", "", ""); },
       R::NoPassword, "Please input Password"},
      {"new password with a different confirmation",
       [&] { return operators.ChangePassword("Kim", "secret", "n", "m"); }, R::NotSame,
       "Passwords are not same"},
      {"remove an unknown name", [&] { return operators.Remove("Lee"); }, R::Unknown,
       "This operator is not registered"},
      {"remove without a name", [&] { return operators.Remove(""); }, R::NoName,
       "Please input Operator Name"},
  };
  for (const auto& c : cases) {
    sink.clear();
    EXPECT_EQ(c.run(), c.result) << c.name;
    ASSERT_EQ(sink.count(), 1) << c.name;
    EXPECT_EQ(sink.messages()[0].text, c.message) << c.name;
    EXPECT_EQ(sink.messages()[0].caption, "Operator") << c.name;
    EXPECT_EQ(sink.messages()[0].style, 0x30u) << c.name;
    EXPECT_EQ(rows(), before) << c.name;
  }
}

TEST_F(OperatorAccountsTest, NewPasswordAndRemovalTakeEveryRowOfTheName) {
  // An older archive may hold one name twice, in plain text; the login takes either row.
  addPlainOperator("Ahn", "x");
  addPlainOperator("ahn", "y");
  addPlainOperator("Lee", "z");
  OperatorAccounts operators(path);
  EXPECT_EQ(operators.ChangePassword("AHN", "y", "new", "new"), OperatorChange::Done);
  const QStringList changed = rows();
  ASSERT_EQ(changed.size(), 3);
  EXPECT_TRUE(IsPasswordHash(changed[0].section('=', 1)));
  EXPECT_TRUE(IsPasswordHash(changed[1].section('=', 1)));
  EXPECT_EQ(changed[2], "Lee=z");
  EXPECT_TRUE(logsIn("Ahn", "new"));
  EXPECT_FALSE(logsIn("Ahn", "x"));
  EXPECT_FALSE(logsIn("ahn", "y"));

  EXPECT_EQ(operators.Remove("aHN"), OperatorChange::Done);
  EXPECT_EQ(rows(), QStringList{"Lee=z"});
  EXPECT_EQ(operators.Remove("lee"), OperatorChange::Done);
  EXPECT_EQ(operators.Count(), 0);
  EXPECT_TRUE(sink.isEmpty()) << sink.texts().join('|').toStdString();
}

// What a new station's operator does from the README: the first operator made with
// torascan-cli, who may then delete; passwords on standard input.
TEST_F(OperatorAccountsTest, CommandLineMakesTheFirstOperatorWhoMayThenDelete) {
  addPatients({{"P1", "Park", {}, {}}});
  const QStringList db{"--db", path};
  const auto names = [&] {
    const CliRun list = cli(QStringList{"operator", "list"} + db);
    EXPECT_EQ(list.exitCode, 0) << list.err.toStdString();
    return QJsonDocument::fromJson(list.out).array().toVariantList();
  };
  const auto deletePatient = [&](const QByteArray& password) {
    return cli(QStringList{"delete", "--patient", "P1", "--operator", "kim", "--storage",
                           dir.path()} +
                   db,
               password)
        .exitCode;
  };
  EXPECT_TRUE(names().isEmpty());
  EXPECT_EQ(deletePatient("\n"), 1) << "no operator yet";

  const CliRun add = cli(QStringList{"operator", "add", "Kim"} + db, "secret\n");
  ASSERT_EQ(add.exitCode, 0) << add.err.toStdString();
  EXPECT_EQ(QJsonDocument::fromJson(add.out).object().value("operator").toString(), "Kim");
  EXPECT_EQ(names(), QVariantList{"Kim"});
  const CliRun again = cli(QStringList{"operator", "add", "kim"} + db, "other\n");
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_TRUE(again.err.contains("This operator is registered already")) << again.err.data();
  EXPECT_EQ(cli(QStringList{"operator", "add", "Lee"} + db, "").exitCode, 1) << "no password";

  EXPECT_EQ(cli(QStringList{"operator", "passwd", "Kim"} + db, "wrong\nnew\n").exitCode, 1);
  EXPECT_EQ(cli(QStringList{"operator", "passwd", "Kim"} + db, "secret\nnew\n").exitCode, 0);
  EXPECT_TRUE(logsIn("Kim", "new"));
  EXPECT_FALSE(logsIn("Kim", "secret"));

  EXPECT_EQ(deletePatient("new\n"), 0);
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM PatInfo"), 0);

  EXPECT_EQ(cli(QStringList{"operator", "remove", "KIM"} + db).exitCode, 0);
  EXPECT_TRUE(names().isEmpty());
  EXPECT_EQ(cli(QStringList{"operator", "remove", "Kim"} + db).exitCode, 1);
}

TEST_F(OperatorAccountsTest, CommandLineRefusesWrongCommandLines) {
  const struct {
    QStringList args;
    int exitCode;
  } cases[] = {
      {{"operator"}, 2},
      {{"operator", "list"}, 2},
      {{"operator", "add", "--db", path}, 2},
      {{"operator", "list", "--db", path, "Kim"}, 2},
      {{"operator", "rename", "--db", path, "Kim"}, 2},
      {{"operator", "add", "--db", path, "Kim", "Lee"}, 2},
      {{"operator", "list", "--db", dir.filePath("missing.db")}, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cli(c.args, "pw\n").exitCode, c.exitCode) << c.args.join(' ').toStdString();
  }
  EXPECT_EQ(OperatorAccounts(path).Count(), 0);
  EXPECT_FALSE(QFile::exists(dir.filePath("missing.db")));
}

}  // namespace

#pragma once

// A report database and an image database of the test's own, the settings file pointed at a
// temporary file, and a message recorder bound for the test's lifetime.

#include <QString>

#include "app/IniFile.h"
#include "db/DbDatabase.h"
#include "reports/ReportTestSupport.h"

namespace testsupport {

class LoginTest : public ReportDatabaseTest {
 protected:
  void SetUp() override {
    ReportDatabaseTest::SetUp();
    savedIni = theIniFile().Path();
    theIniFile().SetPath(dir.filePath(QStringLiteral("Pelmora.ini")));
  }
  void TearDown() override { theIniFile().SetPath(savedIni); }

  // A user row written as an older version of the program left it: the password in plain text.
  void addPlainUser(const QString& id, const QString& password, const QString& name) {
    ASSERT_TRUE(query.ExecuteStatement(
        QStringLiteral("INSERT INTO user (userid, userpwd, username) VALUES (?, ?, ?)"),
        {id, password, name}));
    query.CloseStatement();
  }
  // The stored userpwd of every row of that id, in table order.
  QStringList storedPasswords(const QString& id) {
    QStringList values;
    EXPECT_TRUE(
        query.ExecuteStatement(QStringLiteral("SELECT userpwd FROM user WHERE userid = ?"), {id}));
    while (query.FetchRow() == CQuery::kSuccess) values << query.GetColumnText(1);
    query.CloseStatement();
    return values;
  }

  // Operators of the image database, passwords in plain text.
  void addOperator(const QString& name, const QString& password) {
    CdbDatabase db(imageDatabase);
    ASSERT_TRUE(
        db.Execute(QStringLiteral("INSERT INTO Operator (OperatorName, Password) VALUES (?, ?)"),
                   {name, password}));
  }
  QStringList operatorPasswords(const QString& name) {
    CdbDatabase db(imageDatabase);
    QStringList values;
    if (!db.Open(CGMDaoRecordset::dbOpenSnapshot,
                 QStringLiteral("SELECT Password FROM Operator WHERE OperatorName = ?"), {name})) {
      return values;
    }
    for (; !db.IsEOF(); db.MoveNext())
      values << db.GetFieldValue(QStringLiteral("Password")).toString();
    return values;
  }

  QString savedIni;
  QString imageDatabase = dir.filePath(QStringLiteral("Pelmora.db"));
};

}  // namespace testsupport

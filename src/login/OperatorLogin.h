#pragma once

// The operator login that guards the browser's deletes. Operators are the rows of the image
// database's table Operator; the first successful login holds until the program ends.

#include <QString>
#include <QStringList>
#include <functional>

class CMyConfig;

// What one run of the login dialog CLoginDlg gave.
struct OperatorLoginAttempt {
  bool ok = false;        // ended with OK (false: Cancel or the close box)
  bool accepted = false;  // the login-accepted flag: the password was right
  QString operatorName;
};

using RunOperatorLoginDialog = std::function<OperatorLoginAttempt()>;

// The gate each delete runs first; true when the delete may go on. With operatorName already
// set it returns true at once. Otherwise it runs the dialog until a login is accepted (the name
// is then kept in operatorName and in session under [LOGIN] Operator) or the operator cancels
// ("Login failed.\nCan't excute this function." under "Browser", warning icon; false). A
// refused password runs the dialog again.
bool RequireOperatorLogin(QString& operatorName, CMyConfig& session,
                          const RunOperatorLoginDialog& runDialog);

// The names of the operator list, sorted as the list shows them (without letter case). A
// database error is shown under "DBException" and gives no names. An empty databasePath means
// the application's image database.
QStringList OperatorNames(const QString& databasePath = QString());

// The login dialog's OK: true when a row of that operator name holds the password. A row that
// still holds its password as plain text is rewritten as a hash. A refusal is shown as
// "Password is invalid!\r\nCheck password." under "Login" (error icon).
bool CheckOperatorLogin(const QString& operatorName, const QString& password,
                        const QString& databasePath = QString());

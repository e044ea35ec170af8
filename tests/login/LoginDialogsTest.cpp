// The login and user dialogs driven offscreen as an operator would.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "LoginTestSupport.h"
#include "app/AppSettings.h"
#include "frame/widgets/MainFrame.h"
#include "login/UserAccounts.h"
#include "login/widgets/DlgAddUser.h"
#include "login/widgets/DlgChangePwd.h"
#include "login/widgets/DlgChangeUser.h"
#include "login/widgets/LoginDlg.h"
#include "support/ModalDialogs.h"

namespace {

using testsupport::AnswerModals;

template <class Widget>
Widget* control(const QWidget& dialog, int id) {
  return testsupport::Control<Widget>(dialog, id);
}

void type(const QWidget& dialog, int id, const QString& text) {
  QWidget* widget = control<QWidget>(dialog, id);
  if (auto* combo = qobject_cast<QComboBox*>(widget)) widget = combo->lineEdit();
  QTest::keyClicks(widget, text);
}

void click(const QWidget& dialog, int id) { control<QPushButton>(dialog, id)->click(); }

class LoginDialogsTest : public testsupport::LoginTest {
 protected:
  void show(QWidget& dialog) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  }
  QString iniValue(const char* key) {
    return theIniFile().ReadString(QStringLiteral("User"), QString::fromLatin1(key));
  }
};

TEST_F(LoginDialogsTest, AddUserStoresTheTypedUserAndListsIt) {
  CDlgAddUser dialog(nullptr, query);
  show(dialog);
  type(dialog, CDlgAddUser::kUserIdCombo, "o'brien");
  type(dialog, CDlgAddUser::kUserNameEdit, "Dr. O'Brien");
  type(dialog, CDlgAddUser::kPasswordEdit, "pw'1");
  EXPECT_EQ(control<QLineEdit>(dialog, CDlgAddUser::kPasswordEdit)->echoMode(),
            QLineEdit::Password);
  click(dialog, CDlgAddUser::kAddButton);
  EXPECT_EQ(sink.texts(), QStringList{"Success"});
  EXPECT_TRUE(control<QLineEdit>(dialog, CDlgAddUser::kPasswordEdit)->text().isEmpty());

  // The new id is offered; choosing it shows its name.
  auto* ids = control<QComboBox>(dialog, CDlgAddUser::kUserIdCombo);
  ASSERT_EQ(ids->count(), 1);
  EXPECT_EQ(ids->itemText(0), "o'brien");
  EXPECT_TRUE(control<QLineEdit>(dialog, CDlgAddUser::kUserNameEdit)->text().isEmpty());
  ids->setFocus();
  QTest::keyClick(ids, Qt::Key_Down);
  EXPECT_EQ(control<QLineEdit>(dialog, CDlgAddUser::kUserNameEdit)->text(), "Dr. O'Brien");

  // The same id again is refused, the operator is sent back to it.
  type(dialog, CDlgAddUser::kPasswordEdit, "x");
  click(dialog, CDlgAddUser::kAddButton);
  EXPECT_EQ(sink.texts().last(), "This User ID is registered already");
  EXPECT_TRUE(ids->hasFocus());
  EXPECT_EQ(rows("SELECT * FROM user"), 1);

  click(dialog, 1);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(UserAccounts(query).Login("o'brien", "pw'1", theIniFile()), UserLogin::Accepted);
}

TEST_F(LoginDialogsTest, UserLoginStaysOpenOnAWrongPasswordAndRecordsTheUser) {
  ASSERT_EQ(UserAccounts(query).Add("abc", "Dr. Kim", "Secret"), UserAdd::Added);
  sink.clear();
  CDlgChangeUser dialog(nullptr, query);
  show(dialog);
  auto* password = control<QLineEdit>(dialog, CDlgChangeUser::kPasswordEdit);
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  type(dialog, CDlgChangeUser::kUserIdCombo, "abc");
  type(dialog, CDlgChangeUser::kPasswordEdit, "secret");
  // Enter does not end the dialog.
  QTest::keyClick(password, Qt::Key_Return);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(sink.isEmpty());

  click(dialog, 1);
  EXPECT_EQ(sink.texts(), QStringList{"Incorrect Password"});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(password->hasFocus());
  EXPECT_EQ(password->selectedText(), "secret");
  EXPECT_EQ(iniValue("ID"), "");

  password->setText("Secret");
  click(dialog, 1);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(iniValue("ID"), "abc");
  EXPECT_EQ(iniValue("Name"), "Dr. Kim");
}

TEST_F(LoginDialogsTest, PasswordButtonChangesThePasswordOfTheTypedUser) {
  ASSERT_EQ(UserAccounts(query).Add("abc", "Dr. Kim", "old"), UserAdd::Added);
  sink.clear();
  CDlgChangeUser login(nullptr, query);
  show(login);
  type(login, CDlgChangeUser::kUserIdCombo, "abc");
  QString prefilled;
  bool clearedAfterRefusal = false;
  ASSERT_EQ(
      AnswerModals<CDlgChangePwd>(
          [&] { click(login, CDlgChangeUser::kPasswordButton); },
          [&](CDlgChangePwd& dialog) {
            prefilled = control<QLineEdit>(dialog, CDlgChangePwd::kUserIdEdit)->text();
            type(dialog, CDlgChangePwd::kOldPasswordEdit, "wrong");
            type(dialog, CDlgChangePwd::kNewPasswordEdit, "new");
            type(dialog, CDlgChangePwd::kConfirmPasswordEdit, "new");
            click(dialog, 1);
            clearedAfterRefusal =
                dialog.isVisible() &&
                control<QLineEdit>(dialog, CDlgChangePwd::kOldPasswordEdit)->text().isEmpty() &&
                control<QLineEdit>(dialog, CDlgChangePwd::kNewPasswordEdit)->text().isEmpty() &&
                control<QLineEdit>(dialog, CDlgChangePwd::kConfirmPasswordEdit)->text().isEmpty();
            type(dialog, CDlgChangePwd::kOldPasswordEdit, "old");
            type(dialog, CDlgChangePwd::kNewPasswordEdit, "new");
            type(dialog, CDlgChangePwd::kConfirmPasswordEdit, "new");
            click(dialog, 1);
          }),
      1);
  EXPECT_EQ(prefilled, "abc");
  EXPECT_TRUE(clearedAfterRefusal);
  EXPECT_EQ(sink.texts(), QStringList({"Incorrect Password", "Success"}));
  EXPECT_EQ(UserAccounts(query).Login("abc", "new", theIniFile()), UserLogin::Accepted);
}

TEST_F(LoginDialogsTest, PasswordDialogForAnUnregisteredIdClosesAtOnce) {
  CDlgChangePwd dialog(nullptr, query);
  dialog.SetUserId("nobody");
  EXPECT_EQ(dialog.exec(), QDialog::Rejected);
  EXPECT_EQ(sink.texts(), QStringList{"Unregistered User\r\nPlease register"});
}

TEST_F(LoginDialogsTest, OperatorLoginListsOperatorsAndEnterInThePasswordIsOK) {
  addOperator("lee", "pw2");
  addOperator("Kim", "pw1");
  sink.clear();
  CLoginDlg dialog(nullptr, imageDatabase);
  EXPECT_EQ(dialog.windowTitle(), "Operator");
  EXPECT_EQ(dialog.size(), QSize(482, 153));
  EXPECT_EQ(control<QLabel>(dialog, CLoginDlg::kOperatorLabel)->text(), "Operator  ");
  EXPECT_EQ(control<QLabel>(dialog, CLoginDlg::kPasswordLabel)->text(), "Password  ");
  EXPECT_EQ(control<QWidget>(dialog, CLoginDlg::kOperatorCombo)->geometry(),
            QRect(108, 34, 200, 24));
  auto* operators = control<QComboBox>(dialog, CLoginDlg::kOperatorCombo);
  ASSERT_EQ(operators->count(), 2);
  EXPECT_EQ(operators->itemText(0), "Kim");
  EXPECT_EQ(operators->itemText(1), "lee");
  EXPECT_EQ(operators->currentText(), "");
  show(dialog);

  // Choosing an operator moves on to the password.
  operators->setFocus();
  QTest::keyClick(operators, Qt::Key_Down);
  auto* password = control<QLineEdit>(dialog, CLoginDlg::kPasswordEdit);
  EXPECT_TRUE(password->hasFocus());
  EXPECT_EQ(operators->currentText(), "Kim");

  // A wrong password still ends the dialog with OK, without the flag.
  QTest::keyClicks(password, "pw2");
  QTest::keyClick(password, Qt::Key_Return);
  QTRY_VERIFY(!dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.accepted());
  EXPECT_EQ(sink.texts(), QStringList{"Password is invalid!\r\nCheck password."});

  CLoginDlg again(nullptr, imageDatabase);
  show(again);
  type(again, CLoginDlg::kOperatorCombo, "lee");
  type(again, CLoginDlg::kPasswordEdit, "pw2");
  // Enter on a button does nothing; Enter in the name box is OK.
  control<QPushButton>(again, 2)->setFocus();
  QTest::keyClick(control<QPushButton>(again, 2), Qt::Key_Return);
  QTest::keyClick(control<QPushButton>(again, 2), Qt::Key_Escape);
  EXPECT_TRUE(again.isVisible());
  QTest::keyClick(control<QComboBox>(again, CLoginDlg::kOperatorCombo)->lineEdit(), Qt::Key_Return);
  QTRY_VERIFY(!again.isVisible());
  EXPECT_TRUE(again.accepted());
  EXPECT_EQ(again.operatorName(), "lee");
}

// The frame's gate runs the real dialog on the application's image database.
TEST_F(LoginDialogsTest, FrameGateAsksUntilAnOperatorLogsInThenNeverAgain) {
  addOperator("kim", "pw");
  sink.clear();
  const QString savedDatabase = theAppSettings().imageDatabasePath;
  theAppSettings().imageDatabasePath = imageDatabase;
  CMainFrame frame;
  // Each answer: the password typed, or none for Cancel.
  QStringList answers{"wrong", "pw"};
  const std::function<void(CLoginDlg&)> answer = [&](CLoginDlg& dialog) {
    if (answers.isEmpty()) {
      click(dialog, 2);
      return;
    }
    type(dialog, CLoginDlg::kOperatorCombo, "kim");
    type(dialog, CLoginDlg::kPasswordEdit, answers.takeFirst());
    click(dialog, 1);
  };
  bool loggedIn = false;
  EXPECT_EQ(AnswerModals<CLoginDlg>([&] { loggedIn = frame.RequireOperatorLogin(); }, answer), 2);
  EXPECT_TRUE(loggedIn);
  EXPECT_EQ(sink.texts(), QStringList{"Password is invalid!\r\nCheck password."});
  EXPECT_EQ(theAppSettings().session.GetString("LOGIN", "Operator"), "kim");
  EXPECT_EQ(AnswerModals<CLoginDlg>([&] { loggedIn = frame.RequireOperatorLogin(); }, answer), 0)
      << "no second login in one run";
  EXPECT_TRUE(loggedIn);

  CMainFrame another;
  sink.clear();
  EXPECT_EQ(AnswerModals<CLoginDlg>([&] { loggedIn = another.RequireOperatorLogin(); }, answer), 1);
  EXPECT_FALSE(loggedIn);
  EXPECT_EQ(sink.texts(), QStringList{"Login failed.\nCan't excute this function."});
  theAppSettings().imageDatabasePath = savedDatabase;
  theAppSettings().session.Clear();
}

TEST_F(LoginDialogsTest, OperatorLoginCancelEndsWithoutLogin) {
  CLoginDlg dialog(nullptr, imageDatabase);
  show(dialog);
  click(dialog, 2);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(dialog.accepted());
}

}  // namespace

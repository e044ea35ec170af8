// The login and user dialogs driven offscreen as an operator would.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "LoginTestSupport.h"
#include "app/AppSettings.h"
#include "frame/Commands.h"
#include "frame/widgets/MainFrame.h"
#include "login/OperatorLogin.h"
#include "login/UserAccounts.h"
#include "login/widgets/DlgAddUser.h"
#include "login/widgets/DlgChangePwd.h"
#include "login/widgets/DlgChangeUser.h"
#include "login/widgets/DlgOperators.h"
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

// Unlike the skinned login dialogs, the password change is a plain dialog: Enter is OK.
TEST_F(LoginDialogsTest, EnterInThePasswordChangeIsOK) {
  ASSERT_EQ(UserAccounts(query).Add("abc", "Dr. Kim", "old"), UserAdd::Added);
  sink.clear();
  CDlgChangePwd dialog(nullptr, query);
  dialog.SetUserId("abc");
  show(dialog);
  type(dialog, CDlgChangePwd::kOldPasswordEdit, "old");
  type(dialog, CDlgChangePwd::kNewPasswordEdit, "new");
  type(dialog, CDlgChangePwd::kConfirmPasswordEdit, "new");
  QTest::keyClick(control<QLineEdit>(dialog, CDlgChangePwd::kConfirmPasswordEdit), Qt::Key_Return);
  EXPECT_EQ(sink.texts(), QStringList{"Success"});
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
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

// A new archive has no operator: the login behind File > Operators... offers to make the first
// one, who then logs in (Enter in the password is OK) and reaches the Operators dialog.
TEST_F(LoginDialogsTest, FirstOperatorIsMadeFromTheLoginOfANewArchive) {
  const QString savedDatabase = theAppSettings().imageDatabasePath;
  theAppSettings().imageDatabasePath = imageDatabase;
  CMainFrame frame;
  QAction* command = frame.action(command::Operators);
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->text(), "Operators...");

  // The operator's hands: each new modal window is handled once, by the step given for it.
  QStringList seen;
  QPointer<QWidget> handled;
  std::function<void(QWidget*)> onOperators;
  std::function<void(CLoginDlg*)> onLogin;
  QTimer hands;
  hands.setInterval(20);
  QObject::connect(&hands, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == handled) return;
    handled = modal;
    if (auto* login = qobject_cast<CLoginDlg*>(modal)) {
      seen << "login";
      onLogin(login);
    } else if (qobject_cast<CDlgOperators*>(modal)) {
      seen << "operators";
      onOperators(modal);
    }
  });
  hands.start();

  // Declining the offer leaves the plain login, which the operator cancels.
  sink.queueAnswer(IDNO);
  onLogin = [&](CLoginDlg* login) { click(*login, 2); };
  command->trigger();
  EXPECT_EQ(seen, QStringList{"login"});
  EXPECT_EQ(sink.texts(),
            QStringList({"No operator is registered yet.\r\nCreate the first operator?",
                         "Login failed.\nCan't excute this function."}));

  seen.clear();
  sink.clear();
  sink.queueAnswer(IDYES);
  QStringList listed;
  onOperators = [&](QWidget* dialog) {
    auto* names = control<QListWidget>(*dialog, CDlgOperators::kOperatorList);
    listed << QString::number(names->count());
    type(*dialog, CDlgOperators::kNameEdit, listed.size() == 1 ? "Kim" : "Lee");
    type(*dialog, CDlgOperators::kPasswordEdit, "pw");
    type(*dialog, CDlgOperators::kConfirmEdit, "pw");
    click(*dialog, CDlgOperators::kAddButton);
    listed << names->item(names->count() - 1)->text();
    click(*dialog, 2);
  };
  onLogin = [&](CLoginDlg* login) {
    // The new operator is chosen already; only the password is typed.
    auto* operators = control<QComboBox>(*login, CLoginDlg::kOperatorCombo);
    auto* password = control<QLineEdit>(*login, CLoginDlg::kPasswordEdit);
    listed << operators->currentText();
    QTest::keyClicks(password, "pw");
    QTest::keyClick(password, Qt::Key_Return);
  };
  command->trigger();
  EXPECT_EQ(seen, QStringList({"operators", "login", "operators"}));
  EXPECT_EQ(listed, QStringList({"0", "Kim", "Kim", "1", "Lee"}));
  EXPECT_EQ(sink.texts(),
            QStringList{"No operator is registered yet.\r\nCreate the first operator?"});
  EXPECT_EQ(OperatorNames(imageDatabase), QStringList({"Kim", "Lee"}));
  EXPECT_EQ(theAppSettings().session.GetString("LOGIN", "Operator"), "Kim");

  // Logged in: the command opens the dialog at once.
  seen.clear();
  onOperators = [&](QWidget* dialog) { click(*dialog, 2); };
  command->trigger();
  EXPECT_EQ(seen, QStringList{"operators"});
  hands.stop();
  theAppSettings().imageDatabasePath = savedDatabase;
  theAppSettings().session.Clear();
}

TEST_F(LoginDialogsTest, OperatorsDialogChangesAPasswordAndRemovesAfterYes) {
  addOperator("Kim", "old");
  addOperator("Lee", "x");
  sink.clear();
  CDlgOperators dialog(nullptr, imageDatabase);
  show(dialog);
  auto* names = control<QListWidget>(dialog, CDlgOperators::kOperatorList);
  ASSERT_EQ(names->count(), 2);
  names->setCurrentRow(0);
  EXPECT_EQ(control<QLineEdit>(dialog, CDlgOperators::kNameEdit)->text(), "Kim");
  for (int id : {CDlgOperators::kOldPasswordEdit, CDlgOperators::kPasswordEdit,
                 CDlgOperators::kConfirmEdit}) {
    EXPECT_EQ(control<QLineEdit>(dialog, id)->echoMode(), QLineEdit::Password) << id;
  }

  const auto changePassword = [&](const char* old) {
    type(dialog, CDlgOperators::kOldPasswordEdit, old);
    type(dialog, CDlgOperators::kPasswordEdit, "new");
    type(dialog, CDlgOperators::kConfirmEdit, "new");
    click(dialog, CDlgOperators::kPasswordButton);
    // No password stays on the screen.
    EXPECT_TRUE(control<QLineEdit>(dialog, CDlgOperators::kPasswordEdit)->text().isEmpty());
  };
  changePassword("wrong");
  changePassword("old");
  EXPECT_EQ(sink.texts(), QStringList({"Password is invalid!\r\nCheck password.", "Success"}));
  EXPECT_TRUE(CheckOperatorLogin("Kim", "new", imageDatabase));

  sink.clear();
  sink.queueAnswers({IDNO, IDYES});
  click(dialog, CDlgOperators::kRemoveButton);
  EXPECT_EQ(names->count(), 2);
  click(dialog, CDlgOperators::kRemoveButton);
  EXPECT_EQ(sink.texts(), QStringList(2, "Do you remove the operator Kim?(Y/N)"));
  ASSERT_EQ(names->count(), 1);
  EXPECT_EQ(names->item(0)->text(), "Lee");
  EXPECT_EQ(OperatorNames(imageDatabase), QStringList{"Lee"});
}

}  // namespace

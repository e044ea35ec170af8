#include "login/widgets/DlgChangePwd.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/LanguageTable.h"
#include "login/UserAccounts.h"
#include "ui/widgets/SkinControls.h"

CDlgChangePwd::CDlgChangePwd(QWidget* parent, CQuery& query) : QDialog(parent), m_query(query) {
  setWindowTitle(QStringLiteral("Password"));
  setFixedSize(400, 170);
  const struct {
    int id;
    const char* label;
    QLineEdit** edit;
  } fields[] = {{kUserIdEdit, "User ID", &m_userId},
                {kOldPasswordEdit, "Old Password", &m_oldPassword},
                {kNewPasswordEdit, "New Password", &m_newPassword},
                {kConfirmPasswordEdit, "Confirm Password", &m_confirmPassword}};
  int y = 16;
  for (const auto& field : fields) {
    (new QLabel(QString::fromLatin1(field.label), this))->setGeometry(16, y + 3, 120, 18);
    *field.edit = PlaceControl(new QLineEdit(this), field.id, {140, y, 130, 24});
    if (field.id != kUserIdEdit) (*field.edit)->setEchoMode(QLineEdit::Password);
    y += 36;
  }
  const struct {
    int id;
    int label;
    int y;
    void (CDlgChangePwd::*run)();
  } buttons[] = {{1, 160, 16, &CDlgChangePwd::OnOK}, {2, 166, 52, &CDlgChangePwd::reject}};
  for (const auto& button : buttons) {
    auto* control = AddDialogButton<QPushButton>(this, button.id, GetLabel(button.label),
                                                 {284, button.y, 100, 28}, button.run);
    // A plain dialog: Enter in a field is OK (Escape is Cancel).
    control->setDefault(button.id == 1);
  }
}

void CDlgChangePwd::SetUserId(const QString& id) { m_userId->setText(id); }

int CDlgChangePwd::exec() {
  UserRow row;
  const QString id = m_userId->text();
  if (!id.isEmpty() && !UserAccounts(m_query).Registered(id, row)) {
    setResult(QDialog::Rejected);
    return QDialog::Rejected;
  }
  return QDialog::exec();
}

void CDlgChangePwd::OnOK() {
  const PasswordChange result = UserAccounts(m_query).ChangePassword(
      m_userId->text(), m_oldPassword->text(), m_newPassword->text(), m_confirmPassword->text());
  if (result == PasswordChange::Changed) {
    accept();
    return;
  }
  for (QLineEdit* edit : {m_oldPassword, m_newPassword, m_confirmPassword}) edit->clear();
  m_userId->setFocus();
  m_userId->setSelection(0, m_userId->cursorPosition());
}

#include "login/widgets/DlgAddUser.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/LanguageTable.h"
#include "login/UserAccounts.h"
#include "ui/widgets/SkinControls.h"

CDlgAddUser::CDlgAddUser(QWidget* parent, CQuery& query) : QDialog(parent), m_query(query) {
  setWindowTitle(QStringLiteral("Add User"));
  setFixedSize(400, 135);
  for (const auto& [text, y] :
       {std::pair{"User ID", 19}, std::pair{"User Name", 55}, std::pair{"Password", 91}}) {
    (new QLabel(QString::fromLatin1(text), this))->setGeometry(16, y, 100, 18);
  }
  m_userId = PlaceControl(new QComboBox(this), kUserIdCombo, {120, 16, 150, 24});
  m_userId->setEditable(true);
  m_userId->setInsertPolicy(QComboBox::NoInsert);
  m_userName = PlaceControl(new QLineEdit(this), kUserNameEdit, {120, 52, 150, 24});
  m_password = PlaceControl(new QLineEdit(this), kPasswordEdit, {120, 88, 150, 24});
  m_password->setEchoMode(QLineEdit::Password);
  connect(m_userId, &QComboBox::activated, this,
          [this](int index) { m_userName->setText(m_userId->itemData(index).toString()); });

  const struct {
    int id;
    QString text;
    int y;
    void (CDlgAddUser::*run)();
  } buttons[] = {{1, GetLabel(160), 14, &CDlgAddUser::accept},
                 {kAddButton, QStringLiteral("Add"), 50, &CDlgAddUser::OnAdd},
                 {2, GetLabel(166), 86, &CDlgAddUser::reject}};
  for (const auto& button : buttons) {
    AddDialogButton<QPushButton>(this, button.id, button.text, {284, button.y, 100, 28},
                                 button.run);
  }
  LoadUsers();
}

void CDlgAddUser::LoadUsers() {
  m_userId->clear();
  for (const UserRow& user : UserAccounts(m_query).List()) m_userId->addItem(user.id, user.name);
  m_userId->setCurrentIndex(-1);
  m_userId->setEditText(QString());
}

void CDlgAddUser::OnAdd() {
  switch (
      UserAccounts(m_query).Add(m_userId->currentText(), m_userName->text(), m_password->text())) {
    case UserAdd::Added:
      LoadUsers();
      m_userName->clear();
      m_password->clear();
      break;
    case UserAdd::NoUserId:
    case UserAdd::Taken:
      m_userId->setFocus();
      break;
    case UserAdd::NoUserName:
      m_userName->setFocus();
      break;
    case UserAdd::NoPassword:
    case UserAdd::NotStored:
      m_password->setFocus();
      break;
  }
}

#include "login/widgets/DlgChangeUser.h"

#include "app/IniFile.h"
#include "app/LanguageTable.h"
#include "login/UserAccounts.h"
#include "login/widgets/DlgChangePwd.h"
#include "ui/widgets/SkinControls.h"

CDlgChangeUser::CDlgChangeUser(QWidget* parent, CQuery& query)
    : CBaseSkinDlg(parent), m_query(query) {
  setWindowTitle(QStringLiteral("User"));
  setFixedSize(400, 120);
  for (const auto& [text, y] : {std::pair{"User ID", 21}, std::pair{"Password", 61}}) {
    auto* label = new CStaticEx(this);
    label->setGeometry(16, y, 90, 18);
    label->setText(QString::fromLatin1(text));
  }
  m_userId = PlaceControl(new CColoredCombo(this), kUserIdCombo, {110, 18, 150, 24});
  m_userId->setEditable(true);
  m_userId->setInsertPolicy(QComboBox::NoInsert);
  m_password = PlaceControl(new CColoredEdit(this), kPasswordEdit, {110, 58, 150, 24});
  m_password->setEchoMode(QLineEdit::Password);

  const struct {
    int id;
    QString text;
    int y;
    void (CDlgChangeUser::*run)();
  } buttons[] = {{1, GetLabel(160), 12, &CDlgChangeUser::OnOK},
                 {2, GetLabel(166), 46, &CDlgChangeUser::reject},
                 {kPasswordButton, QStringLiteral("Password"), 80, &CDlgChangeUser::OnPassword}};
  for (const auto& button : buttons) {
    auto* control = AddDialogButton<CButtonSTEx2>(this, button.id, button.text,
                                                  {274, button.y, 110, 28}, button.run);
    if (button.id == 1) ApplySkinElement(control, QStringLiteral("pBt_116_030_n"));
  }
}

QString CDlgChangeUser::userId() const {
  return m_userId->currentIndex() >= 0 ? m_userId->itemText(m_userId->currentIndex())
                                       : m_userId->currentText();
}

void CDlgChangeUser::OnOK() {
  switch (UserAccounts(m_query).Login(userId(), m_password->text(), theIniFile())) {
    case UserLogin::Accepted:
      accept();
      break;
    case UserLogin::Unregistered:
      m_userId->setFocus();
      break;
    case UserLogin::WrongPassword:
      m_password->setFocus();
      m_password->setSelection(0, m_password->cursorPosition());
      break;
    case UserLogin::NotSaved:
      break;
  }
}

void CDlgChangeUser::OnPassword() {
  CDlgChangePwd dialog(nullptr, m_query);
  dialog.SetUserId(userId());
  dialog.exec();
}

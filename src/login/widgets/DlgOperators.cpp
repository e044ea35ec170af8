#include "login/widgets/DlgOperators.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "login/OperatorAccounts.h"
#include "login/OperatorLogin.h"
#include "ui/MessageSink.h"
#include "ui/widgets/SkinControls.h"

CDlgOperators::CDlgOperators(QWidget* parent, const QString& databasePath)
    : QDialog(parent), m_databasePath(databasePath) {
  setWindowTitle(QStringLiteral("Operators"));
  setFixedSize(456, 230);
  m_list = PlaceControl(new QListWidget(this), kOperatorList, {16, 16, 170, 160});
  const struct {
    int id;
    const char* label;
    QLineEdit** edit;
  } fields[] = {{kNameEdit, "Operator", &m_name},
                {kOldPasswordEdit, "Old Password", &m_oldPassword},
                {kPasswordEdit, "Password", &m_password},
                {kConfirmEdit, "Confirm Password", &m_confirm}};
  int y = 16;
  for (const auto& field : fields) {
    (new QLabel(QString::fromLatin1(field.label), this))->setGeometry(200, y + 3, 120, 18);
    *field.edit = PlaceControl(new QLineEdit(this), field.id, {320, y, 120, 24});
    if (field.id != kNameEdit) (*field.edit)->setEchoMode(QLineEdit::Password);
    y += 36;
  }
  const struct {
    int id;
    const char* text;
    void (CDlgOperators::*run)();
  } buttons[] = {{kAddButton, "Add", &CDlgOperators::OnAdd},
                 {kPasswordButton, "Password", &CDlgOperators::OnPassword},
                 {kRemoveButton, "Remove", &CDlgOperators::OnRemove},
                 {2, "Close", &CDlgOperators::reject}};
  int x = 16;
  for (const auto& button : buttons) {
    AddDialogButton<QPushButton>(this, button.id, QString::fromLatin1(button.text),
                                 {x, 190, 100, 28}, button.run);
    x += 108;
  }
  connect(m_list, &QListWidget::currentTextChanged, m_name, &QLineEdit::setText);
  LoadOperators();
  m_name->setFocus();
}

void CDlgOperators::LoadOperators(const QString& name) {
  m_list->clear();
  m_list->addItems(OperatorNames(m_databasePath));
  const QList<QListWidgetItem*> found = m_list->findItems(name, Qt::MatchFixedString);
  if (!name.isEmpty() && !found.isEmpty()) m_list->setCurrentItem(found.first());
}

void CDlgOperators::ClearPasswords() {
  for (QLineEdit* edit : {m_oldPassword, m_password, m_confirm}) edit->clear();
}

void CDlgOperators::OnAdd() {
  const QString name = m_name->text().trimmed();
  const OperatorChange result =
      OperatorAccounts(m_databasePath).Add(name, m_password->text(), m_confirm->text());
  ClearPasswords();
  if (result == OperatorChange::Done) {
    LoadOperators(name);
  } else if (result == OperatorChange::NoName || result == OperatorChange::Taken) {
    m_name->setFocus();
  } else {
    m_password->setFocus();
  }
}

void CDlgOperators::OnPassword() {
  const OperatorChange result = OperatorAccounts(m_databasePath)
                                    .ChangePassword(m_name->text(), m_oldPassword->text(),
                                                    m_password->text(), m_confirm->text());
  ClearPasswords();
  if (result == OperatorChange::Done) {
    ShowMessage(QStringLiteral("Success"), QStringLiteral("Operator"), MB_ICONINFORMATION);
  } else if (result == OperatorChange::NoName || result == OperatorChange::Unknown) {
    m_name->setFocus();
  } else {
    m_oldPassword->setFocus();
  }
}

void CDlgOperators::OnRemove() {
  const QString name = m_name->text().trimmed();
  if (!name.isEmpty() &&
      ShowMessage(QStringLiteral("Do you remove the operator %1?(Y/N)").arg(name),
                  QStringLiteral("Operator"), MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  if (OperatorAccounts(m_databasePath).Remove(name) == OperatorChange::Done) {
    m_name->clear();
    LoadOperators();
  }
}

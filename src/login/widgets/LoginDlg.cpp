#include "login/widgets/LoginDlg.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "app/AppSettings.h"
#include "app/LanguageTable.h"
#include "login/OperatorAccounts.h"
#include "login/widgets/DlgOperators.h"
#include "ui/MessageSink.h"
#include "ui/widgets/SkinControls.h"

CLoginDlg::CLoginDlg(QWidget* parent, const QString& databasePath)
    : CBaseSkinDlg(parent), m_databasePath(databasePath) {
  const AppSettings& settings = theAppSettings();
  setWindowTitle(QStringLiteral("Operator"));
  setFixedSize(482, 153);
  move(settings.frameDefaultWidth / 2 - 241, settings.frameDefaultHeight / 2 - 76);

  const struct {
    int id;
    const char* text;
    QRect geometry;
  } labels[] = {{kOperatorLabel, "Operator  ", {16, 37, 80, 18}},
                {kPasswordLabel, "Password  ", {16, 69, 80, 18}}};
  for (const auto& label : labels) {
    auto* control = PlaceControl(new CStaticEx(this), label.id, label.geometry);
    control->setText(QString::fromLatin1(label.text));
    control->SetFont(AppFontFace(), 16, DialogTextColour(), 700);
  }
  m_operators = PlaceControl(new CColoredCombo(this), kOperatorCombo, {108, 34, 200, 24});
  m_operators->setEditable(true);
  m_operators->setInsertPolicy(QComboBox::NoInsert);
  m_passwordEdit = PlaceControl(new CColoredEdit(this), kPasswordEdit, {108, 66, 200, 24});
  m_passwordEdit->setEchoMode(QLineEdit::Password);
  connect(m_operators, &QComboBox::activated, m_passwordEdit,
          [this] { m_passwordEdit->setFocus(); });

  const struct {
    int id;
    int label;
    QRect geometry;
    void (CLoginDlg::*run)();
  } buttons[] = {{1, 160, {320, 31, 116, 30}, &CLoginDlg::OnOK},
                 {2, 166, {320, 66, 116, 30}, &CLoginDlg::reject}};
  for (const auto& button : buttons) {
    ApplySkinElement(AddDialogButton<CButtonSTEx2>(this, button.id, GetLabel(button.label),
                                                   button.geometry, button.run),
                     QStringLiteral("pBt_116_030_n"));
  }

  loadOperators();
}

void CLoginDlg::loadOperators() {
  m_operators->clear();
  m_operators->addItems(OperatorNames(m_databasePath));
  m_operators->setCurrentIndex(-1);
  m_operators->setEditText(QString());
}

// A new archive has no operator, and without one nothing could ever be deleted: the first one
// is made here, by whoever is at the station first, and then logs in like any other.
int CLoginDlg::exec() {
  if (m_operators->count() == 0 && OperatorAccounts(m_databasePath).Count() == 0 &&
      ShowMessage(QStringLiteral("No operator is registered yet.\r\nCreate the first operator?"),
                  QStringLiteral("Operator"), MB_YESNO | MB_ICONQUESTION) == IDYES) {
    CDlgOperators(nullptr, m_databasePath).exec();
    loadOperators();
    if (m_operators->count() == 1) {
      m_operators->setCurrentIndex(0);
      m_passwordEdit->setFocus();
    }
  }
  return CBaseSkinDlg::exec();
}

OperatorLoginAttempt CLoginDlg::Run() {
  CLoginDlg dialog;
  const bool ok = dialog.exec() == QDialog::Accepted;
  return {ok, dialog.accepted(), dialog.operatorName()};
}

void CLoginDlg::OnOK() {
  m_operatorName = m_operators->currentText();
  m_accepted = CheckOperatorLogin(m_operatorName, m_passwordEdit->text(), m_databasePath);
  accept();
}

// Enter in the name box (or its edit field) or the password edit is OK, posted so that the key
// press is over before the dialog ends; every other Enter and Escape goes to the base, which
// swallows it.
bool CLoginDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (enter && (watched == m_passwordEdit || watched == m_operators ||
                  watched == m_operators->lineEdit())) {
      // A second Enter before the first is handled finds the dialog closed.
      QMetaObject::invokeMethod(
          this,
          [this] {
            if (isVisible()) OnOK();
          },
          Qt::QueuedConnection);
      return true;
    }
  }
  return CBaseSkinDlg::eventFilter(watched, event);
}

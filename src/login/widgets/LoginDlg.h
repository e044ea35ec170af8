#pragma once

#include <QString>

#include "login/OperatorLogin.h"
#include "ui/widgets/BaseSkinDlg.h"

class CButtonSTEx2;
class CColoredCombo;
class CColoredEdit;

// The operator login ("Operator"): an operator name chosen from the operator list or typed,
// and the password. OK always ends the dialog; accepted() tells whether the password was right.
// Enter in the name box or the password edit is OK; Enter and Escape elsewhere do nothing. On an
// archive without operators it offers to make the first one.
class CLoginDlg : public CBaseSkinDlg {
  Q_OBJECT

 public:
  // Object names of the controls: "ctl<id>" (OK is "ctl1", Cancel "ctl2").
  static constexpr int kOperatorCombo = 2165;
  static constexpr int kPasswordEdit = 1404;
  static constexpr int kOperatorLabel = 1343;
  static constexpr int kPasswordLabel = 1346;

  // databasePath: the image database; empty means the application's.
  explicit CLoginDlg(QWidget* parent = nullptr, const QString& databasePath = QString());

  bool accepted() const { return m_accepted; }
  const QString& operatorName() const { return m_operatorName; }

  // One modal run without a parent, as the login gate asks for it.
  static OperatorLoginAttempt Run();
  // With no operator at all, first offers to make one (the Operators dialog).
  int exec() override;

  void OnOK();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void loadOperators();

  QString m_databasePath;
  QString m_operatorName;
  bool m_accepted = false;
  CColoredCombo* m_operators = nullptr;
  CColoredEdit* m_passwordEdit = nullptr;
};

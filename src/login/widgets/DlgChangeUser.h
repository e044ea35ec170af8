#pragma once

#include "ui/widgets/BaseSkinDlg.h"

class CColoredCombo;
class CColoredEdit;
class CQuery;

// The user login: the user id is typed, the password checked against the table `user`; OK
// with the right password records the user in the settings file ([User] ID and Name) and
// closes the dialog. Password opens the password change for the typed id.
class CDlgChangeUser : public CBaseSkinDlg {
  Q_OBJECT

 public:
  // Object names of the controls: "ctl<id>" (OK is "ctl1", Cancel "ctl2").
  static constexpr int kUserIdCombo = 1124;
  static constexpr int kPasswordEdit = 1125;
  static constexpr int kPasswordButton = 1127;

  CDlgChangeUser(QWidget* parent, CQuery& query);

  void OnOK();
  void OnPassword();

 private:
  // The selected entry's text, or the typed text when nothing is selected.
  QString userId() const;

  CQuery& m_query;
  CColoredCombo* m_userId = nullptr;
  CColoredEdit* m_password = nullptr;
};

#pragma once

#include <QDialog>

class CQuery;
class QLineEdit;

// The password change of a user: the old password must be the stored one, the new one typed
// twice. The opener sets the user id before running it; an id that is not registered closes
// the dialog at once (after "Unregistered User\r\nPlease register"). Enter in a field is OK.
class CDlgChangePwd : public QDialog {
  Q_OBJECT

 public:
  // Object names of the controls: "ctl<id>" (OK is "ctl1", Cancel "ctl2").
  static constexpr int kUserIdEdit = 1130;
  static constexpr int kOldPasswordEdit = 1131;
  static constexpr int kNewPasswordEdit = 1132;
  static constexpr int kConfirmPasswordEdit = 1133;

  CDlgChangePwd(QWidget* parent, CQuery& query);

  void SetUserId(const QString& id);
  // Rejected without showing when the id set is not registered.
  int exec() override;

  void OnOK();

 private:
  CQuery& m_query;
  QLineEdit* m_userId = nullptr;
  QLineEdit* m_oldPassword = nullptr;
  QLineEdit* m_newPassword = nullptr;
  QLineEdit* m_confirmPassword = nullptr;
};

#pragma once

#include <QDialog>

class CQuery;
class QComboBox;
class QLineEdit;

// Adds users to the table `user`. The user id box lists the registered ids; choosing one shows
// its name. Add stores the typed id, name and password as a new user; OK closes the dialog.
class CDlgAddUser : public QDialog {
  Q_OBJECT

 public:
  // Object names of the controls: "ctl<id>" (OK is "ctl1", Cancel "ctl2").
  static constexpr int kUserIdCombo = 1124;
  static constexpr int kUserNameEdit = 1140;
  static constexpr int kPasswordEdit = 1141;
  static constexpr int kAddButton = 1142;

  CDlgAddUser(QWidget* parent, CQuery& query);

  void OnAdd();

 private:
  void LoadUsers();

  CQuery& m_query;
  QComboBox* m_userId = nullptr;
  QLineEdit* m_userName = nullptr;
  QLineEdit* m_password = nullptr;
};

#pragma once

#include <QDialog>

class QLineEdit;
class QListWidget;

// The operators who may delete: the list of their names, and a new operator, a new password
// (given the old one) or a removal for the name in the Operator field. Choosing a name in the
// list puts it into that field. The main frame opens it behind the operator login; the login
// dialog opens it when there is no operator yet, to make the first one.
class CDlgOperators : public QDialog {
  Q_OBJECT

 public:
  // Object names of the controls: "ctl<id>" (Close is "ctl2").
  static constexpr int kOperatorList = 3101;
  static constexpr int kNameEdit = 3102;
  static constexpr int kOldPasswordEdit = 3103;
  static constexpr int kPasswordEdit = 3104;
  static constexpr int kConfirmEdit = 3105;
  static constexpr int kAddButton = 3106;
  static constexpr int kPasswordButton = 3107;
  static constexpr int kRemoveButton = 3108;

  // databasePath: the image database; empty means the application's.
  explicit CDlgOperators(QWidget* parent = nullptr, const QString& databasePath = QString());

  void OnAdd();
  void OnPassword();
  void OnRemove();

 private:
  // Fills the list again and puts name (when given) into the Operator field and the selection.
  void LoadOperators(const QString& name = QString());
  // Empties the password fields after each attempt, so none stays on the screen.
  void ClearPasswords();

  QString m_databasePath;
  QListWidget* m_list = nullptr;
  QLineEdit* m_name = nullptr;
  QLineEdit* m_oldPassword = nullptr;
  QLineEdit* m_password = nullptr;
  QLineEdit* m_confirm = nullptr;
};

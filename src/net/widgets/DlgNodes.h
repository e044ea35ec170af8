#pragma once

// The "DICOM Nodes" dialog: lists the nodes of the image database and adds, edits and removes
// them; Echo asks the chosen node for a C-ECHO (on a worker thread) and shows the answer or the
// reason.

#include <QDialog>

#include "db/DaoDatabase.h"
#include "net/Association.h"
#include "net/DicomNodes.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

class CDlgNodes : public QDialog {
  Q_OBJECT

 public:
  CDlgNodes(const QString& location, NetworkOptions network, QWidget* parent = nullptr);

  void OnAdd();
  void OnSave();
  void OnRemove();
  void OnEcho();

  QTableWidget* table() const { return m_table; }
  QLineEdit* nameEdit() const { return m_name; }
  QLineEdit* aeEdit() const { return m_ae; }
  QLineEdit* hostEdit() const { return m_host; }
  QLineEdit* portEdit() const { return m_port; }

 signals:
  // The answer of an echo has been shown.
  void echoed(const QString& answer);

 private:
  void refresh();
  void showNode(int row);
  DicomNode fields() const;
  // The node chosen in the list; empty name when none is.
  QString chosen() const;
  bool told(const QString& problem);

  CDaoDatabase m_db;
  NetworkOptions m_network;
  QList<DicomNode> m_nodes;
  QTableWidget* m_table = nullptr;
  QLineEdit* m_name = nullptr;
  QLineEdit* m_ae = nullptr;
  QLineEdit* m_host = nullptr;
  QLineEdit* m_port = nullptr;
  QCheckBox* m_send = nullptr;
  QCheckBox* m_query = nullptr;
  QPushButton* m_echo = nullptr;
};

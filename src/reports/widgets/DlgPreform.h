#pragma once

#include <QDialog>

#include "reports/widgets/ReportTextEdits.h"

class CQuery;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// The template editor: the list of template titles; a click shows a template in the fields;
// Add stores the fields as a new template, Edit rewrites the texts of the template of the
// typed title, Delete removes the selected templates, Default marks the first selected one
// (the caption shows the marked title).
class CDlgPreform : public QDialog {
  Q_OBJECT

 public:
  // Object names of the controls: "ctl<id>" (OK is "ctl1").
  static constexpr int kList = 1015;
  static constexpr int kTitleEdit = 1016;
  static constexpr int kFindingEdit = 1017;
  static constexpr int kConclusionEdit = 1018;
  static constexpr int kRecommendEdit = 1019;
  static constexpr int kAddButton = 1020;
  static constexpr int kDeleteButton = 1021;
  static constexpr int kEditButton = 1022;
  static constexpr int kDefaultButton = 1023;

  CDlgPreform(QWidget* parent, CQuery& query);

  void ShowTemplate(QTreeWidgetItem* item);
  void AddTemplate();
  void UpdateTemplate();
  void DeleteTemplates();
  void MarkDefault();

 private:
  void LoadTemplateList();

  CQuery& m_query;
  QString m_defaultTitle;
  QTreeWidget* m_list = nullptr;
  QLineEdit* m_title = nullptr;
  ReportTextEdits m_fields;
};

#pragma once

#include <QDialog>

#include "db/ValueRecords.h"
#include "reports/ReportStore.h"
#include "reports/widgets/ReportTextEdits.h"

class CQuery;
class QComboBox;

// The report editor of one image: the patient and study header (read-only), the three texts,
// filled by hand or from a template, Save (one report per image, identified by its SOP Instance
// UID), the template editor, Print on the default printer and Save as PDF. The caption names
// the user who last logged in. Closing saves nothing.
class CDlgtoraScan : public QDialog {
  Q_OBJECT

 public:
  // Object names of the controls: "ctl<id>".
  static constexpr int kTemplateCombo = 1000;
  static constexpr int kFindingEdit = 1001;
  static constexpr int kConclusionEdit = 1002;
  static constexpr int kRecommendEdit = 1003;
  static constexpr int kIdEdit = 1004;
  static constexpr int kNameEdit = 1005;
  static constexpr int kDobEdit = 1006;
  static constexpr int kStudyNameEdit = 1007;
  static constexpr int kStudyDateEdit = 1008;
  static constexpr int kSaveButton = 1009;
  static constexpr int kEditPreformButton = 1010;
  static constexpr int kPrintButton = 1011;
  static constexpr int kOkButton = 1012;
  static constexpr int kSexEdit = 1013;
  static constexpr int kSavePdfButton = 1014;

  // The image's file and its patient, study, series and image records; the report is read
  // through query.
  CDlgtoraScan(QWidget* parent, const QString& file, const CDScanInfo& scanInfo, CQuery& query);

  // The report's id: the image's SOP Instance UID.
  const QString& reportId() const { return m_reportId; }
  bool reportExists() const { return m_reportExists; }
  // The texts as typed now.
  ReportTexts texts() const { return m_texts.texts(); }

  void SaveReport();
  void ApplyTemplate(int index);
  void EditTemplates();
  void PrintReport();
  // Asks for a file with the file chooser and writes the report's pages into it.
  void SaveAsPdf();
  // Writes the report's pages as typed now into a PDF file; false after telling why.
  bool SavePdf(const QString& path);

 private:
  void FillTemplateList();
  void LoadReport();

  CQuery& m_query;
  QString m_file;
  CDScanInfo m_scanInfo;
  QString m_reportId;
  bool m_reportExists = false;
  ReportHeader m_header;
  QComboBox* m_templates = nullptr;
  ReportTextEdits m_texts;
};

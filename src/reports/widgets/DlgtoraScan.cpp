#include "reports/widgets/DlgtoraScan.h"

#include <QDir>
#include <QGroupBox>
#include <QLineEdit>

#include "app/AppSettings.h"
#include "app/LanguageTable.h"
#include "reports/ReportPrint.h"
#include "reports/widgets/DlgPreform.h"
#include "reports/widgets/DlgPrtRpt.h"
#include "ui/Fonts.h"
#include "ui/MessageSink.h"
#include "ui/widgets/FileDialogEx.h"
#include "ui/widgets/SkinControls.h"
#include "ui/widgets/WaitCursor.h"

namespace {

const QString kCaption = QStringLiteral("Report");

}  // namespace

CDlgtoraScan::CDlgtoraScan(QWidget* parent, const QString& file, const CDScanInfo& scanInfo,
                           CQuery& query)
    : QDialog(parent),
      m_query(query),
      m_file(file),
      m_scanInfo(scanInfo),
      m_reportId(scanInfo.Stu.Spare),
      m_header(ReportHeader::FromScanInfo(scanInfo)) {
  const AppSettings& settings = theAppSettings();
  setFixedSize(560, 660);
  move(settings.windowWidth / 2 - 280, settings.windowHeight / 2 - 330);
  setWindowTitle(QStringLiteral("%1 : %2 / %3")
                     .arg(GetLabel(152),
                          theIniFile().ReadString(QStringLiteral("User"), QStringLiteral("ID")),
                          theIniFile().ReadString(QStringLiteral("User"), QStringLiteral("Name"))));

  for (const QRect& frame :
       {QRect(23, 7, 512, 120), QRect(23, 134, 512, 74), QRect(23, 214, 512, 358)}) {
    (new QGroupBox(this))->setGeometry(frame);
  }
  const QFont font = WithScriptFallback(SkinFont(QStringLiteral("Arial"), 16, 700));
  const struct {
    int id;
    QString text;
    QRect geometry;
  } labels[] = {
      {1451, GetLabel(129), {36, 31, 82, 18}},   {1024, GetLabel(132), {36, 62, 82, 18}},
      {1027, GetLabel(137), {36, 94, 82, 18}},   {1028, GetLabel(133), {164, 62, 38, 18}},
      {1023, GetLabel(130), {318, 31, 78, 18}},  {1026, GetLabel(136), {318, 94, 78, 18}},
      {1025, GetLabel(153), {40, 150, 116, 18}}, {1029, GetLabel(155), {40, 232, 116, 18}},
      {1030, GetLabel(156), {40, 345, 116, 18}}, {1031, GetLabel(157), {40, 457, 116, 18}}};
  for (const auto& label : labels) {
    PlaceControl(new CStaticEx(this), label.id, label.geometry)->setText(label.text);
  }
  const struct {
    int id;
    const QString* value;
    QRect geometry;
  } header[] = {{kIdEdit, &m_header.id, {126, 30, 184, 20}},
                {kSexEdit, &m_header.sex, {126, 61, 34, 20}},
                {kDobEdit, &m_header.dob, {210, 61, 100, 20}},
                {kStudyNameEdit, &m_header.studyName, {126, 93, 184, 20}},
                {kNameEdit, &m_header.name, {404, 30, 116, 20}},
                {kStudyDateEdit, &m_header.studyDate, {404, 93, 116, 20}}};
  for (const auto& field : header) {
    auto* edit = PlaceControl(new QLineEdit(*field.value, this), field.id, field.geometry);
    edit->setEnabled(false);
    edit->setFont(font);
  }
  m_templates = PlaceControl(new QComboBox(this), kTemplateCombo, {40, 172, 480, 24});
  m_templates->setEditable(true);
  m_templates->setInsertPolicy(QComboBox::NoInsert);
  m_templates->setFont(font);
  m_texts.create(this, {kFindingEdit, kConclusionEdit, kRecommendEdit}, {253, 365, 477}, font);
  const struct {
    int id;
    QString text;
    QRect geometry;
    void (CDlgtoraScan::*run)();
  } buttons[] = {{kSaveButton, GetLabel(158), {23, 588, 124, 26}, &CDlgtoraScan::SaveReport},
                 {kEditPreformButton,
                  QStringLiteral("%1 %2").arg(GetLabel(159), GetLabel(153)),
                  {153, 588, 124, 26},
                  &CDlgtoraScan::EditTemplates},
                 {kPrintButton, GetLabel(138), {283, 588, 124, 26}, &CDlgtoraScan::PrintReport},
                 {kOkButton, GetLabel(160), {413, 588, 124, 26}, &CDlgtoraScan::accept},
                 {kSavePdfButton,
                  QStringLiteral("Save as PDF"),
                  {283, 622, 124, 26},
                  &CDlgtoraScan::SaveAsPdf}};
  for (const auto& button : buttons) {
    auto* control = PlaceControl(new CButtonSTEx2(button.text, this), button.id, button.geometry);
    control->setAutoDefault(false);
    connect(control, &QPushButton::clicked, this, button.run);
  }
  connect(m_templates, &QComboBox::activated, this, &CDlgtoraScan::ApplyTemplate);

  FillTemplateList();
  LoadReport();
}

void CDlgtoraScan::FillTemplateList() {
  QStringList titles;
  if (!PreformStore(m_query).List(titles)) return;
  m_templates->clear();
  m_templates->addItems(titles);
  // Nothing chosen until the user chooses.
  m_templates->setCurrentIndex(-1);
}

void CDlgtoraScan::LoadReport() {
  if (m_reportId.isEmpty()) return;
  StoredReport stored;
  if (!ReportStore(m_query).Read(m_reportId, stored)) return;
  m_texts.show(stored.texts);
  m_reportExists = !stored.texts.isEmpty();
}

void CDlgtoraScan::SaveReport() {
  // Without an id the report could never be found again, and every image without one would
  // share its row.
  if (m_reportId.isEmpty()) {
    ShowMessage(QStringLiteral("This image has no SOP Instance UID: its report cannot be saved."),
                kCaption, MB_ICONEXCLAMATION);
    return;
  }
  QString problem;
  {
    WaitCursor wait;
    problem = ReportStore(m_query).Save(m_reportId, m_file, m_header, texts());
  }
  if (problem.isEmpty()) {
    m_reportExists = true;
    return;
  }
  ShowMessage(QStringLiteral("The report could not be saved: %1").arg(problem), kCaption,
              MB_ICONEXCLAMATION);
}

void CDlgtoraScan::ApplyTemplate(int index) {
  if (index < 0) return;
  ReportTexts current = texts();
  PreformStore(m_query).Fill(m_templates->itemText(index), current);
  m_texts.show(current);
}

void CDlgtoraScan::EditTemplates() {
  CDlgPreform editor(this, m_query);
  editor.exec();
  FillTemplateList();
}

void CDlgtoraScan::PrintReport() {
  WaitCursor wait;
  CDlgPrtRpt print({texts(), m_scanInfo, ReportDoctor(theIniFile())});
  print.DoModal();
}

void CDlgtoraScan::SaveAsPdf() {
  CFileDialogEx chooser(this, QDir::homePath(), QStringLiteral("PDF Files (*.pdf)|*.pdf||"),
                        QStringLiteral("Save as PDF"), CFileDialogEx::kSaveMode);
  if (chooser.exec() != QDialog::Accepted || chooser.GetFileName().isEmpty()) return;
  QString path = QDir(chooser.GetFolderPath()).filePath(chooser.GetFileName());
  if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) path += QLatin1String(".pdf");
  SavePdf(path);
}

bool CDlgtoraScan::SavePdf(const QString& path) {
  QString problem;
  {
    WaitCursor wait;
    if (SaveReportPdf(path, {texts(), m_scanInfo, ReportDoctor(theIniFile())},
                      ReportFonts::Read(theIniFile()), &problem) > 0) {
      return true;
    }
  }
  ShowMessage(problem, kCaption, MB_ICONEXCLAMATION);
  return false;
}

// The report editor, the template editor and the report's PDF, offscreen.
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTreeWidget>

#include "PdfTools.h"
#include "ReportTestSupport.h"
#include "app/IniFile.h"
#include "app/LanguageTable.h"
#include "db/ValueRecords.h"
#include "reports/widgets/DlgPreform.h"
#include "reports/widgets/DlgPrtRpt.h"
#include "reports/widgets/DlgtoraScan.h"
#include "support/ModalDialogs.h"

namespace {

template <class Widget>
Widget* control(const QWidget& dialog, int id) {
  return testsupport::Control<Widget>(dialog, id);
}

void click(const QWidget& dialog, int id) { control<QPushButton>(dialog, id)->click(); }

class ReportEditorTest : public testsupport::ReportDatabaseTest {
 protected:
  void SetUp() override {
    ReportDatabaseTest::SetUp();
    savedIni = theIniFile().Path();
    const QString ini = dir.filePath("Pelmora.ini");
    theIniFile().SetPath(ini);
    ASSERT_TRUE(theIniFile().WriteStrings({{"User", "ID", "abc"}, {"User", "Name", "Dr. Kim"}}));
    info.Pat.PatID = "P-1";
    info.Pat.PatName = "O'Brien^Seán";
    info.Pat.PatSex = "M";
    info.Pat.PatBirthDate = CDateTime(1950, 1, 2);
    info.Stu.StuDateTime = CDateTime::null();
    info.Ser.BodyPart = "CHEST";
    info.Stu.Spare = "1.2.840.99.1";
  }
  void TearDown() override { theIniFile().SetPath(savedIni); }

  static QString typed(const QWidget& dialog, int id) {
    return control<QPlainTextEdit>(dialog, id)->toPlainText();
  }

  QString savedIni;
  CDScanInfo info;
};

TEST_F(ReportEditorTest, ANewReportShowsTheHeaderReadOnlyAndEmptyTexts) {
  CDlgtoraScan editor(nullptr, "/images/a.dcm", info, query);
  EXPECT_EQ(editor.windowTitle(), "User : abc / Dr. Kim");
  EXPECT_EQ(editor.size(), QSize(560, 660));
  const struct {
    int id;
    const char* text;
  } header[] = {{CDlgtoraScan::kIdEdit, "P-1"},          {CDlgtoraScan::kNameEdit, "O'Brien^Seán"},
                {CDlgtoraScan::kSexEdit, "M"},           {CDlgtoraScan::kDobEdit, "1950-01-02"},
                {CDlgtoraScan::kStudyNameEdit, "CHEST"}, {CDlgtoraScan::kStudyDateEdit, ""}};
  for (const auto& field : header) {
    QLineEdit* edit = control<QLineEdit>(editor, field.id);
    ASSERT_NE(edit, nullptr) << field.id;
    EXPECT_EQ(edit->text(), QString::fromUtf8(field.text)) << field.id;
    EXPECT_FALSE(edit->isEnabled()) << field.id;
  }
  EXPECT_EQ(control<QPushButton>(editor, CDlgtoraScan::kEditPreformButton)->text(), "EDIT Preform");
  EXPECT_EQ(editor.reportId(), "1.2.840.99.1");
  EXPECT_FALSE(editor.reportExists());
  EXPECT_TRUE(editor.texts().isEmpty());
}

TEST_F(ReportEditorTest, SavedTextsComeBackWhenTheReportIsOpenedAgain) {
  {
    CDlgtoraScan editor(nullptr, "/images/a.dcm", info, query);
    editor.show();
    QTest::keyClicks(control<QPlainTextEdit>(editor, CDlgtoraScan::kFindingEdit), "It's clear");
    QTest::keyClick(control<QPlainTextEdit>(editor, CDlgtoraScan::kFindingEdit), Qt::Key_Return);
    // Korean arrives through the input method, not as key presses.
    control<QPlainTextEdit>(editor, CDlgtoraScan::kFindingEdit)->insertPlainText("폐 정상");
    QTest::keyClicks(control<QPlainTextEdit>(editor, CDlgtoraScan::kRecommendEdit), "none");
    click(editor, CDlgtoraScan::kSaveButton);
    EXPECT_TRUE(editor.isVisible()) << "the dialog stays open";
    click(editor, CDlgtoraScan::kSaveButton);  // the row just written is rewritten
  }
  EXPECT_EQ(rows("select * from report where reportid = ? and file = ? and patname = ?",
                 {"1.2.840.99.1", "/images/a.dcm", "O'Brien^Seán"}),
            1);
  CDlgtoraScan again(nullptr, "/images/a.dcm", info, query);
  EXPECT_TRUE(again.reportExists());
  EXPECT_EQ(typed(again, CDlgtoraScan::kFindingEdit), "It's clear\n폐 정상");
  EXPECT_EQ(again.texts().finding, "It's clear\r\n폐 정상");
  EXPECT_EQ(typed(again, CDlgtoraScan::kRecommendEdit), "none");
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(ReportEditorTest, OkAndEscapeSaveNothing) {
  for (const bool escape : {false, true}) {
    CDlgtoraScan editor(nullptr, "/images/a.dcm", info, query);
    editor.show();
    QTest::keyClicks(control<QPlainTextEdit>(editor, CDlgtoraScan::kFindingEdit), "draft");
    if (escape) {
      QTest::keyClick(&editor, Qt::Key_Escape);
      EXPECT_EQ(editor.result(), QDialog::Rejected);
    } else {
      click(editor, CDlgtoraScan::kOkButton);
      EXPECT_EQ(editor.result(), QDialog::Accepted);
    }
  }
  EXPECT_EQ(rows("select * from report"), 0);
}

TEST_F(ReportEditorTest, AnImageWithoutUidIsToldItsReportCannotBeSaved) {
  info.Stu.Spare.clear();
  CDlgtoraScan editor(nullptr, "/images/a.dcm", info, query);
  QTest::keyClicks(control<QPlainTextEdit>(editor, CDlgtoraScan::kFindingEdit), "x");
  click(editor, CDlgtoraScan::kSaveButton);
  ASSERT_EQ(sink.count(), 1);
  EXPECT_EQ(sink.messages()[0].text,
            "This image has no SOP Instance UID: its report cannot be saved.");
  EXPECT_EQ(sink.messages()[0].caption, "Report");
  EXPECT_EQ(rows("select * from report"), 0);
}

TEST_F(ReportEditorTest, ChoosingATemplateReplacesTheTexts) {
  PreformStore templates(query);
  ASSERT_TRUE(templates.Add("Normal chest", {"clear\r\nlungs", "normal", ""}));
  ASSERT_TRUE(templates.Add("Fracture", {"break", "", "cast"}));
  CDlgtoraScan editor(nullptr, "/images/a.dcm", info, query);
  QComboBox* combo = control<QComboBox>(editor, CDlgtoraScan::kTemplateCombo);
  ASSERT_EQ(combo->count(), 2);
  EXPECT_EQ(combo->itemText(0), "Normal chest");
  EXPECT_EQ(combo->currentIndex(), -1) << "nothing applied on opening";
  QTest::keyClicks(control<QPlainTextEdit>(editor, CDlgtoraScan::kRecommendEdit), "mine");
  emit combo->activated(0);
  EXPECT_EQ(editor.texts(), (ReportTexts{"clear\r\nlungs", "normal", ""}));
  EXPECT_EQ(typed(editor, CDlgtoraScan::kFindingEdit), "clear\nlungs");
}

TEST_F(ReportEditorTest, EditPreformAddsATemplateTheListThenOffers) {
  CDlgtoraScan editor(nullptr, "/images/a.dcm", info, query);
  ASSERT_EQ(testsupport::AnswerModals<CDlgPreform>(
                [&] { click(editor, CDlgtoraScan::kEditPreformButton); },
                [](CDlgPreform& preform) {
                  QTest::keyClicks(control<QLineEdit>(preform, CDlgPreform::kTitleEdit), "Spine");
                  QTest::keyClicks(control<QPlainTextEdit>(preform, CDlgPreform::kFindingEdit),
                                   "straight");
                  click(preform, CDlgPreform::kAddButton);
                  click(preform, 1);
                }),
            1);
  QComboBox* combo = control<QComboBox>(editor, CDlgtoraScan::kTemplateCombo);
  ASSERT_EQ(combo->count(), 1);
  EXPECT_EQ(combo->itemText(0), "Spine");
}

class PreformEditorTest : public ReportEditorTest {
 protected:
  void SetUp() override {
    ReportEditorTest::SetUp();
    PreformStore store(query);
    for (const char* title : {"A", "B", "C", "D"}) {
      ASSERT_TRUE(store.Add(title, {QStringLiteral("finding %1").arg(title), "", ""}));
    }
    ASSERT_TRUE(store.MarkDefault("B"));
  }
  static QStringList titles(const CDlgPreform& dialog) {
    QStringList list;
    QTreeWidget* tree = control<QTreeWidget>(dialog, CDlgPreform::kList);
    for (int i = 0; i < tree->topLevelItemCount(); ++i) list << tree->topLevelItem(i)->text(0);
    return list;
  }
  static QTreeWidgetItem* item(const CDlgPreform& dialog, int row) {
    return control<QTreeWidget>(dialog, CDlgPreform::kList)->topLevelItem(row);
  }
};

TEST_F(PreformEditorTest, ListsTheTitlesCaptionedWithTheDefaultAndShowsAClickedOne) {
  CDlgPreform dialog(nullptr, query);
  EXPECT_EQ(titles(dialog), QStringList({"A", "B", "C", "D"}));
  EXPECT_EQ(dialog.windowTitle(), "B");
  dialog.ShowTemplate(item(dialog, 2));
  EXPECT_EQ(control<QLineEdit>(dialog, CDlgPreform::kTitleEdit)->text(), "C");
  EXPECT_EQ(typed(dialog, CDlgPreform::kFindingEdit), "finding C");
}

TEST_F(PreformEditorTest, AddNeedsATitleAndEditRewritesTheTypedTitleOnly) {
  CDlgPreform dialog(nullptr, query);
  QTest::keyClicks(control<QPlainTextEdit>(dialog, CDlgPreform::kFindingEdit), "text");
  click(dialog, CDlgPreform::kAddButton);
  click(dialog, CDlgPreform::kEditButton);
  EXPECT_EQ(rows("select * from preform"), 4) << "no title, nothing stored";

  dialog.ShowTemplate(item(dialog, 0));
  control<QPlainTextEdit>(dialog, CDlgPreform::kConclusionEdit)->setPlainText("it's new\nline");
  click(dialog, CDlgPreform::kEditButton);
  EXPECT_EQ(
      rows("select * from preform where title = 'A' and conclusion = ?", {"it's new\r\nline"}), 1);
  // A changed title updates no row.
  control<QLineEdit>(dialog, CDlgPreform::kTitleEdit)->setText("Z");
  click(dialog, CDlgPreform::kEditButton);
  EXPECT_EQ(rows("select * from preform where title = 'Z'"), 0);
  click(dialog, CDlgPreform::kAddButton);
  EXPECT_EQ(titles(dialog), QStringList({"A", "B", "C", "D", "Z"}));
}

TEST_F(PreformEditorTest, DeleteRemovesEverySelectedTemplateAndKeepsTheFields) {
  CDlgPreform dialog(nullptr, query);
  dialog.ShowTemplate(item(dialog, 3));
  for (const int row : {0, 1, 3}) item(dialog, row)->setSelected(true);
  click(dialog, CDlgPreform::kDeleteButton);
  EXPECT_EQ(titles(dialog), QStringList({"C"}));
  EXPECT_EQ(typed(dialog, CDlgPreform::kFindingEdit), "finding D");
  click(dialog, CDlgPreform::kDeleteButton);  // nothing selected: nothing happens
  EXPECT_EQ(rows("select * from preform"), 1);
}

TEST_F(PreformEditorTest, DefaultMarksTheFirstSelectedTemplate) {
  CDlgPreform dialog(nullptr, query);
  EXPECT_TRUE(control<QPushButton>(dialog, CDlgPreform::kDefaultButton)->isEnabled());
  item(dialog, 3)->setSelected(true);
  item(dialog, 2)->setSelected(true);
  click(dialog, CDlgPreform::kDefaultButton);
  EXPECT_EQ(dialog.windowTitle(), "C");
  EXPECT_EQ(rows("select * from preform where \"default\" = 'Y'"), 1);
  EXPECT_EQ(rows("select * from preform where \"default\" = 'Y' and title = 'C'"), 1);
  control<QTreeWidget>(dialog, CDlgPreform::kList)->clearSelection();
  click(dialog, CDlgPreform::kDefaultButton);
  EXPECT_EQ(dialog.windowTitle(), "");
}

TEST_F(ReportEditorTest, WithoutADefaultPrinterPrintingIsToldInTheLabelLanguage) {
  const struct {
    LanguageTable table;
    const char* message;
  } cases[] = {
      {{}, "The printer is not set up."},
      {{{"151", "Browser"}}, "The printer is not set up."},  // a workbook without the label
      {{{"205", "프린터 설정이 되어있지 않습니다."}}, "프린터 설정이 되어있지 않습니다."},
  };
  const auto restore = qScopeGuard(&ClearLanguageTable);
  for (const auto& c : cases) {
    SetLanguageTable(c.table);
    sink.clear();
    CDlgPrtRpt print({{"finding", "", ""}, info, "Dr. Kim"});
    print.printerName.clear();
    EXPECT_EQ(print.DoModal(), 0);
    ASSERT_EQ(sink.count(), 1);
    EXPECT_EQ(sink.messages()[0].text, QString::fromUtf8(c.message));
  }
}

TEST_F(ReportEditorTest, SaveAsPdfWritesThePagesAsTyped) {
  CDlgtoraScan editor(nullptr, "/images/a.dcm", info, query);
  QString finding;
  for (int i = 1; i <= 30; ++i) finding += QStringLiteral("finding line %1\n").arg(i);
  finding += "R&D && co &";
  control<QPlainTextEdit>(editor, CDlgtoraScan::kFindingEdit)->setPlainText(finding);
  const QString pdf = dir.filePath("report.pdf");
  ASSERT_TRUE(editor.SavePdf(pdf));
  EXPECT_EQ(testsupport::PdfPages(pdf), 2);
  const QString first = testsupport::PdfText(pdf, 1);
  EXPECT_TRUE(first.contains("finding line 29")) << first.toStdString();
  EXPECT_FALSE(first.contains("finding line 30"));
  EXPECT_TRUE(first.contains("Page : 1 / 2"));
  EXPECT_TRUE(first.contains("Dr. Kim"));
  EXPECT_TRUE(first.contains("Study:CHEST"));
  const QString second = testsupport::PdfText(pdf, 2);
  EXPECT_TRUE(second.contains("finding line 30"));
  EXPECT_TRUE(second.contains("R&D && co &"))
      << "every character as typed: " << second.toStdString();

  EXPECT_FALSE(editor.SavePdf(dir.filePath("no/such/folder/report.pdf")));
  ASSERT_EQ(sink.count(), 1);
  EXPECT_TRUE(sink.messages()[0].text.startsWith("Cannot write")) << sink.texts()[0].toStdString();
  control<QPlainTextEdit>(editor, CDlgtoraScan::kFindingEdit)->clear();
  EXPECT_FALSE(editor.SavePdf(pdf));
  EXPECT_EQ(sink.messages().last().text, "The report has no text to print");
  EXPECT_EQ(testsupport::PdfPages(pdf), 2) << "the earlier file stays";
}

}  // namespace

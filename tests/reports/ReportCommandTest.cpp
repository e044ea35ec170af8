// Report > Create / Edit in the main window: a report written for the open image, saved, and
// found again when the report is opened a second time.
#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "ReportTestSupport.h"
#include "app/AppSettings.h"
#include "frame/Commands.h"
#include "frame/widgets/MainFrame.h"
#include "reports/widgets/DlgtoraScan.h"
#include "support/DicomBuilder.h"
#include "support/ModalDialogs.h"

namespace {

class ReportCommandTest : public testsupport::ReportDatabaseTest {
 protected:
  void SetUp() override {
    ReportDatabaseTest::SetUp();
    savedRunMode = theAppSettings().RunMode;
    theAppSettings().RunMode = RunModeStation;
    ASSERT_TRUE(ConnectReportDatabase(theReportQuery(), dir.filePath(kReportDatabaseFile)));
  }
  void TearDown() override {
    theReportQuery().Disconnect();
    theAppSettings().RunMode = savedRunMode;
  }

  // Runs the report command from the menu; then, inside the editor, does what act says.
  static void runReport(CMainFrame& frame, const std::function<void(CDlgtoraScan&)>& act) {
    EXPECT_EQ(
        testsupport::AnswerModals<CDlgtoraScan>([&] { frame.action(command::Report)->trigger(); },
                                                [&](CDlgtoraScan& editor) {
                                                  act(editor);
                                                  if (editor.isVisible()) editor.reject();
                                                }),
        1);
  }
  static QPlainTextEdit* edit(const CDlgtoraScan& editor, int id) {
    return editor.findChild<QPlainTextEdit*>(QStringLiteral("ctl%1").arg(id));
  }
  static void click(const CDlgtoraScan& editor, int id) {
    editor.findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id))->click();
  }

  int savedRunMode = RunModeStation;
};

TEST_F(ReportCommandTest, TheMenuOpensTheReportOfTheActiveImageAndItKeepsItsTexts) {
  CMainFrame frame;
  QAction* command = frame.action(command::Report);
  ASSERT_NE(command, nullptr);
  auto* menu = qobject_cast<QMenu*>(command->parent());
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->menuAction()->isVisible());
  EXPECT_TRUE(menu->actions().contains(command));

  testsupport::DicomBuilder builder;
  builder.set(DCM_SOPInstanceUID, "1.2.826.0.1.42").set(DCM_PatientName, "Doe^John");
  builder.set(DCM_PatientID, "PID-42").set(DCM_StudyDescription, "CHEST PA");
  const QString image = dir.filePath("chest.dcm");
  ASSERT_TRUE(builder.save(image));
  ASSERT_EQ(frame.OpenImage(image, true), 0);

  runReport(frame, [](CDlgtoraScan& editor) {
    EXPECT_EQ(editor.reportId(), "1.2.826.0.1.42");
    EXPECT_FALSE(editor.reportExists());
    QTest::keyClicks(edit(editor, CDlgtoraScan::kFindingEdit), "No acute finding.");
    QTest::keyClick(edit(editor, CDlgtoraScan::kFindingEdit), Qt::Key_Return);
    QTest::keyClicks(edit(editor, CDlgtoraScan::kFindingEdit), "Heart size normal.");
    QTest::keyClicks(edit(editor, CDlgtoraScan::kConclusionEdit), "Normal chest.");
    click(editor, CDlgtoraScan::kSaveButton);
    click(editor, CDlgtoraScan::kOkButton);
  });
  EXPECT_EQ(rows("select * from report where reportid = ? and patid = ? and studyname = ?",
                 {"1.2.826.0.1.42", "PID-42", "CHEST PA"}),
            1);

  runReport(frame, [](CDlgtoraScan& editor) {
    EXPECT_TRUE(editor.reportExists());
    EXPECT_EQ(edit(editor, CDlgtoraScan::kFindingEdit)->toPlainText(),
              "No acute finding.\nHeart size normal.");
    EXPECT_EQ(edit(editor, CDlgtoraScan::kConclusionEdit)->toPlainText(), "Normal chest.");
    EXPECT_EQ(edit(editor, CDlgtoraScan::kRecommendEdit)->toPlainText(), "");
  });
  EXPECT_TRUE(sink.isEmpty()) << sink.texts().join('\n').toStdString();
}

TEST_F(ReportCommandTest, WithoutAnImageTheUserIsAskedToSelectOne) {
  CMainFrame frame;
  frame.action(command::Report)->trigger();
  ASSERT_EQ(sink.count(), 1);
  EXPECT_EQ(sink.messages()[0].text, "Please select an image");
}

}  // namespace

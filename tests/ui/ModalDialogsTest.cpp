// The tests' helper for modal dialogs: a failing answer closes the dialog at once and reports,
// instead of leaving the test waiting for the runner's timeout or crashing on a missing control.
#include "support/ModalDialogs.h"

#include <gmock/gmock.h>

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

using ::testing::HasSubstr;
using testsupport::AnswerModals;
using testsupport::Control;

// What one run of AnswerModals came to, its failures captured rather than failing this test.
struct Outcome {
  int answered = 0;
  int result = -1;       // the dialog's exec()
  bool rescued = false;  // closed by the safety net, not by the helper
  ::testing::TestPartResultArray failures;
};

template <class Dialog>
void run(QDialog& dialog, const std::function<void(Dialog&)>& answer, Outcome& outcome) {
  // Only a helper that failed to close the dialog leaves it to this.
  QTimer safetyNet;
  safetyNet.setSingleShot(true);
  QObject::connect(&safetyNet, &QTimer::timeout, [&] {
    outcome.rescued = true;
    testsupport::CloseModals();
  });
  safetyNet.start(60000);
  ::testing::ScopedFakeTestPartResultReporter capture(
      ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD,
      &outcome.failures);
  outcome.answered = AnswerModals<Dialog>([&] { outcome.result = dialog.exec(); }, answer);
}

TEST(AnswerModals, AFailingAnswerClosesTheDialogAtOnceAndReportsWhy) {
  QDialog inner;
  const struct {
    const char* name;
    std::function<void(QDialog&)> answer;
    const char* message;
  } cases[] = {
      {"assertion", [](QDialog&) { ASSERT_EQ(1, 2) << "deliberately"; }, "deliberately"},
      {"missing control", [](QDialog& dialog) { Control<QPushButton>(dialog, 4711)->click(); },
       "no QPushButton \"ctl4711\" in QDialog"},
      {"dialog left open", [](QDialog&) {}, "the answer left the QDialog open"},
      {"failure in a nested dialog",
       [&inner](QDialog&) {
         AnswerModals<QDialog>([&] { inner.exec(); }, [](QDialog&) { FAIL() << "inside"; });
       },
       "inside"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QDialog dialog;
    Outcome outcome;
    run<QDialog>(dialog, c.answer, outcome);
    EXPECT_FALSE(outcome.rescued);
    EXPECT_EQ(outcome.result, QDialog::Rejected);
    EXPECT_EQ(outcome.answered, 1);
    EXPECT_FALSE(inner.isVisible());
    ASSERT_EQ(outcome.failures.size(), 1);
    EXPECT_TRUE(outcome.failures.GetTestPartResult(0).fatally_failed());
    EXPECT_THAT(outcome.failures.GetTestPartResult(0).message(), HasSubstr(c.message));
  }
}

TEST(AnswerModals, AModalOfAnotherTypeIsClosedAndNamed) {
  QDialog dialog;
  dialog.setWindowTitle("Surprise");
  Outcome outcome;
  run<QMessageBox>(
      dialog, [](QMessageBox&) {}, outcome);
  EXPECT_FALSE(outcome.rescued);
  EXPECT_EQ(outcome.answered, 0);
  ASSERT_EQ(outcome.failures.size(), 1);
  EXPECT_THAT(outcome.failures.GetTestPartResult(0).message(),
              HasSubstr("a QDialog (\"Surprise\") opened where a QMessageBox was expected"));
}

TEST(AnswerModals, EveryDialogShownIsAnsweredInTurn) {
  QDialog first;
  QDialog second;
  QStringList seen;
  const int answered = AnswerModals<QDialog>(
      [&] {
        first.setWindowTitle("first");
        second.setWindowTitle("second");
        first.exec();
        second.exec();
      },
      [&](QDialog& dialog) {
        seen << dialog.windowTitle();
        dialog.accept();
      });
  EXPECT_EQ(answered, 2);
  EXPECT_EQ(seen, QStringList({"first", "second"}));
  EXPECT_EQ(AnswerModals<QDialog>([] {}, [](QDialog&) {}), 0) << "no dialog shown";
}

}  // namespace

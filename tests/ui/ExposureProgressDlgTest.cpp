#include "ui/widgets/ExposureProgressDlg.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

struct Step {
  int position;
  const char* caption;  // after SetPos
};

TEST(ProgressDialog, CaptionShowsThePercentageOnlyWhenItChanges) {
  const struct {
    int upper;
    std::vector<Step> steps;
  } cases[] = {
      {200, {{1, ""}, {2, "Image Loading... [1%]"}, {3, "Image Loading... [1%]"}}},
      {4,
       {{1, "Image Loading... [25%]"},
        {2, "Image Loading... [50%]"},
        {3, "Image Loading... [75%]"},
        {4, "Image Loading... [100%]"}}},
      {0, {{1, ""}, {5, ""}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.upper);
    CExposureProgressDlg dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.SetAutoShow(true);
    dialog.SetText(QStringLiteral("Image Loading..."));
    dialog.SetRange(0, c.upper, 1);
    for (const Step& step : c.steps) {
      dialog.SetPos(step.position);
      EXPECT_EQ(dialog.windowTitle(), QString::fromLatin1(step.caption)) << step.position;
    }
    EXPECT_TRUE(dialog.isVisible()) << "a position change shows the window";
  }
}

TEST(ProgressDialog, StepItAdvancesByTheStepAndADestroyedWindowOnlyKeepsThePosition) {
  CExposureProgressDlg dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.SetText(QStringLiteral("x"));
  dialog.SetRange(0, 10, 2);
  EXPECT_EQ(dialog.StepIt(), 0);
  EXPECT_EQ(dialog.StepIt(), 2);
  EXPECT_EQ(dialog.position(), 4);
  dialog.DestroyWindow();
  EXPECT_EQ(dialog.SetPos(8), 4);
  EXPECT_EQ(dialog.position(), 4);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("x [40%]"));
}

// Escape typed into another window of the program while a batch runs closes the progress
// window and still reaches that window; the batch goes on and its next step shows the window.
TEST(ProgressDialog, EscapeClosesTheWindowUntilTheNextStepAndTheBatchGoesOn) {
  QLineEdit elsewhere;
  elsewhere.show();
  int escapesSeen = 0;
  struct KeyCounter : QObject {
    explicit KeyCounter(int& count) : count(count) {}
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::KeyPress) ++count;
      return false;
    }
    int& count;
  } counter(escapesSeen);
  elsewhere.installEventFilter(&counter);

  CExposureProgressDlg dialog;
  dialog.StartBatch(QStringLiteral("Image Loading..."), 4);
  ASSERT_TRUE(dialog.isVisible());
  QCoreApplication::postEvent(&elsewhere,
                              new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  dialog.StepBatch();
  EXPECT_FALSE(dialog.isVisible()) << "Escape cancels the window";
  EXPECT_EQ(escapesSeen, 1);
  EXPECT_EQ(dialog.position(), 2) << "the batch itself is not stopped";
  dialog.StepBatch();
  EXPECT_TRUE(dialog.isVisible()) << "the next step shows it again";
  // Other keys leave it alone.
  QCoreApplication::postEvent(&elsewhere,
                              new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
  dialog.StepBatch();
  EXPECT_TRUE(dialog.isVisible());
  dialog.EndBatch();
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Image Loading... [100%]"));
}

}  // namespace

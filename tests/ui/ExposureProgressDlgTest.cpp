#include "ui/widgets/ExposureProgressDlg.h"

#include <gtest/gtest.h>

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

}  // namespace

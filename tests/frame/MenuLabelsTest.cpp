#include <gtest/gtest.h>

#include "app/LanguageTable.h"
#include "frame/MenuLabels.h"

namespace {

TEST(MenuLabels, ComposedFromTheLabelTable) {
  // With no workbook loaded the labels come from the built-in English table.
  struct Case {
    const char* caption;
    QString expected;
  };
  for (const Case& c : {Case{"File", GetLabel(167)},
                        Case{"Browser...", GetLabel(151) + "..."},
                        Case{"Prev. Image", GetLabel(180) + " " + GetLabel(178)},
                        Case{"Rotate R", GetLabel(187) + " " + GetLabel(189)},
                        Case{"Create / Edit", GetLabel(197) + " / " + GetLabel(159)},
                        Case{"1 x 2", QStringLiteral("1 x 2")}}) {
    EXPECT_EQ(MenuLabel(QString::fromLatin1(c.caption)), c.expected) << c.caption;
  }
  EXPECT_EQ(MenuLabel(QStringLiteral("Browser...")), QStringLiteral("Browser..."));
}

}  // namespace

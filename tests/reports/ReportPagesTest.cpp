// The report texts split into pages of 29 lines, and what each page's items print.
#include <gtest/gtest.h>

#include "reports/ReportPrint.h"

namespace {

// n lines "<prefix> 1" ... each ending in CR LF.
QString lines(int n, const QString& prefix = QStringLiteral("line")) {
  QString text;
  for (int i = 1; i <= n; ++i) text += QStringLiteral("%1 %2\r\n").arg(prefix).arg(i);
  return text;
}

int lineCount(const QString& part) { return int(part.count(QLatin1Char('\n'))); }

TEST(ReportPages, FindingSplitsEveryTwentyNineLines) {
  struct Case {
    int lines;
    int pages;
    int onLastPage;
  };
  for (const Case& c : {Case{1, 1, 1}, Case{28, 1, 28}, Case{29, 1, 29}, Case{30, 2, 1},
                        Case{58, 2, 29}, Case{59, 3, 1}, Case{400, 14, 400 - 13 * 29}}) {
    const ReportPageParts split = ReportPageParts::Split({lines(c.lines), {}, {}});
    EXPECT_EQ(split.pageCount, c.pages) << c.lines;
    int total = 0;
    for (int page = 0; page < split.pageCount; ++page) {
      const int onPage = lineCount(split.part(page, ReportPageParts::Finding));
      EXPECT_EQ(onPage, page + 1 < split.pageCount ? 29 : c.onLastPage) << c.lines << "/" << page;
      total += onPage;
    }
    EXPECT_EQ(total, c.lines) << "no line lost or doubled";
    EXPECT_TRUE(split.part(split.pageCount, ReportPageParts::Finding).isEmpty());
  }
}

TEST(ReportPages, EmptyTextsGiveNoPage) { EXPECT_EQ(ReportPageParts::Split({}).pageCount, 0); }

TEST(ReportPages, LineCountRunsOnFromTextToText) {
  // Finding 10, Conclusion 25: page 1 holds the 10 and 19 lines, page 2 the other 6.
  const ReportPageParts split = ReportPageParts::Split({lines(10, "f"), lines(25, "c"), {}});
  ASSERT_EQ(split.pageCount, 2);
  EXPECT_EQ(split.part(0, ReportPageParts::Finding), lines(10, "f"));
  EXPECT_EQ(lineCount(split.part(0, ReportPageParts::Conclusion)), 19);
  EXPECT_TRUE(split.part(1, ReportPageParts::Finding).isEmpty());
  EXPECT_TRUE(split.part(1, ReportPageParts::Conclusion).startsWith("c 20\r\n"));
  EXPECT_EQ(lineCount(split.part(1, ReportPageParts::Conclusion)), 6);
  EXPECT_TRUE(split.part(1, ReportPageParts::Recommend).isEmpty());
}

TEST(ReportPages, LinesAreCountedByTheirBreaksNotTheirLength) {
  struct Case {
    ReportTexts texts;
    int pages;
  };
  const QString longLine(5000, QLatin1Char('x'));
  const Case cases[] = {
      // Without line breaks a text is one line, however long.
      {{longLine, longLine, longLine}, 1},
      // A last line without a break counts; the 29th closes the page.
      {{lines(28) + "last", {}, {}}, 1},
      {{lines(29) + "last", {}, {}}, 2},
      // Line feeds alone end lines too.
      {{QString("a\n").repeated(30), {}, {}}, 2},
      {{lines(29), lines(29), lines(1)}, 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReportPageParts::Split(c.texts).pageCount, c.pages);
  }
}

class ReportItems : public ::testing::Test {
 protected:
  ReportItems() {
    content.scanInfo.Pat.PatID = "P-7";
    content.scanInfo.Pat.PatName = "Kim^Minjun 김민준";
    content.scanInfo.Pat.PatSex = "M";
    content.scanInfo.Pat.PatBirthDate = CDateTime(1970, 3, 9);
    content.scanInfo.Stu.StuDesc = "CHEST PA";
    content.scanInfo.Ser.BodyPart = "CHEST";
    content.scanInfo.Img.InstitutionName = "North & South Clinic";
    content.doctor = "Dr. Lee";
    content.texts = {lines(30, "f"), {}, "one & only"};
  }
  QString text(const char* value, int page = 0) const {
    return ReportItemText(QString::fromUtf8(value), content, ReportPageParts::Split(content.texts),
                          page);
  }

  ReportContent content;
};

TEST_F(ReportItems, FieldsPrintTheRecordsAndLiteralsThemselves) {
  const struct {
    const char* value;
    const char* text;
  } cases[] = {{"Patient ID", "P-7"},
               {"Patient Name", "Kim^Minjun 김민준"},
               {"DOB", "1970-03-09"},
               {"Sex", "M"},
               {"Study", "Study:CHEST PA"},
               {"Hospital", "North  South Clinic"},
               {"Doctor", "Dr. Lee"},
               {"Page", "Page : 1 / 2"},
               {"Clinic", "Clinic"},
               {"print from toraScan", "print from toraScan"},
               {"R&D", "RD"},
               {"", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(text(c.value), QString::fromUtf8(c.text)) << c.value;
  }
  EXPECT_EQ(text("Page", 1), "Page : 2 / 2");
}

TEST_F(ReportItems, StudyFallsBackToTheBodyPartAndAMissingBirthDatePrintsNothing) {
  content.scanInfo.Stu.StuDesc.clear();
  EXPECT_EQ(text("Study"), "Study:CHEST");
  // Null, and the zero value a file without a birth date leaves.
  for (const CDateTime& missing : {CDateTime::null(), CDateTime::zero()}) {
    content.scanInfo.Pat.PatBirthDate = missing;
    EXPECT_EQ(text("DOB"), "") << missing.toString().toStdString();
  }
  content.scanInfo.Ser.BodyPart.clear();
  EXPECT_EQ(text("Study"), "Study:");
}

TEST_F(ReportItems, SectionsPrintTheirHeadingAndThisPagesPart) {
  EXPECT_EQ(text("[Finding]"), "[Finding]\r\n" + lines(29, "f"));
  EXPECT_EQ(text("[Finding]", 1), "[Finding]\r\nf 30\r\n");
  EXPECT_EQ(text("[Conclusion]"), "") << "no part, no heading";
  EXPECT_EQ(text("[Recommend]", 0), "");
  EXPECT_EQ(text("[Recommend]", 1), "[Recommend]\r\none  only");
}

}  // namespace

// The report texts split into pages of 29 lines, and what each page's items print.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "PdfTools.h"
#include "reports/ReportPrint.h"

namespace {

// n lines "<prefix> 1" ... each ending in CR LF.
QString lines(int n, const QString& prefix = QStringLiteral("line")) {
  QString text;
  for (int i = 1; i <= n; ++i) text += QStringLiteral("%1 %2\r\n").arg(prefix).arg(i);
  return text;
}

int lineCount(const QString& part) { return int(part.count(QLatin1Char('\n'))); }

// Wraps a typed line every width characters, as a fixed-pitch font in a column that wide would.
ReportPageParts::LineBreaker wrapEvery(qsizetype width) {
  return [width](ReportPageParts::Text, QStringView line) {
    QList<qsizetype> lengths;
    for (qsizetype from = 0; from < line.size(); from += width) {
      lengths.append(qMin(width, line.size() - from));
    }
    return lengths.isEmpty() ? QList<qsizetype>{0} : lengths;
  };
}

ReportPageParts split(const ReportTexts& texts, qsizetype width = 40) {
  return ReportPageParts::Split(texts, wrapEvery(width));
}

TEST(ReportPages, FindingSplitsEveryTwentyNineLines) {
  struct Case {
    int lines;
    int pages;
    int onLastPage;
  };
  for (const Case& c : {Case{1, 1, 1}, Case{28, 1, 28}, Case{29, 1, 29}, Case{30, 2, 1},
                        Case{58, 2, 29}, Case{59, 3, 1}, Case{400, 14, 400 - 13 * 29}}) {
    const ReportPageParts parts = split({lines(c.lines), {}, {}});
    EXPECT_EQ(parts.pageCount, c.pages) << c.lines;
    int total = 0;
    for (int page = 0; page < parts.pageCount; ++page) {
      const int onPage = lineCount(parts.part(page, ReportPageParts::Finding));
      EXPECT_EQ(onPage, page + 1 < parts.pageCount ? 29 : c.onLastPage) << c.lines << "/" << page;
      total += onPage;
    }
    EXPECT_EQ(total, c.lines) << "no line lost or doubled";
    EXPECT_TRUE(parts.part(parts.pageCount, ReportPageParts::Finding).isEmpty());
  }
}

TEST(ReportPages, EmptyTextsGiveNoPage) { EXPECT_EQ(split({}).pageCount, 0); }

TEST(ReportPages, LineCountRunsOnFromTextToText) {
  // Finding 10, Conclusion 25: page 1 holds the 10 and 19 lines, page 2 the other 6.
  const ReportPageParts parts = split({lines(10, "f"), lines(25, "c"), {}});
  ASSERT_EQ(parts.pageCount, 2);
  EXPECT_EQ(parts.part(0, ReportPageParts::Finding), lines(10, "f"));
  EXPECT_EQ(lineCount(parts.part(0, ReportPageParts::Conclusion)), 19);
  EXPECT_TRUE(parts.part(1, ReportPageParts::Finding).isEmpty());
  EXPECT_TRUE(parts.part(1, ReportPageParts::Conclusion).startsWith("c 20\r\n"));
  EXPECT_EQ(lineCount(parts.part(1, ReportPageParts::Conclusion)), 6);
  EXPECT_TRUE(parts.part(1, ReportPageParts::Recommend).isEmpty());
}

TEST(ReportPages, LinesAreCountedAsPrintedAfterWrapping) {
  struct Case {
    ReportTexts texts;
    int pages;
  };
  const QString longLine(5000, QLatin1Char('x'));
  const QString paragraph(700, QLatin1Char('p'));
  const Case cases[] = {
      // 100 printed lines each at 50 characters a line.
      {{longLine, longLine, longLine}, 11},
      // Ten paragraphs of 14 printed lines each, then 30 short lines.
      {{(paragraph + "\r\n").repeated(10), lines(30), {}}, 6},
      // A last line without a break counts; the 29th closes the page.
      {{lines(28) + "last", {}, {}}, 1},
      {{lines(29) + "last", {}, {}}, 2},
      // Line feeds alone end lines too, and an empty line takes its line on paper.
      {{QString("a\n").repeated(30), {}, {}}, 2},
      {{QString("\r\n").repeated(30), {}, {}}, 2},
      {{lines(29), lines(29), lines(1)}, 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(split(c.texts, 50).pageCount, c.pages) << c.texts.finding.left(20).toStdString();
  }
}

TEST(ReportPages, APageBreakInsideATypedLineFallsBetweenItsPrintedLines) {
  // 25 short lines, then 100 characters wrapped into ten lines of 10: page 1 ends after four.
  const QString wrapped = QStringLiteral("0123456789").repeated(10);
  const ReportPageParts parts = split({lines(25) + wrapped + "\r\n", "after", {}}, 10);
  ASSERT_EQ(parts.pageCount, 2);
  EXPECT_EQ(parts.part(0, ReportPageParts::Finding), lines(25) + wrapped.left(40));
  EXPECT_EQ(parts.part(1, ReportPageParts::Finding), wrapped.mid(40) + "\r\n");
  EXPECT_TRUE(parts.part(0, ReportPageParts::Conclusion).isEmpty());
  EXPECT_EQ(parts.part(1, ReportPageParts::Conclusion), "after");
}

TEST(ReportPages, EveryCharacterLandsOnExactlyOnePage) {
  const ReportTexts texts{lines(20) + QString(333, QLatin1Char('f')) + "\r\n\r\nend",
                          QString("c\n").repeated(7) + QString(90, QLatin1Char('c')),
                          QString(61, QLatin1Char('r')) + "\n"};
  for (const qsizetype width : {1, 3, 7, 10, 29, 64, 400}) {
    const ReportPageParts parts = split(texts, width);
    ReportTexts joined;
    for (int page = 0; page < parts.pageCount; ++page) {
      joined.finding += parts.part(page, ReportPageParts::Finding);
      joined.conclusion += parts.part(page, ReportPageParts::Conclusion);
      joined.recommend += parts.part(page, ReportPageParts::Recommend);
    }
    EXPECT_EQ(joined, texts) << "width " << width;
    // Pages are full but for the last.
    int printed = 0;
    for (const QString* text : {&texts.finding, &texts.conclusion, &texts.recommend}) {
      for (QString line : text->split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        printed += int(qMax<qsizetype>(1, (line.size() + width - 1) / width));
      }
      if (text->endsWith('\n')) --printed;  // a final break opens no line
    }
    EXPECT_EQ(parts.pageCount, (printed + 28) / 29) << "width " << width;
  }
}

TEST(ReportPages, LargeFontsPutFewerLinesOnAPageRatherThanRunOverThePageNumber) {
  QTemporaryDir dir;
  const QString pdf = dir.filePath("large.pdf");
  ReportContent content;
  content.texts = {lines(40, "finding"), lines(5, "conclusion"), "recommend"};
  content.doctor = "Dr. Lee";
  content.scanInfo.Img.InstitutionName = "General Hospital";
  // A small font over twice the usual height.
  const int pages = SaveReportPdf(pdf, content, {200, 120, 200}, nullptr);
  const QList<int> printed = testsupport::ReportTextLines(pdf);
  EXPECT_EQ(pages, printed.size());
  EXPECT_GT(pages, 2);
  int total = 0;
  for (const int n : printed) total += n;
  EXPECT_EQ(total, 46);
  for (const char* last : {"finding 40", "conclusion 5", "recommend", "General Hospital"}) {
    EXPECT_TRUE(testsupport::PdfText(pdf).contains(last)) << last;
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
    return ReportItemText(QString::fromUtf8(value), content, split(content.texts), page);
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
               {"Hospital", "North & South Clinic"},
               {"Doctor", "Dr. Lee"},
               {"Page", "Page : 1 / 2"},
               {"Clinic", "Clinic"},
               {"print from toraScan", "print from toraScan"},
               {"R&D", "R&D"},
               {"&&Esc&", "&&Esc&"},
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
  EXPECT_EQ(text("[Recommend]", 1), "[Recommend]\r\none & only");
}

}  // namespace

// torascan-cli report-pdf: a stored report as its printed pages in a PDF file.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include "PdfTools.h"
#include "ReportTestSupport.h"
#include "app/IniFile.h"
#include "reports/ReportPrint.h"
#include "reports/ReportStore.h"
#include "support/DicomBuilder.h"

namespace {

class ReportPdfCliTest : public testsupport::ReportDatabaseTest {
 protected:
  // Runs the tool; its exit status, with what it printed in output.
  int run(const QStringList& args, QString* output = nullptr) {
    QProcess process;
    process.start(QStringLiteral(TORASCAN_CLI), QStringList{"report-pdf"} + args);
    if (!process.waitForFinished(120000)) return -1;
    if (output) {
      *output = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    }
    return process.exitCode();
  }
};

TEST_F(ReportPdfCliTest, ALongReportWithNamesInOtherScriptsPrintsEveryLine) {
  // The hospital comes from the image the report names.
  const QString image = dir.filePath("chest.dcm");
  testsupport::DicomBuilder builder;
  builder.set(DCM_InstitutionName, "Ærøskøbing Hospital");
  ASSERT_TRUE(builder.save(image));
  ASSERT_TRUE(CIniFile(dir.filePath("Pelmora.ini")).WriteString("User", "Name", "Dr. Müller"));
  QString finding;
  for (int i = 1; i <= 400; ++i) finding += QStringLiteral("finding %1 of 400\r\n").arg(i);
  const ReportHeader header{"P-9", "Ærø^Zoë", "F", "1984-07-08", "CHEST", "2024-01-02"};
  ASSERT_EQ(ReportStore(query).Save("1.2.3.9", image, header, {finding, "Çà et là", ""}), "");
  query.Disconnect();

  const QString pdf = dir.filePath("out.pdf");
  QString output;
  ASSERT_EQ(run({"--db", databasePath(), "--uid", "1.2.3.9", "--out", pdf}, &output), 0)
      << output.toStdString();
  EXPECT_TRUE(output.contains("\"pages\": 14")) << output.toStdString();
  // 400 finding lines and the conclusion line: 401 lines, 13 full pages and 24 lines.
  ASSERT_EQ(testsupport::PdfPages(pdf), 14);
  const QString first = testsupport::PdfText(pdf, 1);
  for (const char* expected : {"Ærø^Zoë", "1984-07-08", "Study:CHEST", "Page : 1 / 14",
                               "finding 1 of 400", "finding 29 of 400", "Dr. Müller",
                               "Ærøskøbing Hospital", "print from toraScan", "Clinic"}) {
    EXPECT_TRUE(first.contains(QString::fromUtf8(expected))) << expected;
  }
  EXPECT_FALSE(first.contains("finding 30 of 400"));
  EXPECT_FALSE(first.contains("[Conclusion]")) << "no part of it on page 1";
  const QString last = testsupport::PdfText(pdf, 14);
  EXPECT_TRUE(last.contains("finding 400 of 400"));
  EXPECT_TRUE(last.contains("[Conclusion]"));
  EXPECT_TRUE(last.contains("Çà et là"));
  EXPECT_TRUE(last.contains("Page : 14 / 14"));
  // Every line once, in order.
  const QString all = testsupport::PdfText(pdf);
  qsizetype at = 0;
  for (int i = 1; i <= 400; ++i) {
    const qsizetype found = all.indexOf(QStringLiteral("finding %1 of 400").arg(i), at);
    ASSERT_GE(found, at) << "line " << i;
    at = found;
  }
}

// Typed paragraphs never broken by a line feed wrap into many printed lines: the pages hold 29
// of those each, every character is printed once in order, and nothing runs over the page
// number, off the sheet or past the right edge (a word wider than the line breaks inside).
TEST_F(ReportPdfCliTest, LongParagraphsGetThePagesTheyNeedAndKeepEveryCharacter) {
  QString finding;
  for (int p = 0; p < 10; ++p) {
    // Fixed-width words, so no word is a prefix of a later one.
    QString paragraph = p == 0   ? QStringLiteral("0123456789").repeated(20) + "abcde "
                        : p == 3 ? QStringLiteral("R&D & co ")
                                 : QString();
    for (int w = 0; paragraph.size() < 700; ++w) {
      paragraph += QStringLiteral("p%1w%2 ").arg(p).arg(w, 3, 10, QLatin1Char('0'));
    }
    finding += paragraph.left(700) + "\r\n";
  }
  QString conclusion;
  for (int i = 1; i <= 30; ++i)
    conclusion += QStringLiteral("conclusion c%1\r\n").arg(i, 2, 10, QLatin1Char('0'));
  const ReportTexts texts{finding, conclusion, "follow-up & review"};
  ASSERT_EQ(ReportStore(query).Save(
                "1.2.3.10", "", {"P-1", "Kim", "M", "1970-01-01", "CHEST", "2024-01-02"}, texts),
            "");
  query.Disconnect();

  const QString pdf = dir.filePath("long.pdf");
  QString output;
  ASSERT_EQ(run({"--db", databasePath(), "--uid", "1.2.3.10", "--out", pdf}, &output), 0)
      << output.toStdString();
  const QList<int> lines = testsupport::ReportTextLines(pdf);
  const int n = int(lines.size());
  EXPECT_GE(n, 3) << "ten paragraphs of 700 characters alone are over 60 printed lines";
  EXPECT_TRUE(output.contains(QStringLiteral("\"pages\": %1").arg(n))) << output.toStdString();
  for (int p = 0; p < n; ++p) {
    EXPECT_TRUE(testsupport::PdfText(pdf, p + 1)
                    .contains(QStringLiteral("Page : %1 / %2").arg(p + 1).arg(n)))
        << "page " << p + 1;
    if (p + 1 < n) {
      EXPECT_EQ(lines[p], ReportPageParts::kLinesPerPage) << "page " << p + 1;
    } else {
      EXPECT_GE(lines[p], 1);
      EXPECT_LE(lines[p], ReportPageParts::kLinesPerPage);
    }
  }

  // Every word typed, in order, whole (a word broken over lines joins up without the breaks).
  QString printed = testsupport::PdfText(pdf, 0, true);
  printed.remove(QRegularExpression(QStringLiteral("\\s")));
  qsizetype at = 0;
  for (const QString& word : (finding + conclusion + texts.recommend)
                                 .split(QRegularExpression("\\s+"), Qt::SkipEmptyParts)) {
    const qsizetype found = printed.indexOf(word, at);
    ASSERT_GE(found, at) << word.toStdString();
    at = found + word.size();
  }
}

TEST_F(ReportPdfCliTest, UnknownReportsMissingDatabasesAndWrongCommandLinesFail) {
  ASSERT_EQ(ReportStore(query).Save("1", "", {}, {"x", "", ""}), "");
  const QString pdf = dir.filePath("out.pdf");
  QString output;
  EXPECT_EQ(run({"--db", databasePath(), "--uid", "2", "--out", pdf}, &output), 1);
  EXPECT_TRUE(output.contains("no report for 2")) << output.toStdString();
  EXPECT_EQ(run({"--db", dir.filePath("none.db"), "--uid", "1", "--out", pdf}), 1);
  EXPECT_FALSE(QFile::exists(dir.filePath("none.db"))) << "reading creates no database";
  EXPECT_EQ(run({"--db", databasePath(), "--uid", "1"}), 2);
  EXPECT_FALSE(QFile::exists(pdf));
}

}  // namespace

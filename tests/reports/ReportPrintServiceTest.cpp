// Print in the report editor, through the system's printing service to its default printer.
// Runs only against the tests' own service (scripts/print-service.sh, started by
// scripts/test.sh): CUPS_SERVER names its socket and TORASCAN_TEST_PRINT_OUT the folder its PDF
// queue writes to. Without them it is skipped, so no test ever prints on a real printer.
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include "PdfTools.h"
#include "ReportTestSupport.h"
#include "db/ValueRecords.h"
#include "reports/widgets/DlgtoraScan.h"

namespace {

using ReportPrintServiceTest = testsupport::ReportDatabaseTest;

QStringList printedFiles(const QString& folder) {
  return QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
}

TEST_F(ReportPrintServiceTest, PrintPutsATwoPageReportOnTheDefaultPrinter) {
  const QString out = qEnvironmentVariable("TORASCAN_TEST_PRINT_OUT");
  if (out.isEmpty() || qEnvironmentVariableIsEmpty("CUPS_SERVER")) {
    GTEST_SKIP() << "no private print service (scripts/test.sh starts one)";
  }
  const QStringList before = printedFiles(out);
  CDScanInfo info;
  info.Pat.PatID = "PRINT-1";
  info.Pat.PatName = "Printed^Patient";
  info.Stu.Spare = "1.2.3.77";
  CDlgtoraScan editor(nullptr, "/images/p.dcm", info, query);
  QString finding;
  for (int i = 1; i <= 40; ++i) finding += QStringLiteral("printed finding %1\n").arg(i);
  editor.findChild<QPlainTextEdit*>(QStringLiteral("ctl%1").arg(CDlgtoraScan::kFindingEdit))
      ->setPlainText(finding);
  editor.findChild<QPushButton*>(QStringLiteral("ctl%1").arg(CDlgtoraScan::kPrintButton))->click();
  EXPECT_TRUE(sink.isEmpty()) << sink.texts().join('\n').toStdString();

  // The queue writes the job's PDF when the service has run it; a file is complete once the
  // PDF tools read it.
  QString printed;
  QElapsedTimer waited;
  waited.start();
  while (printed.isEmpty() && waited.elapsed() < 120000) {
    for (const QString& name : printedFiles(out)) {
      if (before.contains(name)) continue;
      const QString path = QDir(out).filePath(name);
      QProcess info;
      info.start(QStringLiteral("pdfinfo"), {path});
      if (info.waitForFinished() && info.exitCode() == 0) printed = path;
    }
    if (printed.isEmpty()) QTest::qWait(200);
  }
  ASSERT_FALSE(printed.isEmpty()) << "nothing printed into " << out.toStdString();
  EXPECT_EQ(testsupport::PdfPages(printed), 2);
  const QString first = testsupport::PdfText(printed, 1);
  const QString second = testsupport::PdfText(printed, 2);
  EXPECT_TRUE(first.contains("printed finding 1")) << first.toStdString();
  EXPECT_TRUE(first.contains("printed finding 29"));
  EXPECT_TRUE(first.contains("Printed^Patient"));
  EXPECT_TRUE(first.contains("Page : 1 / 2"));
  EXPECT_TRUE(second.contains("printed finding 40")) << second.toStdString();
  EXPECT_FALSE(second.contains("printed finding 29"));
  EXPECT_TRUE(second.contains("Page : 2 / 2"));
}

}  // namespace

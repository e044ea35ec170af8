#include "reports/widgets/DlgPrtRpt.h"

#include <QPrinter>
#include <QPrinterInfo>

#include "app/IniFile.h"
#include "app/LanguageTable.h"
#include "ui/MessageSink.h"

CDlgPrtRpt::CDlgPrtRpt(const ReportContent& content)
    : printerName(QPrinterInfo::defaultPrinterName()), m_content(content) {}

int CDlgPrtRpt::DoModal() {
  if (printerName.isEmpty()) {
    ShowMessage(GetLabel(kNoPrinterLabel), QStringLiteral("Report"), MB_OK);
    return 0;
  }
  QPrinter printer(QPrinterInfo::printerInfo(printerName), QPrinter::HighResolution);
  printer.setResolution(kReportDpi);
  printer.setDocName(QLatin1String(kReportJobName));
  return PrintReport(printer, m_content, ReportFonts::Read(theIniFile()));
}

#pragma once

#include <QString>

#include "reports/ReportPrint.h"

// Prints a report on the default printer of the system's printing service, without a print
// dialog: every page in one job named "Print Exam".
class CDlgPrtRpt {
 public:
  static constexpr int kNoPrinterLabel = 205;

  // Reads the default printer's name.
  explicit CDlgPrtRpt(const ReportContent& content);

  // Prints, with the fonts of [PRTRPT]. Without a default printer label kNoPrinterLabel ("The
  // printer is not set up.", in the label table's language) is shown and nothing printed.
  // Returns the pages printed (0 for a report without text, -1 when the printer cannot be
  // opened).
  int DoModal();

  QString printerName;  // empty: no default printer

 private:
  ReportContent m_content;
};

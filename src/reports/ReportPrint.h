#pragma once

#include <QList>
#include <QString>
#include <array>
#include <functional>

#include "db/ValueRecords.h"
#include "reports/ReportLayout.h"
#include "reports/ReportStore.h"

class CIniFile;
class QPagedPaintDevice;

// The report texts split into pages of 29 printed lines: a typed line takes as many as it wraps
// into at its item's width. The line count runs on from Finding to Conclusion to Recommend. A
// report of any length gets as many pages as it needs.
struct ReportPageParts {
  static constexpr int kLinesPerPage = 29;
  enum Text { Finding, Conclusion, Recommend };

  // The printed lines of one typed line of a text (without its line break): the number of
  // characters of each, in order, adding up to the typed line's length; one line of no
  // characters for an empty typed line.
  using LineBreaker = std::function<QList<qsizetype>(Text text, QStringView typedLine)>;

  int pageCount = 0;
  // parts[page][text]
  QList<std::array<QString, 3>> parts;

  // A page break may fall inside a typed line, between two of its printed lines. Printing asks
  // for fewer lines a page where large report fonts leave no room for 29.
  static ReportPageParts Split(const ReportTexts& texts, const LineBreaker& breaker,
                               int linesPerPage = kLinesPerPage);
  // The part of a text on a page (from 0); empty when the page holds none of it.
  QString part(int page, Text text) const;
};

// What a printed report shows.
struct ReportContent {
  ReportTexts texts;
  CDScanInfo scanInfo;
  QString doctor;  // the user who last logged in
};

// Heights of the small, middle and large report fonts in pixels at kReportDpi.
struct ReportFonts {
  int small = 90;
  int middle = 120;
  int large = 200;

  // [PRTRPT] Small, Middle and Large of a settings file.
  static ReportFonts Read(const CIniFile& ini);
};

// The user who last logged in ([User] Name of the settings file), who signs the report.
QString ReportDoctor(const CIniFile& ini);

// Reports print at 600 dots per inch, the resolution the font heights are given in.
inline constexpr int kReportDpi = 600;
// The name of the print job and the title of a report's PDF file.
inline constexpr const char* kReportJobName = "Print Exam";

// What an item whose descriptor value is value prints on page (from 0) of pageCount, every
// character as typed.
QString ReportItemText(const QString& value, const ReportContent& content,
                       const ReportPageParts& parts, int page);

// Prints every page of the report on device (a printer or a PDF writer). Returns the number of
// pages printed: 0 when all three texts are empty (nothing is printed), -1 when the device
// cannot be printed on.
int PrintReport(QPagedPaintDevice& device, const ReportContent& content, const ReportFonts& fonts,
                const ReportLayout& layout = ReportLayout::Standard());

// The same pages as a PDF file at path. Returns the page count, or 0 or -1 as PrintReport with
// the reason in error (no file is written then).
int SaveReportPdf(const QString& path, const ReportContent& content, const ReportFonts& fonts,
                  QString* error);

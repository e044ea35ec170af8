#pragma once

// Reads a PDF file back with poppler's pdfinfo and pdftotext (poppler-utils, installed by
// scripts/setup.sh).

#include <gtest/gtest.h>

#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <string>

namespace testsupport {

inline QString runPoppler(const QString& tool, const QStringList& args) {
  if (QStandardPaths::findExecutable(tool).isEmpty()) {
    ADD_FAILURE() << tool.toStdString() << " is missing: run scripts/setup.sh (poppler-utils)";
    return {};
  }
  QProcess process;
  process.start(tool, args);
  if (!process.waitForFinished(60000) || process.exitCode() != 0) {
    ADD_FAILURE() << tool.toStdString() << " failed: " << process.readAllStandardError().data();
    return {};
  }
  return QString::fromUtf8(process.readAllStandardOutput());
}

// The page count pdfinfo reports; -1 when it cannot tell.
inline int PdfPages(const QString& path) {
  const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                                            .match(runPoppler(QStringLiteral("pdfinfo"), {path}));
  return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// The text of one page (from 1), or of every page when page is 0; raw: in the order it was
// drawn rather than as it reads on the page.
inline QString PdfText(const QString& path, int page = 0, bool raw = false) {
  QStringList args;
  if (raw) args << QStringLiteral("-raw");
  if (page > 0) args << "-f" << QString::number(page) << "-l" << QString::number(page);
  return runPoppler(QStringLiteral("pdftotext"), args << path << QStringLiteral("-"));
}

// A word pdftotext found, with its box in points from the page's top left corner.
struct PdfWord {
  QString text;
  QRectF box;
};

struct PdfPage {
  QSizeF size;  // points
  QList<PdfWord> words;
};

// Every page with the words on it and where they are (pdftotext -bbox).
inline QList<PdfPage> PdfLayout(const QString& path) {
  static const QRegularExpression pageTag(
      QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">"));
  static const QRegularExpression wordTag(
      QStringLiteral("<word xMin=\"([\\d.-]+)\" yMin=\"([\\d.-]+)\" xMax=\"([\\d.-]+)\" "
                     "yMax=\"([\\d.-]+)\">(.*)</word>"));
  QList<PdfPage> pages;
  const QString html =
      runPoppler(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
  for (const QString& line : html.split(QLatin1Char('\n'))) {
    if (const QRegularExpressionMatch page = pageTag.match(line); page.hasMatch()) {
      pages.append({QSizeF(page.captured(1).toDouble(), page.captured(2).toDouble()), {}});
    } else if (const QRegularExpressionMatch word = wordTag.match(line);
               word.hasMatch() && !pages.isEmpty()) {
      QString text = word.captured(5);
      text.replace(QLatin1String("&lt;"), QLatin1String("<"))
          .replace(QLatin1String("&gt;"), QLatin1String(">"))
          .replace(QLatin1String("&quot;"), QLatin1String("\""))
          .replace(QLatin1String("&apos;"), QLatin1String("'"))
          .replace(QLatin1String("&amp;"), QLatin1String("&"));
      const QPointF from(word.captured(1).toDouble(), word.captured(2).toDouble());
      const QPointF to(word.captured(3).toDouble(), word.captured(4).toDouble());
      pages.last().words.append({text, QRectF(from, to)});
    }
  }
  return pages;
}

// The printed lines of the report texts on each page of a report's PDF file: the lines that
// start at the headings' left edge below the page's first heading. On the way it checks that
// every word lies inside the printable area (margins of 18 points) and that those lines end
// above the page number.
inline QList<int> ReportTextLines(const QString& pdf) {
  const QStringList headings{"[Finding]", "[Conclusion]", "[Recommend]"};
  static const QRegularExpression pageNumber(QStringLiteral("^([0-9]{1,4}|/|:)$"));
  const QList<PdfPage> pages = PdfLayout(pdf);
  QList<int> counts;
  for (qsizetype p = 0; p < pages.size(); ++p) {
    const PdfPage& page = pages[p];
    const std::string where = " on page " + std::to_string(p + 1);
    const PdfWord* footer = nullptr;
    const PdfWord* heading = nullptr;
    for (const PdfWord& word : page.words) {
      EXPECT_GE(word.box.left(), 17.0) << word.text.toStdString() << where;
      EXPECT_LE(word.box.right(), page.size.width() - 17.0) << word.text.toStdString() << where;
      EXPECT_LE(word.box.bottom(), page.size.height() - 17.0) << word.text.toStdString() << where;
      if (word.text == "Page") footer = &word;
      if (!heading && headings.contains(word.text)) heading = &word;
    }
    if (!footer || !heading) {
      ADD_FAILURE() << "no page number or heading" << where;
      counts.append(0);
      continue;
    }
    QSet<int> lines;
    for (const PdfWord& word : page.words) {
      // The page number may wrap in its narrow item: its "p / N" is none of the report's lines.
      if (&word == footer || pageNumber.match(word.text).hasMatch() ||
          headings.contains(word.text) || word.box.top() <= heading->box.top() ||
          qAbs(word.box.left() - heading->box.left()) > 0.5) {
        continue;
      }
      EXPECT_LE(word.box.bottom(), footer->box.top()) << word.text.toStdString() << where;
      lines.insert(qRound(word.box.top()));
    }
    counts.append(int(lines.size()));
  }
  return counts;
}

}  // namespace testsupport

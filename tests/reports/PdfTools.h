#pragma once

// Reads a PDF file back with poppler's pdfinfo and pdftotext (poppler-utils, installed by
// scripts/setup.sh).

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

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

// The text of one page (from 1), or of every page when page is 0.
inline QString PdfText(const QString& path, int page = 0) {
  QStringList args;
  if (page > 0) args << "-f" << QString::number(page) << "-l" << QString::number(page);
  return runPoppler(QStringLiteral("pdftotext"), args << path << QStringLiteral("-"));
}

}  // namespace testsupport

#pragma once

#include <array>

#include "reports/ReportStore.h"

class QFont;
class QPlainTextEdit;
class QWidget;

// The Finding, Conclusion and Recommend fields of the report editor and of the template editor:
// multi-line, Enter starts a new line, Tab moves on; read and shown in the stored line breaks.
class ReportTextEdits {
 public:
  // Makes the three edits "ctl<id>", each 480 x 78 pixels at x 40 and its top.
  void create(QWidget* parent, const std::array<int, 3>& ids, const std::array<int, 3>& tops,
              const QFont& font);

  ReportTexts texts() const;
  void show(const ReportTexts& texts);

 private:
  std::array<QPlainTextEdit*, 3> m_edits{};
};

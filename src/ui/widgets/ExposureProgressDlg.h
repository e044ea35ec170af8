#pragma once

#include <QString>

#include "ui/widgets/BaseSkinDlg.h"

class QProgressBar;

// The modeless progress window of the long batches (loading, exporting, printing, importing a
// series): a bar and the percentage in the caption. The batch runs on the user-interface thread
// and calls PumpMessages between two steps so that the program keeps painting.
class CExposureProgressDlg : public CBaseSkinDlg {
  Q_OBJECT

 public:
  explicit CExposureProgressDlg(QWidget* parent = nullptr);

  // Makes the window (hidden) with the bold caption font; the other calls need it.
  bool Create(QWidget* parent = nullptr);
  // Takes the window away; later position changes only keep their value.
  void DestroyWindow();
  // While set, a position change shows the window when it is hidden. Setting it centres the
  // window over the main window's view when there is one.
  void SetAutoShow(bool autoShow);
  // The caption text without the percentage; the caption itself changes with the percentage.
  void SetText(const QString& text);
  void SetRange(int lower, int upper, int step);
  // The previous position. The caption becomes "<text> [p%]" when the percentage
  // position x 100 / (upper - lower) changes (0 for an empty range).
  int SetPos(int position);
  int StepIt();
  // Lets the window system handle what is waiting (paints, clicks, keys), then returns. An
  // Escape typed meanwhile into any window of the program closes this window; the batch goes
  // on, and its next position change shows the window again.
  void PumpMessages();

  // A batch as every caller runs it: Create, SetAutoShow(true), SetText, show, the range 0 to
  // upper by 1 and a first StepIt; then StepBatch after each item; EndBatch sets the position to
  // upper. Each lets the window system run.
  void StartBatch(const QString& text, int upper);
  void StepBatch();
  void EndBatch();

  int position() const { return m_position; }

 private:
  QString m_baseText;
  bool m_created = false;
  bool m_autoShow = true;
  int m_lower = 0;
  int m_upper = 100;
  int m_step = 1;
  int m_position = 0;
  int m_shownPercent = 0;
  QProgressBar* m_bar = nullptr;
};

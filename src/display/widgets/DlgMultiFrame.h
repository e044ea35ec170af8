#pragma once

#include <QFrame>
#include <QMap>

class CImgDisp;
class CtoraScanView;
class QToolButton;

// The cine bar over the lower edge of a pane showing a multi-frame image: play, pause, stop,
// previous, next, slower, the current speed and faster. A bar acts only for the active pane, so
// a click on the bar of another pane first makes that pane active (through the view).
class CDlgMultiFrame : public QFrame {
  Q_OBJECT

 public:
  // Command ids of the buttons, left to right.
  static constexpr int kPlay = 2571;
  static constexpr int kPause = 2572;
  static constexpr int kStop = 2573;
  static constexpr int kPrev = 2524;
  static constexpr int kNext = 2574;
  static constexpr int kSlow = 2379;
  static constexpr int kSpeed = 2504;  // shows the speed; no command
  static constexpr int kFast = 2575;
  static constexpr int kButtonWidth = 30;
  static constexpr int kButtonHeight = 24;
  static constexpr int kButtonCount = 8;

  // A child of pane; view (may be null) tells which pane is active.
  CDlgMultiFrame(CImgDisp* pane, CtoraScanView* view);

  // Runs a button's command; false when ignored (the pane is not the active one, or the id is
  // no command).
  bool OnCommand(int id);
  int speedIndex() const { return m_speedIndex; }
  void SetSpeedIndex(int index);
  QToolButton* button(int id) const { return m_buttons.value(id); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  bool paneIsActive() const;
  // Lets the view activate the pane under a left-button press before the bar acts on it.
  void reportPress(const QPointF& globalPosition);
  // The play and pause buttons keep the look of the last command, whatever a click toggled.
  void showPlayState(bool playing, bool paused);

  CImgDisp* m_pane;
  CtoraScanView* m_view;
  int m_speedIndex;
  bool m_playShown = false;
  bool m_pauseShown = false;
  QMap<int, QToolButton*> m_buttons;
};

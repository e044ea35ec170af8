#pragma once

#include <QMargins>
#include <QObject>
#include <optional>

class QWidget;

// Keeps a top-level window, its window manager's frame included, inside the available area of
// its screen: a window asked for at the screen's size would otherwise reach below the screen by
// its title bar. The window is fitted when shown and whenever the frame around it becomes known
// or changes; an operator who makes it larger afterwards keeps it so.
class CScreenFit : public QObject {
 public:
  // Watches window (a top-level widget), which owns the watcher.
  explicit CScreenFit(QWidget* window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fit();

  QWidget* m_window;
  // The frame margins the window was last fitted with; none yet.
  std::optional<QMargins> m_fittedFrame;
};

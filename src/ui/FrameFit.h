#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where the main window stands and how large its client area is once the window manager's
// frame is counted: the frame (title bar and borders included) lies wholly inside the
// available area of the screen, so the bottom rows of the view are never off screen.
struct FrameFit {
  QPoint framePosition;
  QSize clientSize;
};

// The client size asked for (the settings' width and height) with the frame at position,
// shrunk where the frame would be larger than the available area and moved in where it would
// stick out of it.
FrameFit FitFrameInto(const QPoint& framePosition, const QSize& clientSize, const QMargins& frame,
                      const QRect& available);

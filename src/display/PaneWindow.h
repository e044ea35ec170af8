#pragma once

#include <QPoint>
#include <QRect>

// Mouse-key flags of a mouse event, as the filters and the annotation managers receive them.
enum MouseKeyFlags : unsigned {
  MK_LBUTTON = 0x0001,
  MK_RBUTTON = 0x0002,
  MK_SHIFT = 0x0004,
  MK_CONTROL = 0x0008,
};

// Virtual-key codes the annotation managers react to.
constexpr int VK_DELETE = 0x2E;

// What the interaction filters and the annotation managers need of the display pane whose
// events they handle. Coordinates are the pane's client pixels. Nothing is drawn through this
// interface: a drag changes state and asks for a repaint, and the pane's paint draws that state.
class CPaneWindow {
 public:
  virtual ~CPaneWindow() = default;

  virtual QRect clientRect() const = 0;
  // The whole pane is painted again (image, annotations, overlay, rulers, frame).
  virtual void invalidate() = 0;
  // Only this part of the pane is painted again.
  virtual void invalidateRect(const QRect& rect) = 0;
  // Mouse capture: the pane keeps receiving the drag's events outside its area.
  virtual void beginCapture() = 0;
  virtual void endCapture() = 0;
  virtual QPoint cursorPos() const = 0;
  virtual void setCursorPos(const QPoint& point) = 0;
};

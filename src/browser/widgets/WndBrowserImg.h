#pragma once

// CWndBrowserImg: one thumbnail window of the strip. It shows its element's picture with the
// series and image numbers, the selection frame, the processing marks and the cine mark. A
// press toggles the element's selection; dragging it sideways takes a half-transparent copy of
// the thumbnail along, and letting go drops the image file on the window under the pointer: a
// display pane opens or shows it, another thumbnail of the strip renumbers.

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <memory>

class CBrwsrImgElement;
class CDlgWndBrowser;
class CImageMoving;

class CWndBrowserImg : public QWidget {
  Q_OBJECT

 public:
  // A press must move this far sideways before it becomes a drag.
  static constexpr int kDragDistance = 20;
  // Where the cine mark is drawn.
  static constexpr QRect kCineMarkRect{0, 0, 30, 24};

  CWndBrowserImg(CDlgWndBrowser* strip, int controlId);
  ~CWndBrowserImg() override;

  // Shows element (null: black) with picture (null: black until SetPicture).
  void SetElement(CBrwsrImgElement* element, const QImage& picture = QImage());
  void SetPicture(const QImage& picture);
  CBrwsrImgElement* Element() const { return m_element; }
  const QImage& Picture() const { return m_picture; }
  bool HasCineMark() const { return !m_cineMark.isNull(); }
  // The half-transparent copy that follows the pointer while a drag lasts; null otherwise.
  CImageMoving* DragWindow() const { return m_dragWindow.get(); }
  // The drop when the operator lets go: the file dropped on the window under globalPoint, by
  // the platform's drag and drop (copy or move), as if dragged there.
  void DropAt(const QPoint& globalPoint);

  // The face of the numbers and marks: 14 pixels high, characters 6 pixels wide on average,
  // heaviest weight, the application face.
  static QFont TextFont();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // The copy of this thumbnail that follows the pointer, over the thumbnail and hidden.
  void startDragWindow();

  CDlgWndBrowser* m_strip;
  CBrwsrImgElement* m_element = nullptr;
  QImage m_picture;
  QImage m_cineMark;
  QString m_dragPath;
  QPoint m_lastPoint;  // global: the press, then where the drag window was last moved
  std::unique_ptr<CImageMoving> m_dragWindow;
};

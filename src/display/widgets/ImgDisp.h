#pragma once

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "display/PaneWindow.h"

class CDlgMultiFrame;
class CAnnoObjectManager;
class CImageEach;
class CPaneHost;
class CtoraScanView;
class QPainter;

// One display pane of the view: shows the open image mapped to its position, fitted into its
// area, routes mouse and key input by interaction mode, accepts dropped image files and plays
// multi-frame images.
//
// The interaction filters (window-level, magnifier, pan, zoom), the annotation containers, the
// overlay text, the rulers and the cine bar are separate pieces; the pane reaches them through
// the protected hooks below.
class CImgDisp : public QWidget, public CPaneWindow {
  Q_OBJECT

 public:
  // Interaction modes (the view passes the menu command ids; "Default" is stored as 0).
  static constexpr int kModeNewPane = 31005;
  static constexpr int kModeDefault = 0;
  static constexpr int kModeMagnify = 32775;
  static constexpr int kModePan = 32776;
  static constexpr int kModeZoom = 32777;
  static constexpr int kModeAngle = 32778;
  static constexpr int kModeLine = 32779;

  // Mouse messages the filters and containers receive.
  static constexpr int kMouseMove = 512;
  static constexpr int kButtonDown = 513;
  static constexpr int kButtonUp = 514;

  // Annotation tools given to a container with a button press.
  static constexpr int kToolNone = 0;
  static constexpr int kToolLine = 1;
  static constexpr int kToolAngle = 2;
  static constexpr int kToolSelect = 5;

  static constexpr int kDefaultCineInterval = 250;  // ms
  static constexpr int kHistogramBins = 65536;

  static const QColor& borderColour();  // (100, 100, 100)
  static const QColor& activeColour();  // (255, 255, 0)

  enum class Filter { WindowLevel, Magnifier, Pan, Zoom };
  // The three annotation containers of an image record.
  enum class Container { First, Second, Third };

  explicit CImgDisp(QWidget* parent = nullptr);
  ~CImgDisp() override;

  // Places the pane at rect inside view with its control id (5001..5007) and its position in
  // the layout (0..3), hidden. Position 0 starts active. False for a missing view or an id or
  // position outside those ranges.
  bool CreatePane(const QRect& rect, CtoraScanView* view, int controlId, int position);
  // Moves the pane to rect (view coordinates) and places the cine bar again.
  void SetPaneRect(const QRect& rect);
  // Refreshes the pane after the view changed what it shows: fits the image, exchanges the
  // window value with the main frame, sets up cine and the histogram. False without an image.
  bool Attach();
  void SetMode(int mode);

  // The image record shown at this pane's position, or null.
  CImageEach* image() const;

  int controlId() const { return m_controlId; }
  int position() const { return m_position; }
  int mode() const { return m_mode; }
  bool isActive() const { return m_active; }
  void setActive(bool active) { m_active = active; }
  bool isDragging() const { return m_dragging; }
  bool isRightWindowing() const { return m_rightWindowing; }
  double pixelSpacingX() const { return m_pixelSpacingX; }  // cm
  double pixelSpacingY() const { return m_pixelSpacingY; }  // cm
  const std::vector<std::uint32_t>& histogram() const { return m_histogram; }

  // Handles a dropped file path: a thumbnail's ".tnb" stands for the ".dcm" beside it. Shows
  // the image when it is open already, else opens it. False (after telling the user) when the
  // file does not exist.
  bool DropFile(const QString& path);

  // Cine (used by the cine bar); each does nothing unless the shown image has 2 or more frames.
  bool cineAvailable() const { return m_cineAvailable; }
  bool cinePlaying() const { return m_cineTimer.isActive(); }
  int cineInterval() const { return m_cineInterval; }
  // The cine bar, created with the first multi-frame image (null before).
  CDlgMultiFrame* cineBar() const { return m_cineBar; }
  void CinePlay();
  void CinePause();
  void CineStop();
  void CinePrev();
  void CineNext();
  // Frames per second; a playing cine restarts from frame 0 at the new speed.
  void CineSetSpeed(double framesPerSecond);

 protected:
  // CPaneWindow, for the filters and the annotation managers.
  QRect clientRect() const override { return rect(); }
  void invalidate() override { update(); }
  void invalidateRect(const QRect& area) override { update(area); }
  void beginCapture() override {}
  void endCapture() override {}
  QPoint cursorPos() const override;
  void setCursorPos(const QPoint& point) override;

  // ---- hooks for the interaction filters and the annotation containers
  // A mouse message (kButtonDown, kMouseMove, kButtonUp) for an interaction filter; flags are
  // the MK_* of the event. A press starts the filter.
  virtual void filterEvent(Filter filter, int message, unsigned flags, const QPoint& point);
  // A mouse message for one annotation container of the shown image; tool is the annotation
  // tool a button press selects (kToolNone: the container keeps its own).
  virtual void annotationMouseEvent(Container container, int message, unsigned flags,
                                    const QPoint& point, int tool);
  // A key for the first container; true when it changed something to repaint.
  virtual bool annotationKeyEvent(int key, unsigned flags);
  // The interaction mode for the first container.
  virtual void annotationSetMode(int mode);
  // The shown image changed (null: none); the containers take its geometry from here.
  virtual void annotationAttach(CImageEach* image);
  // Drawing steps after the image, in this order.
  virtual void paintAnnotations(QPainter& painter, CImageEach& image);
  // The overlay gives the cells of its texts, which the ruler's label keeps clear of.
  virtual std::vector<QRect> paintOverlay(QPainter& painter, CImageEach& image);
  virtual void paintRulers(QPainter& painter, CImageEach& image, const std::vector<QRect>& texts);
  // The cine bar: shown centred near the bottom of the pane while cine is available.
  virtual void updateCineBar(bool visible);

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  CPaneHost* host() const;
  // The container of the shown image with this pane's current geometry, or null.
  CAnnoObjectManager* manager(Container container);
  // The usual picture: image, annotations, overlay, rulers and frames.
  void paintPane(QPainter& painter, CImageEach* shown);
  void paintBorder(QPainter& painter);
  // The yellow frame of the active pane.
  void paintActiveFrame(QPainter& painter);
  // Sets up cine for a newly attached image, or stops it.
  void setUpCine(CImageEach* image);
  // Shows frame index of the image and repaints the image area.
  void showFrame(CImageEach& image, int index);
  void advanceFrame();

  CtoraScanView* m_view = nullptr;
  int m_controlId = 0;
  int m_position = 0;
  bool m_dragging = false;
  bool m_rightWindowing = false;
  bool m_active = false;
  int m_mode = kModeNewPane;
  double m_pixelSpacingX = 0;
  double m_pixelSpacingY = 0;
  std::vector<std::uint32_t> m_histogram;
  int m_cineInterval = kDefaultCineInterval;
  bool m_cineAvailable = false;
  QTimer m_cineTimer;
  // The pane's picture when the running drag began, taken at the drag's first paint.
  QImage m_dragStartPicture;
  // Created with the first multi-frame image, which also gives the interval; afterwards only
  // the bar's speed changes it. A child widget, deleted with the pane.
  CDlgMultiFrame* m_cineBar = nullptr;
  // Where the overlay prints the frame number (null when it does not); repainted at each frame.
  QRect m_frameNumberRect;
};

#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <memory>

#include "image/BaseImage.h"

class CPaneWindow;
class QFontMetrics;
class QPainter;

// An interaction filter turns one mouse drag in a pane into a change of the pane's image. It
// lives from the button press to the release and works on a private copy of the image; only
// Apply, at the release, changes the pane's image. While the drag lasts the pane paints what
// the filter shows (PaintLive) over the picture it had when the drag began.
class CFilter {
 public:
  // Mouse messages of the event functions.
  static constexpr int kMouseMove = 512;
  static constexpr int kButtonDown = 513;
  static constexpr int kButtonUp = 514;

  virtual ~CFilter() = default;
  CFilter(const CFilter&) = delete;
  CFilter& operator=(const CFilter&) = delete;

  // flags: MK_* of the event; x, y: pane client pixels. Each returns 1.
  virtual int OnButtonDown(unsigned flags, int x, int y) = 0;
  virtual int OnButtonUp(unsigned flags, int x, int y) = 0;
  virtual int OnMouseMove(unsigned flags, int x, int y) = 0;
  // Writes the filter's result into the source image.
  virtual void Apply() = 0;

  // Copies the source, pixels and view alike, and windows the copy with the source's pair.
  // False when the copy fails.
  bool Attach(CBaseImage* source);

  // Paints the drag's picture over canvas, the pane's client area as the drag found it: the
  // working copy (zoom and pan: black around it) and the filter's text.
  void PaintLive(QImage& canvas);
  // Whether the drag has drawn anything yet; until then the pane shows its usual picture.
  bool hasDrawn() const { return m_drawn; }

  // 1: windowed by paint intensity and contrast (8-bit grey, colour); 2: by the grey table.
  int mode() const { return m_mode; }
  const CBaseImage& workingCopy() const { return m_work; }
  CPaneWindow* pane() const { return m_pane; }

 protected:
  explicit CFilter(CPaneWindow* pane) : m_pane(pane) {}
  // The filter's text over the painted working copy.
  virtual void paintText(QPainter& painter) const = 0;
  // Zoom and pan move the image, so the drag's picture replaces the whole pane; window and
  // level only repaints the image.
  virtual bool coversPane() const { return true; }

  int m_mode = 1;
  CBaseImage m_work;
  CBaseImage* m_source = nullptr;
  CPaneWindow* m_pane;
  bool m_drawn = false;
};

// The process-wide slot of one filter kind: at most one live instance at a time. Start and
// Event serve zoom and pan; window-level and the glass have their own.
template <class Kind>
class CFilterSlot {
 public:
  static Kind* Live() { return slot().get(); }
  static void Destroy() { slot().reset(); }
  static bool Start(CPaneWindow* pane, CBaseImage* source) { return StartFresh(pane, source); }
  static int Event(int message, unsigned flags, const QPoint& point) {
    return Forward(message, flags, point);
  }

 protected:
  static std::unique_ptr<Kind>& slot() {
    static std::unique_ptr<Kind> live;
    return live;
  }
  // A fresh instance per drag. False when attaching fails (the drag does nothing).
  static bool StartFresh(CPaneWindow* pane, CBaseImage* source) {
    slot() = std::make_unique<Kind>(pane);
    if (slot()->Attach(source)) return true;
    slot().reset();
    return false;
  }
  // Down, move and up to the live instance; the instance ends after its release.
  static int Forward(int message, unsigned flags, const QPoint& point) {
    Kind* live = Live();
    if (live == nullptr) return 0;
    switch (message) {
      case CFilter::kButtonDown:
        return live->OnButtonDown(flags, point.x(), point.y());
      case CFilter::kMouseMove:
        return live->OnMouseMove(flags, point.x(), point.y());
      case CFilter::kButtonUp: {
        const int result = live->OnButtonUp(flags, point.x(), point.y());
        Destroy();
        return result;
      }
      default:
        return 0;
    }
  }
};

// Zoom: dragging up enlarges the image, down shrinks it, around the centre of the displayed
// image; the factor stays within 0.5 .. 10 and shows as a percentage beside the mouse.
class CFilterZoom : public CFilter, public CFilterSlot<CFilterZoom> {
 public:
  explicit CFilterZoom(CPaneWindow* pane) : CFilter(pane) {}

  int OnButtonDown(unsigned flags, int x, int y) override;
  int OnButtonUp(unsigned flags, int x, int y) override;
  int OnMouseMove(unsigned flags, int x, int y) override;
  void Apply() override;

  float factor() const { return m_factor; }
  // "%.1lf%%" of 100 / factor: 100.0% at factor 1, 200.0% at 0.5.
  const QString& text() const { return m_text; }
  // The box the text is centred in beside the mouse at point, moved so that the text and its
  // lighter copy (3 right, 2 down) lie inside the pane's client rectangle.
  static QRect TextBox(const QFontMetrics& metrics, const QString& text, const QPoint& point,
                       const QRect& client);

 private:
  void paintText(QPainter& painter) const override;
  void zoomTo(int y);

  float m_factor = 1.0f;
  int m_lastY = 0;
  QPoint m_textPoint;
  QString m_text;
};

// Pan: moves the displayed image with the mouse; at least 10 pixels of it stay in the pane.
class CFilterPanning : public CFilter, public CFilterSlot<CFilterPanning> {
 public:
  static constexpr int kVisibleMargin = 10;

  explicit CFilterPanning(CPaneWindow* pane) : CFilter(pane) {}

  int OnButtonDown(unsigned flags, int x, int y) override;
  int OnButtonUp(unsigned flags, int x, int y) override;
  int OnMouseMove(unsigned flags, int x, int y) override;
  void Apply() override;

  QPoint origin() const { return m_origin; }

 private:
  void paintText(QPainter&) const override {}

  QPoint m_origin;
  QPoint m_last;
};

// Window and level: dragging up widens the window, right raises the level, at a rate that
// follows the image's value range over the pane's size; Ctrl triples it.
class CFilterWindowLevel : public CFilter, public CFilterSlot<CFilterWindowLevel> {
 public:
  // The "not set" mark of an 8-bit image's pair, and what stands in for it.
  static constexpr int kNotSet = -9999;
  static constexpr int kUnsetDefault = 100;

  explicit CFilterWindowLevel(CPaneWindow* pane) : CFilter(pane) {}
  // Reuses a live instance; otherwise creates, attaches and initialises one.
  static bool Start(CPaneWindow* pane, CBaseImage* source);
  // Moves reach the instance only while a button is held.
  static int Event(int message, unsigned flags, const QPoint& point);
  // Windows image with its own pair as a drag's release would: a missing pair becomes the
  // value range (grey table) or 100/100 (paint window).
  static void ApplyOwnWindow(CBaseImage& image);

  int OnButtonDown(unsigned flags, int x, int y) override;
  int OnButtonUp(unsigned flags, int x, int y) override;
  int OnMouseMove(unsigned flags, int x, int y) override;
  void Apply() override;

  int width() const { return m_width; }
  int level() const { return m_level; }
  double horizontalSensitivity() const { return m_horizontal; }
  double verticalSensitivity() const { return m_vertical; }
  // "W: %d,  L: %d" of the last step, before a negative width was taken as 0.
  const QString& text() const { return m_text; }
  // Where that text is drawn in a pane of client rectangle: bottom-right at the displayed
  // image's bottom-right corner, 10 pixels in, and moved inside the pane where the image
  // reaches beyond it.
  static QRect TextCell(const QFontMetrics& metrics, const QString& text, const QRect& shown,
                        const QRect& client);

 private:
  void initialise();
  void paintText(QPainter& painter) const override;
  bool coversPane() const override { return false; }

  int m_minValue = 0;
  int m_maxValue = 0;
  int m_width = 0;
  int m_level = 0;
  double m_horizontal = 1.0;
  double m_vertical = 1.0;
  QPoint m_last;
  QString m_text;
};

// The magnifying glass: a rectangle over the pane showing the image under it enlarged. Its
// size and factor are shared by all panes and kept for the whole run. It never changes the
// pane's image; the pane paints its usual picture and the glass over it.
class CFilterGlass : public CFilter, public CFilterSlot<CFilterGlass> {
 public:
  static constexpr float kMinFactor = 0.1f;
  static constexpr float kMaxFactor = 10.0f;
  static constexpr float kFactorStep = 0.08f;
  static constexpr int kMinHalfSize = 50;
  static constexpr int kMaxHalfSize = 200;
  static constexpr int kHalfSizeStep = 10;

  struct Settings {
    float factor = 2.0f;
    int halfWidth = 120;
    int halfHeight = 120;
    // Half-extent of the sampled image region, image pixels.
    int sampleHalfWidth = 0;
    int sampleHalfHeight = 0;
    QRect lastRect = QRect(0, 0, 120, 120);
  };
  static Settings& settings();

  explicit CFilterGlass(CPaneWindow* pane) : CFilter(pane) {}
  static bool Start(CPaneWindow* pane, CBaseImage* source);
  // Runs the glass for down, move and up; the glass ends at its release.
  static int Event(int message, unsigned flags, const QPoint& point);

  int OnButtonDown(unsigned, int, int) override { return 1; }
  int OnButtonUp(unsigned, int, int) override { return 1; }
  int OnMouseMove(unsigned, int, int) override { return 1; }
  void Apply() override {}

  // Draws the glass (the enlarged region, its white frame and, while Ctrl is held, the factor).
  void PaintGlass(QPainter& painter) const;
  QRect glassRect() const { return m_glassRect; }
  // The image region the last draw sampled.
  QRect sampledRegion() const { return m_sampled; }
  QPoint anchor() const { return m_anchor; }

 private:
  // Returns true when the glass ended (released).
  bool handle(int message, unsigned flags, const QPoint& point);
  void drawAt(const QPoint& centre, bool showFactor);
  void paintText(QPainter&) const override {}
  static void updateSampleSize(float imageFactor);

  QPoint m_anchor;
  QPoint m_last;
  bool m_sizeChanged = false;
  bool m_factorChanged = false;
  bool m_showFactor = false;
  QRect m_glassRect;
  QRect m_sampled;
  QImage m_picture;
};

// The zoom, pan or window-level instance whose drag runs in pane, or null.
CFilter* LiveImageFilter(const CPaneWindow* pane);
// Ends every drag running in pane without applying it: the pane shows another image now, and
// the filter's source may be gone.
void EndFiltersOf(const CPaneWindow* pane);

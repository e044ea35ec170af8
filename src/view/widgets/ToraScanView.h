#pragma once

#include <QWidget>
#include <array>

class CImgDisp;
class CPaneHost;

// The single view of the main window: owns the seven display panes, shows those of the current
// layout (1 x 1, 1 x 2 or 2 x 2), maps each visible position to an entry of the main frame's
// list of open images, keeps the active pane, pages through the list and sets the interaction
// mode. Dialogs the view opens (browser, report, users) are requested through signals.
class CtoraScanView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kPaneCount = 7;
  static constexpr int kMaxPositions = 4;
  static constexpr int kFirstPaneId = 5001;

  // host (not owned) must outlive the view.
  explicit CtoraScanView(CPaneHost* host, QWidget* parent = nullptr);
  ~CtoraScanView() override;

  // Panes in a layout: 0 → 1, 1 → 2, 3 → 4; 0 for any other value.
  static int PanesIn(int layout);
  // The rectangle of position in layout for a client area of size (cx, cy).
  static QRect PaneRect(int layout, int position, const QSize& client);

  // After the main window is shown: posts the Browser command unless a window position was
  // stored.
  void OnInitialUpdate();

  // Layout 0, 1 or 3 (false for any other value). Keeps the page start.
  bool SetLayout(int layout);
  // Shows list index: activates the pane already showing it, else starts again from the first
  // page.
  void ShowImage(int index);
  // After the main frame emptied its list: back to the first page, the first pane active, every
  // pane repainted empty.
  void ShowNoImages();
  // After a layout change: activates the pane showing list index, or, when no pane of the
  // layout shows it, turns the page so that it starts at index.
  void KeepInView(int index);
  // Makes position of the current layout the active pane (again when force).
  void ActivatePane(int position, bool force = false);
  // The active pane of the current layout, or null.
  CImgDisp* ActivePane() const;
  // The list index the active pane shows, -1 when none or when it maps to no open image.
  int ActiveImageIndex() const;
  // Activates the pane of the current layout under point (view coordinates); its position or -1.
  int ActivateAt(const QPoint& point);
  void PrevPage();
  void NextPage();
  // Commands 32774 ("Default", stored as 0) to 32779; false for any other id.
  bool SetMode(int command);
  // Commands 32788 (report of the active image), 32789, 32790 (user dialogs); false otherwise.
  bool OnViewCommand(int command);
  void ShowBrowser(int showCommand);
  // Sends a Delete key press to every pane of every layout.
  void ForwardDeleteKey();

  CPaneHost* host() const { return m_host; }
  int layout() const { return m_layout; }
  int pageStart() const { return m_pageStart; }
  int mode() const { return m_mode; }
  // The list index at position of the current layout, -1 for none.
  int shownImage(int position) const;
  // The pane of position in layout (null outside the layout).
  CImgDisp* pane(int layout, int position) const;

 signals:
  // A menu command the main frame runs later (the browser at start-up).
  void commandPosted(int command);
  void browserRequested(int showCommand);
  void reportRequested(int imageIndex);
  void createUserRequested();
  void changeUserRequested();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Index into m_panes of the first pane of layout.
  static int firstPaneOf(int layout);
  void createPanes();
  void layOutPanes(const QSize& client);
  // Attaches and repaints the panes of the current layout.
  void refreshPanes();

  CPaneHost* m_host;
  int m_mode = -1;
  int m_layout = 0;
  int m_pageStart = 0;
  std::array<CImgDisp*, kPaneCount> m_panes{};
  std::array<int, kMaxPositions> m_shown{-1, -1, -1, -1};
  bool m_forwardingKey = false;
};

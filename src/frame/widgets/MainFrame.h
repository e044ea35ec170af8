#pragma once

#include <QMainWindow>
#include <QMap>
#include <cstdint>
#include <vector>

#include "display/PaneHost.h"
#include "frame/OpenImages.h"

class CDlgBrowser;
class CtoraScanView;
class QAction;
class QMenu;
class QToolBar;

// The top-level window: menu, tool bar and the view. Owns the list of open images, opens
// images into it, takes raw images handed over by the companion program and dispatches the
// commands of the menu and the tool bar.
class CMainFrame : public QMainWindow, public CPaneHost {
  Q_OBJECT

 public:
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Opens a file into the list of open images and shows it: 0, -1 when the operator declines
  // a second copy, -100 without memory, or the negative code of the load. The browser gives
  // the image's patient, study, series and image rows: the entry starts from them and the
  // file's own values are read over them.
  int OpenImage(const QString& path, bool dicom, const CDScanInfo* records = nullptr);
  // Empties the list of open images and shows the empty panes (the browser does so when it is
  // shown and before it opens images).
  void ClearImages();
  // A raw image handed over by the companion program: replaces every open image.
  void HandOverRawImage(const std::vector<std::uint16_t>& pixels, int width, int height, int bits,
                        int windowWidth, int windowCentre);
  // Runs a menu or tool-bar command by its id; false for an id the frame does not know.
  bool OnCommand(int id);

  // Geometry of raw files opened from the command line (--raw WxHxBITS).
  void setRawGeometry(int width, int height, int bits);
  // Opens what a command line names: DICOM files, "--raw WxHxBITS FILE" and "--layout 1x1|1x2|
  // 2x2" (arguments[0] is the program). Each file that cannot be opened is reported, unless
  // the operator declined a second copy; the others still open.
  void OpenCommandLine(const QStringList& arguments);

  CtoraScanView* view() const { return m_view; }
  // The study browser, made on first use with its own connection to the image database.
  CDlgBrowser* browser() const { return m_browser; }
  void ShowBrowser();
  // The report editor for the open image at index (the view asks for the active pane's).
  void OpenReport(int index);
  // The operator login every delete of records runs first: true when the delete may go on.
  // The first login that succeeds holds until the program ends.
  bool RequireOperatorLogin();
  bool rawSource() const { return m_rawSource; }
  QAction* action(int id) const { return m_actions.value(id); }
  QToolBar* toolBar() const { return m_toolBar; }

  // CPaneHost
  COpenImages& openImages() override { return m_images; }
  double windowValue() const override { return m_windowValue; }
  void setWindowValue(double value) override { m_windowValue = value; }
  int windowType() const override { return m_windowType; }
  void setRawSource(bool raw) override { m_rawSource = raw; }
  int openImage(const QString& path, bool dicom) override { return OpenImage(path, dicom); }
  const OverlaySwitches& overlaySwitches() const override { return m_overlay; }

 private:
  void createMenus();
  void createToolBar();
  void applyRunMode();
  QAction* addCommand(QMenu* menu, int id, const QString& caption, const QString& label);
  // OpenImage; declined tells whether a -1 came from the operator's answer.
  int openInto(const QString& path, bool dicom, const CDScanInfo* records, bool& declined);
  // Finishes an entry opened into the list (opening steps 6 and 8) and shows it.
  void finishOpen(int index);
  // Reopens the active image from its file into the same entry.
  void resetActiveImage();
  CImageEach* activeImage() const;
  // Orientation commands: release the display bitmap and turn; a rotation fits the image into
  // the pane again, a mirror, flip or inversion keeps its zoom and place.
  void turnActiveImage(int id);
  // The configuration dialog; after OK the operator is told to restart.
  void configure();

  COpenImages m_images;
  CtoraScanView* m_view = nullptr;
  CDlgBrowser* m_browser = nullptr;
  QToolBar* m_toolBar = nullptr;
  QMap<int, QAction*> m_actions;
  QMenu* m_layoutMenu = nullptr;
  QMenu* m_reportMenu = nullptr;
  bool m_rawSource = false;
  QString m_operatorName;  // empty until an operator logged in
  OverlaySwitches m_overlay;
  double m_windowValue = 0.000368;
  int m_windowType = 0;
  int m_rawWidth = 0;
  int m_rawHeight = 0;
  int m_rawBits = 16;
};

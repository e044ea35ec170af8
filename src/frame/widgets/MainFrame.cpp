#include "frame/widgets/MainFrame.h"

#include <QAction>
#include <QFileInfo>
#include <QMenuBar>
#include <QToolBar>

#include "anno/AnnoManager.h"
#include "app/AppSettings.h"
#include "browser/DropFolder.h"
#include "browser/widgets/DlgBrowser.h"
#include "db/Query.h"
#include "display/widgets/ImgDisp.h"
#include "frame/Commands.h"
#include "frame/MenuLabels.h"
#include "frame/widgets/CommandIcons.h"
#include "image/RawGeometry.h"
#include "login/widgets/DlgAddUser.h"
#include "login/widgets/DlgChangeUser.h"
#include "login/widgets/DlgOperators.h"
#include "login/widgets/LoginDlg.h"
#include "net/widgets/DlgNodes.h"
#include "reports/widgets/DlgtoraScan.h"
#include "ui/MessageSink.h"
#include "ui/widgets/DlgConfig.h"
#include "ui/widgets/ScreenFit.h"
#include "view/widgets/ToraScanView.h"

namespace {

void reportUnopened(const QString& path) {
  ShowMessage(QStringLiteral("Can't open selected file. [%1]").arg(path),
              QStringLiteral("OpenImage"), MB_ICONEXCLAMATION);
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  const AppSettings& settings = theAppSettings();
  setWindowTitle(AppSettings::title());
  resize(settings.frameDefaultWidth > 0 ? settings.frameDefaultWidth : 1280,
         settings.frameDefaultHeight > 0 ? settings.frameDefaultHeight : 900);
  new CScreenFit(this);
  m_view = new CtoraScanView(this, this);
  setCentralWidget(m_view);
  connect(m_view, &CtoraScanView::commandPosted, this, [this](int id) { OnCommand(id); });
  connect(m_view, &CtoraScanView::browserRequested, this, &CMainFrame::ShowBrowser);
  connect(m_view, &CtoraScanView::reportRequested, this, &CMainFrame::OpenReport);
  connect(m_view, &CtoraScanView::createUserRequested, this, [] {
    CDlgAddUser dialog(nullptr, theReportQuery());
    dialog.exec();
  });
  connect(m_view, &CtoraScanView::changeUserRequested, this, [] {
    CDlgChangeUser dialog(nullptr, theReportQuery());
    dialog.exec();
  });
  createMenus();
  createToolBar();
  applyRunMode();
  m_overlay.patientInfo = settings.isPatientInfo != 0;
  m_overlay.acquisitionInfo = settings.isAcquisitionInfo != 0;
  m_overlay.hospitalInfo = settings.isHospitalInfo != 0;
  m_overlay.xrayParamInfo = settings.isXrayParamInfo != 0;
  m_overlay.anatomicalInfo = settings.isAnatomicalInfo != 0;
  m_overlay.seriesInfo = settings.isSeriesInfo != 0;
  m_overlay.windowLevel = settings.isWindowLevel != 0;
}

CMainFrame::~CMainFrame() {
  delete m_browser;
  m_browser = nullptr;
  // The panes index the list: take them away before the images.
  delete m_view;
  m_view = nullptr;
  m_images.clear();
}

QAction* CMainFrame::addCommand(QMenu* menu, int id, const QString& caption,
                                const QString& shortcut) {
  QAction* action = menu->addAction(MenuLabel(caption));
  action->setData(id);
  if (!shortcut.isEmpty()) action->setShortcut(QKeySequence(shortcut));
  connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  m_actions.insert(id, action);
  return action;
}

void CMainFrame::createMenus() {
  QMenu* file = menuBar()->addMenu(MenuLabel(QStringLiteral("File")));
  addCommand(file, command::Browser, QStringLiteral("Browser..."), QStringLiteral("Ctrl+B"));
  addCommand(file, command::Config, QStringLiteral("Config..."), QString());
  addCommand(file, command::DicomNodes, QStringLiteral("DICOM Nodes..."), QString());
  addCommand(file, command::SendQueue, QStringLiteral("Send Queue..."), QString());
  file->addSeparator();
  addCommand(file, command::ChangeUser, QStringLiteral("User Login..."), QString());
  addCommand(file, command::CreateUser, QStringLiteral("Add User..."), QString());
  addCommand(file, command::Operators, QStringLiteral("Operators..."), QString());
  file->addSeparator();
  addCommand(file, command::Exit, QStringLiteral("Exit"), QStringLiteral("Ctrl+Q"));

  QMenu* image = menuBar()->addMenu(MenuLabel(QStringLiteral("Image")));
  addCommand(image, command::Default, QStringLiteral("Default"), QStringLiteral("Esc"));
  addCommand(image, command::PrevImage, QStringLiteral("Prev. Image"), QStringLiteral("PgUp"));
  addCommand(image, command::NextImage, QStringLiteral("Next Image"), QStringLiteral("PgDown"));
  image->addSeparator();
  addCommand(image, command::Zoom, QStringLiteral("Zoom Image"), QStringLiteral("Z"));
  addCommand(image, command::Pan, QStringLiteral("Pan. Image"), QStringLiteral("P"));
  addCommand(image, command::Magnify, QStringLiteral("Magnify"), QStringLiteral("M"));
  image->addSeparator();
  addCommand(image, command::Invert, QStringLiteral("Invert"), QStringLiteral("I"));
  addCommand(image, command::Reset, QStringLiteral("Reset"), QStringLiteral("Ctrl+R"));

  QMenu* rotate = menuBar()->addMenu(MenuLabel(QStringLiteral("Rotate")));
  addCommand(rotate, command::RotateLeft, QStringLiteral("Rotate L"), QStringLiteral("L"));
  addCommand(rotate, command::RotateRight, QStringLiteral("Rotate R"), QStringLiteral("R"));
  addCommand(rotate, command::Mirror, QStringLiteral("Mirror"), QStringLiteral("H"));
  addCommand(rotate, command::Flip, QStringLiteral("Flip"), QStringLiteral("V"));

  m_layoutMenu = menuBar()->addMenu(MenuLabel(QStringLiteral("Layout")));
  addCommand(m_layoutMenu, command::Layout1x1, QStringLiteral("1 x 1"), QStringLiteral("1"));
  addCommand(m_layoutMenu, command::Layout1x2, QStringLiteral("1 x 2"), QStringLiteral("2"));
  addCommand(m_layoutMenu, command::Layout2x2, QStringLiteral("2 x 2"), QStringLiteral("4"));

  QMenu* measure = menuBar()->addMenu(MenuLabel(QStringLiteral("Measure")));
  addCommand(measure, command::Line, QStringLiteral("Line"), QString());
  addCommand(measure, command::Angle, QStringLiteral("Angle"), QString());

  m_reportMenu = menuBar()->addMenu(MenuLabel(QStringLiteral("Report")));
  addCommand(m_reportMenu, command::Report, QStringLiteral("Create / Edit"), QString());
}

void CMainFrame::createToolBar() {
  m_toolBar = addToolBar(QStringLiteral("Main"));
  m_toolBar->setObjectName(QStringLiteral("MainToolBar"));
  m_toolBar->setIconSize(QSize(32, 32));
  // The system's order: browser | default, previous, next | zoom, pan, magnify |
  // rotate L, rotate R, mirror, flip | 1 x 1, 1 x 2, 2 x 2 | report (0: separator).
  const int buttons[] = {command::Browser,
                         0,
                         command::Default,
                         command::PrevImage,
                         command::NextImage,
                         0,
                         command::Zoom,
                         command::Pan,
                         command::Magnify,
                         0,
                         command::RotateLeft,
                         command::RotateRight,
                         command::Mirror,
                         command::Flip,
                         0,
                         command::Layout1x1,
                         command::Layout1x2,
                         command::Layout2x2,
                         0,
                         command::Report};
  for (const int id : buttons) {
    if (id == 0) {
      m_toolBar->addSeparator();
      continue;
    }
    QAction* action = m_actions.value(id);
    action->setIcon(CommandIcon(id));
    m_toolBar->addAction(action);
  }
}

void CMainFrame::applyRunMode() {
  const int runMode = theAppSettings().RunMode;
  const QList<QAction*> buttons = m_toolBar->actions();
  auto removeButtons = [&](int from, int to) {
    for (int i = to; i >= from && i < buttons.size(); --i) m_toolBar->removeAction(buttons[i]);
  };
  if (runMode == RunModeEmbedded || runMode == RunModeDisc) {
    // A station's network: not for a viewer embedded in another program or run from a disc.
    m_actions.value(command::DicomNodes)->setVisible(false);
    m_actions.value(command::SendQueue)->setVisible(false);
  }
  if (runMode == RunModeEmbedded) {
    m_actions.value(command::Browser)->setVisible(false);
    m_reportMenu->menuAction()->setVisible(false);
    m_layoutMenu->menuAction()->setVisible(false);
    removeButtons(14, 19);
  } else if (runMode == RunModeDisc) {
    m_actions.value(command::Config)->setVisible(false);
    m_reportMenu->menuAction()->setVisible(false);
    removeButtons(18, 19);
    setWindowTitle(QStringLiteral("Norvika"));
  }
}

void CMainFrame::ShowBrowser() {
  if (m_browser == nullptr) {
    const AppSettings& settings = theAppSettings();
    m_browser = new CDlgBrowser(this);
    if (m_browser->OpenDatabase(settings.imageDatabasePath)) {
      // Opened once: the images the program folder carries are indexed then.
      m_browser->ImportProgramFolder();
      if (settings.RunMode == RunModeStation) {
        m_browser->StartDropFolder(settings.wholeSpinePath,
                                   CDropFolder::DefaultArchiveFolder(settings.wholeSpinePath),
                                   settings.drainFolders());
      }
    }
  }
  m_browser->showNormal();
  m_browser->raise();
  m_browser->activateWindow();
}

bool CMainFrame::RequireOperatorLogin() {
  return ::RequireOperatorLogin(m_operatorName, theAppSettings().session, &CLoginDlg::Run);
}

void CMainFrame::OpenReport(int index) {
  const CImageEach* image = m_images.at(index);
  if (image == nullptr) return;
  CDlgtoraScan editor(this, image->filePath, image->scanInfo, theReportQuery());
  editor.exec();
}

void CMainFrame::setRawGeometry(int width, int height, int bits) {
  m_rawWidth = width;
  m_rawHeight = height;
  m_rawBits = bits;
}

void CMainFrame::OpenCommandLine(const QStringList& arguments) {
  auto open = [this](const QString& path, bool dicom) {
    bool declined = false;
    const int result = openInto(path, dicom, nullptr, declined);
    // A raw file that cannot be read has been reported by the load itself.
    const bool told = !dicom && result == -1 && !QFileInfo(path).isReadable();
    if (result < 0 && !declined && !told) reportUnopened(path);
  };
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--raw") && i + 2 < arguments.size()) {
      if (const auto raw = ParseRawGeometry(arguments[i + 1])) {
        setRawGeometry(raw->width, raw->height, raw->bits);
        open(arguments[i + 2], false);
      }
      i += 2;
      continue;
    }
    if (argument == QLatin1String("--layout") && i + 1 < arguments.size()) {
      const QString layout = arguments[++i];
      if (layout == QLatin1String("1x1")) OnCommand(command::Layout1x1);
      if (layout == QLatin1String("1x2")) OnCommand(command::Layout1x2);
      if (layout == QLatin1String("2x2")) OnCommand(command::Layout2x2);
      continue;
    }
    if (argument.startsWith(QLatin1String("-"))) continue;
    open(argument, true);
  }
}

int CMainFrame::OpenImage(const QString& path, bool dicom, const CDScanInfo* records) {
  bool declined = false;
  return openInto(path, dicom, records, declined);
}

void CMainFrame::ClearImages() {
  // Attaching the empty panes stops their cine as well.
  m_images.clear();
  m_view->ShowNoImages();
}

int CMainFrame::openInto(const QString& path, bool dicom, const CDScanInfo* records,
                         bool& declined) {
  declined = false;
  const int existing = m_images.findByPath(path, false);
  if (existing >= 0 &&
      ShowMessage(QStringLiteral("The Image is already opened with Image Index %1").arg(existing),
                  QStringLiteral("OpenImage"), MB_YESNO | MB_ICONQUESTION) == IDNO) {
    declined = true;
    return -1;
  }
  std::unique_ptr<CImageEach> entry;
  try {
    entry = std::make_unique<CImageEach>();
  } catch (const std::bad_alloc&) {
    return -100;
  }
  if (records != nullptr) {
    entry->scanInfo.SetScanInfo(records->Pat, records->Stu, records->Ser, records->Img);
  }
  // Paths are compared without case (the archive came from a case-insensitive file system) but
  // opened as given: this file system is case-sensitive.
  int result = 0;
  if (dicom) {
    result = entry->OpenDicom(path, 0, 1);
    entry->rawFilePath.clear();
    m_rawSource = false;
  } else {
    result = entry->OpenRaw(path, m_rawWidth, m_rawHeight, m_rawBits);
    entry->rawFilePath = path;
    m_rawSource = true;
  }
  if (result != 0) return result;
  if (dicom) {
    entry->filePath = QString(path).replace(QStringLiteral("_org.dcm"), QStringLiteral(".dcm"),
                                            Qt::CaseInsensitive);
  }
  finishOpen(m_images.append(std::move(entry)));
  return 0;
}

void CMainFrame::finishOpen(int index) {
  CImageEach* entry = m_images.at(index);
  entry->loaded = true;
  entry->layoutAtOpening = theAppSettings().currentLayout;
  m_windowValue = entry->scanInfo.Img.WLValue;
  entry->image.setWindowValue(m_windowValue);
  entry->image.setWindowType(m_windowType);
  entry->filmFlag = 0;
  entry->image.GetWindow(entry->initialWindowWidth, entry->initialWindowCentre);
  // A database error has been shown; the image opens with the film size it has.
  LookUpAcquisitionProtocol(*entry);
  entry->filmKind = 4;
  entry->landscape = entry->filmSizeY < entry->filmSizeX;
  m_view->ShowImage(index);
}

void CMainFrame::HandOverRawImage(const std::vector<std::uint16_t>& pixels, int width, int height,
                                  int bits, int windowWidth, int windowCentre) {
  if (pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) return;
  m_images.clear();
  auto entry = std::make_unique<CImageEach>();
  if (entry->SetRawImage(pixels.data(), width, height, bits, windowWidth, windowCentre) != 0) {
    return;
  }
  m_rawSource = true;
  finishOpen(m_images.append(std::move(entry)));
}

CImageEach* CMainFrame::activeImage() const { return m_images.at(m_view->ActiveImageIndex()); }

void CMainFrame::turnActiveImage(int id) {
  CImageEach* image = activeImage();
  if (image == nullptr) return;
  CBaseImage& pixels = image->image;
  // The annotations keep their points and turn through the first container's orientation.
  CAnnoObjectManager& annotations = image->annotations[0];
  switch (id) {
    case command::RotateLeft:
      pixels.RotateLeft();
      annotations.ChangeOrientation(CAnnoDrawGeometry::kRotateLeft);
      break;
    case command::RotateRight:
      pixels.RotateRight();
      annotations.ChangeOrientation(CAnnoDrawGeometry::kRotateRight);
      break;
    case command::Mirror:
      pixels.Mirror();
      annotations.ChangeOrientation(CAnnoDrawGeometry::kMirror);
      break;
    case command::Flip:
      pixels.Flip();
      annotations.ChangeOrientation(CAnnoDrawGeometry::kFlip);
      break;
    case command::Invert:
      pixels.Invert();
      break;
  }
  image->width = pixels.bitmap().width();
  image->height = pixels.bitmap().height();
  CImgDisp* pane = m_view->ActivePane();
  if (id == command::RotateLeft || id == command::RotateRight) {
    if (pane != nullptr) pane->Attach();
  } else {
    // The same picture turned over in place: the operator's zoom and pan stay, and so does the
    // smoothed copy where the zoom uses one.
    pixels.RebuildDisplayBitmap();
  }
  // A repaint of the view does not reach the pane over it: the pane is asked itself.
  if (pane != nullptr) pane->update();
  m_view->update();
}

void CMainFrame::resetActiveImage() {
  const int index = m_view->ActiveImageIndex();
  CImageEach* image = m_images.at(index);
  if (image == nullptr || image->filePath.isEmpty()) return;
  // Into the same entry: the value records the image was opened with and its measurements
  // stay. A file that can no longer be read leaves the image as it is.
  if (image->OpenDicom(image->filePath, 0, 1) != 0) {
    reportUnopened(image->filePath);
    return;
  }
  // The picture is back in the orientation of its file, and so are the measurements drawn on
  // it, whose points never left the file's coordinates.
  image->annotations[0].ChangeOrientation(CAnnoDrawGeometry::kLoadedOrientation);
  finishOpen(index);
}

void CMainFrame::configure() {
  CDlgConfig dialog(this, theAppSettings());
  if (dialog.exec() != QDialog::Accepted) return;
  ShowMessage(QStringLiteral("Please restart this program!"), QStringLiteral("Config"),
              MB_ICONEXCLAMATION);
}

bool CMainFrame::OnCommand(int id) {
  const int runMode = theAppSettings().RunMode;
  switch (id) {
    case command::Browser:
      if (runMode != RunModeEmbedded && theAppSettings().istoraScan != 1) m_view->ShowBrowser(5);
      return true;
    case command::Config:
      if (runMode != RunModeDisc) configure();
      return true;
    case command::Exit:
      close();
      return true;
    case command::DicomNodes:
      if (runMode != RunModeEmbedded && runMode != RunModeDisc) {
        CDlgNodes(theAppSettings().imageDatabasePath,
                  NetworkOptions::FromSettingsFolder(theAppSettings().settingsFolder), this)
            .exec();
      }
      return true;
    case command::SendQueue:
      // The queue window belongs to the browser, whose sender works the queue.
      if (runMode != RunModeEmbedded && runMode != RunModeDisc) {
        if (m_browser == nullptr) ShowBrowser();
        m_browser->ShowSendQueue();
      }
      return true;
    case command::Operators:
      // Only an operator may change who may delete.
      if (RequireOperatorLogin()) CDlgOperators(this).exec();
      return true;
    case command::Default:
    case command::Magnify:
    case command::Pan:
    case command::Zoom:
    case command::Angle:
    case command::Line:
      m_view->SetMode(id);
      return true;
    case command::PrevImage:
    case command::NextImage:
      if (CImageEach* image = activeImage()) image->image.ReleaseDisplayBitmap();
      if (id == command::PrevImage) {
        m_view->PrevPage();
      } else {
        m_view->NextPage();
      }
      return true;
    case command::Layout1x1:
    case command::Layout1x2:
    case command::Layout2x2: {
      if (runMode == RunModeEmbedded) return true;
      if (CImageEach* image = activeImage()) image->image.ReleaseDisplayBitmap();
      const int active = m_view->ActiveImageIndex();
      m_view->SetLayout(id == command::Layout1x1 ? 0 : id == command::Layout1x2 ? 1 : 3);
      if (active >= 0) m_view->KeepInView(active);
      return true;
    }
    case command::Reset:
      resetActiveImage();
      return true;
    case command::RotateLeft:
    case command::RotateRight:
    case command::Mirror:
    case command::Flip:
    case command::Invert:
      turnActiveImage(id);
      return true;
    case command::Report:
    case command::CreateUser:
    case command::ChangeUser:
      if (runMode != RunModeEmbedded || id != command::Report) m_view->OnViewCommand(id);
      return true;
  }
  return false;
}

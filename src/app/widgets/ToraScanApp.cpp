#include "app/widgets/ToraScanApp.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>
#include <utility>

#include "app/AppSettings.h"
#include "app/InstallLayout.h"
#include "app/LanguageTable.h"
#include "app/StopSignals.h"
#include "app/WorkingFolder.h"
#include "app/widgets/InstanceHandOver.h"
#include "db/Query.h"
#include "frame/Commands.h"
#include "frame/widgets/CompanionLink.h"
#include "frame/widgets/MainFrame.h"
#include "image/PipelineSettings.h"
#include "ui/MessageSink.h"
#include "ui/widgets/BaseSkinDlg.h"
#include "ui/widgets/MsgBoxEx.h"
#include "view/widgets/ToraScanView.h"

namespace {

constexpr int kConnectTimeoutMs = 1000;

QString instanceLockPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return QDir(folder).filePath(QStringLiteral("toraScan.lock"));
}

}  // namespace

CtoraScanApp::CtoraScanApp(QObject* parent) : QObject(parent) {}

CtoraScanApp::~CtoraScanApp() {
  // The companion is stopped with the main window.
  if (m_companion) m_companion->Stop();
  m_mainFrame.reset();
  theReportQuery().Disconnect();
  const AppSettings& settings = theAppSettings();
  if (!m_started || settings.RunMode != RunModeDisc) return;
  // The site's optional clean-up program, then the working copy of the database.
  const QString clearDir = QDir(settings.dataRoot).filePath(QStringLiteral("ClearDir"));
  if (QFileInfo(clearDir).isExecutable()) {
    QProcess::startDetached(clearDir, {QStringLiteral("ALL")}, settings.dataRoot);
  }
  RemoveWorkingFolder(settings.dataRoot, settings.discWorkingFolderCreated,
                      {settings.programFolder, AppSettings::dataRootOf(settings.wholeSpinePath)});
}

QString CtoraScanApp::instanceServerName() {
  return AppSettings::title() + QStringLiteral(" Class");
}

bool CtoraScanApp::RegisterInstance(const QStringList& arguments) {
  m_instanceLock = std::make_unique<QLockFile>(instanceLockPath());
  m_instanceLock->setStaleLockTime(0);
  if (!m_instanceLock->tryLock(100)) {
    // Another copy runs: it comes to the front and opens our files; we end silently.
    InstanceHandOver::Send(instanceServerName(), arguments, kConnectTimeoutMs);
    return false;
  }
  m_instanceServer = new InstanceHandOver(instanceServerName(), this);
  connect(m_instanceServer, &InstanceHandOver::argumentsReceived, this,
          [this](const QStringList& handed) {
            if (!m_started) {
              // Still starting: opened after the command line's own files.
              m_handedArguments << handed;
              return;
            }
            m_mainFrame->setWindowState(m_mainFrame->windowState() & ~Qt::WindowMinimized);
            m_mainFrame->show();
            m_mainFrame->raise();
            m_mainFrame->activateWindow();
            m_mainFrame->OpenCommandLine(handed);
          });
  m_instanceServer->Listen();
  return true;
}

void CtoraScanApp::ExitOnSignal() {
  // As the Exit command, with whatever dialog is open given up first.
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->isVisible() && window->isModal()) window->close();
  }
  if (m_mainFrame) m_mainFrame->OnCommand(command::Exit);
  // Start-up may still be under way (in a message box, say): the end of it quits then.
  m_exitRequested = true;
  QCoreApplication::quit();
}

bool CtoraScanApp::StartUp(const QStringList& arguments) {
  // File names on the command line are relative to where the user started us, not to the
  // program folder start-up moves into, nor to a copy already running that opens them.
  QStringList absoluteArguments;
  for (const QString& argument : arguments) {
    const bool path = !argument.startsWith(QLatin1Char('-')) && QFileInfo::exists(argument);
    absoluteArguments << (path ? QFileInfo(argument).absoluteFilePath() : argument);
  }
  if (!RegisterInstance(absoluteArguments)) return false;
  // Killed by SIGTERM or SIGINT, the viewer still stops the companion it started.
  new StopSignals([this] { ExitOnSignal(); }, this);
  QApplication::setApplicationName(AppSettings::title());
  QApplication::setOrganizationName(AppSettings::title());
  QApplication::setApplicationVersion(AppSettings::version());

  const InstallLayout layout = InstallLayout::ForThisProcess();
  layout.ShareFilesWithGroup();
  QDir::setCurrent(layout.resources);
  AppSettings& settings = theAppSettings();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect available = screen->availableGeometry();
    settings.setScreenSize(available.width(), available.height());
  }
  const bool prepared = settings.load(layout);
  LoadLanguageTable(settings.programFolder);
  LoadSkin(settings.skinFilePath);
  BindMsgBoxExSink();
  ConnectReportDatabase(theReportQuery(), settings.reportDatabasePath);
  if (!prepared) {
    QMessageBox::warning(nullptr, AppSettings::title(), QStringLiteral("Can't run this software."));
    return false;
  }
  PipelineSettings pipeline;
  pipeline.interpolation = settings.interpolation;
  pipeline.isVet = settings.isVet;
  pipeline.windowLevelBits = settings.windowLevelBits;
  setPipelineSettings(pipeline);

  m_mainFrame = std::make_unique<CMainFrame>();
  m_mainFrame->move(settings.windowX, settings.windowY);
  m_mainFrame->resize(settings.windowWidth, settings.windowHeight);
  m_mainFrame->show();
  m_mainFrame->view()->OnInitialUpdate();

  m_handOver =
      new RawHandOverReceiver(companion::kViewerServerName, companion::kSharedMemoryName, this);
  connect(m_handOver, &RawHandOverReceiver::rawImageReceived, m_mainFrame.get(),
          &CMainFrame::HandOverRawImage);
  m_handOver->listen();
  m_companion = new CompanionManager(companion::kManagerServerName, this);
  m_companion->SetStationService(layout.receiverService);
  m_companion->LaunchManager(settings.companionFolder, settings.wholeSpineType);

  m_started = true;
  m_mainFrame->OpenCommandLine(absoluteArguments);
  for (const QStringList& handed : std::exchange(m_handedArguments, {}))
    m_mainFrame->OpenCommandLine(handed);
  // For timing the start: end as soon as the window is up.
  if (m_exitRequested || arguments.contains(QStringLiteral("--exit-when-shown"))) {
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
  }
  return true;
}

#pragma once

#include <QLockFile>
#include <QObject>
#include <QStringList>
#include <memory>

class CMainFrame;
class CompanionManager;
class InstanceHandOver;
class RawHandOverReceiver;

// The application object: brings the system up (single instance, program folder, settings,
// labels, skin, run mode, main window, companion) and down.
class CtoraScanApp : public QObject {
  Q_OBJECT

 public:
  explicit CtoraScanApp(QObject* parent = nullptr);
  ~CtoraScanApp() override;

  // True when the program may run. False when another copy runs (it was asked to come to the
  // front) or start-up failed (after telling the user).
  bool StartUp(const QStringList& arguments);

  CMainFrame* mainFrame() const { return m_mainFrame.get(); }

  // The single-instance names: the lock file in the user's runtime folder and the local
  // server a second copy hands its command line to (InstanceHandOver).
  static QString instanceServerName();

  // SIGTERM and SIGINT: open dialogs closed, then the Exit command, and the event loop left;
  // the companion stops with the main window as at every exit.
  void ExitOnSignal();

 private:
  // The first copy listens for later ones; a later copy hands arguments to it and gets false.
  bool RegisterInstance(const QStringList& arguments);

  std::unique_ptr<QLockFile> m_instanceLock;
  InstanceHandOver* m_instanceServer = nullptr;
  QList<QStringList> m_handedArguments;  // handed over before the main window was up
  std::unique_ptr<CMainFrame> m_mainFrame;
  RawHandOverReceiver* m_handOver = nullptr;
  CompanionManager* m_companion = nullptr;
  bool m_exitRequested = false;  // a stop signal came
  bool m_started = false;        // the main window came up (the exit clean-up runs only then)
};

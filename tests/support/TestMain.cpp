// The main of every test executable: GoogleTest inside a Qt application object, so that tests
// may use timers, sockets and (in the window subsystems) widgets painted offscreen.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#ifdef TORASCAN_GUI_TEST
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

namespace {

// Every test process gets a home, settings, data, cache and runtime folder of its own, so a
// test never reads or writes the user's settings (QSettings, the storage root under the home
// folder, the single-instance lock) and the user's settings never change a test's outcome.
// The real home stays readable as TORASCAN_TEST_REAL_HOME for the test that checks this.
void isolateHome(const QTemporaryDir& home) {
  if (!qEnvironmentVariableIsSet("TORASCAN_TEST_REAL_HOME")) {
    qputenv("TORASCAN_TEST_REAL_HOME", qgetenv("HOME"));
  }
  const QString root = home.path();
  const struct {
    const char* variable;
    const char* folder;
  } folders[] = {{"HOME", ""},
                 {"XDG_CONFIG_HOME", "/.config"},
                 {"XDG_DATA_HOME", "/.local/share"},
                 {"XDG_CACHE_HOME", "/.cache"},
                 {"XDG_STATE_HOME", "/.local/state"},
                 {"XDG_RUNTIME_DIR", "/runtime"}};
  for (const auto& folder : folders) {
    const QString path = root + QLatin1String(folder.folder);
    QDir().mkpath(path);
    qputenv(folder.variable, QFile::encodeName(path));
  }
  // The runtime folder must be private, or Qt refuses it.
  QFile::setPermissions(root + QStringLiteral("/runtime"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

#ifdef TORASCAN_GUI_TEST
// The offscreen platform's screen is 800 x 800 unless told otherwise; windows are kept inside
// the screen, and the tests show them at the sizes of a desktop.
void useDesktopSizedScreen(const QTemporaryDir& home) {
  const QString path = home.filePath(QStringLiteral("offscreen.json"));
  QFile config(path);
  if (!config.open(QIODevice::WriteOnly)) return;
  config.write(R"({"screens": [{"name": "", "x": 0, "y": 0, "width": 1920, "height": 1200}]})");
  config.close();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(path));
}
#endif

}  // namespace

int main(int argc, char* argv[]) {
#ifdef TORASCAN_GUI_TEST
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  QTemporaryDir home(QDir::tempPath() + QStringLiteral("/torascan-test-home-XXXXXX"));
  if (!home.isValid()) return 1;
  isolateHome(home);
#ifdef TORASCAN_GUI_TEST
  if (qgetenv("QT_QPA_PLATFORM") == "offscreen") useDesktopSizedScreen(home);
#endif
  TestApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// The main of every test executable: GoogleTest inside a Qt application object, so that tests
// may use timers, sockets and (in the window subsystems) widgets painted offscreen.
#include <gtest/gtest.h>

#ifdef TORASCAN_GUI_TEST
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char* argv[]) {
#ifdef TORASCAN_GUI_TEST
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  TestApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

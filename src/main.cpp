#include <QApplication>

#include "app/widgets/ToraScanApp.h"
#include "ui/MessageSink.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  CtoraScanApp app;
  if (!app.StartUp(QApplication::arguments())) return 0;
  return QApplication::exec();
}

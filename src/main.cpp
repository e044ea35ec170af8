#include <QApplication>
#include <cstdio>

#include "app/ProgramInfo.h"
#include "app/widgets/ToraScanApp.h"
#include "ui/MessageSink.h"

int main(int argc, char* argv[]) {
  // Answered before the application object, which needs a display.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (const InfoRequest request = FindInfoRequest(arguments); request != InfoRequest::None) {
    const QString text =
        request == InfoRequest::Version ? VersionLine(QStringLiteral("toraScan")) : ViewerHelp();
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return 0;
  }
  QApplication application(argc, argv);
  CtoraScanApp app;
  if (!app.StartUp(QApplication::arguments())) return 0;
  return QApplication::exec();
}

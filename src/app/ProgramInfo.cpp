#include "app/ProgramInfo.h"

// TORASCAN_BUILD_VERSION comes from the build (cmake/BuildVersion.cmake).
QString BuildVersion() { return QStringLiteral(TORASCAN_BUILD_VERSION); }

QString VersionLine(const QString& program) {
  return program + QLatin1Char(' ') + BuildVersion() + QLatin1Char('\n');
}

QString ViewerHelp() {
  return QStringLiteral(
      "usage: toraScan [--layout 1x1|1x2|2x2] [FILE.dcm ...] [--raw WxHxBITS FILE.raw]\n"
      "       toraScan --version | --help\n"
      "\n"
      "Opens the DICOM files given into the panes (--layout: one, two or four panes) and a\n"
      "headerless raw file of that width, height and bit depth. A second copy brings the\n"
      "running one to the front and exits.\n"
      "\n"
      "Run from the build's program folder, it reads its settings, databases and files there;\n"
      "installed, its settings are in /etc/torascan and its databases and images in\n"
      "/var/lib/torascan (group torascan).\n");
}

InfoRequest FindInfoRequest(const QStringList& arguments) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == QLatin1String("--version")) return InfoRequest::Version;
    if (arguments[i] == QLatin1String("--help") || arguments[i] == QLatin1String("-h"))
      return InfoRequest::Help;
  }
  return InfoRequest::None;
}

// The companion program: serves as the acquisition manager that the viewer starts and stops,
// receiving images from the modality over DICOM into the drop folder (Vantrel.ini in the
// settings folder: beside it in the program folder), and hands raw images over to a running
// viewer the way an acquisition would.
#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>
#include <QTextStream>
#include <optional>

#include "ManagerServer.h"
#include "RawSender.h"
#include "app/InstallLayout.h"
#include "frame/CompanionProtocol.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Options {
  QString managerName = QString::fromLatin1(companion::kManagerServerName);
  QString serverName = QString::fromLatin1(companion::kViewerServerName);
  QString sharedMemoryName = QString::fromLatin1(companion::kSharedMemoryName);
  QString sendFile;
  QString geometry;  // WxHxBITS with --send, WxH with --send-synthetic
  bool send = false;
  bool synthetic = false;
  std::optional<std::pair<int, int>> window;
};

int usage(const QString& problem) {
  QTextStream err(stderr);
  err << "Vantrel: " << problem << "\n"
      << "usage: Vantrel [--manager-name NAME]\n"
         "       Vantrel --send FILE WxHxBITS [--window W C] [--server NAME] [--shm NAME]\n"
         "       Vantrel --send-synthetic WxH [--window W C] [--server NAME] [--shm NAME]\n";
  return kExitUsage;
}

std::optional<int> toInt(const QString& text) {
  bool ok = false;
  const int value = text.toInt(&ok);
  return ok ? std::optional<int>(value) : std::nullopt;
}

// Fills options from the arguments; the problem text when they are wrong.
QString parse(const QStringList& args, Options& options) {
  for (int i = 1; i < args.size(); ++i) {
    const QString& arg = args[i];
    // Each branch checks first that its values are there.
    const auto value = [&](int offset) { return args[i + offset]; };
    if (arg == QLatin1String("--send") && i + 2 < args.size()) {
      options.send = true;
      options.sendFile = value(1);
      options.geometry = value(2);
      i += 2;
    } else if (arg == QLatin1String("--send-synthetic") && i + 1 < args.size()) {
      options.send = options.synthetic = true;
      options.geometry = value(1);
      i += 1;
    } else if (arg == QLatin1String("--window") && i + 2 < args.size()) {
      const auto width = toInt(value(1));
      const auto centre = toInt(value(2));
      if (!width || !centre) return QStringLiteral("--window expects two integers");
      options.window = {*width, *centre};
      i += 2;
    } else if (arg == QLatin1String("--manager-name") && i + 1 < args.size()) {
      options.managerName = value(1);
      i += 1;
    } else if (arg == QLatin1String("--server") && i + 1 < args.size()) {
      options.serverName = value(1);
      i += 1;
    } else if (arg == QLatin1String("--shm") && i + 1 < args.size()) {
      options.sharedMemoryName = value(1);
      i += 1;
    } else {
      return QStringLiteral("unknown option or missing value: %1").arg(arg);
    }
  }
  if (options.window && !options.send) return QStringLiteral("--window needs a send mode");
  return {};
}

int send(const Options& options) {
  static const QRegularExpression withBits(QStringLiteral("^(\\d+)x(\\d+)x(\\d+)$"));
  static const QRegularExpression withoutBits(QStringLiteral("^(\\d+)x(\\d+)$"));
  const QRegularExpressionMatch match =
      (options.synthetic ? withoutBits : withBits).match(options.geometry);
  if (!match.hasMatch()) {
    return usage(options.synthetic ? QStringLiteral("--send-synthetic expects WIDTHxHEIGHT")
                                   : QStringLiteral("--send expects WIDTHxHEIGHTxBITS"));
  }
  const int width = match.captured(1).toInt();
  const int height = match.captured(2).toInt();
  QString error;
  RawImage image;
  if (options.synthetic) {
    error = companion::CheckHeader({width, height, 12, 0, 0});
    if (error.isEmpty()) image = SyntheticImage(width, height);
  } else {
    LoadRawFile(options.sendFile, width, height, match.captured(3).toInt(), image, &error);
  }
  if (error.isEmpty() && options.window) {
    image.header.windowWidth = options.window->first;
    image.header.windowCentre = options.window->second;
  }
  if (error.isEmpty() && SendRawImage(image, options.serverName, options.sharedMemoryName, &error))
    return 0;
  QTextStream(stderr) << "Vantrel: " << error << '\n';
  return kExitFailure;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  InstallLayout::ForThisProcess().ShareFilesWithGroup();
  Options options;
  if (const QString problem = parse(app.arguments(), options); !problem.isEmpty())
    return usage(problem);
  return options.send ? send(options) : RunManager(options.managerName);
}

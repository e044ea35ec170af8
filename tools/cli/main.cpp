#include <QCoreApplication>
#include <QStringList>

#include "CliCommands.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments();
  args.removeFirst();
  if (args.isEmpty()) {
    cli::printUsage();
    return cli::kExitUsage;
  }
  const QString command = args.takeFirst();
  if (command == QLatin1String("info")) return cli::runInfo(args);
  if (command == QLatin1String("export")) return cli::runExport(args);
  if (command == QLatin1String("render")) return cli::runRender(args);
  if (command == QLatin1String("db-fill")) return cli::runDbFill(args);
  if (command == QLatin1String("db-stats")) return cli::runDbStats(args);
  if (command == QLatin1String("import")) return cli::runImport(args);
  if (command == QLatin1String("watch")) return cli::runWatch(args);
  cli::printUsage();
  return cli::kExitUsage;
}

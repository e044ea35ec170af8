#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>
#include <memory>

#include "CliCommands.h"
#include "app/InstallLayout.h"
#include "app/ProgramInfo.h"
#include "imaging/CompiledDictionary.h"

int main(int argc, char* argv[]) {
  // Before any thread exists: a short command would spend most of its time parsing DCMTK's
  // dictionary files.
  imaging::UseCompiledDictionary();
  // Drawing a report's text needs the fonts of a GUI application; no window is shown, so it runs
  // on the offscreen platform unless one is asked for.
  const bool drawsText = argc > 1 && qstrcmp(argv[1], "report-pdf") == 0;
  if (drawsText && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  const std::unique_ptr<QCoreApplication> app =
      drawsText ? std::make_unique<QGuiApplication>(argc, argv)
                : std::make_unique<QCoreApplication>(argc, argv);
  InstallLayout::ForThisProcess().ShareFilesWithGroup();
  QStringList args = app->arguments();
  args.removeFirst();
  if (args.isEmpty()) {
    cli::printUsage();
    return cli::kExitUsage;
  }
  const QString command = args.takeFirst();
  if (command == QLatin1String("--version")) {
    std::fputs(qPrintable(VersionLine(QStringLiteral("torascan-cli"))), stdout);
    return cli::kExitOk;
  }
  if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
    cli::printUsage(stdout);
    return cli::kExitOk;
  }
  if (command == QLatin1String("info")) return cli::runInfo(args);
  if (command == QLatin1String("export")) return cli::runExport(args);
  if (command == QLatin1String("render")) return cli::runRender(args);
  if (command == QLatin1String("db-fill")) return cli::runDbFill(args);
  if (command == QLatin1String("db-stats")) return cli::runDbStats(args);
  if (command == QLatin1String("db-copy")) return cli::runDbCopy(args);
  if (command == QLatin1String("import")) return cli::runImport(args);
  if (command == QLatin1String("watch")) return cli::runWatch(args);
  if (command == QLatin1String("report-pdf")) return cli::runReportPdf(args);
  if (command == QLatin1String("delete")) return cli::runDelete(args);
  if (command == QLatin1String("renumber")) return cli::runRenumber(args);
  if (command == QLatin1String("operator")) return cli::runOperator(args);
  if (command == QLatin1String("node")) return cli::runNode(args);
  if (command == QLatin1String("send")) return cli::runSend(args);
  if (command == QLatin1String("send-queue")) return cli::runSendQueue(args);
  cli::printUsage();
  return cli::kExitUsage;
}

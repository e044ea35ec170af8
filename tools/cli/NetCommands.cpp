// The network commands of torascan-cli: the DICOM nodes of an archive, and sending images to
// them through the send queue.

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <atomic>
#include <csignal>
#include <cstdio>

#include "CliCommands.h"
#include "app/InstallLayout.h"
#include "db/DaoDatabase.h"
#include "db/SqlDialect.h"
#include "net/Association.h"
#include "net/DicomNodes.h"
#include "net/SendWorker.h"

namespace cli {

namespace {

void printJson(const QJsonDocument& document) {
  std::fputs(document.toJson(QJsonDocument::Compact).append('\n').constData(), stdout);
  std::fflush(stdout);
}

// Parses args into parser (the program name added); false after saying why.
bool parseArgs(QCommandLineParser& parser, const QStringList& args) {
  if (parser.parse(QStringList{QStringLiteral("torascan-cli")} + args)) return true;
  printError(parser.errorText());
  return false;
}

// Opens an existing archive for writing; false after saying why.
bool openArchive(const QString& path, CDaoDatabase& database) {
  if (!SqlDialect::isServerLocation(path) && !QFileInfo::exists(path)) {
    printError(QStringLiteral("%1: no such database").arg(path));
    return false;
  }
  return openForWriting(path, database);
}

void addOptions(QCommandLineParser& parser, const QStringList& names) {
  for (const QString& name : names) parser.addOption({name, name, QStringLiteral("value")});
}

// The node the options describe, on top of `node` (an edit keeps what is not given). False
// after saying why.
bool nodeFromOptions(const QCommandLineParser& parser, DicomNode& node) {
  if (parser.isSet(QStringLiteral("ae"))) node.aeTitle = parser.value(QStringLiteral("ae"));
  if (parser.isSet(QStringLiteral("host"))) node.host = parser.value(QStringLiteral("host"));
  if (parser.isSet(QStringLiteral("port"))) {
    bool ok = false;
    node.port = parser.value(QStringLiteral("port")).trimmed().toInt(&ok);
    if (!ok) node.port = -1;  // refused by the check with the port's message
  }
  if (parser.isSet(QStringLiteral("use"))) {
    const auto uses = CDicomNodes::ParseUses(parser.value(QStringLiteral("use")));
    if (!uses) {
      printError(QStringLiteral("--use takes send, query or send,query, not \"%1\"")
                     .arg(parser.value(QStringLiteral("use"))));
      return false;
    }
    node.uses = *uses;
  }
  return true;
}

int done(const QString& problem, const QJsonObject& json) {
  if (!problem.isEmpty()) {
    printError(problem);
    return kExitFailure;
  }
  printJson(QJsonDocument(json));
  return kExitOk;
}

// The retry options of send and send-queue; false after saying why.
bool retryFromOptions(const QCommandLineParser& parser, RetryPolicy& retry) {
  const auto number = [&parser](const char* option, int& into, int least) {
    if (!parser.isSet(QLatin1String(option))) return true;
    bool ok = false;
    const int value = parser.value(QLatin1String(option)).toInt(&ok);
    if (ok && value >= least) {
      into = value;
      return true;
    }
    printError(
        QStringLiteral("--%1 takes a number of at least %2").arg(QLatin1String(option)).arg(least));
    return false;
  };
  return number("max-tries", retry.maxTries, 1) &&
         number("retry-pause", retry.firstPauseSeconds, 0);
}

NetworkOptions stationOptions() {
  return NetworkOptions::FromSettingsFolder(InstallLayout::ForThisProcess().settings);
}

std::atomic<bool> stopSending{false};

void requestStop(int) { stopSending = true; }

// Sleeps up to ms, waking early on a stop request.
void pause(qint64 ms) {
  for (qint64 slept = 0; slept < ms && !stopSending; slept += 100) QThread::msleep(100);
}

}  // namespace

int runNode(const QStringList& args) {
  QCommandLineParser parser;
  addOptions(parser, {QStringLiteral("db"), QStringLiteral("name"), QStringLiteral("new-name"),
                      QStringLiteral("ae"), QStringLiteral("host"), QStringLiteral("port"),
                      QStringLiteral("use")});
  parser.addPositionalArgument(QStringLiteral("action"),
                               QStringLiteral("add|edit|remove|list|echo"));
  if (!parseArgs(parser, args)) return kExitUsage;
  const QStringList words = parser.positionalArguments();
  const QString action = words.value(0);
  const QStringList actions{QStringLiteral("add"), QStringLiteral("edit"), QStringLiteral("remove"),
                            QStringLiteral("list"), QStringLiteral("echo")};
  const bool named = action != QLatin1String("list");
  if (words.size() != 1 || !actions.contains(action) || !parser.isSet(QStringLiteral("db")) ||
      named != parser.isSet(QStringLiteral("name")) ||
      (action == QLatin1String("add") &&
       !(parser.isSet(QStringLiteral("ae")) && parser.isSet(QStringLiteral("host")) &&
         parser.isSet(QStringLiteral("port"))))) {
    printUsage();
    return kExitUsage;
  }
  CDaoDatabase database;
  if (!openArchive(parser.value(QStringLiteral("db")), database)) return kExitFailure;
  CDicomNodes nodes(database);
  const QString name = parser.value(QStringLiteral("name"));
  if (action == QLatin1String("list")) {
    QJsonArray list;
    const QList<DicomNode> all = nodes.List();
    if (!nodes.LastError().isEmpty()) return done(nodes.LastError(), {});
    for (const DicomNode& node : all) list.append(node.toJson());
    printJson(QJsonDocument(list));
    return kExitOk;
  }
  if (action == QLatin1String("add")) {
    DicomNode node;
    node.name = name;
    if (!nodeFromOptions(parser, node)) return kExitUsage;
    return done(nodes.Add(node), node.toJson());
  }
  if (action == QLatin1String("remove"))
    return done(nodes.Remove(name), {{QStringLiteral("removed"), name.trimmed()}});
  std::optional<DicomNode> node = nodes.Find(name);
  if (!node) return done(QStringLiteral("There is no node \"%1\".").arg(name.trimmed()), {});
  if (action == QLatin1String("edit")) {
    if (parser.isSet(QStringLiteral("new-name")))
      node->name = parser.value(QStringLiteral("new-name"));
    if (!nodeFromOptions(parser, *node)) return kExitUsage;
    return done(nodes.Edit(name, *node), node->toJson());
  }
  const QString problem =
      EchoNode(*node, NetworkOptions::FromSettingsFolder(InstallLayout::ForThisProcess().settings));
  QJsonObject json = node->toJson();
  json.insert(QStringLiteral("echo"), problem.isEmpty() ? QStringLiteral("success") : problem);
  printJson(QJsonDocument(json));
  return problem.isEmpty() ? kExitOk : kExitFailure;
}

int runSend(const QStringList& args) {
  QCommandLineParser parser;
  addOptions(parser, {QStringLiteral("db"), QStringLiteral("node"), QStringLiteral("patient"),
                      QStringLiteral("study"), QStringLiteral("series"), QStringLiteral("image"),
                      QStringLiteral("max-tries"), QStringLiteral("retry-pause")});
  if (!parseArgs(parser, args)) return kExitUsage;
  SendSelection selection{
      parser.values(QStringLiteral("patient")), parser.values(QStringLiteral("study")),
      parser.values(QStringLiteral("series")), parser.values(QStringLiteral("image"))};
  RetryPolicy retry;
  // In the foreground nobody waits for a node that stays away.
  retry.unreachableCounts = true;
  if (!parser.isSet(QStringLiteral("db")) || !parser.isSet(QStringLiteral("node")) ||
      !parser.positionalArguments().isEmpty() ||
      selection.patients.size() + selection.studies.size() + selection.series.size() +
              selection.images.size() ==
          0) {
    printUsage();
    return kExitUsage;
  }
  if (!retryFromOptions(parser, retry)) return kExitUsage;
  CDaoDatabase database;
  if (!openArchive(parser.value(QStringLiteral("db")), database)) return kExitFailure;
  const QString nodeName = parser.value(QStringLiteral("node"));
  const std::optional<DicomNode> node = CDicomNodes(database).Find(nodeName);
  if (!node || !node->sendsTo()) {
    printError(QStringLiteral("There is no node \"%1\" to send to.").arg(nodeName));
    return kExitFailure;
  }
  CSendWorker worker(database, stationOptions(), retry);
  const QList<SendImage> images = worker.queue().Select(selection);
  if (images.isEmpty()) {
    printError(QStringLiteral("The selection holds no images."));
    return kExitFailure;
  }
  const long id = worker.queue().Enqueue(node->name, images);
  if (!id) {
    printError(worker.queue().LastError());
    return kExitFailure;
  }
  worker.onProgress = [](const SendJob& job) {
    std::fprintf(stderr, "job %ld: %d/%d sent\n", job.id, job.sent, job.images);
  };
  std::optional<SendJob> job = worker.queue().Job(id);
  while (job && job->state != QLatin1String(CSendQueue::kDone) &&
         job->state != QLatin1String(CSendQueue::kFailed)) {
    if (worker.WorkOne(id)) {
      job = worker.queue().Job(id);
      if (job && job->state == QLatin1String(CSendQueue::kQueued))
        std::fprintf(stderr, "job %ld: try %d: %s\n", id, job->tries,
                     job->lastError.toLocal8Bit().constData());
    } else {
      pause(1000);
    }
  }
  if (!job) return kExitFailure;
  printJson(QJsonDocument(job->toJson()));
  return job->state == QLatin1String(CSendQueue::kDone) ? kExitOk : kExitFailure;
}

int runSendQueue(const QStringList& args) {
  QCommandLineParser parser;
  addOptions(parser,
             {QStringLiteral("db"), QStringLiteral("max-tries"), QStringLiteral("retry-pause")});
  parser.addOption({QStringLiteral("once"), QStringLiteral("once")});
  if (!parseArgs(parser, args)) return kExitUsage;
  if (!parser.isSet(QStringLiteral("db")) || !parser.positionalArguments().isEmpty()) {
    printUsage();
    return kExitUsage;
  }
  RetryPolicy retry;
  if (!retryFromOptions(parser, retry)) return kExitUsage;
  CDaoDatabase database;
  if (!openArchive(parser.value(QStringLiteral("db")), database)) return kExitFailure;
  struct sigaction action {};
  action.sa_handler = requestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  CSendWorker worker(database, stationOptions(), retry);
  worker.stopRequested = [] { return bool(stopSending); };
  const bool once = parser.isSet(QStringLiteral("once"));
  bool anyFailed = false;
  while (!stopSending) {
    if (const std::optional<SendJob> job = worker.WorkOne()) {
      anyFailed = anyFailed || job->state == QLatin1String(CSendQueue::kFailed);
      printJson(QJsonDocument(job->toJson()));
      continue;
    }
    if (once) break;
    // Jobs queued by others (the viewer, send) are found within a second.
    const qint64 due = worker.queue().MsUntilDue();
    pause(due < 0 ? 1000 : std::clamp<qint64>(due, 100, 1000));
  }
  return anyFailed ? kExitFailure : kExitOk;
}

}  // namespace cli

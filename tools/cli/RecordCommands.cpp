// The record operations of torascan-cli: deleting and renumbering images of an archive from a
// script, through the browser's own code and behind the same operator login; and the operators
// themselves.

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <cstdio>
#include <optional>

#include "CliCommands.h"
#include "browser/RecordOperations.h"
#include "db/DaoDatabase.h"
#include "db/SqlDialect.h"
#include "login/OperatorAccounts.h"
#include "login/OperatorLogin.h"

namespace cli {

namespace {

struct RecordSession {
  CDaoDatabase database;
  std::optional<CRecordOperations> operations;
};

// Nothing is created here: a wrong path is an error, not an empty archive. False after saying so.
bool archiveExists(const QString& path) {
  if (SqlDialect::isServerLocation(path) || QFileInfo::exists(path)) return true;
  printError(QStringLiteral("%1: no such database").arg(path));
  return false;
}

// The next line of standard input (a password), empty when there is none.
QString readLine() {
  static QTextStream input(stdin);
  return input.readLine();
}

void printJson(const QJsonValue& value) {
  const QJsonDocument document =
      value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
  std::fputs(document.toJson(QJsonDocument::Compact).append('\n').constData(), stdout);
}

// Parses the options common to both commands, opens the archive and checks the operator's
// password (one line on standard input). False after saying why.
bool openSession(QCommandLineParser& parser, const QStringList& args, RecordSession& session,
                 int& status) {
  parser.addOption({QStringLiteral("db"), QStringLiteral("db"), QStringLiteral("value")});
  parser.addOption(
      {QStringLiteral("operator"), QStringLiteral("operator"), QStringLiteral("name")});
  parser.addOption({QStringLiteral("storage"), QStringLiteral("storage"), QStringLiteral("dir")});
  status = kExitUsage;
  if (!parser.parse(QStringList{QStringLiteral("torascan-cli")} + args)) {
    printError(parser.errorText());
    return false;
  }
  if (!parser.isSet(QStringLiteral("db")) || !parser.isSet(QStringLiteral("operator"))) {
    printUsage();
    return false;
  }
  status = kExitFailure;
  const QString path = parser.value(QStringLiteral("db"));
  QString error;
  if (!archiveExists(path)) return false;
  if (!session.database.Open(path, &error)) {
    printError(error);
    return false;
  }
  if (session.database.isReadOnly()) {
    printError(QStringLiteral("%1: the database cannot be written").arg(path));
    return false;
  }
  if (!CheckOperatorLogin(parser.value(QStringLiteral("operator")), readLine(), path)) {
    printError(QStringLiteral("Login failed.\nCan't excute this function."));
    return false;
  }
  // A SQLite archive keeps its images beside it unless other storage folders are named.
  QStringList storage = parser.values(QStringLiteral("storage"));
  if (storage.isEmpty() && !SqlDialect::isServerLocation(path)) {
    storage.append(QFileInfo(path).absolutePath());
  }
  session.operations.emplace(session.database, storage);
  return true;
}

int report(const RecordChange& change) {
  printJson(change.toJson());
  if (change.ok) return kExitOk;
  printError(change.error);
  return kExitFailure;
}

std::optional<long> number(const QString& text) {
  bool ok = false;
  const long value = text.toLong(&ok);
  if (!ok || value <= 0) return std::nullopt;
  return value;
}

}  // namespace

int runDelete(const QStringList& args) {
  QCommandLineParser parser;
  for (const char* name : {"patient", "study", "series", "image"}) {
    parser.addOption({QString::fromLatin1(name), QString::fromLatin1(name), QStringLiteral("key")});
  }
  parser.addOption({QStringLiteral("all"), QStringLiteral("all")});
  RecordSession session;
  int status = kExitUsage;
  if (!openSession(parser, args, session, status)) return status;
  CRecordOperations& operations = *session.operations;
  // The keys an option names; none (after saying why) when one is no number above 0.
  const auto keys = [&](const QString& option) -> std::optional<QList<long>> {
    QList<long> values;
    for (const QString& text : parser.values(option)) {
      const auto value = number(text);
      if (!value) {
        printError(QStringLiteral("--%1 takes a number, not \"%2\"").arg(option, text));
        return std::nullopt;
      }
      values.append(*value);
    }
    return values;
  };
  if (parser.isSet(QStringLiteral("all"))) return report(operations.DeleteAll({}, {}));
  if (parser.isSet(QStringLiteral("patient"))) {
    return report(operations.DeletePatients(parser.values(QStringLiteral("patient")), {}));
  }
  if (parser.isSet(QStringLiteral("study"))) {
    const auto studies = keys(QStringLiteral("study"));
    return studies ? report(operations.DeleteStudies(*studies)) : kExitUsage;
  }
  if (parser.isSet(QStringLiteral("series"))) {
    const auto series = keys(QStringLiteral("series"));
    return series ? report(operations.DeleteSeries(*series)) : kExitUsage;
  }
  QList<long> images;
  for (const QString& text : parser.values(QStringLiteral("image"))) {
    const QStringList parts = text.split(QLatin1Char(':'));
    const auto serSeq = parts.size() == 2 ? number(parts[0]) : std::nullopt;
    const auto imageNo = parts.size() == 2 ? number(parts[1]) : std::nullopt;
    if (!serSeq || !imageNo) {
      printError(QStringLiteral("--image takes SERSEQ:IMAGENO, not \"%1\"").arg(text));
      return kExitUsage;
    }
    // A number carried by two images names neither for certain: nothing is deleted.
    const QList<long> keys = operations.ImageKeys(*serSeq, *imageNo);
    if (keys.size() != 1) {
      printError(keys.isEmpty()
                     ? QStringLiteral("--image %1: no such image").arg(text)
                     : QStringLiteral("--image %1: %2 images carry that number; nothing deleted")
                           .arg(text)
                           .arg(keys.size()));
      return kExitFailure;
    }
    images.append(keys.first());
  }
  if (images.isEmpty()) {
    printUsage();
    return kExitUsage;
  }
  return report(operations.DeleteImages(images));
}

int runRenumber(const QStringList& args) {
  QCommandLineParser parser;
  for (const char* name : {"series", "move", "before", "to-series"}) {
    parser.addOption({QString::fromLatin1(name), QString::fromLatin1(name), QStringLiteral("n")});
  }
  RecordSession session;
  int status = kExitUsage;
  if (!openSession(parser, args, session, status)) return status;
  const auto serSeq = number(parser.value(QStringLiteral("series")));
  const auto moving = number(parser.value(QStringLiteral("move")));
  const auto before = number(parser.value(QStringLiteral("before")));
  if (!serSeq || !moving || !before) {
    printUsage();
    return kExitUsage;
  }
  if (!parser.isSet(QStringLiteral("to-series"))) {
    return report(session.operations->MoveInSeries(*serSeq, *moving, *before));
  }
  const auto toSerSeq = number(parser.value(QStringLiteral("to-series")));
  if (!toSerSeq) {
    printUsage();
    return kExitUsage;
  }
  return report(session.operations->MoveToSeries(*serSeq, *moving, *toSerSeq, *before));
}

int runOperator(const QStringList& args) {
  QCommandLineParser parser;
  parser.addOption({QStringLiteral("db"), QStringLiteral("db"), QStringLiteral("value")});
  parser.addPositionalArgument(QStringLiteral("action"), QStringLiteral("add|passwd|remove|list"));
  parser.addPositionalArgument(QStringLiteral("name"), QStringLiteral("operator name"));
  if (!parser.parse(QStringList{QStringLiteral("torascan-cli")} + args)) {
    printError(parser.errorText());
    return kExitUsage;
  }
  const QStringList words = parser.positionalArguments();
  const QString action = words.value(0);
  const bool list = action == QLatin1String("list");
  const QStringList named{QStringLiteral("add"), QStringLiteral("passwd"),
                          QStringLiteral("remove")};
  if (!parser.isSet(QStringLiteral("db")) || (list ? words.size() != 1 : words.size() != 2) ||
      (!list && !named.contains(action))) {
    printUsage();
    return kExitUsage;
  }
  const QString path = parser.value(QStringLiteral("db"));
  if (!archiveExists(path)) return kExitFailure;
  OperatorAccounts operators(path);
  if (list) {
    // An unreadable table is told by the record set; an empty list is a new archive.
    if (operators.Count() < 0) return kExitFailure;
    printJson(QJsonArray::fromStringList(OperatorNames(path)));
    return kExitOk;
  }
  const QString name = words[1];
  OperatorChange result = OperatorChange::Done;
  if (action == QLatin1String("add")) {
    const QString password = readLine();
    result = operators.Add(name, password, password);
  } else if (action == QLatin1String("passwd")) {
    const QString oldPassword = readLine();
    const QString newPassword = readLine();
    result = operators.ChangePassword(name, oldPassword, newPassword, newPassword);
  } else {
    result = operators.Remove(name);
  }
  if (result != OperatorChange::Done) return kExitFailure;
  printJson(
      QJsonObject{{QStringLiteral("operator"), name.trimmed()}, {QStringLiteral("done"), action}});
  return kExitOk;
}

}  // namespace cli

#pragma once

#include <QStringList>
#include <cstdio>

// The commands of torascan-cli. Each returns the process exit status: 0 success, 1 the file
// could not be processed, 2 the command line is wrong.
class CDaoDatabase;

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int runInfo(const QStringList& args);
int runExport(const QStringList& args);
int runRender(const QStringList& args);
// db-fill --db PATH --patients N [--studies-per-patient S] [--images-per-study K]
int runDbFill(const QStringList& args);
// db-stats --db PATH: the row counts of the four core tables as JSON.
int runDbStats(const QStringList& args);
// import --db PATH [--recursive] PATH...: indexes DICOM files and folders; the outcome as JSON.
int runImport(const QStringList& args);
// watch --db PATH --folder DIR [--archive DIR] [--once]: indexes the files dropped into DIR,
// moving them into the archive; a JSON line per pass that found files. --station takes the
// folder the station's receiver fills and the station's database (either may still be given).
int runWatch(const QStringList& args);
// db-copy --from DB --to DB [--reports-from DB --reports-to DB] [--batch ROWS]: copies the
// image database (and the report database) into another, across engines; resumable.
int runDbCopy(const QStringList& args);
// report-pdf --db PATH --uid SOPUID --out FILE.pdf: the stored report of an image as the
// printed pages, in a PDF file.
int runReportPdf(const QStringList& args);
// delete --db DB --operator NAME (--patient ID | --study STUSEQ | --series SERSEQ |
// --image SERSEQ:IMAGENO | --all) [--storage DIR]: the records with their cascades and files,
// the operator's password read from standard input; what changed as JSON.
int runDelete(const QStringList& args);
// renumber --db DB --operator NAME --series SERSEQ --move C --before B [--to-series SERSEQ]
// [--storage DIR]: image C in front of image B, in the rows and the DICOM files.
int runRenumber(const QStringList& args);
// operator add|passwd|remove NAME --db DB, operator list --db DB: the operators who may delete.
// add reads the password from standard input, passwd the old and then the new one.
int runOperator(const QStringList& args);
// node add|edit|remove|list|echo --db DB [--name NAME] [--ae AE --host HOST --port PORT
// --use send,query] [--new-name NAME]: the DICOM nodes of the archive; echo sends a C-ECHO.
int runNode(const QStringList& args);
// send --db DB --node NAME (--patient ID | --study UID | --series SERSEQ | --image SOPUID)...
// [--max-tries N] [--retry-pause S]: queues the images for the node and sends them at once;
// progress on stderr, the job as JSON; 0 when every image arrived.
int runSend(const QStringList& args);
// send-queue --db DB [--once] [--max-tries N] [--retry-pause S]: works the send queue until
// SIGTERM (with --once: the jobs due now); a JSON line per try.
int runSendQueue(const QStringList& args);
// The usage of every command, on standard error unless another stream is given (--help).
void printUsage(std::FILE* stream = stderr);
// "torascan-cli: message" on standard error.
void printError(const QString& message);
// Opens (or creates) the image database at path for writing; false after saying why.
bool openForWriting(const QString& path, CDaoDatabase& database);

}  // namespace cli

#include "CliCommands.h"

#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cstdio>
#include <memory>
#include <optional>

#include "image/Export.h"
#include "image/ImageEach.h"
#include "image/RawGeometry.h"
#include "imaging/ImagingError.h"

namespace cli {
namespace {

struct Options {
  QString file;
  QMap<QString, QString> values;  // "--name" → value
};

// One positional FILE and "--name value" pairs from the allowed names.
std::optional<Options> parseOptions(const QStringList& args, const QStringList& allowed) {
  Options options;
  for (int i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (arg.startsWith(QLatin1String("--"))) {
      if (!allowed.contains(arg) || i + 1 >= args.size()) {
        printError(QStringLiteral("unknown option or missing value: %1").arg(arg));
        return std::nullopt;
      }
      options.values.insert(arg, args[++i]);
    } else if (options.file.isEmpty()) {
      options.file = arg;
    } else {
      printError(QStringLiteral("unexpected argument: %1").arg(arg));
      return std::nullopt;
    }
  }
  if (options.file.isEmpty()) {
    printError(QStringLiteral("no FILE given"));
    return std::nullopt;
  }
  return options;
}

// Opens FILE as DICOM, or as a raw file when --raw WxHxBITS is given. Prints the error and
// returns the exit status on failure.
int openImage(const Options& options, CImageEach& record, bool needPixels) {
  int code = 0;
  if (options.values.contains(QStringLiteral("--raw"))) {
    const auto raw = ParseRawGeometry(options.values.value(QStringLiteral("--raw")));
    if (!raw) {
      printError(QStringLiteral("--raw expects WIDTHxHEIGHTxBITS with BITS 8 or 16"));
      return kExitUsage;
    }
    code = record.OpenRaw(options.file, raw->width, raw->height, raw->bits);
  } else {
    code = record.OpenDicom(options.file, 0, 1);
  }
  if (code == 0 && needPixels && !record.image.IsAllocated()) code = record.pixelError();
  if (code != 0) {
    printError(QStringLiteral("%1: error %2 (%3)")
                   .arg(options.file)
                   .arg(code)
                   .arg(QString::fromStdString(imaging::imagingErrorText(code))));
    return kExitFailure;
  }
  return kExitOk;
}

QString dateText(const CDateTime& value) { return value.toString(); }

QJsonObject recordJson(const CImageEach& record) {
  const CDPatInfo& pat = record.scanInfo.Pat;
  const CDStuInfo& stu = record.scanInfo.Stu;
  const CDSerInfo& ser = record.scanInfo.Ser;
  const CDImgInfo& img = record.scanInfo.Img;
  int windowWidth = 0;
  int windowCentre = 0;
  record.image.GetWindow(windowWidth, windowCentre);
  record.image.ToFileWindow(windowWidth, windowCentre);

  QJsonObject patient{{"PatID", pat.PatID},
                      {"PatName", pat.PatName},
                      {"PatBirthDate", dateText(pat.PatBirthDate)},
                      {"PatSex", pat.PatSex},
                      {"PatientAge", record.patientAge}};
  QJsonObject study{{"StuID", stu.StuID},
                    {"StuInstanceUID", stu.StuInstanceUID},
                    {"StuDateTime", dateText(stu.StuDateTime)},
                    {"StuPhysicianRef", stu.StuPhysicianRef},
                    {"StuPhysician", stu.StuPhysician},
                    {"StuOperator", stu.StuOperator},
                    {"StuAccessNo", stu.StuAccessNo},
                    {"StuDesc", stu.StuDesc},
                    {"SOPInstanceUID", stu.Spare}};
  QJsonObject series{{"SeriesNo", static_cast<qint64>(ser.SeriesNo)},
                     {"SeriesDate", dateText(ser.SeriesDate)},
                     {"BodyPart", ser.BodyPart},
                     {"PatientPosition", ser.PatientPosition},
                     {"Laterality", ser.Laterality}};
  QJsonObject image{{"ImageNo", static_cast<qint64>(img.ImageNo)},
                    {"InstanceNumber", static_cast<qint64>(img.InstanceNumber)},
                    {"SeriesNo", static_cast<qint64>(img.SeriesNo)},
                    {"AcqNo", static_cast<qint64>(img.AcqNo)},
                    {"InstitutionName", img.InstitutionName},
                    {"InstitutionAddress", img.InstitutionAddress},
                    {"StationName", img.StationName},
                    {"KVP", img.KVP},
                    {"ExposureTime", static_cast<qint64>(img.ExposureTime)},
                    {"X_RayTubeCurrent", static_cast<qint64>(img.X_RayTubeCurrent)},
                    {"MA", img.MA},
                    {"MAS", img.MAS},
                    {"AcquisitionDateTime", dateText(img.AcquisitionDateTime)},
                    {"Comment", img.Comment},
                    {"ImagerPixelSpacing", img.ImagerPixelSpacing},
                    {"DoseAreaProduct", static_cast<qint64>(img.DoseAreaProduct)},
                    {"ExposureIndex", static_cast<qint64>(img.ExposureIndex)},
                    {"FrameTime", img.FrameTime},
                    {"NumberOfFrames", static_cast<qint64>(img.NumberOfFrames)},
                    {"PhotometricInterpretation", img.PhotometricInterpretation},
                    {"Rows", static_cast<qint64>(img.Rows)},
                    {"Columns", static_cast<qint64>(img.Columns)},
                    {"BitsAllocated", static_cast<qint64>(img.BitsAllocated)},
                    {"BitsStored", static_cast<qint64>(img.BitsStored)},
                    {"WindowCenter", img.WindowCenter},
                    {"WindowWidth", img.WindowWidth}};
  QJsonObject json{{"patient", patient},
                   {"study", study},
                   {"series", series},
                   {"image", image},
                   {"width", record.width},
                   {"height", record.height},
                   {"bitsStored", record.image.bitsStored()},
                   {"frameCount", record.frameCount},
                   {"frameTime", img.FrameTime},
                   {"windowWidth", img.WindowWidth},
                   {"windowCenter", img.WindowCenter},
                   {"displayWindow", QJsonObject{{"width", windowWidth}, {"centre", windowCentre}}},
                   {"pixelSpacing", img.ImagerPixelSpacing},
                   {"pixelError", record.pixelError()}};
  return json;
}

}  // namespace

void printError(const QString& message) {
  std::fprintf(stderr, "torascan-cli: %s\n", message.toLocal8Bit().constData());
}

void printUsage(std::FILE* stream) {
  std::fputs(
      "usage: torascan-cli info FILE [--raw WxHxBITS]\n"
      "       torascan-cli export FILE --format bmp|jpg|png --out DIR [--prefix P]\n"
      "       torascan-cli render FILE --size WxH --out OUT.png [--raw WxHxBITS]\n"
      "       torascan-cli db-fill --db DB --patients N [--studies-per-patient S]"
      " [--images-per-study K]\n"
      "       torascan-cli db-stats --db DB\n"
      "       torascan-cli db-copy --from DB --to DB [--reports-from DB --reports-to DB]"
      " [--batch ROWS]\n"
      "           copies every table of an image database (--from/--to) and of a report\n"
      "           database (--reports-from/--reports-to, toraScan.db) into another one,\n"
      "           created when missing; keys kept, ROWS rows a transaction (default 5000),\n"
      "           progress on stderr. Run it again after an interruption to go on where it\n"
      "           stopped; refused when both name one database or the target holds other rows\n"
      "       torascan-cli import --db DB [--recursive] PATH...\n"
      "       torascan-cli watch --db DB --folder DIR [--archive DIR] [--forward-to NODE,...]\n"
      "           [--once]\n"
      "       torascan-cli watch --station [--db DB] [--archive DIR] [--forward-to NODE,...]\n"
      "           [--once]\n"
      "           indexes the files dropped into DIR and moves them into the archive\n"
      "           (default: \"archive\" beside DIR), one folder per study; unreadable ones\n"
      "           go to DIR/rejected with the reason in DIR/rejected/rejected.log;\n"
      "           --station: the station receiver's drop folder (Vantrel.ini) and database\n"
      "       torascan-cli report-pdf --db PATH --uid SOPUID --out FILE.pdf\n"
      "       torascan-cli delete --db DB --operator NAME (--patient ID | --study STUSEQ |\n"
      "           --series SERSEQ | --image SERSEQ:IMAGENO | --all) [--storage DIR]...\n"
      "       torascan-cli renumber --db DB --operator NAME --series SERSEQ --move C\n"
      "           --before B [--to-series SERSEQ] [--storage DIR]...\n"
      "           the operator's password is read from standard input; files are removed\n"
      "           only inside the storage folders (default: the database file's folder)\n"
      "       torascan-cli operator add|passwd|remove --db DB NAME\n"
      "       torascan-cli operator list --db DB\n"
      "           the operators who may delete; add reads the password from standard input,\n"
      "           passwd the old password and then the new one (one a line)\n"
      "       torascan-cli node add --db DB --name NAME --ae AE --host HOST --port PORT\n"
      "           [--use send,query]\n"
      "       torascan-cli node edit --db DB --name NAME [--new-name NAME] [--ae AE]\n"
      "           [--host HOST] [--port PORT] [--use send,query]\n"
      "       torascan-cli node remove|echo --db DB --name NAME\n"
      "       torascan-cli node list --db DB\n"
      "           the DICOM nodes images are sent to (JSON); echo asks the node for a C-ECHO\n"
      "       torascan-cli send --db DB --node NAME (--patient ID | --study UID |\n"
      "           --series SERSEQ | --image SOPUID)... [--max-tries N] [--retry-pause S]\n"
      "           queues the images for the node and sends them now; the job as JSON\n"
      "       torascan-cli send-queue --db DB [--once] [--max-tries N] [--retry-pause S]\n"
      "           works the send queue until SIGTERM (--once: the jobs due now)\n"
      "  DB (--db): a SQLite file's path, or a PostgreSQL database's URL\n"
      "  postgresql://USER@HOST:PORT/NAME (postgresql://USER@/NAME?host=SOCKETDIR for a\n"
      "  local socket); the password comes from PGPASSWORD or ~/.pgpass\n"
      "       torascan-cli --version | --help\n",
      stream);
}

int runInfo(const QStringList& args) {
  const auto options = parseOptions(args, {QStringLiteral("--raw")});
  if (!options) return kExitUsage;
  CImageEach record;
  if (const int status = openImage(*options, record, false); status != kExitOk) return status;
  QJsonObject json = recordJson(record);
  json.insert(QStringLiteral("file"), QFileInfo(options->file).absoluteFilePath());
  std::fputs(QJsonDocument(json).toJson(QJsonDocument::Indented).constData(), stdout);
  return kExitOk;
}

int runExport(const QStringList& args) {
  const auto options = parseOptions(
      args, {QStringLiteral("--format"), QStringLiteral("--out"), QStringLiteral("--prefix")});
  if (!options) return kExitUsage;
  const QString format = options->values.value(QStringLiteral("--format")).toLower();
  const QString folder = options->values.value(QStringLiteral("--out"));
  if (!QStringList{"bmp", "jpg", "png"}.contains(format) || folder.isEmpty()) {
    printError(QStringLiteral("export needs --format bmp|jpg|png and --out DIR"));
    return kExitUsage;
  }
  if (!QFileInfo(folder).isDir()) {
    printError(QStringLiteral("%1: not a folder").arg(folder));
    return kExitFailure;
  }
  CImageEach record;
  if (const int status = openImage(*options, record, true); status != kExitOk) return status;
  const QString written = ExportImage(
      QString(), folder, options->values.value(QStringLiteral("--prefix")), 1, format, &record);
  if (written.isEmpty()) {
    printError(QStringLiteral("%1: could not write into %2").arg(options->file, folder));
    return kExitFailure;
  }
  std::printf("%s\n", written.toLocal8Bit().constData());
  return kExitOk;
}

int runRender(const QStringList& args) {
  const auto options = parseOptions(
      args, {QStringLiteral("--size"), QStringLiteral("--out"), QStringLiteral("--raw")});
  if (!options) return kExitUsage;
  static const QRegularExpression sizePattern(QStringLiteral("^(\\d+)x(\\d+)$"));
  const QRegularExpressionMatch size =
      sizePattern.match(options->values.value(QStringLiteral("--size")));
  const QString out = options->values.value(QStringLiteral("--out"));
  const int paneWidth = size.captured(1).toInt();
  const int paneHeight = size.captured(2).toInt();
  if (!size.hasMatch() || out.isEmpty() || paneWidth <= 0 || paneHeight <= 0 || paneWidth > 20000 ||
      paneHeight > 20000) {
    printError(QStringLiteral("render needs --size WxH (1..20000) and --out OUT.png"));
    return kExitUsage;
  }
  CImageEach record;
  if (const int status = openImage(*options, record, true); status != kExitOk) return status;

  QImage pane(paneWidth, paneHeight, QImage::Format_RGB32);
  const QRect client(0, 0, paneWidth, paneHeight);
  int windowWidth = 0;
  int windowCentre = 0;
  record.image.GetWindow(windowWidth, windowCentre);
  record.image.SetWindow(windowWidth, windowCentre);
  record.image.ResetView();
  record.image.FitToRect(client);
  record.image.FillBackground(pane, client, qRgb(0, 0, 0));
  record.image.Paint(pane);
  if (!pane.save(out, "PNG")) {
    printError(QStringLiteral("%1: cannot write").arg(out));
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace cli

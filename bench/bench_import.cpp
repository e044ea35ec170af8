// Import throughput: folders of small (about 24 KB) and large (7.5 MB: 2000 x 1875 x 16 bit,
// uncompressed) CR files, written with DCMTK into a temporary folder when the benchmark starts,
// imported into a fresh image database per pass from a warm page cache. In process through
// ImportImageFile, the set-up of the fresh database not counted; and as one run of torascan-cli
// import over the folder, the process start and the creation of the database counted; the
// batched ImportFiles that the command runs also in process. Each pass
// is timed by hand (manual time); files_per_s is its rate. Targets: 3,000 small and 500 large
// files a second. With TORASCAN_BENCH_DB naming a server database, each pass imports into a
// fresh database on that server instead (BenchArchive.h).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>

#include "BenchArchive.h"
#include "browser/ImportImage.h"

namespace {

enum FileSize { Small, Large };

struct FileSet {
  QString folder;
  QStringList files;
};

struct Shape {
  const char* name;
  int count;
  Uint16 columns;
  Uint16 rows;
};
// Enough files for a pass of well over a second at the target rates.
constexpr Shape kShapes[] = {{"small", 6000, 104, 104}, {"large", 500, 2000, 1875}};

// Ten images a patient: one study of two series of five.
void writeSet(const Shape& shape, FileSet& set) {
  DcmFileFormat file;
  DcmDataset* ds = file.getDataset();
  const auto put = [ds](const DcmTagKey& key, const std::string& value) {
    ds->putAndInsertString(key, value.c_str());
  };
  put(DCM_SOPClassUID, UID_ComputedRadiographyImageStorage);
  put(DCM_Modality, "CR");
  put(DCM_PatientBirthDate, "19700102");
  put(DCM_PatientSex, "F");
  put(DCM_StudyDate, "20240305");
  put(DCM_StudyTime, "101112");
  put(DCM_ContentDate, "20240305");
  put(DCM_ContentTime, "101530");
  put(DCM_InstitutionName, "Benchmark Hospital");
  put(DCM_StationName, "ROOM1");
  put(DCM_Manufacturer, "Synthetic");
  put(DCM_BodyPartExamined, "CHEST");
  put(DCM_ViewPosition, "PA");
  put(DCM_PatientPosition, "PA");
  put(DCM_KVP, "110");
  put(DCM_ExposureTime, "20");
  put(DCM_XRayTubeCurrent, "250");
  put(DCM_Exposure, "5");
  put(DCM_ImagerPixelSpacing, "0.143\\0.143");
  put(DCM_WindowCenter, "2048");
  put(DCM_WindowWidth, "4096");
  put(DCM_PhotometricInterpretation, "MONOCHROME2");
  ds->putAndInsertUint16(DCM_SamplesPerPixel, 1);
  ds->putAndInsertUint16(DCM_Rows, shape.rows);
  ds->putAndInsertUint16(DCM_Columns, shape.columns);
  ds->putAndInsertUint16(DCM_BitsAllocated, 16);
  ds->putAndInsertUint16(DCM_BitsStored, 12);
  ds->putAndInsertUint16(DCM_HighBit, 11);
  ds->putAndInsertUint16(DCM_PixelRepresentation, 0);
  std::vector<Uint16> pixels(std::size_t(shape.columns) * shape.rows);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = Uint16(i % 4096);
  ds->putAndInsertUint16Array(DCM_PixelData, pixels.data(), (unsigned long)pixels.size());
  for (int i = 0; i < shape.count; ++i) {
    const int patient = i / 10;
    const std::string id = std::to_string(patient);
    const std::string uid = "1.2.826.0.1.3680043.10.999." + std::to_string(shape.columns) + ".";
    put(DCM_PatientID, "P" + id);
    put(DCM_PatientName, "Patient^" + id);
    put(DCM_StudyID, "S" + id);
    put(DCM_AccessionNumber, "A" + id);
    put(DCM_StudyInstanceUID, uid + id);
    put(DCM_SeriesNumber, std::to_string(i % 10 / 5 + 1));
    put(DCM_SeriesInstanceUID, uid + id + "." + std::to_string(i % 10 / 5 + 1));
    put(DCM_InstanceNumber, std::to_string(i % 5 + 1));
    put(DCM_SOPInstanceUID,
        uid + id + "." + std::to_string(i % 10 / 5 + 1) + "." + std::to_string(i % 5 + 1));
    const QString path = set.folder + QStringLiteral("/%1.dcm").arg(i, 5, 10, QLatin1Char('0'));
    if (file.saveFile(QFile::encodeName(path).constData(), EXS_LittleEndianExplicit).good())
      set.files.append(path);
  }
}

const FileSet& fileSet(FileSize size) {
  static std::unique_ptr<QTemporaryDir> root;
  static FileSet sets[2];
  if (!root) root = std::make_unique<QTemporaryDir>();
  FileSet& set = sets[size];
  if (set.files.isEmpty()) {
    set.folder = root->filePath(QLatin1String(kShapes[size].name));
    QDir().mkpath(set.folder);
    writeSet(kShapes[size], set);
    // Warm the page cache with everything an import reads.
    QTemporaryDir scratch;
    CDaoDatabase database;
    database.Open(scratch.filePath(QStringLiteral("warm.db")));
    CImageImport import(database);
    QString patID;
    for (const QString& file : set.files) import.ImportImageFile(file, patID);
  }
  return set;
}

// The time of one pass over the set, and its rate; the set-up of each pass (a fresh database)
// is not counted.
void report(benchmark::State& state, const FileSet& set, const QElapsedTimer& pass) {
  const double seconds = double(pass.nsecsElapsed()) / 1e9;
  state.SetIterationTime(seconds);
  state.counters["files_per_s"] = double(set.files.size()) / seconds;
}

void BM_ImportImageFile(benchmark::State& state) {
  const FileSet& set = fileSet(static_cast<FileSize>(state.range(0)));
  if (set.files.size() != kShapes[state.range(0)].count) {
    state.SkipWithError("the files could not be written");
    return;
  }
  for (auto _ : state) {
    const bench::FreshDatabase scratch;
    CDaoDatabase database;
    if (!database.Open(scratch.location())) {
      state.SkipWithError("cannot open a fresh database");
      return;
    }
    CImageImport import(database);
    QString patID;
    QElapsedTimer pass;
    pass.start();
    for (const QString& file : set.files) {
      if (import.ImportImageFile(file, patID) != kImportDone || import.WasDuplicate()) {
        state.SkipWithError("a file was not imported");
        return;
      }
    }
    report(state, set, pass);
  }
}

// The header reading alone, on one thread: the share of the import that the batched import
// moves to the second core.
void BM_ReadImageFile(benchmark::State& state) {
  const FileSet& set = fileSet(static_cast<FileSize>(state.range(0)));
  for (auto _ : state) {
    QElapsedTimer pass;
    pass.start();
    for (const QString& file : set.files) {
      if (CImageImport::ReadImageFile(file).code != kImportDone) {
        state.SkipWithError("a file was not read");
        return;
      }
    }
    report(state, set, pass);
  }
}

// One timed pass of the batched import over the set into database; the images it indexed.
long importPass(benchmark::State& state, const FileSet& set, CDaoDatabase& database) {
  CImageImport import(database);
  long indexed = 0;
  QElapsedTimer pass;
  pass.start();
  import.ImportFiles(set.files, [&indexed](const CImageImport::FileOutcome& outcome) {
    if (outcome.code == kImportDone && !outcome.duplicate) ++indexed;
  });
  report(state, set, pass);
  return indexed;
}

// The batched import the command runs: headers read ahead on the second core, a transaction
// per batch.
void BM_ImportFiles(benchmark::State& state) {
  const FileSet& set = fileSet(static_cast<FileSize>(state.range(0)));
  for (auto _ : state) {
    const bench::FreshDatabase scratch;
    CDaoDatabase database;
    if (!database.Open(scratch.location())) {
      state.SkipWithError("cannot open a fresh database");
      return;
    }
    if (importPass(state, set, database) != set.files.size()) {
      state.SkipWithError("a file was not imported");
      return;
    }
  }
}

// The batched import into the shared archive of 1,000,000 images (BenchArchive.h): its tables
// already large, their statistics gathered. After each pass the rows it added are deleted again
// (not timed): the set's patient IDs ("P0" to "P599") are shorter than the archive's.
void BM_ImportFiles_IntoArchive(benchmark::State& state) {
  const FileSet& set = fileSet(static_cast<FileSize>(state.range(0)));
  const auto removeSet = [&set] {
    QString error;
    QSqlDatabase db = imagedb::openConnection(bench::archive(), &error);
    QSqlQuery query(db);
    const QString ours = QStringLiteral("PatID LIKE 'P%' AND length(PatID) <= 4");
    const bool removed =
        query.exec(
            QStringLiteral("DELETE FROM ImgInfo WHERE FullPath LIKE '%1/%'").arg(set.folder)) &&
        query.exec(QStringLiteral("DELETE FROM SerInfo WHERE ") + ours) &&
        query.exec(QStringLiteral("DELETE FROM StuInfo WHERE ") + ours) &&
        query.exec(QStringLiteral("DELETE FROM PatInfo WHERE ") + ours);
    imagedb::releaseConnection(db);
    return removed;
  };
  if (!removeSet()) {
    state.SkipWithError("cannot open the archive");
    return;
  }
  CDaoDatabase database;
  if (!database.Open(bench::archive())) {
    state.SkipWithError("cannot open the archive");
    return;
  }
  for (auto _ : state) {
    if (importPass(state, set, database) != set.files.size() || !removeSet()) {
      state.SkipWithError("a file was not imported");
      return;
    }
  }
}

void BM_ImportCli(benchmark::State& state) {
  const FileSet& set = fileSet(static_cast<FileSize>(state.range(0)));
  for (auto _ : state) {
    const bench::FreshDatabase scratch;
    QProcess process;
    QElapsedTimer pass;
    pass.start();
    process.start(QStringLiteral(TORASCAN_PROGRAM_DIR "/torascan-cli"),
                  {QStringLiteral("import"), QStringLiteral("--db"), scratch.location(),
                   set.folder});
    process.waitForFinished(-1);
    report(state, set, pass);
    const QJsonObject json = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    if (process.exitCode() != 0 ||
        json.value(QStringLiteral("imported")).toInt() != set.files.size()) {
      state.SkipWithError("torascan-cli import failed");
      return;
    }
  }
}

void sizes(benchmark::internal::Benchmark* b) {
  b->ArgName("large")->Arg(Small)->Arg(Large);
  b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(5);
}

BENCHMARK(BM_ImportImageFile)->Apply(sizes);
BENCHMARK(BM_ReadImageFile)->Apply(sizes);
BENCHMARK(BM_ImportFiles)->Apply(sizes);
BENCHMARK(BM_ImportCli)->Apply(sizes);
BENCHMARK(BM_ImportFiles_IntoArchive)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();

// Speed of the image core on a 3000 x 3000 16-bit radiograph: open to a rendered 1000 x 1000
// pane (uncompressed and JPEG lossless), a window change, and the PNG export of the command-line
// tool against DCMTK's own renderer on the same file.
//
#include <benchmark/benchmark.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "BenchFiles.h"
#include "image/ImageEach.h"

namespace {

const QString kProgramDir = QStringLiteral(TORASCAN_PROGRAM_DIR);

QString uncompressedFile() { return benchFile(QStringLiteral("bench_3000_unc.dcm")); }
QString jpegLosslessFile() { return benchFile(QStringLiteral("bench_3000_jpll.dcm")); }

const QRect kPane(0, 0, 1000, 1000);

void openAndRender(benchmark::State& state, const QString& path) {
  QImage pane(kPane.size(), QImage::Format_RGB32);
  for (auto _ : state) {
    CImageEach record;
    if (record.OpenDicom(path, 0, 0) != 0 || !record.image.IsAllocated()) {
      state.SkipWithError("cannot open the benchmark file");
      return;
    }
    record.image.FitToRect(kPane);
    record.image.FillBackground(pane, kPane, qRgb(0, 0, 0));
    record.image.Paint(pane);
    benchmark::DoNotOptimize(pane.constBits());
  }
}

void BM_OpenToPane_Uncompressed(benchmark::State& state) { openAndRender(state, uncompressedFile()); }
void BM_OpenToPane_JpegLossless(benchmark::State& state) { openAndRender(state, jpegLosslessFile()); }

void BM_WindowChange(benchmark::State& state) {
  CImageEach record;
  if (record.OpenDicom(uncompressedFile(), 0, 0) != 0) {
    state.SkipWithError("cannot open the benchmark file");
    return;
  }
  QImage pane(kPane.size(), QImage::Format_RGB32);
  record.image.FitToRect(kPane);
  int width = 0;
  int centre = 0;
  record.image.GetWindow(width, centre);
  int step = 0;
  for (auto _ : state) {
    // A drag changes the window a little at every mouse step.
    ++step;
    record.image.SetWindow(width + (step % 50) * 10, centre + (step % 30) * 5);
    record.image.Paint(pane);
    benchmark::DoNotOptimize(pane.constBits());
  }
}

void runProcess(benchmark::State& state, const QString& program, const QStringList& args) {
  for (auto _ : state) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
      state.SkipWithError(qPrintable(program + QStringLiteral(" failed")));
      return;
    }
  }
}

void BM_ExportPng_Cli(benchmark::State& state) {
  QTemporaryDir out;
  runProcess(state, kProgramDir + QStringLiteral("/torascan-cli"),
             {QStringLiteral("export"), uncompressedFile(), QStringLiteral("--format"),
              QStringLiteral("png"), QStringLiteral("--out"), out.path()});
}

void BM_ExportPng_Dcmj2pnm(benchmark::State& state) {
  QTemporaryDir out;
  runProcess(state, QStringLiteral("dcmj2pnm"),
             {QStringLiteral("+Wi"), QStringLiteral("1"), QStringLiteral("--write-png"),
              uncompressedFile(), out.filePath(QStringLiteral("reference.png"))});
}

void medians(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true)->UseRealTime();
}

BENCHMARK(BM_OpenToPane_Uncompressed)->Apply(medians);
BENCHMARK(BM_OpenToPane_JpegLossless)->Apply(medians);
BENCHMARK(BM_WindowChange)->Apply(medians);
BENCHMARK(BM_ExportPng_Cli)->Apply(medians)->Iterations(3);
BENCHMARK(BM_ExportPng_Dcmj2pnm)->Apply(medians)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

// Speed and memory of the viewer shell: start to main window shown, opening four 3000 x 3000
// images into the 2 x 2 layout, and the resident memory with those four open.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include "BenchFiles.h"
#include "frame/Commands.h"
#include "frame/widgets/MainFrame.h"
#include "view/widgets/ToraScanView.h"

namespace {

const QString kProgramDir = QStringLiteral(TORASCAN_PROGRAM_DIR);

QString largeFile() { return benchFile(QStringLiteral("bench_3000_unc.dcm")); }

long residentKilobytes() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  }
  return 0;
}

// The whole program: process start until its main window is shown (it quits right after).
void BM_StartToMainWindowShown(benchmark::State& state) {
  for (auto _ : state) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(kProgramDir + QStringLiteral("/toraScan"), {QStringLiteral("--exit-when-shown")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
      state.SkipWithError("toraScan did not start");
      return;
    }
  }
}

// One image opened into the 2 x 2 layout and painted, four times per iteration.
void BM_OpenIntoTwoByTwo(benchmark::State& state) {
  const QString path = largeFile();
  long resident = 0;
  double openMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    CMainFrame frame;
    frame.resize(1600, 1000);
    frame.show();
    frame.OnCommand(command::Layout2x2);
    state.ResumeTiming();
    for (int i = 0; i < 4; ++i) {
      QElapsedTimer timer;
      timer.start();
      // A second copy of the same file is wanted here: answer the question with Yes.
      if (frame.OpenImage(path, true) != 0) {
        state.SkipWithError("cannot open the benchmark file");
        return;
      }
      frame.view()->repaint();
      QApplication::processEvents();
      openMs += double(timer.nsecsElapsed()) / 1e6;
    }
    state.PauseTiming();
    resident = residentKilobytes();
    state.ResumeTiming();
  }
  state.counters["ms_per_image"] = openMs / double(state.iterations() * 4);
  state.counters["resident_MB_with_4_open"] = double(resident) / 1024.0;
}

void medians(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();
}

BENCHMARK(BM_StartToMainWindowShown)->Apply(medians)->Iterations(3);
BENCHMARK(BM_OpenIntoTwoByTwo)->Apply(medians)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::benchmark::Initialize(&argc, argv);
  ::benchmark::RunSpecifiedBenchmarks();
  ::benchmark::Shutdown();
  return 0;
}

// Speed and memory of the viewer shell: start to main window shown, opening four 3000 x 3000
// images into the 2 x 2 layout, the resident memory with those four open, one cine frame
// step of a 1024 x 1024 multi-frame image in a 1000 x 1000 pane, and one step of the window,
// zoom and glass drags there on a 3000 x 3000 image.
#include <benchmark/benchmark.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "BenchFiles.h"
#include "display/PaneHost.h"
#include "display/widgets/ImgDisp.h"
#include "frame/Commands.h"
#include "frame/OpenImages.h"
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

// Writes a 16-bit multi-frame file of side x side pixels whose frames differ, 33 ms apart.
bool writeMultiFrame(const QString& path, int side, int frames) {
  DcmFileFormat file;
  DcmDataset* data = file.getDataset();
  char uid[100];
  data->putAndInsertString(DCM_SOPClassUID,
                           UID_MultiframeGrayscaleWordSecondaryCaptureImageStorage);
  data->putAndInsertString(DCM_SOPInstanceUID,
                           dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT));
  data->putAndInsertString(DCM_Modality, "XA");
  data->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
  data->putAndInsertUint16(DCM_SamplesPerPixel, 1);
  data->putAndInsertUint16(DCM_Rows, Uint16(side));
  data->putAndInsertUint16(DCM_Columns, Uint16(side));
  data->putAndInsertUint16(DCM_BitsAllocated, 16);
  data->putAndInsertUint16(DCM_BitsStored, 12);
  data->putAndInsertUint16(DCM_HighBit, 11);
  data->putAndInsertUint16(DCM_PixelRepresentation, 0);
  data->putAndInsertString(DCM_NumberOfFrames, std::to_string(frames).c_str());
  data->putAndInsertString(DCM_FrameTime, "33");
  data->putAndInsertString(DCM_WindowCenter, "2048");
  data->putAndInsertString(DCM_WindowWidth, "4096");
  std::vector<Uint16> pixels(std::size_t(side) * side * frames);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = Uint16((i * 7 + i / 4099) & 0xfff);
  data->putAndInsertUint16Array(DCM_PixelData, pixels.data(), unsigned(pixels.size()));
  return file.saveFile(path.toStdString().c_str(), EXS_LittleEndianExplicit).good();
}

// The main frame as far as one pane needs it.
class PaneOnlyHost : public CPaneHost {
 public:
  COpenImages& openImages() override { return images; }
  double windowValue() const override { return window; }
  void setWindowValue(double value) override { window = value; }
  int windowType() const override { return 0; }
  void setRawSource(bool) override {}
  int openImage(const QString&, bool) override { return -1; }
  const OverlaySwitches& overlaySwitches() const override { return overlay; }

  COpenImages images;
  double window = 0;
  OverlaySwitches overlay;
};

// One 1000 x 1000 pane showing record.
class SinglePane {
 public:
  explicit SinglePane(std::unique_ptr<CImageEach> record) {
    record->loaded = true;
    m_host.images.append(std::move(record));
    m_view.resize(1000, 1000);
    m_view.show();
    m_view.ShowImage(0);
    QApplication::processEvents();
  }
  CImgDisp& pane() { return *m_view.pane(0, 0); }

 private:
  PaneOnlyHost m_host;
  CtoraScanView m_view{&m_host};
};

// What the cine timer does at each tick: the next frame copied into the displayed image and the
// pane repainted (the whole 1000 x 1000 pane, with overlay text and rulers). 30 frames per
// second leave 33 ms for it.
void BM_CineFrameStep(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("cine_1024.dcm"));
  auto record = std::make_unique<CImageEach>();
  if (!writeMultiFrame(path, 1024, 8) || record->OpenDicom(path, 0, 1) != 0 ||
      record->frames().size() != 8) {
    state.SkipWithError("cannot make the multi-frame file");
    return;
  }
  SinglePane shown(std::move(record));
  CImgDisp* pane = &shown.pane();
  for (auto _ : state) {
    pane->CineNext();
    pane->repaint();
  }
}

// One step of a drag through the pane itself: the mouse event, the filter's work and the
// repaint of the 1000 x 1000 pane, on the 3000 x 3000 image. Argument: 0 window and level
// (right button), 1 zoom, 2 magnifying glass.
void BM_PaneDragStep(benchmark::State& state) {
  auto record = std::make_unique<CImageEach>();
  if (record->OpenDicom(largeFile(), 0, 0) != 0) {
    state.SkipWithError("cannot open the benchmark file");
    return;
  }
  SinglePane shown(std::move(record));
  CImgDisp* pane = &shown.pane();
  const int kind = static_cast<int>(state.range(0));
  const Qt::MouseButton button = kind == 0 ? Qt::RightButton : Qt::LeftButton;
  if (kind != 0) pane->SetMode(kind == 1 ? CImgDisp::kModeZoom : CImgDisp::kModeMagnify);
  QApplication::processEvents();
  const auto send = [&](QEvent::Type type, const QPoint& at, Qt::MouseButton changed) {
    QMouseEvent event(type, QPointF(at), pane->mapToGlobal(QPointF(at)), changed,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(pane, &event);
  };
  send(QEvent::MouseButtonPress, QPoint(500, 500), button);
  int step = 0;
  for (auto _ : state) {
    // Back and forth, so the drag never runs into a limit.
    const int offset = (++step % 100) < 50 ? step % 50 : 50 - step % 50;
    send(QEvent::MouseMove, QPoint(450 + offset, 550 - offset), Qt::NoButton);
    pane->repaint();
  }
  send(QEvent::MouseButtonRelease, QPoint(500, 500), button);
}

void medians(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();
}

BENCHMARK(BM_StartToMainWindowShown)->Apply(medians)->Iterations(3);
BENCHMARK(BM_OpenIntoTwoByTwo)->Apply(medians)->Iterations(2);
BENCHMARK(BM_CineFrameStep)->Apply(medians)->Iterations(60);
BENCHMARK(BM_PaneDragStep)->Apply(medians)->Iterations(60)->Arg(0)->Arg(1)->Arg(2);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::benchmark::Initialize(&argc, argv);
  ::benchmark::RunSpecifiedBenchmarks();
  ::benchmark::Shutdown();
  return 0;
}

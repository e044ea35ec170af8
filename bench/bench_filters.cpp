// One mouse step of each drag on a 3000 x 3000 16-bit radiograph fitted into a 1000 x 1000
// pane: the filter's event and the picture the pane paints for it (window and level, zoom: the
// working copy and the text over the whole pane; glass: the sampled region resized and the
// glass drawn over the pane's saved picture).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "BenchFiles.h"
#include "display/Filters.h"
#include "display/PaneWindow.h"
#include "image/ImageEach.h"

namespace {

class BenchPane : public CPaneWindow {
 public:
  QRect clientRect() const override { return QRect(0, 0, 1000, 1000); }
  void invalidate() override {}
  void invalidateRect(const QRect&) override {}
  void beginCapture() override {}
  void endCapture() override {}
  QPoint cursorPos() const override { return {}; }
  void setCursorPos(const QPoint&) override {}
};

// The benchmark image, opened once and fitted into the pane.
CImageEach* shownImage(BenchPane& pane) {
  static CImageEach record;
  static bool opened = false;
  if (!opened) {
    if (record.OpenDicom(benchFile(QStringLiteral("bench_3000_unc.dcm")), 0, 0) != 0) {
      return nullptr;
    }
    record.image.FitToRect(pane.clientRect());
    opened = true;
  }
  return &record;
}

// A drag that goes back and forth so it never runs into a limit.
QPoint stepPoint(int step) {
  const int phase = step % 200;
  const int offset = phase < 100 ? phase : 200 - phase;
  return QPoint(400 + offset, 600 - offset);
}

// Presses, then times one move and the painting it causes per iteration.
template <class Kind, class PaintStep>
void dragStep(benchmark::State& state, unsigned buttons, PaintStep paintStep) {
  BenchPane pane;
  CImageEach* record = shownImage(pane);
  if (record == nullptr || !Kind::Start(&pane, &record->image)) {
    state.SkipWithError("cannot open the benchmark file");
    return;
  }
  QImage canvas(1000, 1000, QImage::Format_RGB32);
  record->image.Paint(canvas);
  const QImage saved = canvas;
  Kind::Event(CFilter::kButtonDown, buttons, stepPoint(0));
  int step = 0;
  for (auto _ : state) {
    Kind::Event(CFilter::kMouseMove, buttons, stepPoint(++step));
    paintStep(*Kind::Live(), canvas, saved);
    benchmark::DoNotOptimize(canvas.constBits());
  }
  Kind::Destroy();
}

// Window and level, zoom: the drag's picture over the pane's picture as the drag began.
void paintLive(CFilter& filter, QImage& canvas, const QImage& saved) {
  canvas = saved;
  filter.PaintLive(canvas);
}

void BM_WindowLevelStep(benchmark::State& state) {
  dragStep<CFilterWindowLevel>(state, MK_RBUTTON, paintLive);
}

void BM_ZoomStep(benchmark::State& state) { dragStep<CFilterZoom>(state, MK_LBUTTON, paintLive); }

void BM_GlassStep(benchmark::State& state) {
  // The pane repaints only the old and new glass areas from its saved picture.
  dragStep<CFilterGlass>(state, MK_LBUTTON,
                         [](CFilterGlass& glass, QImage& canvas, const QImage& saved) {
                           QPainter painter(&canvas);
                           painter.setClipRect(glass.glassRect().adjusted(-2, -2, 2, 2));
                           painter.drawImage(0, 0, saved);
                           glass.PaintGlass(painter);
                         });
}

void medians(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true)->UseRealTime();
}

}  // namespace

BENCHMARK(BM_WindowLevelStep)->Apply(medians);
BENCHMARK(BM_ZoomStep)->Apply(medians);
BENCHMARK(BM_GlassStep)->Apply(medians);

int main(int argc, char** argv) {
  // The filters' texts need fonts, which need an application object.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::benchmark::Initialize(&argc, argv);
  ::benchmark::RunSpecifiedBenchmarks();
  ::benchmark::Shutdown();
  return 0;
}

// Speed of the thumbnail strip: the first fill of a 6 x 6 grid from 3000 x 3000 radiographs
// (nothing cached yet: every thumbnail read and made), and one scroll step of a strip whose
// thumbnails are already in memory. "cores" is the process's CPU time over the wall time: near
// 2 when both cores of this machine make thumbnails.
#include <benchmark/benchmark.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "browser/ThumbnailCache.h"
#include "browser/ThumbnailMaker.h"
#include "browser/widgets/DlgWndBrowser.h"
#include "browser/widgets/WndBrowserImg.h"

namespace {

constexpr int kSide = 3000;
constexpr int kGridImages = 36;

// 36 different uncompressed 16-bit CR files of 3000 x 3000, made once per run.
const QList<CDImgInfo>& largeImages() {
  static QTemporaryDir dir;
  static QList<CDImgInfo> images;
  if (!images.isEmpty()) return images;
  std::vector<Uint16> pixels(std::size_t(kSide) * kSide);
  for (int i = 0; i < kGridImages; ++i) {
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        pixels[std::size_t(y) * kSide + x] = Uint16((x + y + 97 * i) % 4096);
      }
    }
    DcmFileFormat file;
    DcmDataset* data = file.getDataset();
    data->putAndInsertString(DCM_SOPClassUID, UID_ComputedRadiographyImageStorage);
    data->putAndInsertString(DCM_SOPInstanceUID, ("1.2.3.4.5." + std::to_string(i + 1)).c_str());
    data->putAndInsertString(DCM_Modality, "CR");
    data->putAndInsertUint16(DCM_Rows, kSide);
    data->putAndInsertUint16(DCM_Columns, kSide);
    data->putAndInsertUint16(DCM_SamplesPerPixel, 1);
    data->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
    data->putAndInsertUint16(DCM_BitsAllocated, 16);
    data->putAndInsertUint16(DCM_BitsStored, 12);
    data->putAndInsertUint16(DCM_HighBit, 11);
    data->putAndInsertUint16(DCM_PixelRepresentation, 0);
    data->putAndInsertString(DCM_WindowCenter, "2048");
    data->putAndInsertString(DCM_WindowWidth, "4096");
    data->putAndInsertUint16Array(DCM_PixelData, pixels.data(), unsigned(pixels.size()));
    CDImgInfo info;
    info.FullPath = dir.filePath(QStringLiteral("cr%1.dcm").arg(i + 1));
    info.SerSeq = 1;
    info.SeriesNo = 1;
    info.ImageNo = i + 1;
    info.NumberOfFrames = 1;
    if (file.saveFile(QFile::encodeName(info.FullPath).constData(), EXS_LittleEndianExplicit)
            .bad()) {
      return images;
    }
    images.append(info);
  }
  return images;
}

bool allPicturesReady(const CDlgWndBrowser& strip) {
  for (int slot = 0; slot < strip.WindowCount(); ++slot) {
    const CWndBrowserImg* window = strip.Window(slot);
    if (window->Element() != nullptr && window->Picture().isNull()) return false;
  }
  return true;
}

void waitForPictures(const CDlgWndBrowser& strip) {
  while (!allPicturesReady(strip)) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// From the images handed over until all 36 thumbnails are painted; nothing in memory or on
// disk beforehand.
void BM_FirstFillOfTheGrid(benchmark::State& state) {
  const QList<CDImgInfo>& images = largeImages();
  if (images.size() != kGridImages) {
    state.SkipWithError("cannot write the benchmark files");
    return;
  }
  double cpuSeconds = 0;
  double wallSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    QDir(CThumbnailCache::DefaultDiskFolder()).removeRecursively();
    QWidget browser;
    browser.resize(1246, 600);
    auto* strip = new CDlgWndBrowser(&browser);
    strip->InitStrip(QRect(0, 500, 1000, 100), QRect(0, 0, 90, 90), nullptr);
    strip->LayoutGrid(QRect(0, 0, 1246, 600), 6, 6);
    browser.show();
    QApplication::processEvents();
    const std::clock_t cpuStart = std::clock();
    const auto wallStart = std::chrono::steady_clock::now();
    state.ResumeTiming();
    strip->AddImages(images);
    waitForPictures(*strip);
    strip->repaint();
    state.PauseTiming();
    cpuSeconds += double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    wallSeconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    state.ResumeTiming();
  }
  state.counters["cores"] = cpuSeconds / wallSeconds;
}

// One step to the right (back to the left at the end) and the repaint of every window, in a
// row of 9 and in the 6 x 6 grid, with every thumbnail of the 100-image list in memory.
void BM_ScrollStepCached(benchmark::State& state) {
  const bool grid = state.range(0) == 1;
  const QList<CDImgInfo>& large = largeImages();
  if (large.size() != kGridImages) {
    state.SkipWithError("cannot write the benchmark files");
    return;
  }
  QList<CDImgInfo> images;
  for (int i = 0; i < 100; ++i) images.append(large[i % kGridImages]);
  QWidget browser;
  browser.resize(1246, 600);
  auto* strip = new CDlgWndBrowser(&browser);
  strip->InitStrip(QRect(0, 500, 1000, 100), QRect(0, 0, 90, 90), nullptr);
  if (grid) strip->LayoutGrid(QRect(0, 0, 1246, 600), 6, 6);
  browser.show();
  strip->AddImages(images);
  waitForPictures(*strip);
  while (strip->FirstIndex() < kGridImages) {
    strip->ScrollRight();
    waitForPictures(*strip);
  }
  int direction = 1;
  for (auto _ : state) {
    const int before = strip->FirstIndex();
    direction > 0 ? strip->ScrollRight() : strip->ScrollLeft();
    if (strip->FirstIndex() == before) {
      direction = -direction;
      direction > 0 ? strip->ScrollRight() : strip->ScrollLeft();
    }
    strip->repaint();
    if (!allPicturesReady(*strip)) state.SkipWithError("a thumbnail was not in memory");
  }
}

// One thumbnail made on one thread, for comparison with the fill of the grid.
void BM_MakeOneThumbnail(benchmark::State& state) {
  const QList<CDImgInfo>& images = largeImages();
  if (images.isEmpty()) {
    state.SkipWithError("cannot write the benchmark files");
    return;
  }
  for (auto _ : state) {
    if (thumbnail::Make(images.first().FullPath).outcome != thumbnail::Outcome::Ready) {
      state.SkipWithError("no thumbnail");
    }
  }
}

void medians(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();
}

BENCHMARK(BM_FirstFillOfTheGrid)->Apply(medians)->Iterations(1);
BENCHMARK(BM_MakeOneThumbnail)->Apply(medians)->Iterations(10);
BENCHMARK(BM_ScrollStepCached)->Apply(medians)->Iterations(50)->Arg(0)->Arg(1);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // The user's thumbnail cache is neither read nor emptied: the benchmark keeps its own.
  QTemporaryDir cacheHome;
  qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome.path()));
  QApplication app(argc, argv);
  ::benchmark::Initialize(&argc, argv);
  ::benchmark::RunSpecifiedBenchmarks();
  ::benchmark::Shutdown();
  return 0;
}

// Speed of the browser's lists at archive scale (BenchArchive.h), on the one connection the
// browser keeps: the search that fills the browser when it is shown ("ALL": the first page of
// patients, newest schedule first, then the first patient's studies, series and images), one
// further page as the idle loop lists it, the whole list of 100,000 patients, and the click on
// a patient that lists its studies, series and images.
#include <benchmark/benchmark.h>

#include "BenchArchive.h"
#include "browser/BrowserLists.h"

namespace {

CBrowserLists& lists() {
  static CBrowserLists* opened = [] {
    auto* made = new CBrowserLists;
    if (!made->OpenDatabase(bench::archive())) std::abort();
    return made;
  }();
  return *opened;
}

void BM_Browser_ShowWithAllPatients(benchmark::State& state) {
  CBrowserLists& browser = lists();
  for (auto _ : state) {
    browser.PatientSearch();
    benchmark::DoNotOptimize(browser.patients().rowCount());
  }
  state.counters["patients"] = browser.patients().rowCount();
}
BENCHMARK(BM_Browser_ShowWithAllPatients)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Browser_NextPatientPage(benchmark::State& state) {
  CBrowserLists& browser = lists();
  browser.PatientSearch();
  for (auto _ : state) {
    if (!browser.patients().canFetchMore()) {
      state.PauseTiming();
      browser.PatientSearch();
      state.ResumeTiming();
    }
    browser.patients().fetchMore();
  }
}
BENCHMARK(BM_Browser_NextPatientPage)->Unit(benchmark::kMillisecond);

void BM_Browser_EveryPatientListed(benchmark::State& state) {
  CBrowserLists& browser = lists();
  for (auto _ : state) {
    browser.PatientSearch();
    browser.patients().FetchAll();
    benchmark::DoNotOptimize(browser.patients().rowCount());
  }
  state.counters["patients"] = browser.patients().rowCount();
}
BENCHMARK(BM_Browser_EveryPatientListed)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Browser_PatientClick(benchmark::State& state) {
  CBrowserLists& browser = lists();
  if (browser.patients().rowCount() == 0) browser.PatientSearch();
  browser.patients().FetchAll();
  bench::Picker pick;
  const int rows = browser.patients().rowCount();
  for (auto _ : state) {
    const int row = static_cast<int>(pick.next(rows));
    browser.patientSelection().select(browser.patients().index(row, 0),
                                      QItemSelectionModel::ClearAndSelect |
                                          QItemSelectionModel::Rows);
    browser.PatientClicked(row);
    benchmark::DoNotOptimize(browser.imageItems().size());
  }
  state.counters["images"] = static_cast<double>(browser.imageItems().size());
}
BENCHMARK(BM_Browser_PatientClick)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

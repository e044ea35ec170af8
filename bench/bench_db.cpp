// Speed of the image database at archive scale (BenchArchive.h).
//
// Each query runs three ways: on one record set kept connected (connection 0), on a new record
// set per call over a connection the caller keeps (connection 1: short-lived record sets on a
// CDaoDatabase the browser holds), and on a new record set with a connection of its own
// (connection 2), which also pays for opening the file and a cold page cache.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "BenchArchive.h"
#include "db/DRImgInfo.h"
#include "db/DRPatInfo.h"
#include "db/DRSerInfo.h"
#include "db/DRStuInfo.h"

namespace {

using bench::archive;
using bench::kImagesPerStudy;
using bench::kPatients;
using bench::kStudies;
using bench::Picker;

QString patientID(long number) {
  return QStringLiteral("P%1").arg(number, 7, 10, QLatin1Char('0'));
}

enum Connection { KeptRecordset, SharedConnection, OwnConnection };

// Runs query the way state.range(0) says; a query that finds nothing is an error of the
// benchmark.
template <typename Recordset, typename Query>
void run(benchmark::State& state, Query query) {
  Picker picker;
  CDaoDatabase shared;
  if (!shared.Open(archive())) {
    state.SkipWithError("cannot open the archive");
    return;
  }
  Recordset kept(&shared);
  const auto connection = static_cast<Connection>(state.range(0));
  long rows = 0;
  for (auto _ : state) {
    std::unique_ptr<Recordset> made;
    if (connection == SharedConnection) made = std::make_unique<Recordset>(&shared);
    if (connection == OwnConnection) made = std::make_unique<Recordset>(archive());
    Recordset& set = made ? *made : kept;
    if (query(set, picker) != 1) {
      state.SkipWithError("the query found nothing");
      return;
    }
    rows += set.GetRecordCount();
    set.Close();
  }
  state.counters["rows"] = benchmark::Counter(double(rows), benchmark::Counter::kAvgIterations);
}

void BM_OpenByIDName_Exact(benchmark::State& state) {
  run<CDRPatInfo>(state, [](CDRPatInfo& set, Picker& picker) {
    return set.OpenByIDName(patientID(picker.next(kPatients)), QString());
  });
}

void BM_SearchByIDName_IDPart(benchmark::State& state) {
  run<CDRPatInfo>(state, [](CDRPatInfo& set, Picker& picker) {
    return set.SearchByIDName(patientID(picker.next(kPatients)).right(5), QString());
  });
}

// A name part most patients do not have: about one patient in twenty matches.
void BM_SearchByIDName_NamePart(benchmark::State& state) {
  run<CDRPatInfo>(state, [](CDRPatInfo& set, Picker&) {
    return set.SearchByIDName(QString(), QStringLiteral("brien"));
  });
}

void BM_SearchBySchedule_OneDay(benchmark::State& state) {
  run<CDRPatInfo>(state, [](CDRPatInfo& set, Picker& picker) {
    const QDate day = QDate(2024, 1, 1).addDays(picker.next(1000));
    return set.SearchBySchedule(QString(), QString(), day.year(), day.month(), day.day(), 0, 0, 0);
  });
}

void BM_OpenStudies_OfPatient(benchmark::State& state) {
  run<CDRStuInfo>(state, [](CDRStuInfo& set, Picker& picker) {
    set.m_strSort = QStringLiteral("StuDateTime Desc");
    return set.OpenStudies(QString(), patientID(picker.next(kPatients)), QString(), 0, 0, 0, 0, 0,
                           0);
  });
}

// Accession numbers are stored in capitals and typed here in small letters.
void BM_OpenStudies_ByAccessNoInSmallLetters(benchmark::State& state) {
  run<CDRStuInfo>(state, [](CDRStuInfo& set, Picker& picker) {
    const QString accessNo =
        QStringLiteral("a%1").arg(picker.next(kStudies), 9, 10, QLatin1Char('0'));
    return set.OpenStudies(QString(), QString(), accessNo, 0, 0, 0, 0, 0, 0);
  });
}

void BM_OpenSeries_OfStudy(benchmark::State& state) {
  run<CDRSerInfo>(state, [](CDRSerInfo& set, Picker& picker) {
    return set.OpenSeries(QString(), QString(), 0, QString(), QString(), QString(),
                          1 + picker.next(kStudies));
  });
}

void BM_OpenImages_OfSeries(benchmark::State& state) {
  run<CDRImgInfo>(state, [](CDRImgInfo& set, Picker& picker) {
    return set.OpenImages(1 + picker.next(kStudies), 0);
  });
}

// An image of a series past the archive's, as the insert benchmarks append it.
CDImgInfo benchImage() {
  CDImgInfo image;
  image.SerSeq = kStudies + 1;
  image.SeriesNo = 1;
  image.Rows = 3000;
  image.Columns = 2500;
  image.Modality = QStringLiteral("DX");
  image.ImageDateTime = CDateTime(2024, 6, 1, 10, 0, 0);
  return image;
}

// Image rows appended inside one transaction at archive scale; rolled back afterwards, so the
// archive stays as filled.
void BM_InsertNewImage_InOneTransaction(benchmark::State& state) {
  CDaoDatabase database;
  if (!database.Open(archive()) || !database.BeginTrans()) {
    state.SkipWithError("cannot open the archive");
    return;
  }
  CDRImgInfo images(&database);
  CDImgInfo image = benchImage();
  for (auto _ : state) {
    ++image.ImageNo;
    image.FullPath = QStringLiteral("archive/20240601/bench_%1.dcm").arg(image.ImageNo);
    image.SOPInstanceUID = QStringLiteral("1.2.826.0.1.3680043.10.999.0.%1").arg(image.ImageNo);
    if (images.InsertNew(image) < 0) {
      state.SkipWithError("the append failed");
      break;
    }
  }
  database.Rollback();
  state.SetItemsProcessed(state.iterations());
}

// The same rows appended the way the batched import writes them: a batch's image rows together,
// as few statements as the engine takes.
void BM_InsertNewImages_InBatches(benchmark::State& state) {
  constexpr int kBatch = 64;
  CDaoDatabase database;
  if (!database.Open(archive()) || !database.BeginTrans()) {
    state.SkipWithError("cannot open the archive");
    return;
  }
  CDRImgInfo images(&database);
  std::vector<CDImgInfo> batch(kBatch, benchImage());
  std::vector<CDRImgInfo::NewRow> rows;
  for (const CDImgInfo& image : batch) rows.push_back({&image, 0});
  long imageNo = 0;
  for (auto _ : state) {
    for (CDImgInfo& image : batch) {
      image.ImageNo = ++imageNo;
      image.FullPath = QStringLiteral("archive/20240601/bench_%1.dcm").arg(imageNo);
      image.SOPInstanceUID = QStringLiteral("1.2.826.0.1.3680043.10.999.0.%1").arg(imageNo);
    }
    if (!images.InsertNewRows(rows)) {
      state.SkipWithError("the append failed");
      break;
    }
  }
  database.Rollback();
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void BM_DatabaseFileSize(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(bench::archiveBytes());
  const double bytes = double(bench::archiveBytes());
  state.counters["MiB"] = bytes / (1024.0 * 1024.0);
  state.counters["bytes_per_image"] = bytes / double(kStudies * kImagesPerStudy);
}

void queries(benchmark::internal::Benchmark* b) {
  b->ArgName("connection")->DenseRange(KeptRecordset, OwnConnection);
  b->Unit(benchmark::kMicrosecond)->UseRealTime();
}

BENCHMARK(BM_OpenByIDName_Exact)->Apply(queries);
BENCHMARK(BM_SearchByIDName_IDPart)->Apply(queries);
BENCHMARK(BM_SearchByIDName_NamePart)->Apply(queries);
BENCHMARK(BM_SearchBySchedule_OneDay)->Apply(queries);
BENCHMARK(BM_OpenStudies_OfPatient)->Apply(queries);
BENCHMARK(BM_OpenStudies_ByAccessNoInSmallLetters)->Apply(queries);
BENCHMARK(BM_OpenSeries_OfStudy)->Apply(queries);
BENCHMARK(BM_OpenImages_OfSeries)->Apply(queries);
BENCHMARK(BM_InsertNewImage_InOneTransaction)->Unit(benchmark::kMicrosecond)->Iterations(20000);
BENCHMARK(BM_InsertNewImages_InBatches)->Unit(benchmark::kMicrosecond)->Iterations(20000 / 64);
BENCHMARK(BM_DatabaseFileSize)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

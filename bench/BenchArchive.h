#pragma once

// The archive the database and browser benchmarks share: 100,000 patients, 200,000 studies (one
// series each) and 1,000,000 images, filled once by torascan-cli db-fill. TORASCAN_BENCH_DB
// names the database file to use; it is filled there when missing and kept, so later runs
// start at once. Without it the archive is built in a temporary folder for the run.

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>

namespace bench {

constexpr long kPatients = 100000;
constexpr long kStudiesPerPatient = 2;
constexpr long kImagesPerStudy = 5;
constexpr long kStudies = kPatients * kStudiesPerPatient;

inline const QString& archive() {
  static std::unique_ptr<QTemporaryDir> temporary;
  static QString path;
  if (!path.isEmpty()) return path;
  if (const char* given = std::getenv("TORASCAN_BENCH_DB"); given && *given) {
    path = QString::fromLocal8Bit(given);
  } else {
    temporary = std::make_unique<QTemporaryDir>();
    path = temporary->filePath(QStringLiteral("Pelmora.db"));
  }
  if (!QFileInfo::exists(path)) {
    QProcess::execute(QStringLiteral(TORASCAN_PROGRAM_DIR "/torascan-cli"),
                      {QStringLiteral("db-fill"), QStringLiteral("--db"), path,
                       QStringLiteral("--patients"), QString::number(kPatients),
                       QStringLiteral("--studies-per-patient"), QString::number(kStudiesPerPatient),
                       QStringLiteral("--images-per-study"), QString::number(kImagesPerStudy)});
  }
  return path;
}

// Keys spread over the whole archive, the same sequence every run.
class Picker {
 public:
  long next(long count) {
    m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<long>((m_state >> 33) % static_cast<unsigned long long>(count));
  }

 private:
  unsigned long long m_state = 42;
};

}  // namespace bench

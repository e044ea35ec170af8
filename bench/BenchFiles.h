#pragma once

// The large benchmark files: made once per run by the sample generator in a temporary folder,
// unless TORASCAN_BENCH_DIR names a folder that already holds them.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>

inline QString benchFile(const QString& name) {
  static std::unique_ptr<QTemporaryDir> temporary;
  static QString dir;
  if (dir.isEmpty()) {
    if (const char* given = std::getenv("TORASCAN_BENCH_DIR"); given && *given) {
      dir = QString::fromLocal8Bit(given);
    } else {
      temporary = std::make_unique<QTemporaryDir>();
      dir = temporary->path();
      QProcess::execute(QStringLiteral(TORASCAN_PROGRAM_DIR "/torascan-samplegen"),
                        {QStringLiteral("--large"), QStringLiteral("--out"), dir});
    }
  }
  return dir + QLatin1Char('/') + name;
}

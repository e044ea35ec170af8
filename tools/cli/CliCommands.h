#pragma once

#include <QStringList>

// The commands of torascan-cli. Each returns the process exit status: 0 success, 1 the file
// could not be processed, 2 the command line is wrong.
namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int runInfo(const QStringList& args);
int runExport(const QStringList& args);
int runRender(const QStringList& args);
void printUsage();

}  // namespace cli

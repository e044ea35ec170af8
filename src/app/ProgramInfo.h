#pragma once

// What the programs answer to `--version` and `--help`, decided before any window or display
// is needed (the viewer answers them without an X server).

#include <QString>
#include <QStringList>

// The build's version: the release (the last "vX.Y..." tag of the history, else the project's
// version) and, past it, "+git<commits>.<commit>"; the Debian package carries the same.
QString BuildVersion();

// "<program> <BuildVersion()>", one line.
QString VersionLine(const QString& program);

// The viewer's command line, for --help.
QString ViewerHelp();

enum class InfoRequest { None, Version, Help };
// --version or --help anywhere among the arguments (the first of them counts); the program's
// name (the first argument) is not looked at.
InfoRequest FindInfoRequest(const QStringList& arguments);

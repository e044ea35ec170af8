#pragma once

#include <QString>

// Serves the manager's local server until a close request arrives or the process is asked to
// terminate; returns the exit status (1 when another manager already serves the name or the
// server cannot listen).
int RunManager(const QString& serverName);

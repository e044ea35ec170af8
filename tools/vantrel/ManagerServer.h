#pragma once

#include <QString>

// Serves the manager's local server and the DICOM receiver configured by Vantrel.ini in the
// program folder until a close request arrives or the process is asked to terminate; returns
// the exit status (1 when another manager already serves the name, the settings are unusable,
// the port cannot be opened or receiving fails).
int RunManager(const QString& serverName);

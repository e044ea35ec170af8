#pragma once

#include <QString>

// True when `uid` can name a file: 1 to 64 digits and dots, starting and ending with a digit, no
// empty component. Nothing else, so no name made of it can leave its folder or hide as a dot
// file.
bool IsSafeInstanceUid(const QString& uid);

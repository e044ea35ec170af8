#pragma once

#include <QString>
#include <QStringList>

// The disc mode's clean-up at exit: the working folder is removed only when the program itself
// created it and it is none of the protected folders (the root, the home folder, the program
// folder) nor one of their parents.
bool IsRemovableWorkingFolder(const QString& folder, const QStringList& protectedFolders);
// Removes the folder tree when IsRemovableWorkingFolder allows it; true when it was removed.
bool RemoveWorkingFolder(const QString& folder, bool createdByProgram,
                         const QStringList& protectedFolders);

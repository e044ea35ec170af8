#pragma once

// Putting files and folder entries on the disk before telling anyone they are stored: a
// modality forgets an image once it hears Success, and the watcher removes a dropped file once
// its archive copy is indexed, so a power cut right after either must not lose the image. Each
// returns false with errno set when the system cannot do it.

#include <QString>

// The file's data (fdatasync).
bool SyncFileData(const QString& path);
// The folder's entries (fsync of the folder): names made, renamed or linked in it.
bool SyncFolder(const QString& folder);
// Makes the folder with every missing parent, as QDir::mkpath does, and syncs the parent of
// each folder it made, so that the new folders outlast a power cut too.
bool MakeFolderDurably(const QString& folder);

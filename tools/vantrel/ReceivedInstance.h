#pragma once

// What the receiver does with a data set it has read into a partial file before it may answer
// Success: the file must be an instance it can stand by, and it must be on the disk under its
// own name. A modality forgets an image once it hears Success, so either step failing means a
// failure status and no file.

#include <QString>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/ofstd/oftypes.h>

struct InstanceCheck {
  Uint16 status = 0;  // a C-STORE status: 0 Success, else the failure to answer
  QString reason;     // why, for the log, when it is not Success
};

// Whether the file at `path` parses as a data set (with the reader's limits), holds a SOP
// Instance UID that is a valid UID and can name a file, and carries the SOP Class and Instance
// UIDs the command announced. 0xA900 when it disagrees with the command, 0xC000 otherwise.
InstanceCheck CheckReceivedInstance(const QString& path, const char* sopClassUid,
                                    const char* sopInstanceUid);

// Puts the complete file `partial` into its folder as "<stem>.dcm" for good: its data reach the
// disk, then it is renamed, then the folder's entry reaches the disk. Nothing there is ever
// replaced: when the name is taken (another image of that UID waits for the watcher) the file is
// named "<stem>_2.dcm", "<stem>_3.dcm", ... instead. Empty on success, else the reason (a
// partial file still there is left for the caller to remove).
QString KeepDurably(const QString& partial, const QString& stem);

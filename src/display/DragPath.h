#pragma once

// How an image file path travels in a drag: as a local file URL and as text, so that both the
// panes and the desktop's file manager understand it.

#include <QString>

class QMimeData;

// The data of a drag carrying path (the caller owns it).
QMimeData* PathMimeData(const QString& path);
// The file path a drag carries (a local file URL or text), empty when none.
QString DroppedPath(const QMimeData& data);

#pragma once

// Auto-forwarding: every image the watched drop folder indexes is queued for the nodes named in
// Vantrel.ini [RECEIVER] ForwardTo=NODE[,NODE...], inside the import's own transaction, so an
// image indexed is an image queued. A node that is down only delays them (the queue waits).

#include <QString>
#include <QStringList>

#include "browser/DropFolder.h"

class CDaoDatabase;

// "NODE, NODE,..." as names, each once.
QStringList ParseNodeList(const QString& text);
// The nodes of ForwardTo in the companion's settings in settingsFolder; none when unset.
QStringList ForwardNodes(const QString& settingsFolder);

// Makes drop queue each image it indexes for nodes (nothing when nodes is empty), through
// database: the connection the drop folder indexes through.
void ForwardIndexedImages(CDropFolder& drop, CDaoDatabase& database, const QStringList& nodes);

#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The browser's File Export: each image file written as a picture (ExportImage, silently) into
// folder, named after `name` and the image's study, series and image numbers, in the format of
// extension (its dots trimmed: "bmp", "jpg" or "png"). An empty folder means the file system's
// root. An empty name shows "Please input file name." (title "Browser") and writes nothing.
// step runs after each file. The written paths.
QStringList ExportImageFiles(const QStringList& files, const QString& folder, const QString& name,
                             const QString& extension, const std::function<void()>& step = {});

#pragma once

// The scan that indexes the DICOM files under the program folder when the browser opens in the
// embedded and the disc modes (a medium or an installation carrying its own images).

#include <QString>
#include <QStringList>
#include <functional>

class CImageImport;

// The files the scan considers, in the order it takes them. Embedded mode: the "*.dcm" files
// (any letter case) of the folder and every folder below it, in path order. Disc mode: every
// file below it whose path, in small letters, holds ".dcm". Nothing for the station mode.
QStringList ProgramFolderFiles(const QString& programFolder, int runMode);

// Whether the scan imports a file: its path, in small letters, holds ".dcm" after its first
// character and no "_org.dcm" (the original data set kept beside an image). Only the test is
// made in small letters; the file is imported under its path as it is.
bool IsProgramFolderImage(const QString& path);

// Imports the files IsProgramFolderImage takes, in order, and runs step after each file of the
// list (the progress dialog's count). Returns the number of files indexed (new or already
// there). An exception during the scan ends it with the system's error box: "toraScan failed
// with error <code>: <text>" under the caption "Error".
int ImportProgramFolder(CImageImport& importer, const QStringList& files,
                        const std::function<void()>& step);

#pragma once

class DcmDataDictionary;

namespace imaging {

// Adds DCMTK's data dictionary, compiled in from DCMTK's own text files at build time, to
// `dictionary`.
void AddCompiledDictionary(DcmDataDictionary& dictionary);

// Makes DCMTK's global data dictionary from the compiled entries instead of parsing its text
// files, which takes most of the time of a short command. Call it first thing in main, while
// the process has one thread (it sets DCMDICTPATH for a moment). Nothing changes when the
// dictionary exists already or DCMDICTPATH names one of the user's own.
void UseCompiledDictionary();

}  // namespace imaging

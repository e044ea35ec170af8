#pragma once

#include <QString>

class CDaoDatabase;

// Removes the scheduled-study entries of a study's accession number: every Worklist row with
// that number (letter case aside, as the column compares) and the WorklistOCS rows of each. An
// empty number takes the rows whose number is empty. The number is a bound value, so any text
// (a quote included) names exactly its own rows. One transaction: on an engine error the
// engine's text is shown under "Browser" with the warning icon, nothing is deleted, and the
// result is false. True when the rows are gone, or there were none.
bool DeleteWorklistEntries(CDaoDatabase& database, const QString& accessionNumber);
// The same rows removed inside the caller's transaction; false with the engine's text in error.
bool RemoveWorklistRows(CDaoDatabase& database, const QString& accessionNumber, QString* error);

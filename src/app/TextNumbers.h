#pragma once

#include <QString>

// The leading number of a text, as the C library's text-to-number functions read it (blanks,
// an optional sign, the digits; anything after ends the number; 0 when there is none), but
// always with "." as the decimal point, whatever the user's locale says.
double LeadingDouble(const QString& text);
// Decimal integer; values beyond the range of long saturate.
long LeadingLong(const QString& text);

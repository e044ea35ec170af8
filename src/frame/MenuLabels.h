#pragma once

#include <QString>

// The text a menu item gets from the label table, found by its built-in caption ("Rotate L" →
// label 187, blank, label 188). Captions without a label keep their own text.
QString MenuLabel(const QString& caption);

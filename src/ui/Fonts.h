#pragma once

#include <QFont>

// The faces a text falls back to for the characters its own face lacks: Chinese, Japanese and
// Korean names are drawn with the CJK face the setup installs, never as empty boxes.
QFont WithScriptFallback(QFont font);

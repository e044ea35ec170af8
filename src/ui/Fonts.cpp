#include "ui/Fonts.h"

#include <QStringList>

QFont WithScriptFallback(QFont font) {
  // Listed after the face itself, so Latin text keeps its look; the second face serves systems
  // with the Noto CJK fonts instead.
  font.setFamilies({font.family(), QStringLiteral("WenQuanYi Micro Hei"),
                    QStringLiteral("Noto Sans CJK SC")});
  return font;
}

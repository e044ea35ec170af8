#include "frame/MenuLabels.h"

#include <QHash>
#include <QList>

#include "app/LanguageTable.h"

namespace {

// A part of a relabelled caption: a label id, or literal text when id is 0.
struct Piece {
  int id;
  const char* text;
};

const QHash<QString, QList<Piece>>& relabelTable() {
  static const QHash<QString, QList<Piece>> table{
      {"File", {{167, ""}}},
      {"Browser...", {{151, ""}, {0, "..."}}},
      {"Config...", {{162, ""}, {0, "..."}}},
      {"Exit", {{177, ""}}},
      {"Image", {{178, ""}}},
      {"Default", {{179, ""}}},
      {"Prev. Image", {{180, ""}, {0, " "}, {178, ""}}},
      {"Next Image", {{181, ""}, {0, " "}, {178, ""}}},
      {"Zoom Image", {{182, ""}, {0, " "}, {178, ""}}},
      {"Pan. Image", {{183, ""}, {0, " "}, {178, ""}}},
      {"Magnify", {{184, ""}}},
      {"Invert", {{185, ""}}},
      {"Reset", {{186, ""}}},
      {"Rotate", {{187, ""}}},
      {"Rotate L", {{187, ""}, {0, " "}, {188, ""}}},
      {"Rotate R", {{187, ""}, {0, " "}, {189, ""}}},
      {"Mirror", {{190, ""}}},
      {"Flip", {{191, ""}}},
      {"Layout", {{192, ""}}},
      {"Measure", {{193, ""}}},
      {"Line", {{194, ""}}},
      {"Angle", {{195, ""}}},
      {"Report", {{196, ""}}},
      {"Create / Edit", {{197, ""}, {0, " / "}, {159, ""}}},
  };
  return table;
}

}  // namespace

QString MenuLabel(const QString& caption) {
  const auto found = relabelTable().constFind(caption);
  if (found == relabelTable().constEnd()) return caption;
  QString text;
  for (const Piece& piece : *found) {
    text += piece.id == 0 ? QString::fromLatin1(piece.text) : GetLabel(piece.id);
  }
  return text;
}

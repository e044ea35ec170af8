// The built-in string table: the English text of every label id the system description gives.
// Ids it names without a text are absent (their GetLabel result is empty unless the workbook
// has them). Label 330 (study-delete question) exists only in the workbook (Part 6.2).
// Where an entry is derived rather than quoted, its origin says how.

#include <QHash>

#include "app/LanguageTable.h"

namespace {

constexpr BuiltinLabelEntry kLabels[] = {
    {129, "ID", "Part 6.1 list headings; Part 7.1"},
    {130, "NAME", "Part 6.1 list headings; Part 7.1"},
    {131, "ACC.NO.", "Part 6.1 list headings"},
    {132, "SEX", "Part 6.1 list headings; Part 7.1"},
    {133, "D.O.B", "Part 6.1 list headings; Part 7.1"},
    {135, "STUDY ID", "Part 6.1 list headings"},
    {136, "STUDY DATE", "Part 6.1 list headings; Part 7.1"},
    {137, "STUDY DESC.", "Part 6.1 list headings; Part 7.1"},
    {138, "PRINT", "Part 6.1 list headings; Part 7.1"},
    {139, "SEARCH", "Part 6.1: caption of the SEARCH button"},
    {140, "VIEW", "Part 6.1: caption of the VIEW buttons"},
    {141, "DEL.", "Part 6.1 DEL. button; Part 7.2"},
    {142, "File Export", "Part 6.1: caption of the File Export button"},
    {143, "MINIMIZE", "Part 6.1: caption of the MINIMIZE button"},
    {144, "Invert Sel.", "Part 6.1 static; Part 6.6 (built-in text)"},
    // The button shows "0 %s" with this label, i.e. "0 image(s)"; Part 6.2 gives the text itself.
    {145, "image(s)", "Part 6.2 patient delete question; Part 6.1 image-count button"},
    {146, "Today", "Part 6.1 period list entry 0"},
    {147, "Yesterday", "Part 6.1 period list entry 1"},
    {148, "2 days ago", "Part 6.1 period list entry 2"},
    {149, "3 days ago", "Part 6.1 period list entry 3"},
    {150, "ALL", "Part 6.1 period list entry 4"},
    {151, "Browser", "Part 1.4; Part 6.1 window title"},
    {152, "User", "Part 7.1 caption"},
    {153, "Preform", "Part 7.1"},
    {154, "Title", "Part 7.2"},
    {155, "Finding", "Parts 7.1, 7.2"},
    {156, "Conclusion", "Parts 7.1, 7.2"},
    {157, "Recommend", "Parts 7.1, 7.2"},
    {158, "SAVE", "Parts 7.1, 9.3, 9.5"},
    {159, "EDIT", "Parts 7.1, 7.2"},
    {160, "OK", "Parts 7.1, 7.2, 9.2"},
    {161, "ADD", "Part 7.2"},
    {162, "Config", "Part 1.2 menu: \"Config...\" is 162 followed by \"...\""},
    {166, "Cancel", "Parts 9.2, 9.3"},
    {167, "File", "Part 9.3 title; Part 1.2 menu \"File\""},
    {168, "Path", "Part 9.3"},
    {169, "Up", "Part 9.3"},
    {170, "List", "Part 9.3"},
    {171, "Icon", "Part 9.3"},
    {172, "Name", "Part 9.3"},
    {173, "Size", "Part 9.3"},
    {174, "Date", "Part 9.3"},
    {175, "Ext", "Part 9.3"},
    {177, "Exit", "Part 1.2 menu \"Exit\""},
    {178, "Image", "Part 1.2 menu \"Image\""},
    {179, "Default", "Part 1.2 menu \"Default\""},
    {180, "Prev.", "Part 1.2 menu: \"Prev. Image\" is 180, blank, 178"},
    {181, "Next", "Part 1.2 menu: \"Next Image\" is 181, blank, 178"},
    {182, "Zoom", "Part 1.2 menu: \"Zoom Image\" is 182, blank, 178"},
    {183, "Pan.", "Part 1.2 menu: \"Pan. Image\" is 183, blank, 178"},
    {184, "Magnify", "Part 1.2 menu \"Magnify\""},
    {185, "Invert", "Part 1.2 menu \"Invert\""},
    {186, "Reset", "Part 1.2 menu \"Reset\""},
    {187, "Rotate", "Part 1.2 menu \"Rotate\""},
    {188, "L", "Part 1.2 menu: \"Rotate L\" is 187, blank, 188"},
    {189, "R", "Part 1.2 menu: \"Rotate R\" is 187, blank, 189"},
    {190, "Mirror", "Part 1.2 menu \"Mirror\""},
    {191, "Flip", "Part 1.2 menu \"Flip\""},
    {192, "Layout", "Part 1.2 menu \"Layout\""},
    {193, "Measure", "Part 1.2 menu \"Measure\""},
    {194, "Line", "Part 1.2 menu \"Line\""},
    {195, "Angle", "Part 1.2 menu \"Angle\""},
    {196, "Report", "Part 1.2 menu \"Report\""},
    {197, "Create", "Part 1.2 menu: \"Create / Edit\" is 197, \" / \", 159"},
    {198, "Yes", "Part 9.2"},
    {199, "No", "Part 9.2"},
    {200, "Message", "Part 9.2 title of every box"},
    {201, "There is no image data.", "Part 6.7"},
    {202, "Can't start delete because patient is not selected.\nPlease first select patient.",
     "Part 6.2"},
    {203,
     "Do you delete selected Patient information?(Y/N)\r\nbeen subordinate all "
     "study/series/image informations are deleted.",
     "Part 6.2"},
    {204, "Failed in patient information delete.", "Part 6.2"},
};

}  // namespace

std::span<const BuiltinLabelEntry> BuiltinLabels() {
  return std::span<const BuiltinLabelEntry>(kLabels);
}

QString BuiltinLabel(int id) {
  static const QHash<int, QString> table = [] {
    QHash<int, QString> result;
    for (const BuiltinLabelEntry& entry : kLabels)
      result.insert(entry.id, QString::fromUtf8(entry.text));
    return result;
  }();
  return table.value(id);
}

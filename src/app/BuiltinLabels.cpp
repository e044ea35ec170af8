// The built-in string table: the English text of every label id the system description gives.
// Ids it names without a text are absent (their GetLabel result is empty unless the workbook
// has them). Label 330 (study-delete question) exists only in the workbook (browser operations).
// Where an entry is derived rather than quoted, its origin says how.

#include <QHash>

#include "app/LanguageTable.h"

namespace {

constexpr BuiltinLabelEntry kLabels[] = {
    {129, "ID", "browser list headings; report editor"},
    {130, "NAME", "browser list headings; report editor"},
    {131, "ACC.NO.", "browser list headings"},
    {132, "SEX", "browser list headings; report editor"},
    {133, "D.O.B", "browser list headings; report editor"},
    {135, "STUDY ID", "browser list headings"},
    {136, "STUDY DATE", "browser list headings; report editor"},
    {137, "STUDY DESC.", "browser list headings; report editor"},
    {138, "PRINT", "browser list headings; report editor"},
    {139, "SEARCH", "browser: caption of the SEARCH button"},
    {140, "VIEW", "browser: caption of the VIEW buttons"},
    {141, "DEL.", "browser DEL. button; report templates"},
    {142, "File Export", "browser: caption of the File Export button"},
    {143, "MINIMIZE", "browser: caption of the MINIMIZE button"},
    {144, "Invert Sel.", "browser static; thumbnail strip (built-in text)"},
    // The button shows "0 %s" with this label, i.e. "0 image(s)"; browser operations gives the text
    // itself.
    {145, "image(s)", "browser operations patient delete question; browser image-count button"},
    {146, "Today", "browser period list entry 0"},
    {147, "Yesterday", "browser period list entry 1"},
    {148, "2 days ago", "browser period list entry 2"},
    {149, "3 days ago", "browser period list entry 3"},
    {150, "ALL", "browser period list entry 4"},
    {151, "Browser", "label table; browser window title"},
    {152, "User", "report editor caption"},
    {153, "Preform", "report editor"},
    {154, "Title", "report templates"},
    {155, "Finding", "report editor, 7.2"},
    {156, "Conclusion", "report editor, 7.2"},
    {157, "Recommend", "report editor, 7.2"},
    {158, "SAVE", "report editor, 9.3, 9.5"},
    {159, "EDIT", "report editor, 7.2"},
    {160, "OK", "report editor, 7.2, 9.2"},
    {161, "ADD", "report templates"},
    {162, "Config", "main frame menu: \"Config...\" is 162 followed by \"...\""},
    {166, "Cancel", "message box, 9.3"},
    {167, "File", "file dialog title; main frame menu \"File\""},
    {168, "Path", "file dialog"},
    {169, "Up", "file dialog"},
    {170, "List", "file dialog"},
    {171, "Icon", "file dialog"},
    {172, "Name", "file dialog"},
    {173, "Size", "file dialog"},
    {174, "Date", "file dialog"},
    {175, "Ext", "file dialog"},
    {177, "Exit", "main frame menu \"Exit\""},
    {178, "Image", "main frame menu \"Image\""},
    {179, "Default", "main frame menu \"Default\""},
    {180, "Prev.", "main frame menu: \"Prev. Image\" is 180, blank, 178"},
    {181, "Next", "main frame menu: \"Next Image\" is 181, blank, 178"},
    {182, "Zoom", "main frame menu: \"Zoom Image\" is 182, blank, 178"},
    {183, "Pan.", "main frame menu: \"Pan. Image\" is 183, blank, 178"},
    {184, "Magnify", "main frame menu \"Magnify\""},
    {185, "Invert", "main frame menu \"Invert\""},
    {186, "Reset", "main frame menu \"Reset\""},
    {187, "Rotate", "main frame menu \"Rotate\""},
    {188, "L", "main frame menu: \"Rotate L\" is 187, blank, 188"},
    {189, "R", "main frame menu: \"Rotate R\" is 187, blank, 189"},
    {190, "Mirror", "main frame menu \"Mirror\""},
    {191, "Flip", "main frame menu \"Flip\""},
    {192, "Layout", "main frame menu \"Layout\""},
    {193, "Measure", "main frame menu \"Measure\""},
    {194, "Line", "main frame menu \"Line\""},
    {195, "Angle", "main frame menu \"Angle\""},
    {196, "Report", "main frame menu \"Report\""},
    {197, "Create", "main frame menu: \"Create / Edit\" is 197, \" / \", 159"},
    {198, "Yes", "message box"},
    {199, "No", "message box"},
    {200, "Message", "message box title of every box"},
    {201, "There is no image data.", "opening from the browser"},
    {202, "Can't start delete because patient is not selected.\nPlease first select patient.",
     "browser operations"},
    {203,
     "Do you delete selected Patient information?(Y/N)\r\nbeen subordinate all "
     "study/series/image informations are deleted.",
     "browser operations"},
    {204, "Failed in patient information delete.", "browser operations"},
    // A site whose workbook is Korean writes "프린터 설정이 되어있지 않습니다." here.
    {205, "The printer is not set up.", "report printing: no default printer"},
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

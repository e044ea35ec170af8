#include "reports/widgets/ReportTextEdits.h"

#include <QPlainTextEdit>

#include "ui/widgets/SkinControls.h"

void ReportTextEdits::create(QWidget* parent, const std::array<int, 3>& ids,
                             const std::array<int, 3>& tops, const QFont& font) {
  for (std::size_t i = 0; i < m_edits.size(); ++i) {
    m_edits[i] = PlaceControl(new QPlainTextEdit(parent), ids[i], {40, tops[i], 480, 78});
    m_edits[i]->setFont(font);
    m_edits[i]->setTabChangesFocus(true);
  }
}

ReportTexts ReportTextEdits::texts() const {
  return {StoredText(m_edits[0]->toPlainText()), StoredText(m_edits[1]->toPlainText()),
          StoredText(m_edits[2]->toPlainText())};
}

void ReportTextEdits::show(const ReportTexts& texts) {
  m_edits[0]->setPlainText(TypedText(texts.finding));
  m_edits[1]->setPlainText(TypedText(texts.conclusion));
  m_edits[2]->setPlainText(TypedText(texts.recommend));
}

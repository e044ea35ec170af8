#include "reports/widgets/DlgPreform.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTreeWidget>

#include "app/AppSettings.h"
#include "app/LanguageTable.h"
#include "reports/ReportStore.h"
#include "ui/Fonts.h"
#include "ui/widgets/SkinControls.h"

CDlgPreform::CDlgPreform(QWidget* parent, CQuery& query) : QDialog(parent), m_query(query) {
  const AppSettings& settings = theAppSettings();
  setFixedSize(560, 660);
  move(settings.windowWidth / 2 - 280, settings.windowHeight / 2 - 330);

  for (const QRect& frame :
       {QRect(23, 4, 512, 170), QRect(23, 180, 512, 74), QRect(23, 260, 512, 354)}) {
    (new QGroupBox(this))->setGeometry(frame);
  }
  const QFont font = WithScriptFallback(SkinFont(QStringLiteral("Arial"), 16, 700));
  const struct {
    int id;
    int label;
    int y;
  } labels[] = {{1035, 154, 200}, {1029, 155, 282}, {1030, 156, 395}, {1031, 157, 507}};
  for (const auto& label : labels) {
    PlaceControl(new CStaticEx(this), label.id, {40, label.y, 116, 18})
        ->setText(GetLabel(label.label));
  }
  m_title = PlaceControl(new QLineEdit(this), kTitleEdit, {40, 222, 480, 22});
  m_title->setFont(font);
  m_fields.create(this, {kFindingEdit, kConclusionEdit, kRecommendEdit}, {303, 415, 527}, font);
  m_list = PlaceControl(new QTreeWidget(this), kList, {40, 26, 358, 138});
  m_list->setRootIsDecorated(false);
  m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setHeaderLabels({GetLabel(154)});
  m_list->header()->setStretchLastSection(true);
  connect(m_list, &QTreeWidget::itemClicked, this, &CDlgPreform::ShowTemplate);

  const struct {
    int id;
    QString text;
    int y;
    void (CDlgPreform::*run)();
  } buttons[] = {{1, GetLabel(160), 23, &CDlgPreform::accept},
                 {kAddButton, GetLabel(161), 52, &CDlgPreform::AddTemplate},
                 {kDeleteButton, GetLabel(141), 81, &CDlgPreform::DeleteTemplates},
                 {kEditButton, GetLabel(159), 110, &CDlgPreform::UpdateTemplate},
                 {kDefaultButton, QStringLiteral("Default"), 139, &CDlgPreform::MarkDefault}};
  for (const auto& button : buttons) {
    auto* control =
        PlaceControl(new CButtonSTEx2(button.text, this), button.id, {404, button.y, 116, 26});
    control->setAutoDefault(false);
    connect(control, &QPushButton::clicked, this, button.run);
  }

  LoadTemplateList();
  setWindowTitle(m_defaultTitle);
}

void CDlgPreform::LoadTemplateList() {
  m_list->clear();
  QStringList titles;
  if (!PreformStore(m_query).List(titles, &m_defaultTitle)) return;
  for (const QString& title : titles) new QTreeWidgetItem(m_list, {title});
}

void CDlgPreform::ShowTemplate(QTreeWidgetItem* item) {
  if (item == nullptr) return;
  const QString title = item->text(0);
  m_title->setText(title);
  ReportTexts texts = m_fields.texts();
  PreformStore(m_query).Fill(title, texts);
  m_fields.show(texts);
}

void CDlgPreform::AddTemplate() {
  const QString title = m_title->text();
  if (title.isEmpty()) return;
  PreformStore(m_query).Add(title, m_fields.texts());
  LoadTemplateList();
}

void CDlgPreform::UpdateTemplate() {
  const QString title = m_title->text();
  if (title.isEmpty()) return;
  PreformStore(m_query).Update(title, m_fields.texts());
  LoadTemplateList();
}

void CDlgPreform::DeleteTemplates() {
  QStringList titles;
  for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
    if (m_list->topLevelItem(i)->isSelected()) titles << m_list->topLevelItem(i)->text(0);
  }
  if (titles.isEmpty()) return;
  PreformStore(m_query).Remove(titles);
  LoadTemplateList();
}

void CDlgPreform::MarkDefault() {
  QString title;
  for (int i = 0; i < m_list->topLevelItemCount() && title.isEmpty(); ++i) {
    if (m_list->topLevelItem(i)->isSelected()) title = m_list->topLevelItem(i)->text(0);
  }
  if (!title.isEmpty()) PreformStore(m_query).MarkDefault(title);
  setWindowTitle(title);
}

#include "ui/widgets/FileDialogEx.h"

#include <QComboBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QListView>
#include <QStandardItemModel>
#include <QTreeView>

#include "app/AppSettings.h"
#include "app/LanguageTable.h"
#include "ui/widgets/SkinControls.h"

namespace {

constexpr int kWidth = 579;
constexpr int kHeight = 415;
const QString kButtonSkin = QStringLiteral("testBtn0001");

template <class Widget>
Widget* placed(Widget* widget, int id, const QRect& geometry) {
  if (id != 0) widget->setObjectName(QStringLiteral("ctl%1").arg(id));
  widget->setGeometry(geometry);
  return widget;
}

}  // namespace

CFileDialogEx::CFileDialogEx(QWidget* parent, const QString& initialFolder, const QString& filter,
                             const QString& title, int mode, QList<CDriveRoot> drives)
    : CBaseSkinDlg(parent), m_chooser(initialFolder, filter, std::move(drives)), m_title(title) {
  const AppSettings& settings = theAppSettings();
  setWindowTitle(GetLabel(167));
  setFixedSize(kWidth, kHeight);
  move(settings.frameDefaultWidth / 2 - 289, settings.frameDefaultHeight / 2 - 207);

  auto* pathLabel = placed(new CStaticEx(this), 2240, {15, 28, 36, 18});
  pathLabel->setText(GetLabel(168));
  m_drives = placed(new QComboBox(this), kDriveCombo, {57, 25, 278, 24});
  auto* up = placed(new CButtonSTEx2(GetLabel(169), this), kUp, {341, 24, 52, 26});
  auto* list = placed(new CButtonSTEx2(GetLabel(170), this), kListButton, {454, 24, 52, 26});
  auto* icon = placed(new CButtonSTEx2(GetLabel(171), this), kIconButton, {512, 24, 52, 26});

  m_model = new QStandardItemModel(0, 3, this);
  const struct {
    int label;
    Qt::Alignment alignment;
    int width;
  } columns[] = {
      {172, Qt::AlignLeft, 200}, {173, Qt::AlignRight, 100}, {174, Qt::AlignHCenter, 100}};
  m_details = placed(new QTreeView(this), kFileList, {15, 62, 549, 236});
  m_details->setModel(m_model);
  for (int c = 0; c < 3; ++c) {
    m_model->setHeaderData(c, Qt::Horizontal, GetLabel(columns[c].label));
    m_model->setHeaderData(c, Qt::Horizontal,
                           QVariant::fromValue(columns[c].alignment | Qt::AlignVCenter),
                           Qt::TextAlignmentRole);
    m_details->setColumnWidth(c, columns[c].width);
  }
  m_details->setRootIsDecorated(false);
  m_details->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_details->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_details->header()->setSectionsClickable(true);
  m_details->header()->setSortIndicatorShown(true);
  // The small-icon view: the names in columns, on the same rows and selection.
  m_icons = placed(new QListView(this), 0, m_details->geometry());
  m_icons->setModel(m_model);
  m_icons->setSelectionModel(m_details->selectionModel());
  m_icons->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_icons->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_icons->setFlow(QListView::TopToBottom);
  m_icons->setWrapping(true);
  m_icons->setResizeMode(QListView::Adjust);
  m_icons->hide();

  auto* nameLabel = placed(new CStaticEx(this), 2241, {15, 316, 80, 18});
  nameLabel->setText(GetLabel(172));
  m_name = placed(new CColoredCombo(this), kFileName, {101, 313, 326, 24});
  m_name->setEditable(true);
  auto* typeLabel = placed(new CStaticEx(this), 2242, {15, 345, 80, 18});
  typeLabel->setText(GetLabel(175));
  m_types = placed(new CColoredCombo(this), kFileType, {101, 342, 326, 24});
  for (const CFileType& type : m_chooser.types()) m_types->addItem(type.description);
  m_types->setCurrentIndex(m_chooser.selectedType());
  auto* ok =
      placed(new CButtonSTEx2(mode == kSaveMode ? GetLabel(158) : QStringLiteral("Open"), this), 1,
             {449, 307, 116, 30});
  auto* cancel = placed(new CButtonSTEx2(GetLabel(166), this), 2, {449, 342, 116, 30});

  for (CButtonSTEx2* button : {up, icon, list, ok, cancel}) {
    ApplySkinElement(button, kButtonSkin);
    button->SetFont(AppFontFace(), 12, 700);
  }
  for (CStaticEx* label : {nameLabel, typeLabel})
    label->SetFont(AppFontFace(), 16, DialogTextColour(), 700);

  connect(m_drives, &QComboBox::activated, this, [this](int index) {
    m_chooser.SelectDrive(index);
    Refill();
  });
  connect(up, &QPushButton::clicked, this, [this] {
    m_chooser.Up();
    Refill();
  });
  connect(list, &QPushButton::clicked, this, [this] { showDetails(true); });
  connect(icon, &QPushButton::clicked, this, [this] { showDetails(false); });
  for (QAbstractItemView* view :
       {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_icons)}) {
    connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
      m_chooser.Open(index.row());
      Refill();
    });
    connect(view, &QAbstractItemView::clicked, this,
            [this] { m_name->setEditText(m_chooser.NameBoxText(selectedRows())); });
  }
  connect(m_types, &QComboBox::activated, this, [this](int index) {
    m_chooser.SelectType(index);
    fillFileList();
  });
  connect(m_details->header(), &QHeaderView::sectionClicked, this, [this](int column) {
    m_chooser.SortBy(column);
    fillFileList();
  });
  connect(ok, &QPushButton::clicked, this, &CFileDialogEx::accept);
  connect(cancel, &QPushButton::clicked, this, &CFileDialogEx::reject);
  Refill();
}

void CFileDialogEx::Refill() {
  fillDriveCombo();
  fillFileList();
}

void CFileDialogEx::fillDriveCombo() {
  const QFileIconProvider icons;
  m_drives->clear();
  for (const CDriveComboEntry& entry : m_chooser.driveEntries()) {
    m_drives->addItem(icons.icon(QFileInfo(entry.path)),
                      QString(4 * entry.indent, QLatin1Char(' ')) + entry.text, entry.path);
  }
  m_drives->setCurrentIndex(m_chooser.selectedDrive());
}

void CFileDialogEx::fillFileList() {
  const QFileIconProvider icons;
  const QDir folder(m_chooser.folder());
  m_model->removeRows(0, m_model->rowCount());
  for (const CFileListEntry& entry : m_chooser.entries()) {
    QList<QStandardItem*> row;
    for (int c = 0; c < 3; ++c) {
      row.append(new QStandardItem(CFileChooser::CellText(entry, c)));
      row.last()->setData(m_model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole),
                          Qt::TextAlignmentRole);
    }
    row.first()->setIcon(icons.icon(QFileInfo(folder.filePath(entry.name))));
    m_model->appendRow(row);
  }
  m_details->header()->setSortIndicator(
      m_chooser.sortColumn(), m_chooser.sortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

QList<int> CFileDialogEx::selectedRows() const {
  QList<int> rows;
  // Column 0 is selected in both views (the details view selects whole rows).
  for (const QModelIndex& index : m_details->selectionModel()->selectedIndexes()) {
    if (index.column() == 0) rows.append(index.row());
  }
  return rows;
}

void CFileDialogEx::showDetails(bool details) {
  m_details->setVisible(details);
  m_icons->setVisible(!details);
}

void CFileDialogEx::accept() {
  m_selectedFiles = m_chooser.SelectedFiles(selectedRows());
  m_fileName = m_name->currentText().trimmed();
  CBaseSkinDlg::accept();
}

void CFileDialogEx::reject() {
  m_selectedFiles.clear();
  CBaseSkinDlg::reject();
}

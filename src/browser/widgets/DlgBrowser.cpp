#include "browser/widgets/DlgBrowser.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include "app/AppSettings.h"
#include "app/LanguageTable.h"
#include "browser/BrowserDates.h"
#include "browser/BrwsrImgElement.h"
#include "browser/DropFolder.h"
#include "browser/FileExport.h"
#include "browser/ImportImage.h"
#include "browser/ProgramFolderImport.h"
#include "browser/widgets/DlgWndBrowser.h"
#include "browser/widgets/MyListCtrl.h"
#include "frame/widgets/MainFrame.h"
#include "net/AutoForward.h"
#include "net/DicomNodes.h"
#include "net/SendService.h"
#include "net/widgets/DlgSendQueue.h"
#include "ui/MessageSink.h"
#include "ui/widgets/ExposureProgressDlg.h"
#include "ui/widgets/FileDialogEx.h"
#include "ui/widgets/ScreenFit.h"

namespace {

const QString kBrowser = QStringLiteral("Browser");
const QString kImageLoading = QStringLiteral("Image Loading...");

constexpr int kMargin = 20;
constexpr int kTopMargin = 8;
constexpr int kSpacing = 8;
// With the top margin, the search row and the spacings the lists start 128 pixels down.
constexpr int kLogoBand = 68;
constexpr int kEditWidth = 180;
constexpr int kEditMinWidth = 100;
constexpr int kPeriodWidth = 160;
constexpr int kStripHeight = 100;
constexpr int kStripMinWidth = 200;
constexpr int kThumbnailSide = 90;
constexpr int kButtonWidth = 130;
constexpr int kButtonHeight = 36;
constexpr int kButtonPitch = 136;

QString objectName(int id) { return QStringLiteral("ctl%1").arg(id); }

template <class Widget>
Widget* named(Widget* widget, int id) {
  widget->setObjectName(objectName(id));
  return widget;
}

}  // namespace

CDlgBrowser::CDlgBrowser(CMainFrame* frame) : CBaseSkinDlg(frame), m_frame(frame) {
  setModal(false);
  setWindowFlag(Qt::WindowMinimizeButtonHint);
  setWindowTitle(theAppSettings().RunMode == RunModeDisc ? QStringLiteral("Norvika")
                                                         : GetLabel(151));
  // Over the main window's work area.
  if (frame != nullptr) setGeometry(frame->geometry());
  new CScreenFit(this);
  createControls();
  createLayout();
  connect(&m_lists, &CBrowserLists::imagesChanged, this, &CDlgBrowser::showImages);
  m_dropFolderTimer.setSingleShot(true);
  connect(&m_dropFolderTimer, &QTimer::timeout, this, &CDlgBrowser::PollDropFolder);
}

CDlgBrowser::~CDlgBrowser() = default;

bool CDlgBrowser::OpenDatabase(const QString& path) {
  QString error;
  if (m_lists.OpenDatabase(path, &error)) {
    // Never on this thread: a send waits for the network. A read-only archive queues nothing.
    if (m_lists.database().isReadOnly()) return true;
    const AppSettings& settings = theAppSettings();
    RetryPolicy retry;
    retry.maxTries = settings.sendMaxTries;
    retry.firstPauseSeconds = settings.sendFirstPauseSeconds;
    m_sendService = std::make_unique<CSendService>(
        path, NetworkOptions::FromSettingsFolder(settings.settingsFolder), retry);
    m_sendService->Start();
    return true;
  }
  ShowMessage(error, kBrowser, MB_ICONEXCLAMATION);
  return false;
}

void CDlgBrowser::StartDropFolder(const QString& dropFolder, const QString& archiveFolder,
                                  const QStringList& drainFolders) {
  constexpr int kFirstPollMs = 5000;
  QDir().mkpath(dropFolder);
  m_dropFolder = std::make_unique<CDropFolder>(m_lists.database(), dropFolder, archiveFolder);
  m_drainFolders.clear();
  for (const QString& folder : drainFolders) {
    m_drainFolders.push_back(std::make_unique<CDropFolder>(
        m_lists.database(), folder, CDropFolder::DefaultArchiveFolder(folder)));
  }
  // What arrives goes on to the nodes of ForwardTo by itself.
  const QStringList forwardTo = ForwardNodes(theAppSettings().settingsFolder);
  ForwardIndexedImages(*m_dropFolder, m_lists.database(), forwardTo);
  for (const auto& folder : m_drainFolders)
    ForwardIndexedImages(*folder, m_lists.database(), forwardTo);
  m_dropFolderTimer.start(kFirstPollMs);
}

void CDlgBrowser::PollDropFolder() {
  constexpr int kPollMs = 1000;
  if (isVisible()) {
    bool indexed = false;
    const auto pass = [&indexed](CDropFolder& folder) {
      if (folder.WaitingFiles().isEmpty()) return false;
      QApplication::setOverrideCursor(Qt::WaitCursor);
      indexed = folder.PollDropFolder().indexedAny() || indexed;
      QApplication::restoreOverrideCursor();
      return true;
    };
    pass(*m_dropFolder);
    std::erase_if(m_drainFolders, [&pass](const std::unique_ptr<CDropFolder>& folder) {
      return !pass(*folder) && theAppSettings().ForgetDrainFolder(folder->dropFolder());
    });
    // Images another process indexed into the database (the receiver service's) count too.
    const bool added = m_lists.ImagesAdded();
    if (indexed || added) {
      if (m_sendService) m_sendService->Wake();
      // The lists keep the operator's patients and studies; the strip its picks and place.
      const CDlgWndBrowser::Choice choice = m_strip->CurrentChoice();
      m_lists.ListPatientsAfterImport();
      m_strip->RestoreChoice(choice);
    }
  }
  m_dropFolderTimer.start(kPollMs);
}

void CDlgBrowser::createControls() {
  m_patientList = named(new CMyListCtrl(this), kPatientList);
  m_patientList->setListModel(&m_lists.patients());
  m_patientList->setSelectionModel(&m_lists.patientSelection());
  m_studyList = named(new CMyListCtrl(this), kStudyList);
  m_studyList->setListModel(&m_lists.studies());
  m_studyList->setSelectionModel(&m_lists.studySelection());
  // The last, empty column takes what the others leave of the width.
  const int patientWidths[] = {152, 314, 134, 259, 259, std::max(0, width() - 1118)};
  for (int c = 0; c < 6; ++c) m_patientList->setColumnWidth(c, patientWidths[c]);
  const int studyWidths[] = {152, 152, 152, 242, 407, 92, std::max(0, width() - 1032)};
  for (int c = 0; c < 7; ++c) m_studyList->setColumnWidth(c, studyWidths[c]);
  connect(m_patientList, &QAbstractItemView::clicked, this,
          [this](const QModelIndex& index) { m_lists.PatientClicked(index.row()); });
  connect(m_studyList, &QAbstractItemView::clicked, this,
          [this](const QModelIndex& index) { m_lists.StudyClicked(index.row()); });

  m_idLabel = named(new QLabel(GetLabel(129), this), kIdLabel);
  m_nameLabel = named(new QLabel(GetLabel(130), this), kNameLabel);
  m_accessionLabel = named(new QLabel(GetLabel(131), this), kAccessionLabel);
  m_patientId = named(new QLineEdit(this), kPatientIdEdit);
  m_patientName = named(new QLineEdit(this), kPatientNameEdit);
  m_accession = named(new QLineEdit(this), kAccessionEdit);
  connect(m_patientId, &QLineEdit::returnPressed, this, &CDlgBrowser::OnSearch);
  connect(m_patientName, &QLineEdit::returnPressed, this, &CDlgBrowser::OnSearch);
  connect(m_accession, &QLineEdit::returnPressed, this, &CDlgBrowser::OnAccessionEntered);
  for (QWidget* edit : {m_patientId, m_patientName, m_accession}) LetEnterThrough(edit);
  // Escape leaves the browser as its close button does; the main window stays.
  LetEscapeClose();
  m_lists.SetFieldReader([this] { readFields(); });

  m_period = named(new QComboBox(this), kPeriodList);
  for (int label = 146; label <= 150; ++label) m_period->addItem(GetLabel(label));
  m_period->setCurrentIndex(browser::kAll);
  connect(m_period, &QComboBox::activated, this, &CDlgBrowser::OnPeriodChanged);

  m_search = named(new QPushButton(QStringLiteral("      %1").arg(GetLabel(139)), this), kSearch);
  connect(m_search, &QPushButton::clicked, this, &CDlgBrowser::OnSearch);
  m_view = named(new QPushButton(GetLabel(140), this), kView);
  connect(m_view, &QPushButton::clicked, this, &CDlgBrowser::OnView);
  m_minimize = named(new QPushButton(GetLabel(143), this), kMinimize);
  connect(m_minimize, &QPushButton::clicked, this, &CDlgBrowser::OnMinimize);

  auto* worklist = named(new QPushButton(QStringLiteral("WORKLIST"), this), kWorklist);
  worklist->hide();
  connect(worklist, &QPushButton::clicked, this, &CDlgBrowser::OnWorklist);

  m_deletePatients = named(new QPushButton(GetLabel(141), this), kDeletePatients);
  connect(m_deletePatients, &QPushButton::clicked, this, &CDlgBrowser::OnDeletePatients);
  m_fileExport = named(new QPushButton(GetLabel(142), this), kFileExport);
  connect(m_fileExport, &QPushButton::clicked, this, &CDlgBrowser::OnFileExport);
  const auto hidden = [this](const QString& text, int id, auto handler) {
    auto* button = named(new QPushButton(text, this), id);
    button->hide();
    connect(button, &QPushButton::clicked, this, handler);
  };
  hidden(GetLabel(141), kDeleteStudies, &CDlgBrowser::OnDeleteStudies);
  hidden(QStringLiteral("Delete"), kDeleteSeries, [this] {
    QList<long> keys;
    for (int row : CBrowserLists::SelectedRows(m_lists.seriesSelection())) {
      if (const CDSerInfo* series = m_lists.seriesOf(row)) keys.append(series->SerSeq);
    }
    DeleteSeries(keys);
  });
  hidden(GetLabel(141), kDeleteImages, [this] {
    const QList<CBrwsrImgElement*> selected = m_strip->SelectedElements();
    DeleteImages(QList<const CBrwsrImgElement*>(selected.begin(), selected.end()));
  });
  hidden(QStringLiteral("Delete All"), kDeleteAll, &CDlgBrowser::OnDeleteAll);
  for (CMyListCtrl* list : {m_patientList, m_studyList}) {
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this,
            [this, list](const QPoint& position) { showListMenu(list, position); });
  }

  m_invert = named(new QCheckBox(GetLabel(144), this), kInvertSelection);
  m_invert->setChecked(theAppSettings().GetProfileInt(QStringLiteral("PROCESSING"),
                                                      QStringLiteral("INVERTSEL"), 0) == 1);
  connect(m_invert, &QCheckBox::toggled, this, &CDlgBrowser::OnInvertSelection);
  m_imageCount =
      named(new QPushButton(QStringLiteral("0 %1").arg(GetLabel(145)), this), kImageCount);

  const QPixmap logo(theAppSettings().programFolder + QStringLiteral("Skins/VIEW_LOGO.bmp"));
  if (!logo.isNull()) {
    m_logo = new QLabel(this);
    m_logo->setPixmap(logo.height() > kLogoBand
                          ? logo.scaledToHeight(kLogoBand, Qt::SmoothTransformation)
                          : logo);
  }
  m_strip = new CDlgWndBrowser(this);
  // The layout gives the strip its place; the strip lays its row out again at every width.
  m_strip->InitStrip(QRect(0, 0, std::max(kStripMinWidth, width() - 2 * kMargin), kStripHeight),
                     QRect(0, 0, kThumbnailSide, kThumbnailSide), this);
}

void CDlgBrowser::createLayout() {
  // Spaced explicitly: a layout leaves out its spacing next to the empty band of a missing logo.
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(kMargin, kTopMargin, kMargin, kMargin);
  root->setSpacing(0);

  // The logo's band at the top right; a taller logo is scaled down into it.
  auto* logoBand = new QHBoxLayout;
  logoBand->addStrut(kLogoBand);
  logoBand->addStretch(1);
  if (m_logo != nullptr) logoBand->addWidget(m_logo, 0, Qt::AlignRight | Qt::AlignVCenter);
  root->addLayout(logoBand);
  root->addSpacing(kSpacing);

  // The search row: edits with their labels and the period list, SEARCH at its right end.
  auto* searchRow = new QHBoxLayout;
  searchRow->setSpacing(kSpacing);
  for (auto [label, edit] : {std::pair<QLabel*, QWidget*>{m_idLabel, m_patientId},
                             {m_nameLabel, m_patientName},
                             {m_accessionLabel, m_accession}}) {
    edit->setMinimumWidth(kEditMinWidth);
    edit->setMaximumWidth(kEditWidth);
    searchRow->addWidget(label);
    searchRow->addWidget(edit, 1);
    searchRow->addSpacing(kSpacing);
  }
  m_period->setMinimumWidth(kEditMinWidth);
  m_period->setMaximumWidth(kPeriodWidth);
  searchRow->addWidget(m_period, 1);
  searchRow->addStretch(1);
  m_search->setFixedSize(kButtonWidth, kButtonHeight);
  searchRow->addWidget(m_search);
  root->addLayout(searchRow);
  root->addSpacing(kSpacing);

  // The two lists share what the strip and the bottom bar leave of the height.
  root->addWidget(m_patientList, 1);
  root->addWidget(m_studyList, 1);
  m_strip->setFixedHeight(kStripHeight);
  m_strip->setMinimumWidth(kStripMinWidth);
  root->addSpacing(kSpacing);
  root->addWidget(m_strip);
  root->addSpacing(kSpacing);

  auto* bottomBar = new QHBoxLayout;
  bottomBar->setSpacing(kButtonPitch - kButtonWidth);
  m_invert->setFixedHeight(kButtonHeight);
  m_imageCount->setFixedHeight(kButtonHeight);
  bottomBar->addWidget(m_invert);
  bottomBar->addSpacing(kSpacing);
  bottomBar->addWidget(m_imageCount);
  bottomBar->addStretch(1);
  for (QPushButton* button : {m_deletePatients, m_fileExport, m_view, m_minimize}) {
    button->setFixedSize(kButtonWidth, kButtonHeight);
    bottomBar->addWidget(button);
  }
  root->addLayout(bottomBar);
}

void CDlgBrowser::showEvent(QShowEvent* event) {
  CBaseSkinDlg::showEvent(event);
  // A restore from the minimised state is spontaneous and finds the browser as the operator
  // left it; only the program's own show (the Browser command) starts afresh.
  if (event->spontaneous()) return;
  if (m_frame != nullptr) m_frame->ClearImages();
  OnSearch();
}

void CDlgBrowser::changeEvent(QEvent* event) {
  CBaseSkinDlg::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || m_frame == nullptr) return;
  const auto* change = static_cast<QWindowStateChangeEvent*>(event);
  // Restored from the task bar: the main window comes back with it.
  if ((change->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized)) {
    m_frame->showNormal();
  }
}

void CDlgBrowser::readFields() {
  m_lists.searchPatID = m_patientId->text();
  m_lists.searchPatName = m_patientName->text();
  m_lists.searchAccessNo = m_accession->text();
}

void CDlgBrowser::OnSearch() {
  readFields();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  m_lists.PatientSearch();
  QApplication::restoreOverrideCursor();
  m_patientId->clear();
  m_patientName->clear();
  m_patientList->setFocus();
}

void CDlgBrowser::OnAccessionEntered() {
  readFields();
  m_lists.StudySearch();
}

void CDlgBrowser::OnPeriodChanged(int period) {
  readFields();
  m_lists.ChoosePeriod(period, QDateTime::currentDateTime());
  m_patientId->clear();
  m_patientName->clear();
}

void CDlgBrowser::showImages() {
  const std::vector<CDImgInfo>& images = m_lists.imageItems();
  m_strip->ClearImages();
  if (!images.empty()) {
    m_strip->AddImages(QList<CDImgInfo>(images.begin(), images.end()));
    if (m_invert->isChecked()) m_strip->InvertSelection(true);
  }
  m_imageCount->setText(QStringLiteral("%1 %2").arg(images.size()).arg(GetLabel(145)));
}

void CDlgBrowser::OnView() {
  if (m_strip->ElementCount() == 0) {
    ShowMessage(GetLabel(201), GetLabel(151), MB_ICONEXCLAMATION);
    return;
  }
  const QList<CBrwsrImgElement*> selected = m_strip->SelectedElements();
  if (m_frame == nullptr) return;
  m_frame->ClearImages();
  if (selected.empty()) return;
  hide();
  CExposureProgressDlg progress;
  progress.StartBatch(kImageLoading, static_cast<int>(selected.size()) + 1);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const QList<int> patientRows = CBrowserLists::SelectedRows(m_lists.patientSelection());
  const QList<int> studyRows = CBrowserLists::SelectedRows(m_lists.studySelection());
  for (const CBrwsrImgElement* element : selected) {
    const CDImgInfo& image = element->imageInfo;
    const CDSerInfo* series = nullptr;
    for (const CDSerInfo& candidate : m_lists.seriesItems()) {
      if (candidate.SerSeq == image.SerSeq) series = &candidate;
    }
    if (series == nullptr) {
      ShowMessage(QStringLiteral("Select series."), kBrowser, MB_ICONSTOP);
      continue;
    }
    CDScanInfo records;
    records.Ser = *series;
    records.Img = image;
    for (int row : patientRows) {
      const CDPatInfo* patient = m_lists.patientOf(row);
      if (patient->PatID == series->PatID) records.Pat = *patient;
    }
    for (int row : studyRows) {
      const CDStuInfo* study = m_lists.studyOf(row);
      if (study->StuID == series->StuID) records.Stu = *study;
    }
    if (element->beingSaved) {
      ShowMessage(QStringLiteral("Selected image is saving now."), kBrowser, MB_ICONSTOP);
      continue;
    }
    if (QFileInfo::exists(image.FullPath)) m_frame->OpenImage(image.FullPath, true, &records);
    progress.StepBatch();
  }
  QApplication::restoreOverrideCursor();
  progress.EndBatch();
}

void CDlgBrowser::ImportProgramFolder() {
  const AppSettings& settings = theAppSettings();
  if (settings.RunMode != RunModeEmbedded && settings.RunMode != RunModeDisc) return;
  const QStringList files = ProgramFolderFiles(settings.programFolder, settings.RunMode);
  CExposureProgressDlg progress;
  progress.StartBatch(kImageLoading, static_cast<int>(files.size()));
  QApplication::setOverrideCursor(Qt::WaitCursor);
  CDaoDatabase database;
  QString error;
  if (database.Open(settings.imageDatabasePath, &error)) {
    CImageImport importer(database);
    ::ImportProgramFolder(importer, files, [&progress] { progress.StepBatch(); });
  } else {
    ShowMessage(error, kBrowser, MB_ICONEXCLAMATION);
  }
  progress.EndBatch();
  QApplication::restoreOverrideCursor();
  OnSearch();
}

void CDlgBrowser::OnInvertSelection(bool checked) {
  theAppSettings().WriteProfileInt(QStringLiteral("PROCESSING"), QStringLiteral("INVERTSEL"),
                                   checked ? 1 : 0);
  m_strip->InvertSelection(true);
}

void CDlgBrowser::OnMinimize() {
  if (m_frame != nullptr) m_frame->showMinimized();
  showMinimized();
}

void CDlgBrowser::OnWorklist() {
  if (m_frame != nullptr && m_frame->view() != nullptr) hide();
}

int CDlgBrowser::SelectedStudyCount() const {
  return static_cast<int>(CBrowserLists::SelectedRows(m_lists.studySelection()).size());
}

void CDlgBrowser::MoveImageInSeries(long serSeq, long imageNo, long beforeImageNo) {
  if (!confirmed(QStringLiteral("Do you want to move [%1] in front of [%2]?")
                     .arg(imageNo)
                     .arg(beforeImageNo))) {
    return;
  }
  CExposureProgressDlg progress;
  progress.StartBatch(kImageLoading, 1);
  const RecordChange change = runOperation([&](CRecordOperations& operations) {
    return operations.MoveInSeries(serSeq, imageNo, beforeImageNo);
  });
  progress.EndBatch();
  if (change.ok) m_lists.Refresh(change.refresh);
}

void CDlgBrowser::MoveImageToSeries(long fromSerSeq, long imageNo, long toSerSeq,
                                    long beforeImageNo) {
  const auto seriesNo = [this](long serSeq) {
    for (const CDSerInfo& series : m_lists.seriesItems()) {
      if (series.SerSeq == serSeq) return series.SeriesNo;
    }
    return 0L;
  };
  if (!confirmed(QStringLiteral("Do you want to move [%1-%2] in front of [%3-%4]?")
                     .arg(seriesNo(fromSerSeq))
                     .arg(imageNo)
                     .arg(seriesNo(toSerSeq))
                     .arg(beforeImageNo))) {
    return;
  }
  const RecordChange change = runOperation([&](CRecordOperations& operations) {
    return operations.MoveToSeries(fromSerSeq, imageNo, toSerSeq, beforeImageNo);
  });
  if (change.ok) m_lists.Refresh(std::max<int>(change.refresh, RecordChange::kSeriesList));
}

bool CDlgBrowser::requireOperator() {
  return m_frame != nullptr && m_frame->RequireOperatorLogin();
}

bool CDlgBrowser::confirmed(const QString& question) {
  return ShowMessage(question, kBrowser, MB_YESNO | MB_ICONQUESTION) != IDNO;
}

RecordChange CDlgBrowser::runOperation(
    const std::function<RecordChange(CRecordOperations&)>& operation) {
  QStringList storage{theAppSettings().dataFolder};
  if (m_dropFolder) storage.append(m_dropFolder->archiveFolder());
  for (const auto& folder : m_drainFolders) storage.append(folder->archiveFolder());
  CRecordOperations operations(m_lists.database(), storage);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const RecordChange change = operation(operations);
  QApplication::restoreOverrideCursor();
  if (!change.ok && !change.error.isEmpty()) {
    ShowMessage(change.error, kBrowser, MB_OK | MB_ICONWARNING);
  }
  return change;
}

void CDlgBrowser::OnDeletePatients() {
  // The most destructive delete asks for the operator like the smaller ones.
  if (!requireOperator()) return;
  const QList<int> rows = CBrowserLists::SelectedRows(m_lists.patientSelection());
  if (rows.isEmpty()) {
    ShowMessage(GetLabel(202), GetLabel(151));
    return;
  }
  if (!confirmed(QStringLiteral("%1\r\n%2 %3")
                     .arg(GetLabel(203))
                     .arg(m_strip->ElementCount())
                     .arg(GetLabel(145)))) {
    return;
  }
  QStringList patients;
  for (int row : rows) patients.append(m_lists.patients().text(row, CBrowserLists::kPatID));
  QStringList accessionNumbers;
  for (int row : CBrowserLists::SelectedRows(m_lists.studySelection())) {
    if (const CDStuInfo* study = m_lists.studyOf(row)) accessionNumbers.append(study->StuAccessNo);
  }
  const RecordChange change = runOperation([&](CRecordOperations& operations) {
    return operations.DeletePatients(patients, accessionNumbers);
  });
  if (change.ok) m_lists.Refresh(change.refresh);
}

void CDlgBrowser::OnDeleteStudies() {
  if (!requireOperator()) return;
  QList<long> studies;
  for (int row : CBrowserLists::SelectedRows(m_lists.studySelection())) {
    if (const CDStuInfo* study = m_lists.studyOf(row)) studies.append(study->StuSeq);
  }
  if (studies.isEmpty()) {
    ShowMessage(QStringLiteral("Can't start delete because study are not selected.\nPlease first "
                               "select study."),
                QStringLiteral("Brrowser"));
    return;
  }
  if (!confirmed(
          QStringLiteral("%1\r\n%2 image(s)").arg(GetLabel(330)).arg(m_strip->ElementCount()))) {
    return;
  }
  const RecordChange change = runOperation(
      [&](CRecordOperations& operations) { return operations.DeleteStudies(studies); });
  if (change.ok) m_lists.Refresh(change.refresh);
}

void CDlgBrowser::DeleteSeries(const QList<long>& serSeqs) {
  if (!requireOperator()) return;
  if (serSeqs.isEmpty()) {
    ShowMessage(QStringLiteral("Can't start delete because series are not selected.\nPlease first "
                               "select series."),
                kBrowser);
    return;
  }
  if (!confirmed(QStringLiteral("Do you delete selected Series information?(Y/N)\r\nbeen "
                                "subordinate all image informations are deleted.\r\n%1 image(s)")
                     .arg(m_strip->ElementCount()))) {
    return;
  }
  const RecordChange change =
      runOperation([&](CRecordOperations& operations) { return operations.DeleteSeries(serSeqs); });
  if (change.ok) m_lists.Refresh(change.refresh);
}

void CDlgBrowser::DeleteImages(const QList<const CBrwsrImgElement*>& images) {
  if (!requireOperator()) return;
  if (images.isEmpty()) {
    ShowMessage(QStringLiteral("Selected image does not exist."), kBrowser);
    return;
  }
  if (!confirmed(
          QStringLiteral("Do you delete selected image?(Y/N)\r\n%1 image(s)").arg(images.size()))) {
    return;
  }
  QList<long> keys;
  for (const CBrwsrImgElement* image : images) keys.append(image->imageInfo.ImgSeq);
  const RecordChange change =
      runOperation([&](CRecordOperations& operations) { return operations.DeleteImages(keys); });
  if (change.ok) m_lists.Refresh(change.refresh);
}

void CDlgBrowser::OnDeleteAll() {
  if (!requireOperator()) return;
  if (!confirmed(QStringLiteral("Do you delete all patient informations?(Y/N)\r\nbeen "
                                "subordinate all study/series/image informations are deleted."))) {
    return;
  }
  m_lists.ClearAll();
  const bool all = m_lists.period == browser::kAll;
  const RecordChange change = runOperation([&](CRecordOperations& operations) {
    return operations.DeleteAll(all ? QDateTime() : m_lists.fromDate,
                                all ? QDateTime() : m_lists.toDate);
  });
  if (change.ok) ShowMessage(QStringLiteral("Deleted patient information successfully."), kBrowser);
  m_lists.PatientSearch();
}

void CDlgBrowser::OnFileExport() {
  if (m_frame == nullptr || m_strip == nullptr) return;
  const QList<CBrwsrImgElement*> selected = m_strip->SelectedElements();
  if (selected.isEmpty()) {
    ShowMessage(QStringLiteral("Please select image(s)."), kBrowser);
    return;
  }
  CFileDialogEx dialog(this, QDir::rootPath(),
                       QStringLiteral("BMP Files (*.bmp)|*.bmp|JPG Files (*.jpg)|*.jpg|PNG Files "
                                      "(*.png)|*.png"),
                       GetLabel(167), CFileDialogEx::kSaveMode);
  if (dialog.exec() != QDialog::Accepted) return;
  QStringList files;
  for (const CBrwsrImgElement* element : selected) files.append(element->imageInfo.FullPath);
  CExposureProgressDlg progress;
  if (!dialog.GetFileName().isEmpty()) {
    progress.StartBatch(QStringLiteral("%1...").arg(GetLabel(158)), static_cast<int>(files.size()));
  }
  ExportImageFiles(files, dialog.GetFolderPath(), dialog.GetFileName(), dialog.GetFileExt(),
                   [&progress] { progress.StepBatch(); });
  progress.EndBatch();
}

void CDlgBrowser::showListMenu(CMyListCtrl* list, const QPoint& position) {
  QMenu menu(this);
  if (list == m_patientList) {
    menu.addAction(GetLabel(141), this, &CDlgBrowser::OnDeletePatients);
    AddSendToMenu(menu, [this] {
      SendSelection selection;
      for (int row : CBrowserLists::SelectedRows(m_lists.patientSelection()))
        selection.patients.append(m_lists.patients().text(row, CBrowserLists::kPatID));
      return selection;
    });
  } else {
    menu.addAction(QStringLiteral("Delete Study"), this, &CDlgBrowser::OnDeleteStudies);
    menu.addAction(QStringLiteral("Delete All"), this, &CDlgBrowser::OnDeleteAll);
    AddSendToMenu(menu, [this] {
      SendSelection selection;
      for (int row : CBrowserLists::SelectedRows(m_lists.studySelection())) {
        if (const CDStuInfo* study = m_lists.studyOf(row))
          selection.studies.append(QString::number(study->StuSeq));
      }
      return selection;
    });
  }
  menu.exec(list->viewport()->mapToGlobal(position));
}

void CDlgBrowser::AddSendToMenu(QMenu& menu, const std::function<SendSelection()>& selection) {
  QMenu* sendTo = menu.addMenu(QStringLiteral("Send to"));
  sendTo->setObjectName(QStringLiteral("sendTo"));
  for (const DicomNode& node : CDicomNodes(m_lists.database()).List()) {
    if (!node.sendsTo()) continue;
    const QString name = node.name;
    sendTo->addAction(name, this, [this, name, selection] { SendTo(name, selection()); });
  }
  sendTo->setEnabled(!sendTo->isEmpty());
}

long CDlgBrowser::SendTo(const QString& node, const SendSelection& selection) {
  CSendQueue queue(m_lists.database());
  const QList<SendImage> images = queue.Select(selection);
  if (images.isEmpty()) {
    ShowMessage(QStringLiteral("Please select image(s)."), kBrowser);
    return 0;
  }
  const long job = queue.Enqueue(node, images);
  if (job == 0) {
    ShowMessage(queue.LastError(), kBrowser, MB_ICONEXCLAMATION);
    return 0;
  }
  if (m_sendService) m_sendService->Wake();
  ShowSendQueue()->Refresh();
  return job;
}

CDlgSendQueue* CDlgBrowser::ShowSendQueue() {
  if (m_sendQueue == nullptr) {
    m_sendQueue = new CDlgSendQueue(m_lists.database().path(), this);
    if (m_sendService) {
      connect(m_sendService.get(), &CSendService::jobChanged, m_sendQueue,
              &CDlgSendQueue::OnJobChanged);
      connect(m_sendQueue, &CDlgSendQueue::retried, m_sendService.get(),
              [this] { m_sendService->Wake(); });
    }
  }
  m_sendQueue->show();
  m_sendQueue->raise();
  return m_sendQueue;
}

void CDlgBrowser::ImageMenu(const CBrwsrImgElement& element, const QPoint& globalPos) {
  QMenu menu(this);
  QAction* deleteImage = menu.addAction(QStringLiteral("Delete Image"));
  QAction* deleteSelected = menu.addAction(QStringLiteral("Delete Selected Images"));
  QAction* deleteSeries = menu.addAction(QStringLiteral("Delete Series"));
  menu.addSeparator();
  QAction* fileExport = menu.addAction(GetLabel(142));
  // Copied before the menu runs: a delete refills the strip and frees its elements.
  const CBrwsrImgElement image(element.imageInfo);
  AddSendToMenu(menu, [this, uid = image.imageInfo.SOPInstanceUID] {
    // The selected thumbnails, or the one under the mouse when none is.
    SendSelection selection;
    for (const CBrwsrImgElement* selected : m_strip->SelectedElements())
      selection.images.append(selected->imageInfo.SOPInstanceUID);
    if (selection.images.isEmpty()) selection.images.append(uid);
    return selection;
  });
  QAction* chosen = menu.exec(globalPos);
  if (chosen == deleteImage) {
    DeleteImages({&image});
  } else if (chosen == deleteSelected) {
    const QList<CBrwsrImgElement*> selected = m_strip->SelectedElements();
    DeleteImages(QList<const CBrwsrImgElement*>(selected.begin(), selected.end()));
  } else if (chosen == deleteSeries) {
    DeleteSeries({image.imageInfo.SerSeq});
  } else if (chosen == fileExport) {
    OnFileExport();
  }
}

#pragma once

#include <QTimer>
#include <memory>
#include <vector>

#include "browser/BrowserLists.h"
#include "browser/RecordOperations.h"
#include "browser/StripOwner.h"
#include "net/SendQueue.h"
#include "ui/widgets/BaseSkinDlg.h"

class CBrwsrImgElement;
class CDlgSendQueue;
class CDropFolder;
class CSendService;
class QMenu;

class CMainFrame;
class CMyListCtrl;
class CDlgWndBrowser;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The study browser: the operator searches patients by ID, name, accession number or period,
// picks patients and studies, sees the images of their series as thumbnails and opens the
// selected ones in the view. A modeless window over the main window's work area; the lists and
// searches are CBrowserLists, the thumbnails the strip.
class CDlgBrowser : public CBaseSkinDlg, public CStripOwner {
  Q_OBJECT

 public:
  // Control ids of the window, as object names for tests and style sheets.
  static constexpr int kPatientList = 1036;
  static constexpr int kSeriesList = 1037;
  static constexpr int kStudyList = 1038;
  static constexpr int kView = 1042;
  static constexpr int kSearch = 1043;
  static constexpr int kMinimize = 1062;
  static constexpr int kPatientIdEdit = 1270;
  static constexpr int kPatientNameEdit = 1271;
  static constexpr int kAccessionEdit = 1261;
  static constexpr int kIdLabel = 1406;
  static constexpr int kNameLabel = 1408;
  static constexpr int kAccessionLabel = 1000;
  static constexpr int kPeriodList = 1566;
  static constexpr int kInvertSelection = 2061;
  static constexpr int kImageCount = 2206;
  static constexpr int kWorklist = 688;
  static constexpr int kDeletePatients = 1044;
  static constexpr int kFileExport = 2196;
  // Hidden by the layout; their commands are offered by the lists' and the strip's menus.
  static constexpr int kDeleteStudies = 1053;
  static constexpr int kDeleteSeries = 1050;
  static constexpr int kDeleteImages = 1040;
  static constexpr int kDeleteAll = 1045;

  // frame (not owned) opens the images; the browser lives as long as it.
  explicit CDlgBrowser(CMainFrame* frame);
  ~CDlgBrowser() override;

  // Connects the browser's own database connection; false (after a message) when it fails.
  bool OpenDatabase(const QString& path);
  // The station mode: creates the drop folder (with its parents) and watches it, moving what it
  // indexes into archiveFolder; the first pass after 5 s, then one a second while the browser
  // lives. After OpenDatabase. The drop folders of earlier receiver settings (drainFolders)
  // are drained by the same passes, each into the archive beside it, until one is found empty
  // and AppSettings::ForgetDrainFolder lets it go.
  void StartDropFolder(const QString& dropFolder, const QString& archiveFolder,
                       const QStringList& drainFolders = {});
  // Timer 1002: while the browser is shown, one pass over the drop folder and those drained
  // (wait cursor while files are there), then, when any image came in (through these passes or
  // indexed by another process, such as the receiver service), the patients listed again; the
  // selected patients, studies and thumbnails that still exist stay selected.
  void PollDropFolder();

  CBrowserLists& lists() { return m_lists; }
  CDlgWndBrowser* strip() const { return m_strip; }
  CMyListCtrl* patientList() const { return m_patientList; }
  CMyListCtrl* studyList() const { return m_studyList; }

  // SEARCH and Enter in the ID and name edits.
  void OnSearch();
  // Enter in the accession number edit: the studies of the selected patient.
  void OnAccessionEntered();
  void OnPeriodChanged(int period);
  // VIEW: the selected thumbnails, in strip order, into the view with their database rows.
  void OnView();
  // In the embedded and the disc modes: the DICOM files under the program folder into the
  // image database, with the progress dialog, then a patient search. Nothing in the station
  // mode.
  void ImportProgramFolder();
  void OnInvertSelection(bool checked);
  void OnMinimize();
  // WORKLIST (kept hidden by the layout): the browser steps aside for the main window's view.
  void OnWorklist();

  // ---- record operations; each delete asks for the operator's login first
  // DEL.: the selected patients with everything below them.
  void OnDeletePatients();
  // The selected studies.
  void OnDeleteStudies();
  // The given series (the Delete button: the selected series rows).
  void DeleteSeries(const QList<long>& serSeqs);
  // The given images (DEL. of the image area: the selected thumbnails).
  void DeleteImages(const QList<const CBrwsrImgElement*>& images);
  // Delete All: every study of the current period.
  void OnDeleteAll();
  // File Export: the selected thumbnails' images as pictures, through the file dialog.
  void OnFileExport();
  // ---- sending
  // "Send to" on menu: a submenu of the send nodes; choosing one queues the images of
  // selection() for it.
  void AddSendToMenu(QMenu& menu, const std::function<SendSelection()>& selection);
  // Queues the selection's images for the node as one job (one transaction), wakes the sender
  // and shows the queue; the job, 0 after a message.
  long SendTo(const QString& node, const SendSelection& selection);
  // The Send Queue window, made on first use.
  CDlgSendQueue* ShowSendQueue();
  CSendService* sendService() const { return m_sendService.get(); }
  // CStripOwner: an image's commands (delete it, its series or the selected images; export).
  void ImageMenu(const CBrwsrImgElement& element, const QPoint& globalPos) override;

  // CStripOwner: the strip's drop of one thumbnail on another.
  int SelectedStudyCount() const override;
  void MoveImageInSeries(long serSeq, long imageNo, long beforeImageNo) override;
  void MoveImageToSeries(long fromSerSeq, long imageNo, long toSerSeq, long beforeImageNo) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void createControls();
  // Qt layouts place the controls, so nothing overlaps at any size the window allows.
  void createLayout();
  // The strip and the image count follow the lists' images.
  void showImages();
  // Reads the edits into the search fields.
  void readFields();
  void showListMenu(CMyListCtrl* list, const QPoint& position);
  // The logged-in operator, after the login dialog when none is.
  bool requireOperator();
  // Asks question (Yes, No); true unless No.
  static bool confirmed(const QString& question);
  // The operation on the browser's connection; files are removed only inside the program
  // folder and the drop folder's archive.
  RecordChange runOperation(const std::function<RecordChange(CRecordOperations&)>& operation);

  CMainFrame* m_frame;
  CBrowserLists m_lists;
  CMyListCtrl* m_patientList = nullptr;
  CMyListCtrl* m_studyList = nullptr;
  CDlgWndBrowser* m_strip = nullptr;
  QLineEdit* m_patientId = nullptr;
  QLineEdit* m_patientName = nullptr;
  QLineEdit* m_accession = nullptr;
  QLabel* m_idLabel = nullptr;
  QLabel* m_nameLabel = nullptr;
  QLabel* m_accessionLabel = nullptr;
  QComboBox* m_period = nullptr;
  QPushButton* m_search = nullptr;
  QPushButton* m_view = nullptr;
  QPushButton* m_minimize = nullptr;
  QPushButton* m_deletePatients = nullptr;
  QPushButton* m_fileExport = nullptr;
  QCheckBox* m_invert = nullptr;
  QPushButton* m_imageCount = nullptr;
  QLabel* m_logo = nullptr;
  // Works the send queue on threads of its own while the database is open.
  std::unique_ptr<CSendService> m_sendService;
  CDlgSendQueue* m_sendQueue = nullptr;
  std::unique_ptr<CDropFolder> m_dropFolder;
  std::vector<std::unique_ptr<CDropFolder>> m_drainFolders;
  QTimer m_dropFolderTimer;
};

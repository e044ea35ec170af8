#pragma once

#include <QString>
#include <QStringList>

class CDScanInfo;
class CDateTime;
class CQuery;

// The three texts of a report or of a report template. Lines are stored separated by carriage
// return + line feed.
struct ReportTexts {
  QString finding;
  QString conclusion;
  QString recommend;

  bool isEmpty() const { return finding.isEmpty() && conclusion.isEmpty() && recommend.isEmpty(); }
  bool operator==(const ReportTexts&) const = default;
};

// A text as typed (line feeds) as it is stored (carriage return + line feed), and back.
QString StoredText(const QString& typed);
QString TypedText(const QString& stored);

// A date as the report shows it, "yyyy-MM-dd"; empty when the date is null, invalid or the
// zero value (no date given).
QString ReportDate(const CDateTime& date);
// The study's description, or the series' body part when the description is empty.
QString ReportStudyName(const CDScanInfo& scanInfo);

// The copy of the patient and study the report row keeps.
struct ReportHeader {
  QString id;
  QString name;
  QString sex;
  QString dob;
  QString studyName;
  QString studyDate;

  static ReportHeader FromScanInfo(const CDScanInfo& scanInfo);
};

// A report row as stored.
struct StoredReport {
  QString file;
  ReportHeader header;
  ReportTexts texts;
};

// The reports of the table `report`: one row per image, identified by the image's SOP
// Instance UID.
class ReportStore {
 public:
  explicit ReportStore(CQuery& query) : m_query(query) {}

  // Reads the stored report; the last row wins. True when a row was found.
  bool Read(const QString& reportId, StoredReport& report);
  // Writes header and texts in one transaction, replacing the report's row or adding it; the
  // engine's reason on failure, empty on success.
  QString Save(const QString& reportId, const QString& file, const ReportHeader& header,
               const ReportTexts& texts);

 private:
  CQuery& m_query;
};

// The report templates of the table `preform`, found by title.
class PreformStore {
 public:
  explicit PreformStore(CQuery& query) : m_query(query) {}

  // The titles in row order and the title of the last row marked default ("Y" in any letter
  // case). False, with nothing changed, when the table cannot be read.
  bool List(QStringList& titles, QString* defaultTitle = nullptr);
  // Every row of that title replaces the texts with its own; no row changes nothing.
  void Fill(const QString& title, ReportTexts& texts);
  // A new row; a title already taken gets a second row. False when it was not stored.
  bool Add(const QString& title, const ReportTexts& texts);
  // The texts of every row of that title.
  bool Update(const QString& title, const ReportTexts& texts);
  // Every row of each title, all or none.
  bool Remove(const QStringList& titles);
  // The mark moves to the rows of that title.
  bool MarkDefault(const QString& title);

 private:
  CQuery& m_query;
};

#include "reports/ReportStore.h"

#include "db/DateTime.h"
#include "db/Query.h"
#include "db/ValueRecords.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

QString StoredText(const QString& typed) {
  QString text = typed;
  text.replace(kCrLf, QStringLiteral("\n"));
  text.replace(QLatin1Char('\n'), kCrLf);
  return text;
}

QString TypedText(const QString& stored) {
  QString text = stored;
  return text.replace(kCrLf, QStringLiteral("\n"));
}

QString ReportDate(const CDateTime& date) {
  return date.isGiven() ? date.date().toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QString ReportStudyName(const CDScanInfo& scanInfo) {
  return scanInfo.Stu.StuDesc.isEmpty() ? scanInfo.Ser.BodyPart : scanInfo.Stu.StuDesc;
}

ReportHeader ReportHeader::FromScanInfo(const CDScanInfo& scanInfo) {
  return {scanInfo.Pat.PatID,        scanInfo.Pat.PatName,
          scanInfo.Pat.PatSex,       ReportDate(scanInfo.Pat.PatBirthDate),
          ReportStudyName(scanInfo), ReportDate(scanInfo.Stu.StuDateTime)};
}

bool ReportStore::Read(const QString& reportId, StoredReport& report) {
  if (!m_query.ExecuteStatement(QStringLiteral("select * from report where reportid = ?"),
                                {reportId})) {
    return false;
  }
  bool found = false;
  while (m_query.FetchRow() == CQuery::kSuccess) {
    found = true;
    report.file = m_query.GetColumnText(QStringLiteral("file"));
    report.header = {m_query.GetColumnText(QStringLiteral("patid")),
                     m_query.GetColumnText(QStringLiteral("patname")),
                     m_query.GetColumnText(QStringLiteral("patsex")),
                     m_query.GetColumnText(QStringLiteral("patdob")),
                     m_query.GetColumnText(QStringLiteral("studyname")),
                     m_query.GetColumnText(QStringLiteral("studydate"))};
    report.texts = {m_query.GetColumnText(QStringLiteral("Finding")),
                    m_query.GetColumnText(QStringLiteral("Conclusion")),
                    m_query.GetColumnText(QStringLiteral("Recommend"))};
  }
  m_query.CloseStatement();
  return found;
}

QString ReportStore::Save(const QString& reportId, const QString& file, const ReportHeader& header,
                          const ReportTexts& texts) {
  const QVariantList values{file,
                            header.id,
                            header.name,
                            header.sex,
                            header.dob,
                            header.studyName,
                            header.studyDate,
                            texts.finding,
                            texts.conclusion,
                            texts.recommend,
                            reportId};
  // A row that exists (whatever its texts) is rewritten, so a second Save, or a report whose
  // texts were all emptied, never meets the key of its own row.
  const bool saved =
      m_query.BeginTrans() &&
      m_query.ExecuteStatement(
          QStringLiteral("update report set file=?,patid=?,patname=?,patsex=?,patdob=?,"
                         "studyname=?,studydate=?,finding=?,conclusion=?,recommend=? "
                         "where reportid = ?"),
          values) &&
      (m_query.RowCount() > 0 ||
       m_query.ExecuteStatement(
           QStringLiteral("Insert into report (file,patid,patname,patsex,patdob,studyname,"
                          "studydate,finding,conclusion,recommend,reportid) "
                          "VALUES (?,?,?,?,?,?,?,?,?,?,?)"),
           values)) &&
      m_query.CommitTrans();
  if (saved) return QString();
  const QString reason = m_query.LastError();
  m_query.Rollback();
  return reason.isEmpty() ? QStringLiteral("No report database") : reason;
}

bool PreformStore::List(QStringList& titles, QString* defaultTitle) {
  if (!m_query.ExecuteStatement(QStringLiteral("select title,\"default\" from preform"))) {
    return false;
  }
  titles.clear();
  while (m_query.FetchRow() == CQuery::kSuccess) {
    const QString title = m_query.GetColumnText(QStringLiteral("Title"));
    titles << title;
    if (defaultTitle &&
        m_query.GetColumnText(QStringLiteral("Default")).toUpper() == QLatin1String("Y")) {
      *defaultTitle = title;
    }
  }
  m_query.CloseStatement();
  return true;
}

void PreformStore::Fill(const QString& title, ReportTexts& texts) {
  if (!m_query.ExecuteStatement(
          QStringLiteral("select finding,conclusion,recommend from preform where title = ?"),
          {title})) {
    return;
  }
  while (m_query.FetchRow() == CQuery::kSuccess) {
    texts = {m_query.GetColumnText(QStringLiteral("Finding")),
             m_query.GetColumnText(QStringLiteral("Conclusion")),
             m_query.GetColumnText(QStringLiteral("Recommend"))};
  }
  m_query.CloseStatement();
}

bool PreformStore::Add(const QString& title, const ReportTexts& texts) {
  return m_query.ExecuteStatement(
      QStringLiteral("Insert into preform (title,finding,conclusion,recommend) VALUES (?,?,?,?)"),
      {title, texts.finding, texts.conclusion, texts.recommend});
}

bool PreformStore::Update(const QString& title, const ReportTexts& texts) {
  return m_query.ExecuteStatement(
      QStringLiteral("update preform set finding=?,conclusion=?,recommend=? where title = ?"),
      {texts.finding, texts.conclusion, texts.recommend, title});
}

bool PreformStore::Remove(const QStringList& titles) {
  if (!m_query.BeginTrans()) return false;
  for (const QString& title : titles) {
    if (!m_query.ExecuteStatement(QStringLiteral("Delete from preform where title = ?"), {title})) {
      m_query.Rollback();
      return false;
    }
  }
  return m_query.CommitTrans();
}

bool PreformStore::MarkDefault(const QString& title) {
  const bool marked =
      m_query.BeginTrans() &&
      m_query.ExecuteStatement(QStringLiteral("update preform set \"default\"=''")) &&
      m_query.ExecuteStatement(QStringLiteral("update preform set \"default\"='Y' where title = ?"),
                               {title}) &&
      m_query.CommitTrans();
  if (!marked) m_query.Rollback();
  return marked;
}

#include "frame/OpenImages.h"

#include "app/AppSettings.h"
#include "db/DbDatabase.h"
#include "ui/MessageSink.h"

CImageEach* COpenImages::at(int index) const {
  if (index < 0 || index >= count()) return nullptr;
  return m_images[static_cast<std::size_t>(index)].get();
}

int COpenImages::append(std::unique_ptr<CImageEach> image) {
  m_images.push_back(std::move(image));
  return count() - 1;
}

void COpenImages::removeAt(int index) {
  if (index < 0 || index >= count()) return;
  m_images.erase(m_images.begin() + index);
}

QString COpenImages::normalisedPath(const QString& path) {
  QString normalised = path.toLower();
  normalised.replace(QStringLiteral("_org.dcm"), QStringLiteral(".dcm"));
  return normalised;
}

int COpenImages::findByPath(const QString& path, bool newestFirst) const {
  const QString wanted = normalisedPath(path);
  for (int i = 0; i < count(); ++i) {
    const int index = newestFirst ? count() - 1 - i : i;
    if (normalisedPath(at(index)->filePath) == wanted) return index;
  }
  return -1;
}

int LookUpAcquisitionProtocol(CImageEach& entry, const QString& databasePath) {
  const QString path = databasePath.isEmpty() ? theAppSettings().imageDatabasePath : databasePath;
  if (path.isEmpty()) return 0;
  CdbDatabase db(path);
  db.SetQuiet(true);
  const CDSerInfo& series = entry.scanInfo.Ser;
  const CDImgInfo& image = entry.scanInfo.Img;
  // Each step reads one key; a missing row ends the look-up with the image's values kept.
  auto step = [&db](const QString& sql, const QVariantList& values) {
    return db.Open(CGMDaoRecordset::dbOpenSnapshot, sql, values) && !db.IsEOF();
  };
  if (step(QStringLiteral("SELECT KeyEP FROM tEP WHERE NameEP = ? AND KeyMT = ?"),
           {series.BodyPart, qlonglong(image.ModalType)})) {
    const QVariant keyEP = db.GetFieldValue(QStringLiteral("KeyEP"));
    if (step(QStringLiteral("SELECT KeyVP FROM tVP WHERE NameVP = ? AND KeyMT = ? AND KeyEP = ?"),
             {series.PatientPosition, qlonglong(image.ModalType), keyEP})) {
      const QVariant keyVP = db.GetFieldValue(QStringLiteral("KeyVP"));
      if (step(QStringLiteral("SELECT * FROM tEC WHERE KeyVP = ? AND KeyBS = ?"),
               {keyVP, qlonglong(image.PatientType)})) {
        auto number = [&db](const char* column) {
          return static_cast<long>(db.GetFieldValue(QLatin1String(column)).toLongLong());
        };
        if (number("FilmSizeX") > 0) entry.filmSizeX = static_cast<int>(number("FilmSizeX"));
        if (number("FilmSizeY") > 0) entry.filmSizeY = static_cast<int>(number("FilmSizeY"));
        entry.valueA = number("ValueA");
        entry.valueB = number("ValueB");
        entry.valueC = number("ValueC");
        entry.valueD = number("ValueD");
        entry.valueE = number("ValueE");
        entry.lut = db.GetFieldValue(QStringLiteral("LUT")).toString();
        entry.par = db.GetFieldValue(QStringLiteral("PAR")).toString();
      }
    }
  }
  if (db.LastError().isEmpty()) return 0;
  ShowMessage(db.LastError(), QStringLiteral("Main control"), MB_OK | MB_ICONWARNING);
  return -1;
}

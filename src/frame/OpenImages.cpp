#include "frame/OpenImages.h"

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

void COpenImages::replace(int index, std::unique_ptr<CImageEach> image) {
  if (index < 0 || index >= count()) return;
  m_images[static_cast<std::size_t>(index)] = std::move(image);
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

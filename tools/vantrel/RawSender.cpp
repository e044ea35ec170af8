#include "RawSender.h"

#include <QFile>
#include <QLocalSocket>
#include <QtEndian>
#include <algorithm>

namespace {

constexpr int kConnectTimeoutMs = 3000;

void setWindowFromRange(RawImage& image) {
  const auto [low, high] = std::minmax_element(image.pixels.begin(), image.pixels.end());
  image.header.windowWidth = std::max(1, int(*high) - int(*low));
  image.header.windowCentre = (int(*high) + int(*low)) / 2;
}

}  // namespace

bool LoadRawFile(const QString& path, int width, int height, int bits, RawImage& image,
                 QString* error) {
  image.header = {width, height, bits, 0, 0};
  if (const QString problem = companion::CheckHeader(image.header); !problem.isEmpty()) {
    *error = problem;
    return false;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
    return false;
  }
  const qint64 count = qint64(width) * height;
  const QByteArray data = file.read(count * 2);
  if (data.size() < count * 2) {
    *error = QStringLiteral("%1 holds %2 bytes, %3 x %4 pixels need %5")
                 .arg(path)
                 .arg(file.size())
                 .arg(width)
                 .arg(height)
                 .arg(count * 2);
    return false;
  }
  image.pixels.resize(std::size_t(count));
  qFromLittleEndian<std::uint16_t>(data.constData(), count, image.pixels.data());
  setWindowFromRange(image);
  return true;
}

RawImage SyntheticImage(int width, int height) {
  RawImage image;
  image.header = {width, height, 12, 4096, 2048};
  image.pixels.resize(std::size_t(width) * height);
  const qint64 span = std::max(1, width + height - 2);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      image.pixels[std::size_t(y) * width + x] = std::uint16_t((x + y) * 4095 / span);
  }
  return image;
}

bool SendRawImage(const RawImage& image, const QString& serverName, const QString& sharedMemoryName,
                  QString* error) {
  if (!companion::WriteSharedPixels(sharedMemoryName, image.pixels, error)) return false;
  QLocalSocket socket;
  socket.connectToServer(serverName);
  if (!socket.waitForConnected(kConnectTimeoutMs)) {
    *error = QStringLiteral("viewer server \"%1\" does not answer: %2")
                 .arg(serverName, socket.errorString());
    return false;
  }
  socket.write(companion::EncodeHandOverBlock(image.header));
  // Closing the connection marks the end of the block for the viewer.
  if (!socket.waitForBytesWritten(kConnectTimeoutMs) && socket.bytesToWrite() > 0) {
    *error = QStringLiteral("cannot send to \"%1\": %2").arg(serverName, socket.errorString());
    return false;
  }
  socket.disconnectFromServer();
  return true;
}

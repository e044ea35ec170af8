#include "frame/CompanionProtocol.h"

#include <QFile>
#include <QtEndian>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace companion {

namespace {

QString systemError(const QString& what, const QString& name) {
  return QStringLiteral("%1 \"%2\": %3").arg(what, name, QString::fromLocal8Bit(strerror(errno)));
}

// Closes the descriptor on every path out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

}  // namespace

QByteArray EncodeHandOverBlock(const RawImageHeader& header) {
  const std::int32_t values[] = {header.width, header.height, header.bitsStored, header.windowWidth,
                                 header.windowCentre};
  QByteArray block(kHandOverBlockSize, Qt::Uninitialized);
  qToLittleEndian<std::int32_t>(values, 5, block.data());
  return block;
}

std::optional<RawImageHeader> DecodeHandOverBlock(const QByteArray& block) {
  if (block.size() != kHandOverBlockSize) return std::nullopt;
  std::int32_t values[5];
  qFromLittleEndian<std::int32_t>(block.constData(), 5, values);
  return RawImageHeader{values[0], values[1], values[2], values[3], values[4]};
}

QString CheckHeader(const RawImageHeader& header) {
  if (header.width < 1 || header.width > kMaxDimension || header.height < 1 ||
      header.height > kMaxDimension) {
    return QStringLiteral("image size %1 x %2 is outside 1 to %3")
        .arg(header.width)
        .arg(header.height)
        .arg(kMaxDimension);
  }
  if (std::int64_t(header.width) * header.height > kMaxPixels) {
    return QStringLiteral("image of %1 x %2 pixels is larger than %3 pixels")
        .arg(header.width)
        .arg(header.height)
        .arg(kMaxPixels);
  }
  if (header.bitsStored < 1 || header.bitsStored > 16) {
    return QStringLiteral("%1 bits stored is outside 1 to 16").arg(header.bitsStored);
  }
  return {};
}

bool ReadSharedPixels(const QString& name, const RawImageHeader& header,
                      std::vector<std::uint16_t>& pixels, QString* error) {
  if (const QString problem = CheckHeader(header); !problem.isEmpty()) {
    *error = problem;
    return false;
  }
  const Descriptor fd(shm_open(QFile::encodeName(name).constData(), O_RDWR, 0));
  if (fd.get() < 0) {
    *error = systemError(QStringLiteral("cannot open shared memory"), name);
    return false;
  }
  struct stat info {};
  if (fstat(fd.get(), &info) != 0) {
    *error = systemError(QStringLiteral("cannot read the size of shared memory"), name);
    return false;
  }
  const std::size_t count = std::size_t(header.width) * std::size_t(header.height);
  const std::size_t bytes = count * sizeof(std::uint16_t);
  if (info.st_size < 0 || std::size_t(info.st_size) < bytes) {
    *error = QStringLiteral("shared memory \"%1\" holds %2 bytes, %3 x %4 pixels need %5")
                 .arg(name)
                 .arg(info.st_size)
                 .arg(header.width)
                 .arg(header.height)
                 .arg(bytes);
    return false;
  }
  try {
    pixels.resize(count);
  } catch (const std::bad_alloc&) {
    *error = QStringLiteral("no memory for %1 x %2 pixels").arg(header.width).arg(header.height);
    return false;
  }
  // Read through the descriptor rather than a mapping: should the sender shrink the object
  // after the size check, a mapped copy would die of SIGBUS where read() just comes up short.
  auto* target = reinterpret_cast<char*>(pixels.data());
  std::size_t done = 0;
  while (done < bytes) {
    const ssize_t got = pread(fd.get(), target + done, bytes - done, off_t(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      *error = got < 0 ? systemError(QStringLiteral("cannot read shared memory"), name)
                       : QStringLiteral("shared memory \"%1\" shrank while it was read").arg(name);
      pixels.clear();
      return false;
    }
    done += std::size_t(got);
  }
  return true;
}

bool WriteSharedPixels(const QString& name, std::span<const std::uint16_t> pixels, QString* error) {
  const Descriptor fd(shm_open(QFile::encodeName(name).constData(), O_RDWR | O_CREAT, 0600));
  if (fd.get() < 0) {
    *error = systemError(QStringLiteral("cannot create shared memory"), name);
    return false;
  }
  const std::size_t bytes = pixels.size_bytes();
  if (ftruncate(fd.get(), off_t(bytes)) != 0) {
    *error = systemError(QStringLiteral("cannot size shared memory"), name);
    return false;
  }
  if (bytes == 0) return true;
  void* map = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
  if (map == MAP_FAILED) {
    *error = systemError(QStringLiteral("cannot map shared memory"), name);
    return false;
  }
  std::memcpy(map, pixels.data(), bytes);
  munmap(map, bytes);
  return true;
}

}  // namespace companion

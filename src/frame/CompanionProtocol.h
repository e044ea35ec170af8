#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// What the viewer and the companion program agree on: the names they find each other by, the
// block that announces a raw image and the shared-memory object that carries its pixels.
namespace companion {

// Local server of the viewer's main window, which takes raw images.
inline constexpr char kViewerServerName[] = "toraScan";
// Shared-memory object holding width x height 16-bit pixels, row after row.
inline constexpr char kSharedMemoryName[] = "/toraScan";
// Local server by which a running companion is found and asked to close.
inline constexpr char kManagerServerName[] = "Vantrel Manager";
// Sent to the companion's server instead of a window's close message.
inline constexpr char kCloseRequest[] = "CLOSE";
#ifdef Q_OS_WIN
inline constexpr char kProgramName[] = "Vantrel.exe";
#else
inline constexpr char kProgramName[] = "Vantrel";
#endif

// The hand-over block: five little-endian int32, nothing else.
inline constexpr int kHandOverBlockSize = 20;
// Larger images are refused so that a corrupt block cannot make the viewer allocate gigabytes.
inline constexpr int kMaxDimension = 32767;
inline constexpr std::int64_t kMaxPixels = std::int64_t(128) * 1024 * 1024;

struct RawImageHeader {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t bitsStored = 0;
  std::int32_t windowWidth = 0;
  std::int32_t windowCentre = 0;
};

QByteArray EncodeHandOverBlock(const RawImageHeader& header);
// Nothing for a block of any length other than kHandOverBlockSize.
std::optional<RawImageHeader> DecodeHandOverBlock(const QByteArray& block);
// Why the header cannot describe an image we take (empty when it can): dimensions from 1 to
// kMaxDimension, at most kMaxPixels pixels, 1 to 16 bits stored.
QString CheckHeader(const RawImageHeader& header);

// Copies the header's width x height pixels out of the shared-memory object `name`. False with
// the reason in *error when the header is unusable, the object is missing or too small.
bool ReadSharedPixels(const QString& name, const RawImageHeader& header,
                      std::vector<std::uint16_t>& pixels, QString* error);
// Creates (or resizes) the shared-memory object `name` to exactly the pixels and fills it.
bool WriteSharedPixels(const QString& name, std::span<const std::uint16_t> pixels, QString* error);

}  // namespace companion

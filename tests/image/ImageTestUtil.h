#pragma once

// Helpers shared by the image tests: small 16-bit pictures, pixel access and the pipeline
// settings (a process-wide value) restored after each test that changes them.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "image/BaseImage.h"
#include "image/PipelineSettings.h"

namespace imagetest {

// A 16-bit grey bitmap holding `values` row after row; the view reset to the whole image.
inline void makeGrey16(CBaseImage& image, int width, int height,
                       const std::vector<std::uint16_t>& values) {
  image.Create(width, height, 16);
  std::copy(values.begin(), values.end(), image.bitmap().grey16());
  image.ResetView();
}

inline std::vector<std::uint16_t> grey16Values(const imaging::Bitmap& bitmap) {
  const std::uint16_t* p = bitmap.grey16();
  return std::vector<std::uint16_t>(p, p + std::size_t(bitmap.width()) * bitmap.height());
}

inline int pixel16(const imaging::Bitmap& bitmap, int x, int y) {
  return bitmap.grey16()[std::size_t(y) * bitmap.width() + x];
}

// The grey level a table entry gives (entries are 0x00LLLLLL).
inline int tableLevel(const CBaseImage& image, int value) {
  return int(image.greyTable()[value] & 0xff);
}

inline bool tableIsZero(const CBaseImage& image) {
  const std::uint32_t* table = image.greyTable();
  return std::all_of(table, table + CBaseImage::kTableSize, [](std::uint32_t e) { return e == 0; });
}

class ScopedPipelineSettings {
 public:
  explicit ScopedPipelineSettings(const PipelineSettings& settings) : m_saved(pipelineSettings()) {
    setPipelineSettings(settings);
  }
  ~ScopedPipelineSettings() { setPipelineSettings(m_saved); }
  ScopedPipelineSettings(const ScopedPipelineSettings&) = delete;
  ScopedPipelineSettings& operator=(const ScopedPipelineSettings&) = delete;

 private:
  PipelineSettings m_saved;
};

}  // namespace imagetest

#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace imaging {

// Allocator of pixel memory: elements are left uninitialised unless a value is given (every
// caller writes them), and buffers of several megabytes are placed on transparent huge pages,
// which spares thousands of page faults when a large radiograph is loaded.
template <class T>
struct PixelAllocator {
  using value_type = T;
  PixelAllocator() = default;
  template <class U>
  PixelAllocator(const PixelAllocator<U>&) {}
  T* allocate(std::size_t count);
  void deallocate(T* pointer, std::size_t count) noexcept;
  template <class U>
  void construct(U* pointer) noexcept {
    ::new (static_cast<void*>(pointer)) U;
  }
  template <class U, class... Args>
  void construct(U* pointer, Args&&... args) {
    ::new (static_cast<void*>(pointer)) U(std::forward<Args>(args)...);
  }
  template <class U>
  bool operator==(const PixelAllocator<U>&) const {
    return true;
  }
};

using PixelBuffer = std::vector<std::uint8_t, PixelAllocator<std::uint8_t>>;

// A plain in-memory picture: 8-bit grey, 16-bit grey or 24-bit RGB (bytes R, G, B),
// rows top-down without padding. Stands in for the imaging library's bitmap.
class Bitmap {
 public:
  Bitmap() = default;

  // bitsPerPixel: 8 or 16 (grey) or 24 (RGB). Pixels start at 0. False for a bad size.
  bool create(int width, int height, int bitsPerPixel);
  // As create, but the pixels are left as they come: for a caller that writes every one.
  bool createForOverwrite(int width, int height, int bitsPerPixel);
  void free();
  bool isAllocated() const { return !m_data.empty(); }

  int width() const { return m_width; }
  int height() const { return m_height; }
  int bitsPerPixel() const { return m_bitsPerPixel; }
  bool isGrey() const { return m_bitsPerPixel == 8 || m_bitsPerPixel == 16; }
  std::size_t bytesPerPixel() const { return static_cast<std::size_t>(m_bitsPerPixel / 8); }
  std::size_t bytesPerLine() const { return static_cast<std::size_t>(m_width) * bytesPerPixel(); }
  std::size_t byteSize() const { return m_data.size(); }

  std::uint8_t* data() { return m_data.data(); }
  const std::uint8_t* data() const { return m_data.data(); }
  std::uint8_t* row(int y) { return m_data.data() + static_cast<std::size_t>(y) * bytesPerLine(); }
  const std::uint8_t* row(int y) const {
    return m_data.data() + static_cast<std::size_t>(y) * bytesPerLine();
  }
  // 16-bit grey access; only valid when bitsPerPixel() == 16.
  std::uint16_t* grey16() { return reinterpret_cast<std::uint16_t*>(m_data.data()); }
  const std::uint16_t* grey16() const {
    return reinterpret_cast<const std::uint16_t*>(m_data.data());
  }

  // Copies min(bytes, bytesPerLine()) bytes into / out of row y. False for a bad row.
  bool putRow(int y, const void* src, std::size_t bytes);
  bool getRow(int y, void* dst, std::size_t bytes) const;

  void flip();    // upside down
  void mirror();  // left-right
  // Rotates clockwise by a multiple of 90 degrees given in hundredths (9000, 18000, 27000,
  // negative values turn the other way); the bitmap is resized to hold the result.
  // False (bitmap unchanged) for any other angle.
  bool rotate(int hundredthsOfDegree);
  // Inverts grey values within 0..maxValue (values above maxValue become 0); RGB: 255 - v.
  void invert(int maxValue);
  // Copy of the rectangle (clipped to the bitmap); an empty bitmap when nothing is left.
  Bitmap copyRect(int x, int y, int width, int height) const;
  // Bilinear resample to width x height. False for a bad size or an empty bitmap.
  bool resizeInterpolated(int width, int height);

  // Lowest and highest bit set in any grey pixel. False for an empty or RGB bitmap, or when
  // every pixel is 0.
  bool significantBits(int& lowBit, int& highBit) const;
  // Smallest and largest grey value (RGB: over all channels). False when empty.
  bool minMax(int& minValue, int& maxValue) const;
  // 65536-bin histogram of grey values (RGB: of the luminance). Empty when not allocated.
  std::vector<std::uint32_t> histogram() const;

 private:
  int m_width = 0;
  int m_height = 0;
  int m_bitsPerPixel = 0;
  bool allocate(int width, int height, int bitsPerPixel, bool zero);

  PixelBuffer m_data;
};

}  // namespace imaging

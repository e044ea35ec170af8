#include "imaging/Bitmap.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <bit>
#include <cstring>
#include <limits>
#include <new>

namespace imaging {

namespace {

struct Rgb {
  std::uint8_t c[3];
};
static_assert(sizeof(Rgb) == 3);

// Calls f with a value of the pixel type matching bitsPerPixel, so that one template body
// serves all three layouts without a per-pixel branch.
template <class F>
void withPixelType(int bitsPerPixel, F&& f) {
  switch (bitsPerPixel) {
    case 8: f(std::uint8_t{}); break;
    case 16: f(std::uint16_t{}); break;
    case 24: f(Rgb{}); break;
    default: break;
  }
}

// Rotation by a quarter turn in square tiles, so both source and destination stay in cache.
template <class P>
void rotateQuarter(const P* src, int w, int h, P* dst, bool clockwise) {
  constexpr int kTile = 64;
  const int dw = h;  // destination width
  for (int ty = 0; ty < h; ty += kTile) {
    const int yEnd = std::min(ty + kTile, h);
    for (int tx = 0; tx < w; tx += kTile) {
      const int xEnd = std::min(tx + kTile, w);
      for (int y = ty; y < yEnd; ++y) {
        const P* s = src + static_cast<std::size_t>(y) * w;
        for (int x = tx; x < xEnd; ++x) {
          // Clockwise: source (x, y) lands at column h-1-y, row x.
          const std::size_t d = clockwise
              ? static_cast<std::size_t>(x) * dw + (h - 1 - y)
              : static_cast<std::size_t>(w - 1 - x) * dw + y;
          dst[d] = s[x];
        }
      }
    }
  }
}

// Source positions and weights for one axis of a bilinear resample (pixel centres aligned).
struct Taps {
  std::vector<int> lo, hi;
  std::vector<float> frac;
};

Taps makeTaps(int srcSize, int dstSize) {
  Taps t;
  t.lo.resize(dstSize);
  t.hi.resize(dstSize);
  t.frac.resize(dstSize);
  const double scale = static_cast<double>(srcSize) / dstSize;
  for (int i = 0; i < dstSize; ++i) {
    const double pos = std::clamp((i + 0.5) * scale - 0.5, 0.0, srcSize - 1.0);
    const int lo = static_cast<int>(pos);
    t.lo[i] = lo;
    t.hi[i] = std::min(lo + 1, srcSize - 1);
    t.frac[i] = static_cast<float>(pos - lo);
  }
  return t;
}

template <class T, int Channels>
void resampleBilinear(const T* src, int sw, int sh, T* dst, int dw, int dh) {
  const Taps xs = makeTaps(sw, dw);
  const Taps ys = makeTaps(sh, dh);
  const std::size_t srcStride = static_cast<std::size_t>(sw) * Channels;
  for (int y = 0; y < dh; ++y) {
    const T* r0 = src + ys.lo[y] * srcStride;
    const T* r1 = src + ys.hi[y] * srcStride;
    const float fy = ys.frac[y];
    T* out = dst + static_cast<std::size_t>(y) * dw * Channels;
    for (int x = 0; x < dw; ++x) {
      const int a = xs.lo[x] * Channels;
      const int b = xs.hi[x] * Channels;
      const float fx = xs.frac[x];
      for (int c = 0; c < Channels; ++c) {
        const float top = r0[a + c] + (r0[b + c] - static_cast<float>(r0[a + c])) * fx;
        const float bottom = r1[a + c] + (r1[b + c] - static_cast<float>(r1[a + c])) * fx;
        out[x * Channels + c] = static_cast<T>(top + (bottom - top) * fy + 0.5f);
      }
    }
  }
}

template <class T>
void invertGrey(T* p, std::size_t n, int maxValue) {
  const int maxV = std::min<int>(maxValue, std::numeric_limits<T>::max());
  for (std::size_t i = 0; i < n; ++i) {
    const int v = p[i];
    p[i] = static_cast<T>(v > maxV ? 0 : maxV - v);
  }
}

template <class T>
void minMaxOf(const T* p, std::size_t n, int& minValue, int& maxValue) {
  T lo = std::numeric_limits<T>::max();
  T hi = 0;
  for (std::size_t i = 0; i < n; ++i) {
    lo = std::min(lo, p[i]);
    hi = std::max(hi, p[i]);
  }
  minValue = lo;
  maxValue = hi;
}

}  // namespace

template <class T>
T* PixelAllocator<T>::allocate(std::size_t count) {
  constexpr std::size_t kHugePage = std::size_t(2) << 20;
  const std::size_t bytes = count * sizeof(T);
  if (bytes < 4 * kHugePage) return static_cast<T*>(::operator new(bytes));
  const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* memory = std::aligned_alloc(kHugePage, rounded);
  if (memory == nullptr) throw std::bad_alloc();
  ::madvise(memory, rounded, MADV_HUGEPAGE);  // a hint: refused, it costs nothing
  return static_cast<T*>(memory);
}

template <class T>
void PixelAllocator<T>::deallocate(T* pointer, std::size_t count) noexcept {
  constexpr std::size_t kHugePage = std::size_t(2) << 20;
  if (count * sizeof(T) < 4 * kHugePage) {
    ::operator delete(pointer);
  } else {
    std::free(pointer);
  }
}

template struct PixelAllocator<std::uint8_t>;

bool Bitmap::allocate(int width, int height, int bitsPerPixel, bool zero) {
  if (width <= 0 || height <= 0 || (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24))
    return false;
  const std::size_t bytes =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * (bitsPerPixel / 8);
  try {
    PixelBuffer data;
    if (zero) {
      data.assign(bytes, 0);
    } else {
      data.resize(bytes);
    }
    m_data.swap(data);
  } catch (const std::bad_alloc&) {
    return false;
  }
  m_width = width;
  m_height = height;
  m_bitsPerPixel = bitsPerPixel;
  return true;
}

bool Bitmap::create(int width, int height, int bitsPerPixel) {
  return allocate(width, height, bitsPerPixel, true);
}

bool Bitmap::createForOverwrite(int width, int height, int bitsPerPixel) {
  return allocate(width, height, bitsPerPixel, false);
}

void Bitmap::free() {
  PixelBuffer().swap(m_data);
  m_width = m_height = m_bitsPerPixel = 0;
}

bool Bitmap::putRow(int y, const void* src, std::size_t bytes) {
  if (!isAllocated() || y < 0 || y >= m_height || src == nullptr) return false;
  std::memcpy(row(y), src, std::min(bytes, bytesPerLine()));
  return true;
}

bool Bitmap::getRow(int y, void* dst, std::size_t bytes) const {
  if (!isAllocated() || y < 0 || y >= m_height || dst == nullptr) return false;
  std::memcpy(dst, row(y), std::min(bytes, bytesPerLine()));
  return true;
}

void Bitmap::flip() {
  if (!isAllocated()) return;
  const std::size_t line = bytesPerLine();
  for (int top = 0, bottom = m_height - 1; top < bottom; ++top, --bottom)
    std::swap_ranges(row(top), row(top) + line, row(bottom));
}

void Bitmap::mirror() {
  if (!isAllocated()) return;
  withPixelType(m_bitsPerPixel, [&](auto pixel) {
    using P = decltype(pixel);
    for (int y = 0; y < m_height; ++y) {
      P* p = reinterpret_cast<P*>(row(y));
      std::reverse(p, p + m_width);
    }
  });
}

bool Bitmap::rotate(int hundredthsOfDegree) {
  if (hundredthsOfDegree % 9000 != 0) return false;
  const int quarters = ((hundredthsOfDegree / 9000) % 4 + 4) % 4;
  if (quarters == 0 || !isAllocated()) return true;
  if (quarters == 2) {
    flip();
    mirror();
    return true;
  }
  PixelBuffer rotated;
  try {
    rotated.resize(m_data.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  withPixelType(m_bitsPerPixel, [&](auto pixel) {
    using P = decltype(pixel);
    rotateQuarter(reinterpret_cast<const P*>(m_data.data()), m_width, m_height,
                  reinterpret_cast<P*>(rotated.data()), quarters == 1);
  });
  m_data.swap(rotated);
  std::swap(m_width, m_height);
  return true;
}

void Bitmap::invert(int maxValue) {
  if (!isAllocated()) return;
  switch (m_bitsPerPixel) {
    case 8: invertGrey(m_data.data(), m_data.size(), maxValue); break;
    case 16: invertGrey(grey16(), m_data.size() / 2, maxValue); break;
    case 24:
      for (auto& v : m_data) v = static_cast<std::uint8_t>(255 - v);
      break;
  }
}

Bitmap Bitmap::copyRect(int x, int y, int width, int height) const {
  Bitmap out;
  if (!isAllocated()) return out;
  // 64-bit edges so that huge requests cannot overflow.
  const long long x0 = std::max<long long>(x, 0);
  const long long y0 = std::max<long long>(y, 0);
  const long long x1 = std::min<long long>(static_cast<long long>(x) + width, m_width);
  const long long y1 = std::min<long long>(static_cast<long long>(y) + height, m_height);
  if (x1 <= x0 || y1 <= y0) return out;
  if (!out.create(static_cast<int>(x1 - x0), static_cast<int>(y1 - y0), m_bitsPerPixel))
    return out;
  const std::size_t offset = static_cast<std::size_t>(x0) * bytesPerPixel();
  for (int r = 0; r < out.m_height; ++r)
    std::memcpy(out.row(r), row(static_cast<int>(y0) + r) + offset, out.bytesPerLine());
  return out;
}

bool Bitmap::resizeInterpolated(int width, int height) {
  if (!isAllocated() || width <= 0 || height <= 0) return false;
  Bitmap out;
  if (!out.create(width, height, m_bitsPerPixel)) return false;
  switch (m_bitsPerPixel) {
    case 8:
      resampleBilinear<std::uint8_t, 1>(data(), m_width, m_height, out.data(), width, height);
      break;
    case 16:
      resampleBilinear<std::uint16_t, 1>(grey16(), m_width, m_height, out.grey16(), width,
                                         height);
      break;
    case 24:
      resampleBilinear<std::uint8_t, 3>(data(), m_width, m_height, out.data(), width, height);
      break;
  }
  *this = std::move(out);
  return true;
}

bool Bitmap::significantBits(int& lowBit, int& highBit) const {
  if (!isAllocated() || !isGrey()) return false;
  unsigned bits = 0;
  if (m_bitsPerPixel == 8) {
    for (std::uint8_t v : m_data) bits |= v;
  } else {
    const std::uint16_t* p = grey16();
    const std::size_t n = m_data.size() / 2;
    std::uint16_t acc = 0;
    for (std::size_t i = 0; i < n; ++i) acc |= p[i];
    bits = acc;
  }
  if (bits == 0) return false;
  lowBit = std::countr_zero(bits);
  highBit = std::bit_width(bits) - 1;
  return true;
}

bool Bitmap::minMax(int& minValue, int& maxValue) const {
  if (!isAllocated()) return false;
  if (m_bitsPerPixel == 16)
    minMaxOf(grey16(), m_data.size() / 2, minValue, maxValue);
  else
    minMaxOf(data(), m_data.size(), minValue, maxValue);
  return true;
}

std::vector<std::uint32_t> Bitmap::histogram() const {
  std::vector<std::uint32_t> bins;
  if (!isAllocated()) return bins;
  bins.assign(65536, 0);
  switch (m_bitsPerPixel) {
    case 8:
      for (std::uint8_t v : m_data) ++bins[v];
      break;
    case 16: {
      const std::uint16_t* p = grey16();
      for (std::size_t i = 0, n = m_data.size() / 2; i < n; ++i) ++bins[p[i]];
      break;
    }
    case 24:
      for (std::size_t i = 0; i + 2 < m_data.size(); i += 3) {
        const unsigned luma = (299u * m_data[i] + 587u * m_data[i + 1] + 114u * m_data[i + 2] +
                               500u) / 1000u;
        ++bins[luma];
      }
      break;
  }
  return bins;
}

}  // namespace imaging

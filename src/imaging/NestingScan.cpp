#include "imaging/NestingScan.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctag.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace imaging {

namespace {

constexpr std::uint32_t kUndefinedLength = 0xFFFFFFFF;
constexpr std::uint64_t kOpenEnd = ~std::uint64_t{0};
constexpr std::uint16_t kItemGroup = 0xFFFE;
constexpr std::uint16_t kItem = 0xE000;
constexpr std::uint16_t kItemDelimitation = 0xE00D;
constexpr std::uint16_t kSequenceDelimitation = 0xE0DD;

// Reads a file through one window of bytes: element headers lie close together, and a
// skipped value costs nothing until the next header is read.
class FileWindow {
 public:
  explicit FileWindow(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY)) {
    struct stat st {};
    if (m_fd >= 0 && ::fstat(m_fd, &st) == 0) m_size = static_cast<std::uint64_t>(st.st_size);
  }
  ~FileWindow() {
    if (m_fd >= 0) ::close(m_fd);
  }
  FileWindow(const FileWindow&) = delete;
  FileWindow& operator=(const FileWindow&) = delete;

  std::uint64_t size() const { return m_size; }
  bool read(std::uint64_t pos, void* dst, std::size_t n) {
    if (pos > m_size || n > m_size - pos) return false;
    if (pos < m_start || pos + n > m_start + m_length) {
      const ssize_t got = ::pread(m_fd, m_buffer.data(), m_buffer.size(), static_cast<off_t>(pos));
      if (got < static_cast<ssize_t>(n)) return false;
      m_start = pos;
      m_length = static_cast<std::size_t>(got);
    }
    std::memcpy(dst, m_buffer.data() + (pos - m_start), n);
    return true;
  }

 private:
  int m_fd;
  std::uint64_t m_size = 0;
  std::array<std::uint8_t, 16384> m_buffer{};
  std::uint64_t m_start = 0;
  std::size_t m_length = 0;
};

struct Coding {
  bool little = true;
  bool explicitVr = true;
};

bool isVr(const std::uint8_t* c) {
  static constexpr std::string_view kVrs =
      "AEASATCSDADSDTFDFLISLOLTOBODOFOLOVOWPNSHSLSQSSSTSVTMUCUIULUNURUSUTUV";
  for (std::size_t i = 0; i < kVrs.size(); i += 2)
    if (kVrs[i] == static_cast<char>(c[0]) && kVrs[i + 1] == static_cast<char>(c[1])) return true;
  return false;
}

// VRs with two reserved bytes and a 4-byte length; DCMTK reads an unknown VR the same way.
bool hasLongLength(const std::uint8_t* c) {
  static constexpr std::string_view kLong = "OBODOFOLOVOWSQSVUCUNURUTUV";
  if (!isVr(c)) return true;
  for (std::size_t i = 0; i < kLong.size(); i += 2)
    if (kLong[i] == static_cast<char>(c[0]) && kLong[i + 1] == static_cast<char>(c[1])) return true;
  return false;
}

std::uint16_t u16(const std::uint8_t* p, bool little) {
  return little ? static_cast<std::uint16_t>(p[0] | p[1] << 8)
                : static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

std::uint32_t u32(const std::uint8_t* p, bool little) {
  return little ? static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24)
                : static_cast<std::uint32_t>(p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]);
}

// The encoding of a data set without a transfer syntax, from its first element.
Coding detectCoding(FileWindow& file, std::uint64_t pos) {
  std::uint8_t h[6] = {};
  if (!file.read(pos, h, sizeof h)) return {};
  return {u16(h, true) <= u16(h, false), isVr(h + 4)};
}

Coding codingOf(DataSetEncoding encoding) {
  switch (encoding) {
    case DataSetEncoding::ImplicitLittle:
      return {true, false};
    case DataSetEncoding::ExplicitBig:
      return {false, true};
    default:
      return {true, true};
  }
}

enum class Kind { Item, Sequence, Fragments };

struct Container {
  Kind kind;
  std::uint64_t end;  // kOpenEnd: closed by a delimitation item
  Coding outer;       // the encoding around it
};

class Walker {
 public:
  Walker(FileWindow& file, Coding coding, std::uint32_t stopAtTag)
      : m_file(file), m_coding(coding), m_stopAtTag(stopAtTag) {}

  // Walks from `pos`. `meta`: the walk starts in a file meta group, whose transfer syntax
  // decides how the rest is read.
  bool tooDeep(std::uint64_t pos, bool meta) {
    m_pos = pos;
    while (!m_tooDeep) {
      if (!closeEndedContainers()) {
        if (!recover()) break;
        continue;
      }
      std::uint8_t h[12];
      if (!m_file.read(m_pos, h, 8)) break;  // end of the data (or truncated)
      if (meta && m_stack.empty() && u16(h, m_coding.little) != 0x0002) {
        meta = false;
        if (!leaveMeta()) break;
        continue;
      }
      if (!step(h, meta)) {
        if (!recover()) break;
      }
      if (m_stopped) break;
    }
    return m_tooDeep;
  }

 private:
  Kind context() const { return m_stack.empty() ? Kind::Item : m_stack.back().kind; }

  bool closeEndedContainers() {
    while (!m_stack.empty() && m_stack.back().end != kOpenEnd && m_pos >= m_stack.back().end) {
      if (m_pos > m_stack.back().end) return false;  // an element ran past its container
      pop();
    }
    return true;
  }

  void pop() {
    if (m_stack.back().kind != Kind::Item) --m_depth;
    m_coding = m_stack.back().outer;
    m_stack.pop_back();
  }

  // A container may claim more than the file holds: DCMTK still reads into it until the
  // bytes run out, so it is walked the same way.
  void push(Kind kind, std::uint32_t length, Coding inner) {
    const std::uint64_t end = length == kUndefinedLength ? kOpenEnd : m_pos + length;
    m_stack.push_back({kind, end, m_coding});
    m_coding = inner;
    if (kind != Kind::Item && ++m_depth > kMaxSequenceNesting) m_tooDeep = true;
  }

  // Where the structure makes no sense, DCMTK gives up on the innermost container whose
  // length it knows; the walk goes on after that container, so that nothing it may still
  // read is left unchecked.
  bool recover() {
    while (!m_stack.empty() && m_stack.back().end == kOpenEnd) pop();
    if (m_stack.empty()) return false;
    m_pos = m_stack.back().end;
    pop();
    return true;
  }

  // The transfer syntax found in the meta group decides how the data set is read; false when
  // it is deflated.
  bool leaveMeta() {
    std::string_view uid(m_transferSyntax);
    while (!uid.empty() && (uid.back() == '\0' || uid.back() == ' ')) uid.remove_suffix(1);
    if (uid == "1.2.840.10008.1.2.1.99") return false;
    if (uid.empty()) {
      m_coding = detectCoding(m_file, m_pos);
    } else if (uid == "1.2.840.10008.1.2") {
      m_coding = {true, false};
    } else if (uid == "1.2.840.10008.1.2.2") {
      m_coding = {false, true};
    } else {
      m_coding = {true, true};
    }
    return true;
  }

  bool startsWithItem(std::uint64_t pos, bool little) {
    std::uint8_t t[4];
    if (!m_file.read(pos, t, 4)) return false;
    const std::uint16_t element = u16(t + 2, little);
    return u16(t, little) == kItemGroup && (element == kItem || element == kSequenceDelimitation);
  }

  // One tag at m_pos; false where the structure makes no sense.
  bool step(std::uint8_t* h, bool meta) {
    const bool little = m_coding.little;
    const std::uint16_t group = u16(h, little);
    const std::uint16_t element = u16(h + 2, little);
    const Kind kind = context();
    if (group == kItemGroup) {
      const std::uint32_t length = u32(h + 4, little);
      m_pos += 8;
      if (element == kItem && kind == Kind::Sequence) {
        push(Kind::Item, length, m_coding);
        return true;
      }
      if (element == kItem && kind == Kind::Fragments) {
        if (length == kUndefinedLength || length > m_file.size() - m_pos) return false;
        m_pos += length;
        return true;
      }
      const bool openEnded = !m_stack.empty() && m_stack.back().end == kOpenEnd;
      if (element == kItemDelimitation && kind == Kind::Item && openEnded) {
        pop();
        return true;
      }
      if (element == kSequenceDelimitation && kind != Kind::Item && openEnded) {
        pop();
        return true;
      }
      return false;
    }
    if (kind != Kind::Item) return false;  // a sequence holds items only
    const std::uint32_t tag = std::uint32_t{group} << 16 | element;
    if (m_stack.empty() && tag >= m_stopAtTag) {
      m_stopped = true;
      return true;
    }
    std::uint32_t length = 0;
    bool sequence = false;
    bool unknown = false;  // bytes whose meaning the dictionary does not give
    Coding inner = m_coding;
    if (m_coding.explicitVr) {
      if (hasLongLength(h + 4)) {
        if (!m_file.read(m_pos + 8, h + 8, 4)) return false;
        length = u32(h + 8, little);
        m_pos += 12;
      } else {
        length = u16(h + 6, little);
        m_pos += 8;
      }
      const bool un = std::memcmp(h + 4, "UN", 2) == 0 || !isVr(h + 4);
      sequence = std::memcmp(h + 4, "SQ", 2) == 0;
      unknown = un;
      // An unknown VR of undefined length holds items in implicit little endian.
      if (un) inner = {true, false};
    } else {
      length = u32(h + 4, little);
      m_pos += 8;
      const DcmEVR vr = DcmTag(group, element).getEVR();
      sequence = vr == EVR_SQ;
      unknown = vr == EVR_UN || vr == EVR_UNKNOWN || vr == EVR_UNKNOWN2B;
    }
    if (meta && tag == 0x00020010 && length <= 64) {
      m_transferSyntax.assign(length, '\0');
      if (!m_file.read(m_pos, m_transferSyntax.data(), length)) return false;
    }
    if (length == kUndefinedLength) {
      const bool pixels = tag == 0x7FE00010;
      push(pixels ? Kind::Fragments : Kind::Sequence, length, inner);
      return true;
    }
    if (sequence || (unknown && startsWithItem(m_pos, inner.little))) {
      push(Kind::Sequence, length, inner);
      return true;
    }
    if (length > m_file.size() - std::min(m_pos, m_file.size())) return false;
    m_pos += length;
    return true;
  }

  FileWindow& m_file;
  Coding m_coding;
  std::uint32_t m_stopAtTag;
  std::uint64_t m_pos = 0;
  std::vector<Container> m_stack;
  int m_depth = 0;
  bool m_stopped = false;
  bool m_tooDeep = false;
  std::string m_transferSyntax;
};

}  // namespace

bool nestsTooDeep(const std::string& path, std::uint64_t start, DataSetEncoding encoding,
                  std::uint32_t stopAtTag) {
  FileWindow file(path);
  Coding coding = codingOf(encoding);
  bool meta = false;
  if (encoding == DataSetEncoding::Detect) {
    coding = detectCoding(file, start);
    std::uint8_t t[2];
    meta = file.read(start, t, 2) && u16(t, true) == 0x0002;
  }
  return Walker(file, coding, stopAtTag).tooDeep(start, meta);
}

}  // namespace imaging

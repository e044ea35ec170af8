// Sequences nested without end: DCMTK's reader recurses once per level and a few thousand
// levels end the process. Every way a file is read refuses such a data set as malformed.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "ImagingTestUtil.h"
#include "imaging/DicomDataSet.h"
#include "imaging/ImagingError.h"
#include "imaging/NestingScan.h"

using imaging::DicomDataSet;

namespace {

enum class Vr { Explicit, Implicit };
enum class Order { Little, Big };
enum class Lengths { Undefined, Defined };

// Bytes of a data set in one encoding.
class Encoder {
 public:
  Encoder(Vr vr, Order order) : m_explicit(vr == Vr::Explicit), m_little(order == Order::Little) {}

  std::string u16(std::uint16_t v) const {
    return m_little ? std::string{char(v & 0xFF), char(v >> 8)}
                    : std::string{char(v >> 8), char(v & 0xFF)};
  }
  std::string u32(std::uint32_t v) const {
    return m_little ? u16(v & 0xFFFF) + u16(v >> 16) : u16(v >> 16) + u16(v & 0xFFFF);
  }
  std::string tag(std::uint16_t g, std::uint16_t e) const { return u16(g) + u16(e); }
  std::string element(std::uint16_t g, std::uint16_t e, const char* vr,
                      const std::string& value) const {
    if (!m_explicit) return tag(g, e) + u32(static_cast<std::uint32_t>(value.size())) + value;
    return tag(g, e) + vr + u16(static_cast<std::uint16_t>(value.size())) + value;
  }
  std::string sequenceHeader(std::uint32_t length) const {
    return tag(0x0008, 0x1115) + (m_explicit ? std::string("SQ\0\0", 4) : "") + u32(length);
  }
  // Referenced Series Sequence inside its own item, `levels` sequences deep, written from the
  // outside in (the lengths of each level are known) so that deep files are quick to make.
  std::string nested(int levels, Lengths lengths) const {
    const std::string innermost = element(0x0020, 0x000E, "UI", "1.2.3.4");
    const bool defined = lengths == Lengths::Defined;
    const std::size_t perLevel = sequenceHeader(0).size() + 8;
    std::string out;
    for (int level = levels; level > 0; --level) {
      const auto itemLength = static_cast<std::uint32_t>(innermost.size() + (level - 1) * perLevel);
      out += sequenceHeader(defined ? itemLength + 8 : 0xFFFFFFFF) + tag(0xFFFE, 0xE000) +
             u32(defined ? itemLength : 0xFFFFFFFF);
    }
    out += innermost;
    for (int level = 0; level < levels && !defined; ++level)
      out += tag(0xFFFE, 0xE00D) + u32(0) + tag(0xFFFE, 0xE0DD) + u32(0);
    return out;
  }

 private:
  bool m_explicit;
  bool m_little;
};

const Encoder kExplicitLittle(Vr::Explicit, Order::Little);

std::string metaHeader(const std::string& transferSyntax, const std::string& extra = "") {
  std::string uid = transferSyntax;
  if (uid.size() % 2) uid += '\0';
  const std::string group = kExplicitLittle.element(0x0002, 0x0010, "UI", uid) + extra;
  return std::string(128, '\0') + "DICM" +
         kExplicitLittle.element(0x0002, 0x0000, "UL",
                                 kExplicitLittle.u32(static_cast<std::uint32_t>(group.size()))) +
         group;
}

std::string rawDeflate(const std::string& in) {
  z_stream zs{};
  deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, in.size()), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  zs.avail_in = static_cast<uInt>(in.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

enum class Form {
  ExplicitLittle,
  ImplicitLittle,
  ExplicitBig,
  NoMetaImplicit,
  Deflated,
  UnVr,
  InMeta
};

// A file of the given form whose data set nests `levels` sequences.
std::string nestedFile(Form form, int levels, Lengths lengths) {
  const std::string modality = "OT";
  switch (form) {
    case Form::ExplicitLittle:
      return metaHeader("1.2.840.10008.1.2.1") +
             kExplicitLittle.element(0x0008, 0x0060, "CS", modality) +
             kExplicitLittle.nested(levels, lengths);
    case Form::ImplicitLittle:
    case Form::NoMetaImplicit: {
      const Encoder implicit(Vr::Implicit, Order::Little);
      const std::string body =
          implicit.element(0x0008, 0x0060, "CS", modality) + implicit.nested(levels, lengths);
      return form == Form::NoMetaImplicit ? body : metaHeader("1.2.840.10008.1.2") + body;
    }
    case Form::ExplicitBig: {
      const Encoder big(Vr::Explicit, Order::Big);
      return metaHeader("1.2.840.10008.1.2.2") + big.element(0x0008, 0x0060, "CS", modality) +
             big.nested(levels, lengths);
    }
    case Form::Deflated:
      return metaHeader("1.2.840.10008.1.2.1.99") +
             rawDeflate(kExplicitLittle.element(0x0008, 0x0060, "CS", modality) +
                        kExplicitLittle.nested(levels, lengths));
    case Form::UnVr: {
      // Another system's sequence kept as UN: its items in implicit little endian.
      const Encoder implicit(Vr::Implicit, Order::Little);
      std::string sequence = implicit.nested(levels, Lengths::Undefined);
      sequence.replace(4, 4, std::string("UN\0\0", 4) + kExplicitLittle.u32(0xFFFFFFFF));
      return metaHeader("1.2.840.10008.1.2.1") +
             kExplicitLittle.element(0x0008, 0x0060, "CS", modality) + sequence;
    }
    case Form::InMeta: {
      std::string sequence = kExplicitLittle.nested(levels, lengths);
      sequence.replace(0, 4, kExplicitLittle.tag(0x0002, 0x0100));
      return metaHeader("1.2.840.10008.1.2.1", sequence) +
             kExplicitLittle.element(0x0008, 0x0060, "CS", modality);
    }
  }
  return {};
}

std::string write(const imaging::testing_util::TempDir& dir, const std::string& bytes) {
  const std::string path = dir.file("nested.dcm");
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return path;
}

struct NestingCase {
  const char* name;
  Form form;
  Lengths lengths;
};

const NestingCase kCases[] = {
    {"explicit little endian", Form::ExplicitLittle, Lengths::Undefined},
    {"explicit little endian, defined lengths", Form::ExplicitLittle, Lengths::Defined},
    {"implicit little endian", Form::ImplicitLittle, Lengths::Undefined},
    {"implicit little endian, defined lengths", Form::ImplicitLittle, Lengths::Defined},
    {"explicit big endian", Form::ExplicitBig, Lengths::Undefined},
    {"bare data set without meta header", Form::NoMetaImplicit, Lengths::Undefined},
    {"deflated data set", Form::Deflated, Lengths::Undefined},
    {"sequence stored with VR UN", Form::UnVr, Lengths::Undefined},
    {"inside the file meta group", Form::InMeta, Lengths::Undefined},
};

TEST(DicomNesting, ADataSetNestedThousandsDeepIsRefusedAsCorruptInEveryEncoding) {
  imaging::testing_util::TempDir dir;
  for (const NestingCase& c : kCases) {
    const std::string path = write(dir, nestedFile(c.form, 20000, c.lengths));
    for (const auto extent : {DicomDataSet::Extent::Whole, DicomDataSet::Extent::Header}) {
      SCOPED_TRACE(std::string(c.name) +
                   (extent == DicomDataSet::Extent::Header ? ", header read" : ", whole read"));
      DicomDataSet dataSet;
      EXPECT_EQ(dataSet.load(path, extent), imaging::kErrCorrupt);
      EXPECT_FALSE(dataSet.isLoaded());
    }
  }
}

TEST(DicomNesting, NestingUpToTheLimitIsReadAndOneLevelMoreIsRefused) {
  imaging::testing_util::TempDir dir;
  for (const NestingCase& c : kCases) {
    SCOPED_TRACE(c.name);
    DicomDataSet atLimit;
    ASSERT_EQ(atLimit.load(write(dir, nestedFile(c.form, imaging::kMaxSequenceNesting, c.lengths))),
              0);
    // The innermost item's element is there: the whole structure was read.
    EXPECT_TRUE(atLimit.hasElement({0x0020, 0x000E}, true) || c.form == Form::InMeta);
    DicomDataSet beyond;
    EXPECT_EQ(
        beyond.load(write(dir, nestedFile(c.form, imaging::kMaxSequenceNesting + 1, c.lengths))),
        imaging::kErrCorrupt);
  }
}

TEST(DicomNesting, TheFuzzerRegressionInputIsRefusedAsCorrupt) {
  DicomDataSet dataSet;
  EXPECT_EQ(dataSet.load(std::string(TORASCAN_SOURCE_DIR) +
                         "/fuzz/regressions/sequences-nested-20000-deep.dcm"),
            imaging::kErrCorrupt);
}

}  // namespace

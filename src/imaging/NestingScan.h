#pragma once

#include <cstdint>
#include <string>

namespace imaging {

// DCMTK reads a sequence inside an item inside a sequence by recursion, so a data set nested
// some ten thousand levels deep overflows the stack before DCMTK can report anything. Real
// files nest a handful of levels; anything deeper than this is refused as malformed.
constexpr int kMaxSequenceNesting = 64;

// How the data set at the scan's start is encoded.
enum class DataSetEncoding {
  ExplicitLittle,
  ImplicitLittle,
  ExplicitBig,
  // As DCMTK does when told nothing: a file meta group at the start names the transfer
  // syntax; without one the first element shows the encoding.
  Detect,
};

// Walks the element structure of `path` from `start` (tags and lengths only; values are
// skipped, DCMTK's dictionary gives the VR of implicit elements) the way DCMTK's reader would
// descend into it; true when sequences nest deeper than kMaxSequenceNesting. It keeps
// its own stack and reads only element headers, so it is cheap and safe on any input. A value
// that might hold items is walked into even where DCMTK might read it as bytes. A deflated
// data set named by a file meta group is not walked: it is scanned once inflated.
// `stopAtTag` (group << 16 | element): a top-level tag at or after which the read ends.
bool nestsTooDeep(const std::string& path, std::uint64_t start, DataSetEncoding encoding,
                  std::uint32_t stopAtTag = 0xFFFFFFFF);

}  // namespace imaging

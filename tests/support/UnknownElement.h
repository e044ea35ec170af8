#pragma once

// An element kept as another system passes on one it does not know: its value bytes with
// VR UN.

#include <string>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dcvrobow.h>

namespace testsupport {

inline bool putUnknown(DcmItem* where, const DcmTagKey& key, const std::string& bytes) {
  auto* element = new DcmOtherByteOtherWord(DcmTag(key, EVR_UN));
  element->putUint8Array(reinterpret_cast<const Uint8*>(bytes.data()),
                         static_cast<unsigned long>(bytes.size()));
  if (where->insert(element, true).good()) return true;
  delete element;
  return false;
}

}  // namespace testsupport

#include "imaging/CompiledDictionary.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdicent.h>
#include <dcmtk/dcmdata/dcdict.h>

#include <cstdlib>

namespace imaging {

namespace {

struct CompiledEntry {
  Uint16 group;
  Uint16 element;
  Uint16 upperGroup;
  Uint16 upperElement;
  int vr;  // DcmEVR
  const char* name;
  int vmMin;
  int vmMax;
  const char* version;
  const char* privateCreator;
  int groupRestriction;  // DcmDictRangeRestriction
  int elementRestriction;
};

const CompiledEntry kEntries[] = {
#include "CompiledDictionaryEntries.inc"
};

}  // namespace

void AddCompiledDictionary(DcmDataDictionary& dictionary) {
  for (const CompiledEntry& c : kEntries) {
    // The strings are the table's own and live as long as the process: not copied.
    auto* entry = new DcmDictEntry(c.group, c.element, c.upperGroup, c.upperElement,
                                   DcmVR(static_cast<DcmEVR>(c.vr)), c.name, c.vmMin, c.vmMax,
                                   c.version, OFFalse, c.privateCreator);
    entry->setGroupRangeRestriction(static_cast<DcmDictRangeRestriction>(c.groupRestriction));
    entry->setElementRangeRestriction(static_cast<DcmDictRangeRestriction>(c.elementRestriction));
    dictionary.addEntry(entry);
  }
}

void UseCompiledDictionary() {
  if (const char* own = std::getenv(DCM_DICT_ENVIRONMENT_VARIABLE); own != nullptr && *own != '\0')
    return;
  // DCMTK builds its global dictionary on first use from the files DCMDICTPATH names: an empty
  // one here, filled from the table.
  setenv(DCM_DICT_ENVIRONMENT_VARIABLE, "/dev/null", 1);
  DcmDataDictionary& dictionary = dcmDataDict.wrlock();
  unsetenv(DCM_DICT_ENVIRONMENT_VARIABLE);
  if (dictionary.numberOfEntries() == 0) AddCompiledDictionary(dictionary);
  dcmDataDict.wrunlock();
}

}  // namespace imaging

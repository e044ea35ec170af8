// The compiled-in data dictionary stands in for the one DCMTK parses from its text files: every
// entry must be there with the same VR, name, multiplicity and private creator.
#include <gtest/gtest.h>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdicent.h>
#include <dcmtk/dcmdata/dcdict.h>

#include <string>

#include "imaging/CompiledDictionary.h"

namespace {

std::string textOf(const char* text) { return text == nullptr ? std::string() : text; }

void expectSameEntry(const DcmDictEntry* expected, const DcmDictEntry* actual) {
  ASSERT_NE(actual, nullptr);
  EXPECT_EQ(actual->getVR().getEVR(), expected->getVR().getEVR());
  EXPECT_EQ(textOf(actual->getTagName()), textOf(expected->getTagName()));
  EXPECT_EQ(actual->getVMMin(), expected->getVMMin());
  EXPECT_EQ(actual->getVMMax(), expected->getVMMax());
  EXPECT_EQ(actual->getUpperGroup(), expected->getUpperGroup());
  EXPECT_EQ(actual->getUpperElement(), expected->getUpperElement());
  EXPECT_EQ(actual->getGroupRangeRestriction(), expected->getGroupRangeRestriction());
  EXPECT_EQ(actual->getElementRangeRestriction(), expected->getElementRangeRestriction());
}

TEST(CompiledDictionary, HoldsEveryEntryDcmtkReadsFromItsTextFiles) {
  DcmDataDictionary text(OFTrue, OFTrue);
  ASSERT_TRUE(text.isDictionaryLoaded());
  DcmDataDictionary compiled(OFTrue, OFFalse);
  imaging::AddCompiledDictionary(compiled);

  EXPECT_EQ(compiled.numberOfNormalTagEntries(), text.numberOfNormalTagEntries());
  EXPECT_EQ(compiled.numberOfRepeatingTagEntries(), text.numberOfRepeatingTagEntries());
  for (auto it = text.normalBegin(); it != text.normalEnd(); ++it) {
    const DcmDictEntry* entry = *it;
    SCOPED_TRACE(textOf(entry->getTagName()));
    expectSameEntry(entry, compiled.findEntry(*entry, entry->getPrivateCreator()));
  }
  // Repeating entries (60xx,0010 ...) overlap one another: compared in their order.
  auto compiledRepeating = compiled.repeatingBegin();
  for (auto it = text.repeatingBegin(); it != text.repeatingEnd(); ++it, ++compiledRepeating) {
    ASSERT_NE(compiledRepeating, compiled.repeatingEnd());
    SCOPED_TRACE(textOf((*it)->getTagName()));
    EXPECT_EQ((*compiledRepeating)->getGroup(), (*it)->getGroup());
    EXPECT_EQ((*compiledRepeating)->getElement(), (*it)->getElement());
    EXPECT_EQ(textOf((*compiledRepeating)->getPrivateCreator()),
              textOf((*it)->getPrivateCreator()));
    expectSameEntry(*it, *compiledRepeating);
  }
  // A private sequence is known as one only through its creator.
  const DcmDictEntry* privateEntry =
      compiled.findEntry(DcmTagKey(0x0029, 0x1000), "CARDIO-D.R. 1.0");
  ASSERT_NE(privateEntry, nullptr);
  EXPECT_EQ(privateEntry->getVR().getEVR(), EVR_SQ);
}

}  // namespace

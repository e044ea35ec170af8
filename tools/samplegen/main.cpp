// torascan-samplegen: writes the bundled synthetic sample radiographs.
//   torascan-samplegen --out DIR [--large]

#include "SampleImages.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  std::string out;
  bool large = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      out = argv[++i];
    } else if (std::strcmp(argv[i], "--large") == 0) {
      large = true;
    } else {
      out.clear();
      break;
    }
  }
  if (out.empty()) {
    std::fprintf(stderr,
                 "usage: torascan-samplegen --out DIR [--large]\n"
                 "  writes synthetic sample radiographs (DICOM) into DIR;\n"
                 "  --large adds a 3000 x 3000 16-bit benchmark pair\n");
    return 2;
  }
  std::string error;
  const auto files = torascan::samples::writeSampleSet(out, large, &error);
  if (files.empty()) {
    std::fprintf(stderr, "torascan-samplegen: %s\n", error.c_str());
    return 1;
  }
  for (const std::string& f : files) std::printf("%s\n", f.c_str());
  return 0;
}

// Reads hostile VTK XML files: one input is one .vti or .vtr file (the reader goes by the
// VTKFile type, not the name; see format_fuzz.h).
#include "format_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vortana::fuzzing::FuzzOneFile("case.vti", data, size);
  return 0;
}

// Reads hostile NumPy .npz archives: one input is one archive (see format_fuzz.h).
#include "format_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vortana::fuzzing::FuzzOneFile("case.npz", data, size);
  return 0;
}

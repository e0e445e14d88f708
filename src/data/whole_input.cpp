#include "data/whole_input.h"

#include <cstdint>
#include <limits>
#include <new>

#include "data/large_pages.h"

namespace vortana {

std::string ReadWholeInput(const std::string& name, ByteStore& store,
                           std::vector<unsigned char>& bytes) {
  std::string error;
  const std::unique_ptr<ByteSource> input = store.Open(name, error);
  if (!input) return error;
  const uint64_t size = input->Size();
  if (size > std::numeric_limits<std::size_t>::max() / 2) {
    return name + " holds " + std::to_string(size) + " bytes, more than memory can hold";
  }
  try {
    ResizeOnLargePages(bytes, static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return "there is not enough memory to read the " + std::to_string(size) + " bytes of " + name;
  }
  return input->ReadExactly(bytes.data(), bytes.size());
}

}  // namespace vortana

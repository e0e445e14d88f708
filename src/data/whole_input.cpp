#include "data/whole_input.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

#include "data/large_pages.h"

namespace vortana {

std::string ReadWholeInput(const std::string& name, ByteStore& store,
                           std::vector<unsigned char>& bytes) {
  std::size_t start = 0;
  return ReadWholeInput(name, store, bytes, start, nullptr);
}

std::string ReadWholeInput(
    const std::string& name, ByteStore& store, std::vector<unsigned char>& bytes,
    std::size_t& start, const std::function<std::size_t(std::span<const unsigned char>)>& alignAt) {
  std::string error;
  const std::unique_ptr<ByteSource> input = store.Open(name, error);
  if (!input) return error;
  const uint64_t size = input->Size();
  if (size > std::numeric_limits<std::size_t>::max() / 2) {
    return name + " holds " + std::to_string(size) + " bytes, more than memory can hold";
  }
  const std::size_t whole = static_cast<std::size_t>(size);
  std::vector<unsigned char> head;
  start = 0;
  try {
    if (alignAt) {
      head.resize(std::min<std::size_t>(whole, std::size_t{1} << 16));
      if (error = input->ReadExactly(head.data(), head.size()); !error.empty()) return error;
      const std::size_t at = alignAt(head);
      if (at != std::string_view::npos) start = (4 - at % 4) % 4;
    }
    ResizeOnLargePages(bytes, start + whole);
  } catch (const std::bad_alloc&) {
    return "there is not enough memory to read the " + std::to_string(size) + " bytes of " + name;
  }
  if (!head.empty()) std::memcpy(bytes.data() + start, head.data(), head.size());
  return input->ReadExactly(bytes.data() + start + head.size(), whole - head.size());
}

}  // namespace vortana

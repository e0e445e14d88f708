#include "data/npy_header.h"

#include <bit>
#include <cstring>
#include <string_view>

namespace vortana {

namespace {

constexpr unsigned char kMagic[] = {0x93, 'N', 'U', 'M', 'P', 'Y'};

/// A reader of the small Python literal that a .npy header is: strings, True/False, tuples of
/// integers, inside one dict.
class LiteralScanner {
 public:
  explicit LiteralScanner(std::string_view text) : text_(text) {}

  void SkipSpace() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
      ++at_;
    }
  }
  bool Take(char c) {
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Peek(char c) {
    SkipSpace();
    return at_ < text_.size() && text_[at_] == c;
  }
  bool String(std::string& out) {
    SkipSpace();
    if (at_ >= text_.size() || (text_[at_] != '\'' && text_[at_] != '"')) return false;
    const char quote = text_[at_++];
    const std::size_t end = text_.find(quote, at_);
    if (end == std::string_view::npos) return false;
    out = std::string(text_.substr(at_, end - at_));
    at_ = end + 1;
    return true;
  }
  bool Word(std::string_view word) {
    SkipSpace();
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  bool Integer(uint64_t& out) {
    SkipSpace();
    const std::size_t start = at_;
    out = 0;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
      const uint64_t digit = static_cast<uint64_t>(text_[at_] - '0');
      if (out > (UINT64_MAX - digit) / 10) return false;
      out = out * 10 + digit;
      ++at_;
    }
    if (at_ < text_.size() && text_[at_] == 'L') ++at_;  // written by Python 2
    return at_ > start;
  }
  /// "(3, 4)", "(3,)" or "()".
  bool Tuple(std::vector<uint64_t>& out) {
    if (!Take('(')) return false;
    out.clear();
    while (!Take(')')) {
      uint64_t value = 0;
      if (!Integer(value)) return false;
      out.push_back(value);
      if (!Take(',') && !Peek(')')) return false;
    }
    return true;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

std::string ParseDescr(const std::string& descr, NpyHeader& header) {
  const std::string refused =
      "values of type '" + descr + "'; only float32 and float64 ('<f4', '>f8', ...) are read";
  if (descr.size() != 3 || descr[1] != 'f') return refused;
  if (descr[0] == '>') {
    header.bigEndian = true;
  } else if (descr[0] == '<' || (descr[0] == '=' && std::endian::native == std::endian::little)) {
    header.bigEndian = false;
  } else {
    return refused;
  }
  if (descr[2] == '4') {
    header.itemBytes = 4;
  } else if (descr[2] == '8') {
    header.itemBytes = 8;
  } else {
    return refused;
  }
  return {};
}

template <typename Bits>
Bits LoadBits(const unsigned char* bytes, bool bigEndian) {
  Bits bits;
  std::memcpy(&bits, bytes, sizeof bits);
  if (bigEndian != (std::endian::native == std::endian::big)) {
    if constexpr (sizeof bits == 4) {
      bits = __builtin_bswap32(bits);
    } else {
      bits = __builtin_bswap64(bits);
    }
  }
  return bits;
}

}  // namespace

uint64_t NpyHeader::Count() const {
  uint64_t count = 1;
  for (const uint64_t extent : shape) {
    if (extent != 0 && count > UINT64_MAX / extent) return UINT64_MAX;
    count *= extent;
  }
  return count;
}

std::string ParseNpyPrelude(std::span<const unsigned char> prelude, std::size_t& headerEnd) {
  if (prelude.size() < 10 || std::memcmp(prelude.data(), kMagic, sizeof kMagic) != 0) {
    return "does not begin as a .npy array does (\\x93NUMPY)";
  }
  const unsigned major = prelude[6];
  if (major == 1) {
    headerEnd = 10 + (std::size_t{prelude[8]} | std::size_t{prelude[9]} << 8);
  } else if ((major == 2 || major == 3) && prelude.size() >= 12) {
    headerEnd = 12 + (std::size_t{prelude[8]} | std::size_t{prelude[9]} << 8 |
                      std::size_t{prelude[10]} << 16 | std::size_t{prelude[11]} << 24);
  } else {
    return "is a .npy array of version " + std::to_string(major) + "." +
           std::to_string(prelude[7]) + "; versions 1.0, 2.0 and 3.0 are read";
  }
  return {};
}

std::string ParseNpyHeader(std::span<const unsigned char> bytes, NpyHeader& header) {
  std::size_t headerEnd = 0;
  if (auto error = ParseNpyPrelude(bytes, headerEnd); !error.empty()) return error;
  if (bytes.size() < headerEnd) return "ends inside its .npy header";
  const std::size_t dictStart = bytes[6] == 1 ? 10 : 12;
  LiteralScanner scan(std::string_view(reinterpret_cast<const char*>(bytes.data()) + dictStart,
                                       headerEnd - dictStart));
  const std::string malformed =
      "has a .npy header that is not a dict of descr, "
      "fortran_order and shape";
  bool haveDescr = false, haveOrder = false, haveShape = false;
  if (!scan.Take('{')) return malformed;
  while (!scan.Take('}')) {
    std::string key;
    if (!scan.String(key) || !scan.Take(':')) return malformed;
    if (key == "descr") {
      std::string descr;
      if (!scan.String(descr)) return malformed;
      if (auto error = ParseDescr(descr, header); !error.empty()) return "holds " + error;
      haveDescr = true;
    } else if (key == "fortran_order") {
      if (scan.Word("True")) {
        header.fortranOrder = true;
      } else if (scan.Word("False")) {
        header.fortranOrder = false;
      } else {
        return malformed;
      }
      haveOrder = true;
    } else if (key == "shape") {
      if (!scan.Tuple(header.shape)) return malformed;
      haveShape = true;
    } else {
      return malformed;
    }
    if (!scan.Take(',') && !scan.Peek('}')) return malformed;
  }
  if (!haveDescr || !haveOrder || !haveShape) return malformed;
  header.dataOffset = headerEnd;
  return {};
}

void ConvertNpyValues(const NpyHeader& header, const unsigned char* bytes, std::size_t count,
                      float* out, std::size_t stride) {
  if (header.itemBytes == 4) {
    if (!header.bigEndian && std::endian::native == std::endian::little && stride == 1) {
      std::memcpy(out, bytes, count * 4);
      return;
    }
    for (std::size_t i = 0; i < count; ++i) {
      out[i * stride] = std::bit_cast<float>(LoadBits<uint32_t>(bytes + 4 * i, header.bigEndian));
    }
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      out[i * stride] = static_cast<float>(
          std::bit_cast<double>(LoadBits<uint64_t>(bytes + 8 * i, header.bigEndian)));
    }
  }
}

}  // namespace vortana

#include "data/vtk_data_array.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <string_view>

#include "data/large_pages.h"

namespace vortana {

namespace {

/// Deflate turns no fewer than 1 byte into at most 1032; a block that claims more is refused
/// before its room is allocated.
constexpr uint64_t kMostInflation = 1032;

enum class ValueType {
  kInt8,
  kUInt8,
  kInt16,
  kUInt16,
  kInt32,
  kUInt32,
  kInt64,
  kUInt64,
  kFloat32,
  kFloat64
};

struct TypeName {
  std::string_view name;
  ValueType type;
  std::size_t bytes;
};

constexpr TypeName kTypes[] = {
    {"Int8", ValueType::kInt8, 1},       {"UInt8", ValueType::kUInt8, 1},
    {"Int16", ValueType::kInt16, 2},     {"UInt16", ValueType::kUInt16, 2},
    {"Int32", ValueType::kInt32, 4},     {"UInt32", ValueType::kUInt32, 4},
    {"Int64", ValueType::kInt64, 8},     {"UInt64", ValueType::kUInt64, 8},
    {"Float32", ValueType::kFloat32, 4}, {"Float64", ValueType::kFloat64, 8},
};

template <typename Bits>
Bits LoadBits(const unsigned char* bytes, bool bigEndian) {
  Bits bits;
  std::memcpy(&bits, bytes, sizeof bits);
  if (bigEndian != (std::endian::native == std::endian::big)) {
    if constexpr (sizeof bits == 2) {
      bits = __builtin_bswap16(bits);
    } else if constexpr (sizeof bits == 4) {
      bits = __builtin_bswap32(bits);
    } else if constexpr (sizeof bits == 8) {
      bits = __builtin_bswap64(bits);
    }
  }
  return bits;
}

template <typename T, typename Bits>
void ConvertAll(const unsigned char* bytes, uint64_t count, bool bigEndian, float* out) {
  for (uint64_t i = 0; i < count; ++i) {
    out[i] = static_cast<float>(std::bit_cast<T>(LoadBits<Bits>(bytes + i * sizeof(T), bigEndian)));
  }
}

void Convert(ValueType type, const unsigned char* bytes, uint64_t count, bool bigEndian,
             float* out) {
  switch (type) {
    case ValueType::kInt8:
      return ConvertAll<int8_t, uint8_t>(bytes, count, bigEndian, out);
    case ValueType::kUInt8:
      return ConvertAll<uint8_t, uint8_t>(bytes, count, bigEndian, out);
    case ValueType::kInt16:
      return ConvertAll<int16_t, uint16_t>(bytes, count, bigEndian, out);
    case ValueType::kUInt16:
      return ConvertAll<uint16_t, uint16_t>(bytes, count, bigEndian, out);
    case ValueType::kInt32:
      return ConvertAll<int32_t, uint32_t>(bytes, count, bigEndian, out);
    case ValueType::kUInt32:
      return ConvertAll<uint32_t, uint32_t>(bytes, count, bigEndian, out);
    case ValueType::kInt64:
      return ConvertAll<int64_t, uint64_t>(bytes, count, bigEndian, out);
    case ValueType::kUInt64:
      return ConvertAll<uint64_t, uint64_t>(bytes, count, bigEndian, out);
    case ValueType::kFloat32:
      if (!bigEndian && std::endian::native == std::endian::little) {
        std::memcpy(out, bytes, count * 4);
        return;
      }
      return ConvertAll<float, uint32_t>(bytes, count, bigEndian, out);
    case ValueType::kFloat64:
      return ConvertAll<double, uint64_t>(bytes, count, bigEndian, out);
  }
}

/// The binary bytes of one array, read in order: raw, or decoded from base64 as they are
/// needed. VTK may encode the size words and the data as separately padded pieces; each
/// quartet is decoded on its own, so that padding inside the text ends a piece, not the text.
class PayloadStream {
 public:
  PayloadStream(std::span<const unsigned char> bytes, bool base64)
      : bytes_(bytes), base64_(base64) {}

  /// The most bytes that may still come (base64 text decodes to three quarters of its length).
  uint64_t MostLeft() const {
    const uint64_t rest = bytes_.size() - at_;
    return base64_ ? rest / 4 * 3 + pendingCount_ : rest;
  }

  /// The next `count` bytes where they lie, for raw bytes only (nullptr when too few are left).
  const unsigned char* Borrow(uint64_t count) {
    if (base64_ || count > bytes_.size() - at_) return nullptr;
    at_ += count;
    return bytes_.data() + at_ - count;
  }
  bool IsRaw() const { return !base64_; }

  bool Read(unsigned char* out, uint64_t count) {
    if (!base64_) {
      if (count > bytes_.size() - at_) return false;
      if (count > 0) std::memcpy(out, bytes_.data() + at_, count);
      at_ += count;
      return true;
    }
    for (uint64_t i = 0; i < count; ++i) {
      if (pendingAt_ == pendingCount_ && !DecodeQuartet()) return false;
      out[i] = pending_[pendingAt_++];
    }
    return true;
  }

 private:
  static int Sextet(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  }

  bool DecodeQuartet() {
    int sextets[4];
    int filled = 0;
    int padding = 0;
    while (filled < 4) {
      if (at_ >= bytes_.size()) return false;
      const unsigned char c = bytes_[at_++];
      if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
      if (c == '=' && filled >= 2) {
        sextets[filled++] = 0;
        ++padding;
        continue;
      }
      const int value = Sextet(c);
      if (value < 0 || padding > 0) return false;
      sextets[filled++] = value;
    }
    const uint32_t bits = uint32_t(sextets[0]) << 18 | uint32_t(sextets[1]) << 12 |
                          uint32_t(sextets[2]) << 6 | uint32_t(sextets[3]);
    pending_[0] = static_cast<unsigned char>(bits >> 16);
    pending_[1] = static_cast<unsigned char>(bits >> 8);
    pending_[2] = static_cast<unsigned char>(bits);
    pendingCount_ = 3 - padding;
    pendingAt_ = 0;
    return pendingCount_ > 0;
  }

  std::span<const unsigned char> bytes_;
  bool base64_;
  std::size_t at_ = 0;
  unsigned char pending_[3] = {};
  int pendingCount_ = 0;
  int pendingAt_ = 0;
};

bool ReadWord(PayloadStream& stream, const VtkEncoding& encoding, uint64_t& word) {
  unsigned char bytes[8];
  if (!stream.Read(bytes, encoding.headerBytes)) return false;
  word = encoding.headerBytes == 8 ? LoadBits<uint64_t>(bytes, encoding.bigEndian)
                                   : LoadBits<uint32_t>(bytes, encoding.bigEndian);
  return true;
}

/// The `needed` bytes of a binary array, after its size words: where they lie in the input when
/// they are raw, else decoded into `data`; `payload` shows them.
std::string ReadBinary(PayloadStream& stream, const VtkEncoding& encoding, uint64_t needed,
                       std::vector<unsigned char>& data, const unsigned char*& payload) {
  const std::string cut = "ends inside its binary data";
  if (!encoding.zlib) {
    uint64_t size = 0;
    if (!ReadWord(stream, encoding, size)) return cut;
    if (size != needed) {
      return "holds " + std::to_string(size) + " bytes; its extent needs " + std::to_string(needed);
    }
    if (needed > stream.MostLeft()) return cut;
    if (stream.IsRaw()) {
      payload = stream.Borrow(needed);
      return payload != nullptr ? std::string() : cut;
    }
    ResizeOnLargePages(data, needed);
    payload = data.data();
    return stream.Read(data.data(), needed) ? std::string() : cut;
  }
  uint64_t blocks = 0, blockSize = 0, lastSize = 0;
  if (!ReadWord(stream, encoding, blocks) || !ReadWord(stream, encoding, blockSize) ||
      !ReadWord(stream, encoding, lastSize)) {
    return cut;
  }
  if (blocks > stream.MostLeft() / encoding.headerBytes) return cut;
  const uint64_t fullBlocks = lastSize == 0 ? blocks : blocks - (blocks > 0 ? 1 : 0);
  uint64_t total = 0;
  if (__builtin_mul_overflow(fullBlocks, blockSize, &total) ||
      __builtin_add_overflow(total, blocks > 0 && lastSize != 0 ? lastSize : 0, &total) ||
      (lastSize > blockSize) || total != needed) {
    return "declares " + std::to_string(blocks) + " compressed blocks of " +
           std::to_string(blockSize) + " bytes (the last " + std::to_string(lastSize) +
           "); its extent needs " + std::to_string(needed) + " bytes";
  }
  std::vector<uint64_t> packed(blocks);
  uint64_t packedTotal = 0;
  for (uint64_t& size : packed) {
    if (!ReadWord(stream, encoding, size)) return cut;
    if (size / kMostInflation > blockSize ||
        __builtin_add_overflow(packedTotal, size, &packedTotal)) {
      return "declares a compressed block of " + std::to_string(size) + " bytes";
    }
  }
  if (packedTotal > stream.MostLeft()) return cut;
  if (needed / kMostInflation > packedTotal + blocks) {
    return "claims " + std::to_string(needed) + " bytes from " + std::to_string(packedTotal) +
           " compressed; no compression packs so tight";
  }
  ResizeOnLargePages(data, needed);
  std::vector<unsigned char> block;
  uint64_t at = 0;
  for (uint64_t i = 0; i < blocks; ++i) {
    block.resize(packed[i]);
    if (!stream.Read(block.data(), packed[i])) return cut;
    const uint64_t expected = (i + 1 == blocks && lastSize != 0) ? lastSize : blockSize;
    uLongf produced = static_cast<uLongf>(expected);
    if (uncompress(data.data() + at, &produced, block.data(), static_cast<uLong>(packed[i])) !=
            Z_OK ||
        produced != expected) {
      return "has compressed block " + std::to_string(i) + " that does not inflate to " +
             std::to_string(expected) + " bytes";
    }
    at += expected;
  }
  payload = data.data();
  return {};
}

std::string ParseAscii(const std::string& text, ValueType type, uint64_t count,
                       std::vector<float>& values) {
  // Every value takes at least one character and one separator, but the last.
  if (count > text.size() / 2 + 1) {
    return "holds " + std::to_string(text.size()) + " characters, too few for " +
           std::to_string(count) + " values";
  }
  ResizeOnLargePages(values, count);
  const char* at = text.data();
  const char* end = text.data() + text.size();
  for (uint64_t i = 0; i < count; ++i) {
    while (at < end && (*at == ' ' || *at == '\n' || *at == '\r' || *at == '\t')) ++at;
    std::from_chars_result parsed{};
    if (type == ValueType::kFloat32) {
      float value = 0.0f;
      parsed = std::from_chars(at, end, value);
      values[i] = value;
    } else if (type == ValueType::kFloat64) {
      double value = 0.0;
      parsed = std::from_chars(at, end, value);
      values[i] = static_cast<float>(value);
    } else if (type == ValueType::kUInt64) {
      uint64_t value = 0;
      parsed = std::from_chars(at, end, value);
      values[i] = static_cast<float>(value);
    } else {
      int64_t value = 0;
      parsed = std::from_chars(at, end, value);
      values[i] = static_cast<float>(value);
    }
    if (parsed.ec != std::errc() || parsed.ptr == at) {
      return at >= end ? "holds " + std::to_string(i) + " values; its extent needs " +
                             std::to_string(count)
                       : "holds text that is not a number at value " + std::to_string(i);
    }
    at = parsed.ptr;
  }
  return {};
}

}  // namespace

std::string DecodeVtkDataArray(const VtkDataArray& array, const VtkEncoding& encoding,
                               const VtkAppendedData& appended, uint64_t count,
                               std::vector<float>& values, const float** inPlace) {
  if (inPlace != nullptr) *inPlace = nullptr;
  const TypeName* type = nullptr;
  for (const TypeName& candidate : kTypes) {
    if (candidate.name == array.type) type = &candidate;
  }
  if (type == nullptr) return "has values of type \"" + array.type + "\", not a number type";
  if (array.format == "ascii") return ParseAscii(array.text, type->type, count, values);

  std::vector<unsigned char> data;
  const unsigned char* payload = nullptr;
  const uint64_t needed = count * type->bytes;
  if (array.format == "binary") {
    PayloadStream stream(
        {reinterpret_cast<const unsigned char*>(array.text.data()), array.text.size()}, true);
    if (auto error = ReadBinary(stream, encoding, needed, data, payload); !error.empty())
      return error;
  } else if (array.format == "appended") {
    if (!appended.present) return "is appended, but the file has no AppendedData";
    if (array.offset > appended.bytes.size()) {
      return "begins at offset " + std::to_string(array.offset) + ", beyond the " +
             std::to_string(appended.bytes.size()) + " bytes of AppendedData";
    }
    PayloadStream stream(appended.bytes.subspan(array.offset), appended.base64);
    if (auto error = ReadBinary(stream, encoding, needed, data, payload); !error.empty())
      return error;
  } else {
    return "has format \"" + array.format + "\"; ascii, binary and appended are read";
  }
  if (inPlace != nullptr && data.empty() && type->type == ValueType::kFloat32 &&
      encoding.bigEndian == (std::endian::native == std::endian::big) &&
      reinterpret_cast<std::uintptr_t>(payload) % alignof(float) == 0) {
    values.clear();
    *inPlace = reinterpret_cast<const float*>(payload);
    return {};
  }
  ResizeOnLargePages(values, count);
  Convert(type->type, payload, count, encoding.bigEndian, values.data());
  return {};
}

}  // namespace vortana

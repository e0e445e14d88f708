#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <limits>

#include "data/flow_field.h"

namespace vortana {

namespace {

constexpr char kMagic[] = "SN4DB";
constexpr std::size_t kMagicLength = sizeof(kMagic) - 1;

/// Reads the header text the way a formatted scan does: any white space before a number, a
/// number as long as its characters fit, and a stop at the first character that does not.
class HeaderScanner {
 public:
  HeaderScanner(const char* begin, const char* end) : p_(begin), end_(end) {}

  void SkipSpace() {
    while (p_ != end_ && IsSpace(*p_)) ++p_;
  }

  /// Only white space is left of the text.
  bool AtEnd() {
    SkipSpace();
    return p_ == end_;
  }

  /// An optionally signed decimal integer. Values beyond int saturate, so that the range check
  /// that follows refuses them instead of seeing a wrapped number.
  bool ScanInt(int& out) {
    SkipSpace();
    const char* p = p_;
    bool negative = false;
    if (p != end_ && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p == end_ || !IsDigit(*p)) return false;
    int64_t magnitude = 0;
    constexpr int64_t kCap = int64_t{INT_MAX} + 1;
    for (; p != end_ && IsDigit(*p); ++p) {
      magnitude = std::min(kCap, magnitude * 10 + (*p - '0'));
    }
    const int64_t value = negative ? -magnitude : magnitude;
    out = static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
    p_ = p;
    return true;
  }

  /// A real in decimal notation with an optional exponent, rounded once to float. An exponent
  /// is only taken when digits follow its 'e'.
  bool ScanReal(float& out) {
    SkipSpace();
    const char* p = p_;
    bool negative = false;
    if (p != end_ && (*p == '+' || *p == '-')) negative = *p++ == '-';
    const char* mantissa = p;
    int significantIntegerDigits = 0;
    bool seenNonZero = false;
    int leadingFractionZeros = 0;
    int digits = 0;
    for (; p != end_ && IsDigit(*p); ++p, ++digits) {
      seenNonZero = seenNonZero || *p != '0';
      if (seenNonZero) ++significantIntegerDigits;
    }
    if (p != end_ && *p == '.') {
      ++p;
      for (; p != end_ && IsDigit(*p); ++p, ++digits) {
        if (!seenNonZero && *p == '0') ++leadingFractionZeros;
        seenNonZero = seenNonZero || *p != '0';
      }
    }
    if (digits == 0) return false;
    int exponent = 0;
    if (p != end_ && (*p == 'e' || *p == 'E')) {
      const char* e = p + 1;
      bool negativeExponent = false;
      if (e != end_ && (*e == '+' || *e == '-')) negativeExponent = *e++ == '-';
      if (e != end_ && IsDigit(*e)) {
        for (; e != end_ && IsDigit(*e); ++e)
          exponent = std::min(exponent * 10 + (*e - '0'), 100000);
        if (negativeExponent) exponent = -exponent;
        p = e;
      }
    }
    float value = 0.0f;
    const auto result = std::from_chars(mantissa, p, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
      // Too large for a float becomes infinity and too small becomes zero, as a scan gives.
      const int decimalMagnitude =
          (significantIntegerDigits > 0 ? significantIntegerDigits : -leadingFractionZeros) +
          exponent;
      value = decimalMagnitude > 0 ? std::numeric_limits<float>::infinity() : 0.0f;
    }
    out = negative ? -value : value;
    p_ = p;
    return true;
  }

 private:
  static bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  const char* p_;
  const char* end_;
};

}  // namespace

GridHeader ParseGridHeader(const char* bytes, std::size_t size) {
  GridHeader header;
  const char* end = bytes + std::min(size, kGridHeaderBytes);
  // The header is text: a NUL ends it even when the 40 bytes are not used up.
  end = std::find(bytes, end, '\0');
  if (static_cast<std::size_t>(end - bytes) < kMagicLength ||
      std::memcmp(bytes, kMagic, kMagicLength) != 0) {
    return header;
  }
  header.hasMagic = true;
  HeaderScanner scan(bytes + kMagicLength, end);
  for (int* field :
       {&header.width, &header.height, &header.depth, &header.scalarCount, &header.spare}) {
    if (!scan.ScanInt(*field)) {
      header.textEnded = scan.AtEnd();
      return header;
    }
    ++header.integersRead;
  }
  scan.ScanReal(header.real);
  return header;
}

}  // namespace vortana

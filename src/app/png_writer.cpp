#include "png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string_view>
#include <vector>

#include "app/control_ids.h"
#include "data/output_file.h"

namespace vortana {

namespace {

void CopyRows(const Surface& surface, int width, int firstRow, std::vector<Colour>& image) {
  const int columns = std::min(width, surface.Width());
  for (int y = 0; y < surface.Height(); ++y) {
    const Colour* row = surface.Data() + static_cast<size_t>(y) * surface.Width();
    std::copy(row, row + columns,
              image.begin() + static_cast<std::ptrdiff_t>(firstRow + y) * width);
  }
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value >> 24));
  out.push_back(static_cast<uint8_t>(value >> 16));
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

/// Appends one chunk: length, type, data, and the CRC of type and data.
void PutChunk(std::vector<uint8_t>& out, const char (&type)[5], const uint8_t* data,
              size_t size) {
  PutBigEndian(out, static_cast<uint32_t>(size));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  if (size > 0) out.insert(out.end(), data, data + size);
  const uLong crc = crc32(crc32(0L, Z_NULL, 0), out.data() + typeAt,
                          static_cast<uInt>(size + 4));
  PutBigEndian(out, static_cast<uint32_t>(crc));
}

}  // namespace

std::string WritePng(const std::string& path, const Surface& area, const Surface* legend) {
  const std::string failure = "cannot write the PNG file " + path;
  const int width = area.Width();
  const int height = legend ? area.Height() + kLegendGap + legend->Height() : area.Height();
  std::vector<Colour> pixels(static_cast<size_t>(width) * height, kBlack);
  CopyRows(area, width, 0, pixels);
  if (legend) CopyRows(*legend, width, area.Height() + kLegendGap, pixels);

  // Scanlines of 8-bit RGB, each after its filter byte 0 (none). A COLORREF holds R, G, B in
  // its low three bytes.
  const size_t rowBytes = 1 + 3 * static_cast<size_t>(width);
  std::vector<uint8_t> raw(rowBytes * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    uint8_t* out = raw.data() + rowBytes * static_cast<size_t>(y);
    *out++ = 0;
    const Colour* row = pixels.data() + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      *out++ = static_cast<uint8_t>(row[x]);
      *out++ = static_cast<uint8_t>(row[x] >> 8);
      *out++ = static_cast<uint8_t>(row[x] >> 16);
    }
  }
  // zlib's fastest level: a picture with a background deflates four times as fast as at the
  // default level, into a file about half as large again; the pixels are the same.
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  const int packing =
      compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 1);
  if (packing == Z_MEM_ERROR) throw std::bad_alloc();
  if (packing != Z_OK) return failure;

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBigEndian(header, static_cast<uint32_t>(width));
  PutBigEndian(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter set, no interlace
  PutChunk(png, "IHDR", header.data(), header.size());
  PutChunk(png, "IDAT", packed.data(), packedSize);
  PutChunk(png, "IEND", nullptr, 0);

  return WriteWholeFile(path, "the PNG file",
                        std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
}

}  // namespace vortana

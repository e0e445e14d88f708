#include "png_writer.h"

#include <spng.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <string_view>

#include "app/control_ids.h"
#include "data/output_file.h"

namespace vortana {

namespace {

// zlib's fastest level: a picture with a background deflates four times as fast as at the
// default level, into a file about half as large again; the pixels are the same.
constexpr int kFastestDeflate = 1;

// The surface's rows as 8-bit RGB from row `firstRow` of an image `width` pixels wide; a
// COLORREF holds R, G, B in its low three bytes.
void CopyRows(const Surface& surface, int width, int firstRow, std::vector<uint8_t>& rgb) {
  const int columns = std::min(width, surface.Width());
  for (int y = 0; y < surface.Height(); ++y) {
    const Colour* row = surface.Data() + static_cast<size_t>(y) * surface.Width();
    uint8_t* out = rgb.data() + 3 * static_cast<size_t>(firstRow + y) * width;
    for (int x = 0; x < columns; ++x) {
      *out++ = static_cast<uint8_t>(row[x]);
      *out++ = static_cast<uint8_t>(row[x] >> 8);
      *out++ = static_cast<uint8_t>(row[x] >> 16);
    }
  }
}

struct SpngFree {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};

struct BufferFree {
  void operator()(void* buffer) const { std::free(buffer); }
};

std::string PngFailure(const std::string& path) { return "cannot write the PNG file " + path; }

}  // namespace

RgbPicture PictureOf(const Surface& area, const Surface* legend) {
  RgbPicture picture;
  picture.width = area.Width();
  picture.height = legend ? area.Height() + kLegendGap + legend->Height() : area.Height();
  // Black wherever no surface lies: the gap, and the legend's right when it is narrower.
  picture.rgb.assign(3 * static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height),
                     0);
  CopyRows(area, picture.width, 0, picture.rgb);
  if (legend) CopyRows(*legend, picture.width, area.Height() + kLegendGap, picture.rgb);
  return picture;
}

std::string EncodePng(const Surface& area, const Surface* legend, std::vector<uint8_t>& png) {
  const RgbPicture picture = PictureOf(area, legend);
  const int width = picture.width;
  const int height = picture.height;
  const std::vector<uint8_t>& rgb = picture.rgb;

  const std::unique_ptr<spng_ctx, SpngFree> context(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!context) throw std::bad_alloc();  // the only way spng_ctx_new fails
  spng_ihdr header{};
  header.width = static_cast<uint32_t>(width);
  header.height = static_cast<uint32_t>(height);
  header.bit_depth = 8;
  header.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
  int error = spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1);
  if (!error) error = spng_set_option(context.get(), SPNG_IMG_COMPRESSION_LEVEL, kFastestDeflate);
  // Filtering would shrink the file a little more but costs a pass over every row.
  if (!error) error = spng_set_option(context.get(), SPNG_FILTER_CHOICE, SPNG_DISABLE_FILTERING);
  if (!error) error = spng_set_ihdr(context.get(), &header);
  if (!error) {
    error = spng_encode_image(context.get(), rgb.data(), rgb.size(), SPNG_FMT_PNG,
                              SPNG_ENCODE_FINALIZE);
  }
  size_t size = 0;
  std::unique_ptr<void, BufferFree> encoded;
  if (!error) encoded.reset(spng_get_png_buffer(context.get(), &size, &error));
  // Out of memory is not a fault of the picture: it ends the run with the program's message.
  // zlib fails to start only when it cannot have its buffers.
  if (error == SPNG_EMEM || error == SPNG_EZLIB_INIT) throw std::bad_alloc();
  if (error || !encoded) {
    return std::string("cannot encode the PNG image: ") + spng_strerror(error);
  }
  const uint8_t* bytes = static_cast<const uint8_t*>(encoded.get());
  png.assign(bytes, bytes + size);
  return {};
}

std::string WritePng(const std::string& path, const Surface& area, const Surface* legend) {
  std::vector<uint8_t> png;
  const std::string error = EncodePng(area, legend, png);
  if (!error.empty()) return PngFailure(path) + ": " + error;
  return WriteWholeFile(path, "the PNG file",
                        std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
}

}  // namespace vortana

#include "animation_writer.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <new>
#include <string_view>
#include <vector>

#include "app/control_ids.h"
#include "data/output_file.h"

namespace vortana {

namespace {

// The frame as 8-bit RGBX rows; a COLORREF holds R, G, B in its low three bytes, which in memory
// are already R, G, B, X. Black wherever no surface lies.
std::vector<Colour> FramePixels(const Surface& area, const Surface* legend, int height) {
  const int width = area.Width();
  std::vector<Colour> pixels(static_cast<size_t>(width) * height, kBlack);
  const auto copy = [&](const Surface& surface, int firstRow) {
    for (int y = 0; y < surface.Height(); ++y) {
      const Colour* row = surface.Data() + static_cast<size_t>(y) * surface.Width();
      std::copy(row, row + std::min(width, surface.Width()),
                pixels.begin() + static_cast<std::ptrdiff_t>(firstRow + y) * width);
    }
  };
  copy(area, 0);
  if (legend) copy(*legend, area.Height() + kLegendGap);
  return pixels;
}

struct PictureFree {
  void operator()(WebPPicture* picture) const { WebPPictureFree(picture); }
};

}  // namespace

void AnimationWriter::EncoderFree::operator()(WebPAnimEncoder* encoder) const {
  WebPAnimEncoderDelete(encoder);
}

AnimationWriter::AnimationWriter(std::string path, int fps) : path_(std::move(path)), fps_(fps) {}

AnimationWriter::~AnimationWriter() = default;

std::string AnimationWriter::Add(const Surface& area, const Surface* legend) {
  const int height = legend ? area.Height() + kLegendGap + legend->Height() : area.Height();
  if (!encoder_) {
    WebPAnimEncoderOptions options;
    if (!WebPAnimEncoderOptionsInit(&options)) return "the WebP library does not match its header";
    options.anim_params.loop_count = 0;  // for ever
    // Every frame lossless: mixing in lossy frames would change pixels.
    options.allow_mixed = 0;
    width_ = area.Width();
    height_ = height;
    encoder_.reset(WebPAnimEncoderNew(width_, height_, &options));
    if (!encoder_) throw std::bad_alloc();
  }
  WebPConfig config;
  // Level 1 of 9: the frames of a flow are large flat or smooth areas, which even the fast
  // levels pack well, and the encoder runs once per frame in step order.
  if (!WebPConfigInit(&config) || !WebPConfigLosslessPreset(&config, 1)) {
    return "the WebP library does not match its header";
  }
  std::vector<Colour> pixels = FramePixels(area, legend, height);
  WebPPicture picture;
  if (!WebPPictureInit(&picture)) return "the WebP library does not match its header";
  picture.use_argb = 1;
  picture.width = width_;
  picture.height = height_;
  const std::unique_ptr<WebPPicture, PictureFree> owned(&picture);
  if (!WebPPictureImportRGBX(&picture, reinterpret_cast<const uint8_t*>(pixels.data()),
                             width_ * static_cast<int>(sizeof(Colour)))) {
    throw std::bad_alloc();  // importing only fails for want of memory
  }
  const int timestamp = frames_ * 1000 / fps_;
  if (!WebPAnimEncoderAdd(encoder_.get(), &picture, timestamp, &config)) {
    return "cannot encode frame " + std::to_string(frames_) + " of the animation " + path_ + ": " +
           WebPAnimEncoderGetError(encoder_.get());
  }
  ++frames_;
  return {};
}

std::string AnimationWriter::Commit() {
  if (!encoder_) return "no frame to write into the animation " + path_;
  // The last frame lasts as long as the others: the end is given as one more timestamp.
  if (!WebPAnimEncoderAdd(encoder_.get(), nullptr, frames_ * 1000 / fps_, nullptr)) {
    return "cannot finish the animation " + path_ + ": " + WebPAnimEncoderGetError(encoder_.get());
  }
  WebPData data;
  WebPDataInit(&data);
  if (!WebPAnimEncoderAssemble(encoder_.get(), &data)) {
    return "cannot assemble the animation " + path_ + ": " +
           WebPAnimEncoderGetError(encoder_.get());
  }
  const std::string error =
      WriteWholeFile(path_, "the WebP file",
                     std::string_view(reinterpret_cast<const char*>(data.bytes), data.size));
  WebPDataClear(&data);
  return error;
}

}  // namespace vortana

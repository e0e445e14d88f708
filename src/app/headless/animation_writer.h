#pragma once

#include <memory>
#include <string>

#include "render/surface.h"

struct WebPAnimEncoder;

namespace vortana {

/// Frames gathered into one lossless animated WebP, shown `fps` frames a second and looped for
/// ever. Each frame is the drawing area, with the gap and the legend strip below it when given,
/// as the PNG of the same render holds them. The file appears whole at Commit, or not at all.
class AnimationWriter {
 public:
  AnimationWriter(std::string path, int fps);
  AnimationWriter(const AnimationWriter&) = delete;
  AnimationWriter& operator=(const AnimationWriter&) = delete;
  ~AnimationWriter();

  /// Encodes the next frame; returns the failure, or nothing. Throws std::bad_alloc when memory
  /// runs out.
  [[nodiscard]] std::string Add(const Surface& area, const Surface* legend);
  /// Writes the file; returns the failure, or nothing.
  [[nodiscard]] std::string Commit();

 private:
  struct EncoderFree {
    void operator()(WebPAnimEncoder* encoder) const;
  };

  std::string path_;
  int fps_;
  int frames_ = 0;
  int width_ = 0, height_ = 0;
  std::unique_ptr<WebPAnimEncoder, EncoderFree> encoder_;
};

}  // namespace vortana

#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "data/byte_source.h"

namespace vortana {

/// One file opened for reading, with the name it is reported under and its size, taken from
/// the opened file so that a file too short for its header is refused before anything is
/// allocated.
class InputFile final : public ByteSource {
 public:
  /// Opens `name` for reading and checks what was opened: only a regular file is read. On
  /// failure returns a closed file and sets `error`.
  static InputFile Open(const std::string& name, std::string& error);

  InputFile() = default;
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  ~InputFile() override;

  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Name() const override { return name_; }
  uint64_t Size() const override { return size_; }

  /// Reads exactly `count` bytes or explains why not (a read error, or a file that shrank).
  [[nodiscard]] std::string ReadExactly(void* buffer, std::size_t count) override;
  [[nodiscard]] std::string Seek(uint64_t offset) override;
  /// The opened file under /proc/self/fd on Linux; elsewhere empty.
  std::string SystemPath() const override;

 private:
  int fd_ = -1;
  std::string name_;
  uint64_t size_ = 0;
};

/// Tests only: `hook` runs with the name just before each file is opened (an empty hook runs
/// nothing), so that a test can swap the file for something else at that moment.
void SetBeforeOpenHookForTesting(std::function<void(const std::string& name)> hook);

}  // namespace vortana

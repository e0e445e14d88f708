#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace vortana {

/// One file opened for reading, with the name it is reported under and its size, taken when it
/// was opened so that a file too short for its header is refused before anything is allocated.
class InputFile {
 public:
  /// Opens `name` for binary reading; on failure returns a closed file and sets `error`.
  static InputFile Open(const std::string& name, std::string& error);

  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Name() const { return name_; }
  uint64_t Size() const { return size_; }

  /// Reads exactly `count` bytes or explains why not (a read error, or a file that shrank).
  [[nodiscard]] std::string ReadExactly(void* buffer, std::size_t count);

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };

  std::unique_ptr<std::FILE, Closer> file_;
  std::string name_;
  uint64_t size_ = 0;
};

}  // namespace vortana
